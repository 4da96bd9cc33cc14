#include "app/desktop/commands/LCommandRouter.h"

#include <array>

std::string_view CommandSetName(LCommandId id)
{
    static constexpr std::array<std::string_view, kCommandSetCount> kNames
        = { "No Action", "Open Tavrine Dictate", "Minimize Tavrine Dictate", "Record", "Play", "Go to start",
              "Go to end", "Rewind", "Fast Forward", "Create New Dictation", "Send Dictation", "Send High Priority",
              "Record Overwrite", "Record Insert", "Record at End", "Step Back 5s", "Step Forward 5s" };
    const int n = static_cast<int>(id);
    return n >= 0 && n < kCommandSetCount ? kNames[static_cast<size_t>(n)] : std::string_view();
}

void LCommandRouter::Register(LCommandId id, Handler handler)
{
    m_handlers[id] = std::move(handler);
}

bool LCommandRouter::IsRegistered(LCommandId id) const
{
    return m_handlers.count(id) != 0;
}

bool LCommandRouter::IsEnabled(LCommandId id) const
{
    auto it = m_handlers.find(id);
    return it != m_handlers.end() && (!it->second.enabled || it->second.enabled());
}

std::optional<bool> LCommandRouter::IsChecked(LCommandId id) const
{
    auto it = m_handlers.find(id);
    if (it == m_handlers.end() || !it->second.checked)
        return std::nullopt;
    return it->second.checked();
}

std::optional<std::string> LCommandRouter::Label(LCommandId id) const
{
    auto it = m_handlers.find(id);
    if (it == m_handlers.end() || !it->second.label)
        return std::nullopt;
    return it->second.label();
}

std::vector<LCommandRouter::PopupItem> LCommandRouter::Popup(LCommandId id) const
{
    auto it = m_handlers.find(id);
    if (it == m_handlers.end() || !it->second.popup)
        return {};
    return it->second.popup();
}

bool LCommandRouter::Run(LCommandId id, Action action)
{
    auto it = m_handlers.find(id);
    if (it == m_handlers.end())
        return false;
    if (action != Action::Release && !IsEnabled(id))
        return false;
    // Copied: a handler may register again or close the window.
    const Handler handler = it->second;
    bool bDone = false;
    switch (action) {
    case Action::Trigger:
        bDone = handler.trigger && handler.trigger();
        break;
    case Action::Press:
        bDone = handler.press ? handler.press() : (handler.trigger && handler.trigger());
        break;
    case Action::Release:
        bDone = handler.release && handler.release();
        break;
    }
    Refresh();
    return bDone;
}
