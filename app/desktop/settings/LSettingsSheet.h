// The "Settings" sheet: the desktop program's pages, each at its fixed
// place, in the shared property sheet. GUI thread.
#pragma once

#include "app/shared/sheet/LPropertySheet.h"

struct LUserPrompts;

class LSettingsSheet : public LPropertySheet {
    Q_OBJECT
public:
    // The pages' places in the sheet; a page not built is left out and the
    // others keep their numbers.
    enum PageIndex : int { kDevices = 0, kOptions = 1, kKeys = 2, kSend = 3, kUser = 4 };

    // What the pages need from the program.
    struct Context {
        const LUserPrompts& prompts;
        // Whether this desktop lets the program grab hot keys (the Keys page says when not).
        bool bHotKeysAvailable = false;
    };
    // The one list of the sheet's pages, each with its index, parented to pParent.
    static Pages BuildPages(const Context& context, QWidget* pParent);

    // Opens at page nStart, or at the first page when that one is absent.
    LSettingsSheet(const Context& context, int nStart, QWidget* pParent = nullptr);
};
