// A property sheet: its pages as tabs, OK and Cancel (no Apply). OK asks the
// pages to store and closes only when all of them did; Cancel stores
// nothing. Which pages there are is the program's. GUI thread.
#pragma once

#include "app/shared/sheet/LSheetPage.h"

#include <QDialog>

#include <functional>
#include <utility>
#include <vector>

class QTabWidget;

class LPropertySheet : public QDialog {
    Q_OBJECT
public:
    // Each page with its place in the sheet; a page not built is left out
    // and the others keep their numbers.
    using Pages = std::vector<std::pair<int, LSheetPage*>>;
    // Builds the pages, parented to the widget given.
    using Builder = std::function<Pages(QWidget* pParent)>;

    // Opens at page nStart, or at the first page when that one is absent.
    LPropertySheet(const QString& title, const Builder& build, int nStart, QWidget* pParent = nullptr);

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
