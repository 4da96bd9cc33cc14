#include "app/desktop/settings/LSettingsSheet.h"

#include "app/desktop/settings/LKeysPage.h"
#include "app/desktop/settings/LOptionsPage.h"
#include "app/desktop/settings/LSaveSendPage.h"
#include "app/desktop/settings/LSettingsPage.h"
#include "app/desktop/settings/LUserPage.h"

#include <QDialogButtonBox>
#include <QTabWidget>
#include <QVBoxLayout>

LSettingsSheet::Pages LSettingsSheet::BuildPages(const Context& context, QWidget* pParent)
{
    return { { kDevices, new LSettingsPage(context.prompts, pParent) },
        { kOptions, new LOptionsPage(context.prompts, pParent) },
        { kKeys, new LKeysPage(context.prompts, context.bHotKeysAvailable, pParent) },
        { kSend, new LSaveSendPage(context.prompts, pParent) }, { kUser, new LUserPage(context.prompts, pParent) } };
}

LSettingsSheet::LSettingsSheet(const Context& context, int nStart, QWidget* pParent)
    : QDialog(pParent)
{
    setWindowTitle(QStringLiteral("Settings"));
    setObjectName(QStringLiteral("LSettingsSheet"));
    m_pTabs = new QTabWidget(this);
    m_pages = BuildPages(context, m_pTabs);
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

LSheetPage* LSettingsSheet::Page(int nIndex) const
{
    for (const auto& [n, pPage] : m_pages)
        if (n == nIndex)
            return pPage;
    return nullptr;
}

LSheetPage* LSettingsSheet::CurrentPage() const
{
    return static_cast<LSheetPage*>(m_pTabs->currentWidget());
}

bool LSettingsSheet::StoreAll()
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
