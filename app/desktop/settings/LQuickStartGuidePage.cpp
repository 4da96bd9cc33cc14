#include "app/desktop/settings/LQuickStartGuidePage.h"

#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

LQuickStartGuidePage::LQuickStartGuidePage(std::function<void()> openHelp, QWidget* pParent)
    : LWizardStepPage("Step 3", "Ready to Dictate", pParent)
    , m_openHelp(std::move(openHelp))
{
    auto* pText = new QLabel(QStringLiteral("Tavrine Dictate is ready to record. The manual shows how to record, "
                                            "play back, edit and send your dictations."),
        this);
    pText->setWordWrap(true);
    m_pShow = Add(kIdShowManual, new QRadioButton(QStringLiteral("Yes, show me the manual please."), this));
    auto* pNo
        = Add(kIdNoManual, new QRadioButton(QStringLiteral("No, I already know how to use Tavrine Dictate."), this));
    m_pShow->setChecked(true);
    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pText);
    pLayout->addSpacing(12);
    pLayout->addWidget(m_pShow);
    pLayout->addWidget(pNo);
    pLayout->addStretch();
}

void LQuickStartGuidePage::Store()
{
    if (m_pShow->isChecked() && m_openHelp)
        m_openHelp();
}
