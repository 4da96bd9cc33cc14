// The main window's menus, tool bar and list context menu, built from the
// tables in LMenus.cpp: every item names a command identifier and hands it
// to the router when chosen; whether it is enabled, checked or relabelled is
// asked of the router whenever the router says the state changed. GUI thread.
#pragma once

#include "app/shared/commands/LCommandId.h"

#include <QObject>

#include <map>
#include <vector>

class LCommandRouter;
class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

class LMenus : public QObject {
    Q_OBJECT
public:
    LMenus(QMainWindow& window, LCommandRouter& router);

    QAction* Action(LCommandId id) const;
    QMenu* ContextMenu() const { return m_pContextMenu; }
    QToolBar* ToolBar() const { return m_pToolBar; }
    // Enabled, checked and the texts that follow the state, from the router.
    void Refresh();

private:
    QAction* Add(QMenu* pMenu, LCommandId id, const char* szText);
    // A drop-down filled afresh with the command's pop-up items.
    void FillPopup(QMenu* pMenu, LCommandId id);

    LCommandRouter& m_router;
    std::map<LCommandId, QAction*> m_actions;
    std::vector<LCommandId> m_optional;
    QMenu* m_pContextMenu = nullptr;
    QToolBar* m_pToolBar = nullptr;
};
