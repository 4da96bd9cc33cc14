#include "app/desktop/window/LTransportBar.h"

#include "app/desktop/window/LControlIds.h"
#include "app/desktop/window/LIcons.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LKeyBindings.h"
#include "app/shared/transport/LPlaybackModel.h"
#include "dictation/LDictation.h"
#include "ui/LAccessible.h"
#include "ui/LDBDisplay.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QToolButton>

#include <algorithm>

namespace {

using namespace LControlIds;
using LIcons::Glyph;

struct Button {
    int nId;
    Glyph glyph;
    const char* szName;
    const char* szDoes; // the accessible description, before the key
    bool bCheckable;
    LCommandId command;
    // Scanning: acts on press and on release.
    bool bHeld;
};

const Button kButtons[] = {
    { kIdPlay, Glyph::Play, "Play", "Plays the dictation from the position", true, LCommandId::kPlay, false },
    { kIdRecord, Glyph::Record, "Record", "Records at the position in the record mode", true, LCommandId::kRecord,
        false },
    { kIdStop, Glyph::Stop, "Stop", "Stops playing or recording", false, LCommandId::kStop, false },
    { kIdGoStart, Glyph::GoStart, "Go to Start", "Moves the position to the start", false, LCommandId::kGoStart,
        false },
    { kIdRewind, Glyph::Rewind, "Rewind", "Rewinds while held", false, LCommandId::kRewind, true },
    { kIdFastForward, Glyph::FastForward, "Fast Forward", "Winds forward while held", false, LCommandId::kFastForward,
        true },
    { kIdGoEnd, Glyph::GoEnd, "Go to End", "Moves the position to the end", false, LCommandId::kGoEnd, false },
};

LIcons::Record RecordImage(LPlaybackModel::State state, bool bInsert)
{
    using R = LIcons::Record;
    switch (state) {
    case LPlaybackModel::State::Recording:
        return bInsert ? R::RecordingInsert : R::Recording;
    case LPlaybackModel::State::Waiting:
        return bInsert ? R::WaitingInsert : R::Waiting;
    default:
        break;
    }
    return bInsert ? R::Insert : R::Normal;
}

} // namespace

