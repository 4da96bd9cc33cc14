#include "app/desktop/settings/LSettingsSheet.h"

#include "app/desktop/settings/LKeysPage.h"
#include "app/desktop/settings/LOptionsPage.h"
#include "app/desktop/settings/LSaveSendPage.h"
#include "app/desktop/settings/LSettingsPage.h"
#include "app/desktop/settings/LUserPage.h"

LSettingsSheet::Pages LSettingsSheet::BuildPages(const Context& context, QWidget* pParent)
{
    return { { kDevices, new LSettingsPage(context.prompts, pParent) },
        { kOptions, new LOptionsPage(context.prompts, pParent) },
        { kKeys, new LKeysPage(context.prompts, context.bHotKeysAvailable, pParent) },
        { kSend, new LSaveSendPage(context.prompts, pParent) }, { kUser, new LUserPage(context.prompts, pParent) } };
}

LSettingsSheet::LSettingsSheet(const Context& context, int nStart, QWidget* pParent)
    : LPropertySheet(
        QStringLiteral("Settings"), [&context](QWidget* pPageParent) { return BuildPages(context, pPageParent); },
        nStart, pParent)
{
    setObjectName(QStringLiteral("LSettingsSheet"));
}
