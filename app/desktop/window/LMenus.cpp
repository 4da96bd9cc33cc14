#include "app/desktop/window/LMenus.h"

#include "app/desktop/commands/LHelpCommands.h"
#include "app/desktop/window/LIcons.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LKeyBindings.h"

#include <QActionGroup>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

#include <vector>

namespace {

using Id = LCommandId;

struct MenuEntry {
    // Radio items next to each other form one group.
    // Optional: an item shown only while someone handles its command.
    enum class Kind { Menu, Submenu, End, Separator, Item, Check, Radio, HelpPages, Optional };
    Kind kind;
    Id id;
    const char* szText;
};

using K = MenuEntry::Kind;
constexpr Id kNone = Id::kSetNoAction;

// The shortcuts shown are the key bindings' (LKeyBindings::KeyOf).
const MenuEntry kMainMenu[] = {
    { K::Menu, kNone, "&Dictation" },
    { K::Item, Id::kNew, "&New" },
    { K::Item, Id::kSend, "&Send (Default Recipient)" },
    { K::Item, Id::kSendTo, "Send... (Select Recipient)" },
    { K::Item, Id::kSaveAs, "Save As..." },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kRename, "&Rename" },
    { K::Item, Id::kDelete, "&Delete" },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kSetHighPriority, "Set High Priority" },
    { K::Item, Id::kSetNormalPriority, "Set Normal Priority" },
    { K::Item, Id::kSetLowPriority, "Set Low Priority" },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kAttachFiles, "Attach File(s)..." },
    { K::Item, Id::kOpenAttachmentList, "Open Attachment List" },
    { K::Separator, kNone, nullptr },
    { K::Submenu, kNone, "Transfer from Portable (Dock)" },
    { K::Item, Id::kDockCable, "Audio Cable Method" },
    { K::Item, Id::kDockFile, "Audio File Transfer Method" },
    { K::End, kNone, nullptr },
    { K::Item, Id::kLoadAudio, "Load Audio File..." },
    { K::Item, Id::kLoadAndSendAudio, "Load and Send Audio File..." },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kViewSentWork, "View Sent Work Progress..." },
    { K::Item, Id::kRecoverSent, "Rec&over Sent Dictations..." },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kExit, "&Quit" },

    { K::Menu, kNone, "&Edit" },
    { K::Item, Id::kUndo, "Undo" },
    { K::Item, Id::kRedo, "Redo" },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kEditExternal, "Edit in Audio Editor" },

    { K::Menu, kNone, "&Control" },
    { K::Item, Id::kRecord, "&Record" },
    { K::Item, Id::kRecordOverwrite, "Record Overwrite" },
    { K::Item, Id::kRecordInsert, "Record Insert" },
    { K::Item, Id::kRecordAtEnd, "Record at End" },
    { K::Submenu, kNone, "Default Record Mode" },
    { K::Radio, Id::kDefaultOverwrite, "Record Overwrite" },
    { K::Radio, Id::kDefaultInsert, "Record Insert" },
    { K::Radio, Id::kDefaultAtEnd, "Record at End" },
    { K::End, kNone, nullptr },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kPlay, "&Play" },
    { K::Radio, Id::kPlayNormal, "Play Normal Speed" },
    { K::Radio, Id::kPlaySlow, "Play Slow Speed" },
    { K::Radio, Id::kPlayFast, "Play Fast Speed" },
    { K::Item, Id::kStop, "&Stop" },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kGoStart, "Go To Start" },
    { K::Item, Id::kRewind, "Rewind" },
    { K::Item, Id::kFastForward, "Fast Forward" },
    { K::Item, Id::kGoEnd, "Go To End" },

    { K::Menu, kNone, "&View" },
    { K::Check, Id::kViewNotes, "Show &Dictation Notes" },
    { K::Check, Id::kTopMost, "Always on &Top" },

    { K::Menu, kNone, "&Settings" },
    { K::Item, Id::kHardwareSettings, "Hardware Settings..." },
    { K::Item, Id::kRecipientSettings, "Recipient Send Settings..." },
    { K::Item, Id::kUserSettings, "User Settings..." },

    { K::Menu, kNone, "&Help" },
    { K::Item, Id::kHelpContents, "&Help Contents" },
    { K::Submenu, kNone, "Manual &Pages" },
    { K::HelpPages, kNone, nullptr },
    { K::End, kNone, nullptr },
    { K::Optional, Id::kInternetResources, "&Internet Resources" },
    { K::Separator, kNone, nullptr },
    { K::Item, Id::kAbout, "&About..." },
};

