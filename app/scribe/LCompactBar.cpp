#include "app/scribe/LCompactBar.h"

#include "app/shared/input/LCommandRouter.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>

namespace {

// Qt's standard media pictures are drawn in a fixed dark grey, which looks
// greyed out on a dark window: each is redrawn in the palette's button text
// colour (and its disabled one), keeping its shape.
QIcon Inked(const QWidget* pWidget, QStyle::StandardPixmap which)
{
    const QIcon base = pWidget->style()->standardIcon(which);
    QList<QSize> sizes = base.availableSizes();
    if (sizes.isEmpty())
        sizes = { QSize(16, 16), QSize(24, 24), QSize(32, 32) };
    QIcon inked;
    for (const QIcon::Mode mode : { QIcon::Normal, QIcon::Disabled }) {
        const QColor ink = pWidget->palette().color(
            mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, QPalette::ButtonText);
        for (const QSize& size : sizes) {
            QPixmap pixmap = base.pixmap(size);
            QPainter painter(&pixmap);
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(pixmap.rect(), ink);
            painter.end();
            inked.addPixmap(pixmap, mode);
        }
    }
    return inked;
}

QToolButton* Button(QWidget* pParent, const QString& name)
{
    auto* pButton = new QToolButton(pParent);
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
    m_pList = Button(this, QStringLiteral("Job list"));
    m_pRewind = Button(this, QStringLiteral("Rewind"));
    m_pPlay = Button(this, QStringLiteral("Play"));
    m_pForward = Button(this, QStringLiteral("Fast Forward"));
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
             m_pList, m_pRewind, m_pPlay, m_pForward, m_pSpeed, m_pFine, m_pPosition, m_pTime, m_pTitle })
        pLayout->addWidget(p);

    // The scanning buttons scan while held, as the pedals do.
    connect(m_pRewind, &QToolButton::pressed, this, [this] { m_router.Trigger(LCommandId::kRewind); });
    connect(m_pRewind, &QToolButton::released, this, [this] { m_router.Release(LCommandId::kRewind); });
    connect(m_pForward, &QToolButton::pressed, this, [this] { m_router.Trigger(LCommandId::kFastForward); });
    connect(m_pForward, &QToolButton::released, this, [this] { m_router.Release(LCommandId::kFastForward); });
    connect(m_pPlay, &QToolButton::clicked, this,
        [this] { m_router.Trigger(m_model.IsPlaying() ? LCommandId::kStop : LCommandId::kPlay); });
    connect(m_pList, &QToolButton::clicked, this, [this] {
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
    UpdateIcons();
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

void LCompactBar::changeEvent(QEvent* pEvent)
{
    QWidget::changeEvent(pEvent);
    if (pEvent->type() == QEvent::PaletteChange || pEvent->type() == QEvent::StyleChange)
        UpdateIcons();
}

void LCompactBar::UpdateIcons()
{
    // A picture in colours of its own, legible on either palette.
    m_pList->setIcon(style()->standardIcon(QStyle::SP_FileDialogListView));
    m_pRewind->setIcon(Inked(this, QStyle::SP_MediaSeekBackward));
    m_pForward->setIcon(Inked(this, QStyle::SP_MediaSeekForward));
    UpdateState();
}

void LCompactBar::UpdateState()
{
    const bool bPlaying = m_model.IsPlaying() && !m_model.IsScanning();
    m_pPlay->setIcon(Inked(this, bPlaying ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
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
