#include "app/desktop/window/LMainWindow.h"

#include "app/desktop/window/MainDialog.h"

namespace LMainWindow {

MainDialog* Create(LSession& session, LCommandRouter& router, std::function<void()> closing)
{
    auto* pWindow = new MainDialog(session, router);
    pWindow->SetClosing(std::move(closing));
    pWindow->Start();
    return pWindow;
}

void Open(MainDialog& window)
{
    window.OpenWindow();
}

QMainWindow& Widget(MainDialog& window)
{
    return window;
}

QWidget* Control(MainDialog& window, int nId)
{
    return window.Control(nId);
}

LKeyFilterWidgets& KeyWidgets(MainDialog& window)
{
    return window.KeyWidgets();
}

void Destroy(MainDialog* pWindow)
{
    delete pWindow;
}

} // namespace LMainWindow