const Id kContextMenu[] = { Id::kNew, Id::kSend, Id::kSendTo, Id::kRename, Id::kDelete, Id::kSetHighPriority,
    Id::kSetNormalPriority, Id::kSetLowPriority, Id::kSaveAs, Id::kAttachFiles, Id::kOpenAttachmentList, Id::kUndo,
    Id::kRedo, Id::kEditExternal };

struct ToolEntry {
    Id id;
    LIcons::Glyph glyph;
    const char* szText;
    const char* szTip;
    // A button with a drop-down menu of its own, after a separator.
    bool bDrop;
    bool bSeparatorBefore;
    // The command whose pop-up items the drop-down shows (kNone: its own).
    Id dropItems = kNone;
};

const ToolEntry kToolBar[] = {
    { Id::kToolNew, LIcons::Glyph::New, "New", "Start a new dictation", false, false },
    { Id::kToolSend, LIcons::Glyph::Send, "Send", "Send dictation for transcription", true, false, Id::kSendTo },
    { Id::kToolDock, LIcons::Glyph::Dock, "Dock", "Transfer dictation from Portable Recorder", true, true,
        Id::kToolDock },
};

} // namespace

LMenus::LMenus(QMainWindow& window, LCommandRouter& router)
    : QObject(&window)
    , m_router(router)
{
    m_pToolBar = window.addToolBar(QStringLiteral("Tools"));
    m_pToolBar->setMovable(false);
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_pToolBar->setIconSize(QSize(24, 24));
    for (const ToolEntry& entry : kToolBar) {
        if (entry.bSeparatorBefore)
            m_pToolBar->addSeparator();
        auto* pAction = new QAction(LIcons::GlyphIcon(entry.glyph), QString::fromUtf8(entry.szText), m_pToolBar);
        // The key named as the key bindings have it, in the locale's words.
        const QString tip
            = QStringLiteral("%1 (%2)").arg(QString::fromUtf8(entry.szTip), LKeyBindings::KeyTextOf(entry.id));
        pAction->setToolTip(tip);
        connect(pAction, &QAction::triggered, this, [this, id = entry.id] { m_router.Trigger(id); });
        m_actions[entry.id] = pAction;
        // The Dock button is down while the dock window is open.
        if (entry.id == Id::kToolDock)
            pAction->setCheckable(true);
        if (!entry.bDrop) {
            m_pToolBar->addAction(pAction);
            continue;
        }
        auto* pButton = new QToolButton(m_pToolBar);
        pAction->setParent(pButton);
        pButton->setDefaultAction(pAction);
        pButton->setPopupMode(QToolButton::MenuButtonPopup);
        auto* pMenu = new QMenu(pButton);
        pButton->setMenu(pMenu);
        if (entry.dropItems != kNone)
            connect(pMenu, &QMenu::aboutToShow, this, [this, pMenu, id = entry.dropItems] { FillPopup(pMenu, id); });
        pButton->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        pButton->setAccessibleDescription(tip);
        m_pToolBar->addWidget(pButton);
    }

    std::vector<QMenu*> stack;
    QActionGroup* pGroup = nullptr;
    for (const MenuEntry& entry : kMainMenu) {
        if (entry.kind != K::Radio)
            pGroup = nullptr;
        switch (entry.kind) {
        case K::Menu:
            stack.assign(1, window.menuBar()->addMenu(QString::fromUtf8(entry.szText)));
            // Opening a menu shows the state as it is now.
            connect(stack.back(), &QMenu::aboutToShow, this, &LMenus::Refresh);
            break;
        case K::Submenu:
            stack.push_back(stack.back()->addMenu(QString::fromUtf8(entry.szText)));
            break;
        case K::End:
            stack.pop_back();
            break;
        case K::Separator:
            stack.back()->addSeparator();
            break;
        case K::Item:
            Add(stack.back(), entry.id, entry.szText);
            break;
        case K::Optional:
            Add(stack.back(), entry.id, entry.szText);
            m_optional.push_back(entry.id);
            break;
        case K::Check:
            Add(stack.back(), entry.id, entry.szText)->setCheckable(true);
            break;
        case K::HelpPages:
            for (const LHelpCommands::Page& page : LHelpCommands::Pages())
                Add(stack.back(), page.id, page.szTitle);
            break;
        case K::Radio: {
            if (!pGroup)
                pGroup = new QActionGroup(this);
            QAction* pAction = Add(stack.back(), entry.id, entry.szText);
            pAction->setCheckable(true);
            pGroup->addAction(pAction);
            break;
        }
        }
    }

    m_pContextMenu = new QMenu(&window);
    for (Id id : kContextMenu)
        m_pContextMenu->addAction(m_actions[id]);
    connect(m_pContextMenu, &QMenu::aboutToShow, this, &LMenus::Refresh);
    connect(&m_router, &LCommandRouter::StateChanged, this, &LMenus::Refresh);
    Refresh();
}