LTransportBar::LTransportBar(LPlaybackModel& model, LCommandRouter& router, QWidget* pParent)
    : QFrame(pParent)
    , m_model(model)
{
    setFrameShape(QFrame::StyledPanel);
    setAccessibleName(QStringLiteral("Control"));
    auto* pGrid = new QGridLayout(this);
    pGrid->setContentsMargins(2, 2, 2, 2);
    pGrid->setSpacing(2);
    m_controls[kIdControlFrame] = this;

    m_pLevel = new LDBDisplay(this);
    // Readable from across the room: well over a line of text high.
    m_pLevel->setFixedHeight(std::max(20, fontMetrics().height() * 3 / 2));
    m_pPositionBar = new QSlider(Qt::Horizontal, this);
    m_pPositionBar->setRange(0, 100);
    m_pPositionBar->setPageStep(10);
    m_pPositionText = new QLabel(this);
    m_pPositionText->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QFont font = m_pPositionText->font();
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_pPositionText->setFont(font);
    auto* pPositionRow = new QHBoxLayout;
    pPositionRow->setSpacing(8);
    m_pRecordState = new QLabel(this);
    m_pRecordState->setFont(font);
    m_pRecordState->setVisible(false);
    pPositionRow->addWidget(m_pPositionBar, 1);
    pPositionRow->addWidget(m_pRecordState);
    pPositionRow->addWidget(m_pPositionText);
    pGrid->addWidget(m_pLevel, 0, 0, 1, 7);
    pGrid->addLayout(pPositionRow, 1, 0, 1, 7);
    LAccessible::Describe({ { m_pLevel, "Level", "Input level while recording, output level while playing" },
        { m_pPositionBar, "Position", "Moves the play position; Home and End go to the start and the end" },
        { m_pPositionText, "Position time", "Elapsed and total time" },
        { m_pRecordState, "Record state", "Whether the recorder runs, and its mode" } });
    m_controls[kIdLevel] = m_pLevel;
    m_controls[kIdPositionBar] = m_pPositionBar;
    m_controls[kIdPositionText] = m_pPositionText;

    int nColumn = 0;
    for (const Button& button : kButtons) {
        auto* pButton = new QToolButton(this);
        pButton->setIcon(LIcons::GlyphIcon(button.glyph));
        pButton->setIconSize(QSize(24, 24));
        const QString name = QString::fromUtf8(button.szName);
        const QString key = LKeyBindings::KeyTextOf(button.command);
        pButton->setToolTip(QStringLiteral("%1 (%2)").arg(name, key));
        pButton->setAccessibleName(name);
        pButton->setAccessibleDescription(QStringLiteral("%1 (%2)").arg(QString::fromUtf8(button.szDoes), key));
        pButton->setCheckable(button.bCheckable);
        pButton->setFixedHeight(36);
        pButton->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        pButton->setAutoRepeat(false);
        const LCommandId command = button.command;
        if (button.bHeld) {
            connect(pButton, &QToolButton::pressed, this, [&router, command] { router.Press(command); });
            connect(pButton, &QToolButton::released, this, [&router, command] { router.Release(command); });
        } else {
            connect(pButton, &QToolButton::clicked, this, [this, &router, command] {
                router.Trigger(command);
                SyncButtons();
            });
        }
        pGrid->addWidget(pButton, 2, nColumn);
        pGrid->setColumnStretch(nColumn, 1);
        m_controls[button.nId] = pButton;
        ++nColumn;
    }

    connect(m_pPositionBar, &QSlider::actionTriggered, this, [this](int nAction) {
        switch (nAction) {
        case QAbstractSlider::SliderSingleStepSub:
            m_model.Scroll(LPlaybackModel::kLineLeft, 0);
            break;
        case QAbstractSlider::SliderPageStepSub:
            m_model.Scroll(LPlaybackModel::kPageLeft, 0);
            break;
        case QAbstractSlider::SliderSingleStepAdd:
            m_model.Scroll(LPlaybackModel::kLineRight, 0);
            break;
        case QAbstractSlider::SliderPageStepAdd:
            m_model.Scroll(LPlaybackModel::kPageRight, 0);
            break;
        case QAbstractSlider::SliderMove:
            m_model.Scroll(LPlaybackModel::kThumbTrack, m_pPositionBar->sliderPosition());
            break;
        case QAbstractSlider::SliderToMinimum:
            m_model.Scroll(LPlaybackModel::kTop, 0);
            break;
        case QAbstractSlider::SliderToMaximum:
            m_model.Scroll(LPlaybackModel::kBottom, 0);
            break;
        default:
            break;
        }
    });
    connect(&m_model, &LPlaybackModel::PositionChanged, this, &LTransportBar::ShowPosition);
    connect(&m_model, &LPlaybackModel::LengthChanged, this, &LTransportBar::ShowPosition);
    auto* pPlay = static_cast<QToolButton*>(m_controls[kIdPlay]);
    auto* pRecord = static_cast<QToolButton*>(m_controls[kIdRecord]);
    auto showRecord = [this, pRecord] {
        pRecord->setIcon(LIcons::RecordIcon(RecordImage(m_model.GetState(), m_model.RecordInsert())));
    };
    connect(&m_model, &LPlaybackModel::StateChanged, this, [this, pPlay, pRecord, showRecord] {
        pPlay->setChecked(m_model.IsPlaying());
        pRecord->setChecked(m_model.IsRecorderBusy());
        showRecord();
        ShowRecordState();
    });
    connect(&m_model, &LPlaybackModel::RecordModeChanged, pRecord, showRecord);
    connect(&m_model, &LPlaybackModel::RecordModeChanged, this, &LTransportBar::ShowRecordState);
    connect(&m_model, &LPlaybackModel::LevelsChanged, m_pLevel,
        [this](const LChannelLevels& levels) { m_pLevel->SetLevels(levels.nLevel, levels.nCount); });
    connect(&m_model, &LPlaybackModel::LevelsCleared, m_pLevel, [this] { m_pLevel->ClearLevels(); });
    showRecord();
    ShowRecordState();
    ShowPosition();
}

