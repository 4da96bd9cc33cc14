// What the composition root needs of the main window: making, showing and
// ending it. Only window/ knows MainDialog itself, so the rest of the
// program cannot reach into it. GUI thread.
#pragma once

#include <functional>

class LCommandRouter;
class LKeyFilterWidgets;
class LSession;
class MainDialog;
class QMainWindow;
class QWidget;

namespace LMainWindow {

// Builds the window, places it as stored and lists the dictations; it is
// not shown yet. closing runs once as it closes, to stop what runs behind it.
MainDialog* Create(LSession& session, LCommandRouter& router, std::function<void()> closing);
void Open(MainDialog& window);
QMainWindow& Widget(MainDialog& window);
// A widget of the window by its control identifier (LControlIds), or null.
QWidget* Control(MainDialog& window, int nId);
// The list's and the notes' own keys, for the window's key filter.
LKeyFilterWidgets& KeyWidgets(MainDialog& window);
// Stores the window's state, stops what runs and deletes it.
void Destroy(MainDialog* pWindow);

} // namespace LMainWindow