QAction* LMenus::Add(QMenu* pMenu, LCommandId id, const char* szText)
{
    QAction* pAction = pMenu->addAction(QString::fromUtf8(szText));
    pAction->setShortcut(LKeyBindings::KeyOf(id));
    connect(pAction, &QAction::triggered, this, [this, id] { m_router.Trigger(id); });
    m_actions[id] = pAction;
    return pAction;
}

void LMenus::FillPopup(QMenu* pMenu, LCommandId id)
{
    pMenu->clear();
    QActionGroup* pGroup = nullptr;
    for (const LCommandRouter::PopupItem& item : m_router.Popup(id)) {
        using Kind = LCommandRouter::PopupItem::Kind;
        if (item.kind == Kind::Separator) {
            pMenu->addSeparator();
            continue;
        }
        QAction* pAction = pMenu->addAction(QString::fromStdString(item.text));
        // Shown only: the main menu's item holds the shortcut.
        pAction->setShortcut(LKeyBindings::KeyOf(item.id));
        pAction->setShortcutContext(Qt::WidgetShortcut);
        pAction->setEnabled(m_router.IsEnabled(item.id));
        if (item.kind == Kind::Radio) {
            if (!pGroup)
                pGroup = new QActionGroup(pMenu);
            pAction->setCheckable(true);
            pAction->setChecked(item.bChecked);
            pGroup->addAction(pAction);
        }
        connect(pAction, &QAction::triggered, this, [this, itemId = item.id] { m_router.Trigger(itemId); });
    }
}

QAction* LMenus::Action(LCommandId id) const
{
    auto it = m_actions.find(id);
    return it == m_actions.end() ? nullptr : it->second;
}

void LMenus::Refresh()
{
    for (auto& [id, pAction] : m_actions) {
        pAction->setEnabled(m_router.IsEnabled(id));
        if (std::optional<bool> checked = m_router.IsChecked(id); checked && pAction->isCheckable())
            pAction->setChecked(*checked);
        if (std::optional<std::string> label = m_router.Label(id))
            pAction->setText(QString::fromStdString(*label));
    }
    for (LCommandId id : m_optional)
        m_actions[id]->setVisible(m_router.IsRegistered(id));
}