QString LTransportBar::RecordStateText(bool bWaiting, bool bRecording, int nMode)
{
    static const char* const kModes[] = { "Append", "Insert", "Overwrite" };
    if (!bWaiting && !bRecording)
        return QString();
    const char* szMode = nMode >= 0 && nMode < 3 ? kModes[nMode] : kModes[2];
    return QStringLiteral("%1 - %2").arg(
        bRecording ? QStringLiteral("Recording") : QStringLiteral("Waiting for voice"), QString::fromUtf8(szMode));
}

void LTransportBar::ShowRecordState()
{
    const LPlaybackModel::State state = m_model.GetState();
    const QString text = RecordStateText(
        state == LPlaybackModel::State::Waiting, state == LPlaybackModel::State::Recording, m_model.RecordingMode());
    m_pRecordState->setText(text);
    // A red that keeps its contrast on a dark scheme too; bold so it reads without colour.
    const bool bDark = palette().color(QPalette::Window).lightness() < 128;
    m_pRecordState->setStyleSheet(bDark ? QStringLiteral("QLabel { color: #ff6060; font-weight: bold; }")
                                        : QStringLiteral("QLabel { color: #c00000; font-weight: bold; }"));
    m_pRecordState->setVisible(!text.isEmpty());
}

QWidget* LTransportBar::Control(int nId) const
{
    auto it = m_controls.find(nId);
    return it == m_controls.end() ? nullptr : it->second;
}

void LTransportBar::SetCurrent(bool bCurrent)
{
    for (int nId : { int { kIdPlay }, int { kIdStop }, int { kIdGoStart }, int { kIdRewind }, int { kIdFastForward },
             int { kIdGoEnd }, int { kIdPositionText }, int { kIdPositionBar }, int { kIdControlFrame } })
        m_controls[nId]->setEnabled(bCurrent);
}

int LTransportBar::PositionPercent(int32_t nPositionMs, int32_t nLengthMs)
{
    if (nLengthMs < 1)
        return 0;
    int64_t nPercent = int64_t { 100 } * std::max(nPositionMs, 0) / nLengthMs;
    return static_cast<int>(std::min<int64_t>(nPercent, 100));
}

QString LTransportBar::TimeText(int32_t nPositionMs, int32_t nLengthMs)
{
    const int64_t nPosition = std::max(nPositionMs, 0) / 1000;
    const int64_t nLength = std::max(nLengthMs, 0) / 1000;
    const bool bHours = std::max(nPosition, nLength) >= 3600;
    auto text = [bHours](int64_t n) {
        if (bHours)
            return QStringLiteral("%1:%2:%3")
                .arg(n / 3600)
                .arg(n / 60 % 60, 2, 10, QChar('0'))
                .arg(n % 60, 2, 10, QChar('0'));
        return QStringLiteral("%1:%2").arg(n / 60).arg(n % 60, 2, 10, QChar('0'));
    };
    return text(nPosition) + QStringLiteral(" / ") + text(nLength);
}

void LTransportBar::ShowPosition()
{
    const QString text = TimeText(m_model.Position(), m_model.Length());
    m_pPositionText->setText(text);
    // As wide as the widest text of this form, so the slider does not jump.
    QString widest = text;
    for (QChar& c : widest)
        if (c.isDigit())
            c = QChar('8');
    m_pPositionText->setMinimumWidth(m_pPositionText->fontMetrics().horizontalAdvance(widest) + 4);
    m_pPositionBar->setValue(PositionPercent(m_model.Position(), m_model.Length()));
}

void LTransportBar::SyncButtons()
{
    static_cast<QToolButton*>(m_controls[kIdPlay])->setChecked(m_model.IsPlaying() && !m_model.IsScanning());
    static_cast<QToolButton*>(m_controls[kIdRecord])->setChecked(m_model.IsRecorderBusy());
}
