#include "app/desktop/commands/LSettingsCommands.h"

#include "app/desktop/settings/LSettingsSheet.h"
#include "app/shared/prompts/LUserPrompts.h"

LSettingsCommands::LSettingsCommands(LUserPrompts& prompts, Hooks hooks)
    : m_prompts(prompts)
    , m_hooks(std::move(hooks))
{
}

void LSettingsCommands::RegisterCommands(LCommandRouter& router)
{
    const std::pair<LCommandId, int> entries[] = { { LCommandId::kHardwareSettings, LSettingsSheet::kDevices },
        { LCommandId::kRecipientSettings, LSettingsSheet::kSend },
        { LCommandId::kUserSettings, LSettingsSheet::kUser } };
    for (const auto& entry : entries) {
        const int nPage = entry.second;
        LCommandRouter::Handler handler;
        handler.trigger = [this, nPage] {
            (void)OpenSettings(nPage);
            return true;
        };
        router.Register(entry.first, std::move(handler));
    }
}

bool LSettingsCommands::OpenSettings(int nPage)
{
    if (m_hooks.stopTransport)
        m_hooks.stopTransport();
    if (m_hooks.suspendInputs)
        m_hooks.suspendInputs();
    bool bOk = false;
    {
        const LSettingsSheet::Context context { m_prompts, m_hooks.hotKeysAvailable && m_hooks.hotKeysAvailable() };
        LSettingsSheet sheet(context, nPage, m_pParent);
        bOk = (m_prompts.exec ? m_prompts.exec(sheet) : sheet.exec()) == QDialog::Accepted;
    }
    if (m_hooks.resumeInputs)
        m_hooks.resumeInputs();
    return bOk;
}
