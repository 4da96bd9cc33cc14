// The one place where commands are carried out. Handlers register under a
// command identifier; every input (menus, tool bar, transport buttons, and
// later keys, hot keys, media keys, controllers and other programs) only asks
// the router to trigger, press or release an identifier. Whether a command is
// enabled, checked or relabelled is asked of its handler here, so menus and
// buttons never keep tables of their own. GUI thread.
#pragma once

#include "app/shared/commands/LCommandId.h"

#include <QObject>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class LCommandRouter : public QObject {
    Q_OBJECT
public:
    enum class Action { Trigger, Press, Release };

    // One entry of a menu that a command opens of its own (the send-to menu):
    // chosen, it triggers its identifier.
    struct PopupItem {
        enum class Kind { Item, Radio, Separator };
        Kind kind = Kind::Item;
        LCommandId id = LCommandId::kSetNoAction;
        std::string text;
        bool bChecked = false;
        // Filled in from the router by whoever shows the menu.
        bool bEnabled = true;
        std::string key = {};
    };

    struct Handler {
        // A menu item, a tool-bar button or a key: the whole command.
        std::function<bool()> trigger;
        // Held inputs (scanning buttons): null press runs trigger, null
        // release does nothing.
        std::function<bool()> press;
        std::function<bool()> release;
        // Null: always enabled.
        std::function<bool()> enabled;
        // Acts on the selected dictations: refused while none is selected,
        // it is refused for want of one (the window says so).
        bool bNeedsSelection = false;
        // Null: not a checkable command.
        std::function<bool()> checked;
        // Null: the menu's own text (undo and redo name what they undo).
        std::function<std::string()> label;
        // Null: the command opens no menu of its own; otherwise its entries
        // as they are now (the drop-down arrow of its tool-bar button shows them).
        std::function<std::vector<PopupItem>()> popup;
    };

    // A second registration under the same identifier replaces the first.
    void Register(LCommandId id, Handler handler);
    bool IsRegistered(LCommandId id) const;
    // False for a command nobody has registered (work still to come).
    bool IsEnabled(LCommandId id) const;
    bool NeedsSelection(LCommandId id) const;
    std::optional<bool> IsChecked(LCommandId id) const;
    std::optional<std::string> Label(LCommandId id) const;
    // Empty for a command that opens no menu of its own.
    std::vector<PopupItem> Popup(LCommandId id) const;
    // The key that runs a command, in portable text ("Ctrl+S"), as the key
    // bindings of the inputs above this room name it; empty for none.
    void SetKeyNames(std::function<std::string(LCommandId)> keyName) { m_keyName = std::move(keyName); }
    std::string KeyName(LCommandId id) const { return m_keyName ? m_keyName(id) : std::string(); }

    // False when the command is not enabled or did nothing. A release runs
    // even when the command was disabled meanwhile, so a held button is
    // always let go.
    bool Run(LCommandId id, Action action);
    bool Trigger(LCommandId id) { return Run(id, Action::Trigger); }
    bool Press(LCommandId id) { return Run(id, Action::Press); }
    bool Release(LCommandId id) { return Run(id, Action::Release); }

    // Asks every input to look again at what is enabled and checked: after a
    // selection, an edit or the end of a recording. A disabled menu action
    // takes no shortcut, so this cannot wait until a menu opens.
    void Refresh() { emit StateChanged(); }

signals:
    void StateChanged();
    // A trigger or press of a command that is not enabled now.
    void Refused(LCommandId id);

private:
    std::map<LCommandId, Handler> m_handlers;
    std::function<std::string(LCommandId)> m_keyName;
};
