#include "app/scribe/LPlaybackPage.h"

#include "app/scribe/LScribeUiKeys.h"
#include "app/shared/transport/LTransport.h"

#include <QFormLayout>
#include <QLabel>
#include <QSpinBox>

LPlaybackPage::LPlaybackPage(QWidget* pParent)
    : LSheetPage(pParent)
{
    auto* pLayout = new QFormLayout(this);
    m_pRewind = new QSpinBox(this);
    m_pRewind->setRange(0, ScribeUiKeys::kMaxAutoRewindMs);
    m_pRewind->setSingleStep(250);
    m_pRewind->setSuffix(QStringLiteral(" ms"));
    m_pRewind->setSpecialValueText(QStringLiteral("Off"));
    m_pRewind->setValue(std::clamp(ScribeUiKeys::kAutoRewindMs.Get(), 0, ScribeUiKeys::kMaxAutoRewindMs));
    m_pFine = new QSpinBox(this);
    m_pFine->setRange(LTransport::kMinFineSpeed, LTransport::kMaxFineSpeed);
    m_pFine->setSingleStep(5);
    m_pFine->setSuffix(QStringLiteral(" %"));
    m_pFine->setValue(std::clamp(ScribeUiKeys::kFineSpeed.Get(), LTransport::kMinFineSpeed, LTransport::kMaxFineSpeed));
    pLayout->addRow(QStringLiteral("&Auto-rewind on each pause:"), m_pRewind);
    pLayout->addRow(QStringLiteral("&Fine speed (of slow, normal or fast):"), m_pFine);
    auto* pNote = new QLabel(QStringLiteral("Slow, normal and fast play at half, the same and one and a half times "
                                            "the dictated speed; the fine speed adjusts each of them, and the "
                                            "voice keeps its pitch."),
        this);
    pNote->setWordWrap(true);
    pLayout->addRow(pNote);
}

bool LPlaybackPage::Store()
{
    return ScribeUiKeys::kAutoRewindMs.Set(m_pRewind->value()) && ScribeUiKeys::kFineSpeed.Set(m_pFine->value());
}
