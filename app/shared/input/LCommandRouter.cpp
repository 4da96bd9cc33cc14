#include "app/shared/input/LCommandRouter.h"

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

bool LCommandRouter::NeedsSelection(LCommandId id) const
{
    auto it = m_handlers.find(id);
    return it != m_handlers.end() && it->second.bNeedsSelection;
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
    if (action != Action::Release && !IsEnabled(id)) {
        emit Refused(id);
        return false;
    }
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
