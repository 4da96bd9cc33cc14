#include "app/scribe/LCompactBar.h"

#include "app/shared/input/LCommandRouter.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>

namespace {

QToolButton* Button(QWidget* pParent, QStyle::StandardPixmap icon, const QString& name)
{
    auto* pButton = new QToolButton(pParent);
    pButton->setIcon(pParent->style()->standardIcon(icon));
    pButton->setToolTip(name);
    pButton->setAccessibleName(name);
    pButton->setFocusPolicy(Qt::NoFocus);
    pButton->setAutoRaise(true);
    return pButton;
}

} // namespace

LCompactBar::LCompactBar(
    LCommandRouter& router, LPlaybackModel& model, std::function<void(int)> fineSpeed, int nFineSpeed)
    : QWidget(nullptr, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus | Qt::WindowCloseButtonHint)
    , m_router(router)
    , m_model(model)
{
    setWindowTitle(QStringLiteral("Tavrine Scribe"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(4, 2, 4, 2);
    pLayout->setSpacing(2);
    auto* pList = Button(this, QStyle::SP_FileDialogListView, QStringLiteral("Job list"));
    m_pRewind = Button(this, QStyle::SP_MediaSeekBackward, QStringLiteral("Rewind"));
    m_pPlay = Button(this, QStyle::SP_MediaPlay, QStringLiteral("Play"));
    m_pForward = Button(this, QStyle::SP_MediaSeekForward, QStringLiteral("Fast Forward"));
    m_pSpeed = new QComboBox(this);
    m_pSpeed->addItems({ QStringLiteral("Slow"), QStringLiteral("Normal"), QStringLiteral("Fast") });
    m_pSpeed->setFocusPolicy(Qt::NoFocus);
    m_pSpeed->setAccessibleName(QStringLiteral("Speed"));
    m_pFine = new QSpinBox(this);
    m_pFine->setRange(50, 200);
    m_pFine->setSingleStep(5);
    m_pFine->setSuffix(QStringLiteral(" %"));
    m_pFine->setValue(nFineSpeed);
    m_pFine->setFocusPolicy(Qt::NoFocus);
    m_pFine->setAccessibleName(QStringLiteral("Fine speed"));
    m_pFine->setToolTip(QStringLiteral("Fine speed, pitch kept"));
    m_pPosition = new QSlider(Qt::Horizontal, this);
    m_pPosition->setRange(0, 100);
    m_pPosition->setFocusPolicy(Qt::NoFocus);
    m_pPosition->setMinimumWidth(120);
    m_pPosition->setAccessibleName(QStringLiteral("Position"));
    m_pTime = new QLabel(this);
    m_pTitle = new QLabel(this);
    m_pTitle->setMaximumWidth(200);
    for (QWidget* p : std::initializer_list<QWidget*> {
             pList, m_pRewind, m_pPlay, m_pForward, m_pSpeed, m_pFine, m_pPosition, m_pTime, m_pTitle })
        pLayout->addWidget(p);

    // The scanning buttons scan while held, as the pedals do.
    connect(m_pRewind, &QToolButton::pressed, this, [this] { m_router.Trigger(LCommandId::kRewind); });
    connect(m_pRewind, &QToolButton::released, this, [this] { m_router.Release(LCommandId::kRewind); });
    connect(m_pForward, &QToolButton::pressed, this, [this] { m_router.Trigger(LCommandId::kFastForward); });
    connect(m_pForward, &QToolButton::released, this, [this] { m_router.Release(LCommandId::kFastForward); });
    connect(m_pPlay, &QToolButton::clicked, this,
        [this] { m_router.Trigger(m_model.IsPlaying() ? LCommandId::kStop : LCommandId::kPlay); });
    connect(pList, &QToolButton::clicked, this, [this] {
        if (onShowList)
            onShowList();
    });
    connect(m_pSpeed, &QComboBox::activated, this, [this](int n) {
        const LCommandId kSpeeds[3] = { LCommandId::kPlaySlow, LCommandId::kPlayNormal, LCommandId::kPlayFast };
        m_router.Trigger(kSpeeds[std::clamp(n, 0, 2)]);
    });
    connect(m_pFine, &QSpinBox::valueChanged, this, [fineSpeed = std::move(fineSpeed)](int n) { fineSpeed(n); });
    connect(
        m_pPosition, &QSlider::sliderMoved, this, [this](int n) { m_model.Scroll(LPlaybackModel::kThumbPosition, n); });
    connect(&m_model, &LPlaybackModel::StateChanged, this, [this] { UpdateState(); });
    connect(&m_model, &LPlaybackModel::SpeedChanged, this, [this] { UpdateState(); });
    connect(&m_model, &LPlaybackModel::PositionChanged, this, [this] { UpdatePosition(); });
    connect(&m_model, &LPlaybackModel::LengthChanged, this, [this] { UpdatePosition(); });
    UpdateState();
    UpdatePosition();
}

void LCompactBar::SetTitle(const QString& title)
{
    m_pTitle->setText(title);
}

QString LCompactBar::TimeText(int32_t nMs)
{
    const int nSeconds = std::max(nMs, 0) / 1000;
    return QStringLiteral("%1:%2:%3")
        .arg(nSeconds / 3600)
        .arg(nSeconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(nSeconds % 60, 2, 10, QLatin1Char('0'));
}

void LCompactBar::UpdateState()
{
    const bool bPlaying = m_model.IsPlaying() && !m_model.IsScanning();
    m_pPlay->setIcon(style()->standardIcon(bPlaying ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_pPlay->setToolTip(bPlaying ? QStringLiteral("Pause") : QStringLiteral("Play"));
    m_pPlay->setAccessibleName(m_pPlay->toolTip());
    m_pSpeed->setCurrentIndex(std::clamp(m_model.Speed(), 0, 2));
}

void LCompactBar::UpdatePosition()
{
    const int32_t nLength = m_model.Length();
    if (!m_pPosition->isSliderDown())
        m_pPosition->setValue(nLength > 0 ? static_cast<int>(int64_t { m_model.Position() } * 100 / nLength) : 0);
    m_pTime->setText(TimeText(m_model.Position()) + QStringLiteral(" / ") + TimeText(nLength));
}
