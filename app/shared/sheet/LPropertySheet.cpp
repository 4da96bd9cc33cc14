#include "app/shared/sheet/LPropertySheet.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

LPropertySheet::LPropertySheet(const QString& title, const Builder& build, int nStart, QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(title);
    m_pTabs = new QTabWidget(this);
    m_pages = build(m_pTabs);
    for (const auto& [nIndex, pPage] : m_pages) {
        m_pTabs->addTab(pPage, pPage->Title());
        if (nIndex == nStart)
            m_pTabs->setCurrentWidget(pPage);
    }
    auto* pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(pButtons, &QDialogButtonBox::accepted, this, [this] {
        if (StoreAll())
            accept();
    });
    connect(pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(m_pTabs);
    pLayout->addWidget(pButtons);
}

LSheetPage* LPropertySheet::Page(int nIndex) const
{
    for (const auto& [n, pPage] : m_pages)
        if (n == nIndex)
            return pPage;
    return nullptr;
}

LSheetPage* LPropertySheet::CurrentPage() const
{
    return static_cast<LSheetPage*>(m_pTabs->currentWidget());
}

bool LPropertySheet::StoreAll()
{
    // In page order, stopping at the first refusal, so a page after it
    // stores nothing and a Cancel then leaves it as it was.
    for (const auto& [n, pPage] : m_pages) {
        (void)n;
        if (!pPage->Store()) {
            m_pTabs->setCurrentWidget(pPage);
            return false;
        }
    }
    return true;
}
