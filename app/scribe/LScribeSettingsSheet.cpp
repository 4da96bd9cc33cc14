#include "app/scribe/LScribeSettingsSheet.h"

#include "app/scribe/LPedalsPage.h"
#include "app/scribe/LPlaybackPage.h"
#include "app/scribe/LScribeKeysPage.h"
#include "app/scribe/LSourcesPage.h"
#include "app/scribe/LTypistPage.h"

LScribeSettingsSheet::LScribeSettingsSheet(bool bHotKeysAvailable, int nStart, QWidget* pParent)
    : LPropertySheet(
        QStringLiteral("Settings"),
        [bHotKeysAvailable](QWidget* p) {
            return Pages { { kSources, new LSourcesPage(p) }, { kKeys, new LScribeKeysPage(bHotKeysAvailable, p) },
                { kTypist, new LTypistPage(p) }, { kPedals, new LPedalsPage(p) }, { kPlayback, new LPlaybackPage(p) } };
        },
        nStart, pParent)
{
}
