#include "app/desktop/dialogs/LQtImportHost.h"

#include "ui/LProgressDialog.h"
#include "ui/LRawSettingsDialog.h"

#include <QApplication>
#include <QMessageBox>

namespace {

class LBodyDialog : public LProgressDialog {
public:
    LBodyDialog(const std::string& szTitle, const std::function<int(LProgressReporter&)>& body)
        : LProgressDialog(QString::fromStdString(szTitle))
        , m_body(body)
    {
    }
    int nResult = 1; // a dialog that could not run its body counts as cancelled

protected:
    bool RunProcess() override
    {
        nResult = m_body(*this);
        return true;
    }

private:
    const std::function<int(LProgressReporter&)>& m_body;
};

} // namespace

int LQtImportHost::RunProgress(const std::string& szTitle, const std::function<int(LProgressReporter&)>& body)
{
    LBodyDialog dialog(szTitle, body);
    dialog.Run(m_pParent);
    return dialog.nResult;
}

void LQtImportHost::ShowError(const std::string& szText)
{
    QMessageBox::critical(m_pParent, QApplication::applicationDisplayName(), QString::fromStdString(szText));
}

std::optional<bool> LQtImportHost::AskRawSettings(const std::string&, LRawSettings* pSettings)
{
    return LRawSettingsDialog::Ask(m_pParent, pSettings);
}
