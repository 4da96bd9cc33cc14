// The typist's settings sheet: its pages at fixed indexes over the shared
// property sheet. GUI thread.
#pragma once

#include "app/shared/sheet/LPropertySheet.h"

class LScribeSettingsSheet : public LPropertySheet {
    Q_OBJECT
public:
    enum Page { kSources, kKeys, kTypist, kPedals, kPlayback };
    LScribeSettingsSheet(bool bHotKeysAvailable, int nStart, QWidget* pParent = nullptr);
};
