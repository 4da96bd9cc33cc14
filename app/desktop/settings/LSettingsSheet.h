// The "Settings" sheet: its pages as tabs, OK and Cancel (no Apply). OK asks
// the pages to store and closes only when all of them did; Cancel stores
// nothing. GUI thread.
#pragma once

#include "app/shared/sheet/LSheetPage.h"

#include <QDialog>

#include <memory>
#include <utility>
#include <vector>

class QTabWidget;
struct LUserPrompts;

class LSettingsSheet : public QDialog {
    Q_OBJECT
public:
    // The pages' places in the sheet; a page not built is left out and the
    // others keep their numbers.
    enum PageIndex : int { kDevices = 0, kOptions = 1, kKeys = 2, kSend = 3, kUser = 4 };
    using Pages = std::vector<std::pair<int, LSheetPage*>>;

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

    QTabWidget* Tabs() const { return m_pTabs; }
    // The page at index n; null when absent.
    LSheetPage* Page(int nIndex) const;
    LSheetPage* CurrentPage() const;
    // OK: asks the pages to store in order; false (the sheet stays open at
    // that page) at the first that refused.
    bool StoreAll();

private:
    QTabWidget* m_pTabs = nullptr;
    Pages m_pages;
};
