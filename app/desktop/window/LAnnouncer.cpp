#include "app/desktop/window/LAnnouncer.h"

#include "app/shared/input/LCommandRouter.h"
#include "app/shared/transport/LPlaybackModel.h"
#include "sound/LSoundTime.h"

#include <QWidget>

namespace {

const char* const kModeNames[] = { "Append", "Insert", "Overwrite" };

} // namespace

LAnnouncer::LAnnouncer(QWidget& window, LPlaybackModel& model, LCommandRouter& router)
    : QObject(&window)
    , m_window(window)
    , m_model(model)
{
    m_state = StateText();
    m_nRecordMode = m_model.RecordMode();
    m_sincePosition.start();
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setInterval(150);
    connect(&m_stopTimer, &QTimer::timeout, this, [this] {
        m_lastPosition = PositionText();
        Announce(QStringLiteral("Stopped at %1").arg(m_lastPosition));
    });
    connect(&model, &LPlaybackModel::StateChanged, this, &LAnnouncer::OnStateMaybeChanged);
    connect(&model, &LPlaybackModel::RecordModeChanged, this, &LAnnouncer::OnStateMaybeChanged);
    // Every command is followed by this as well.
    connect(&router, &LCommandRouter::StateChanged, this, &LAnnouncer::OnStateMaybeChanged);
    connect(&model, &LPlaybackModel::PositionChanged, this, &LAnnouncer::OnPosition);
}

QString LAnnouncer::StateText() const
{
    switch (m_model.GetState()) {
    case LPlaybackModel::State::Recording:
        return QStringLiteral("Recording");
    case LPlaybackModel::State::Waiting:
        return QStringLiteral("Recording paused, waiting for the voice");
    case LPlaybackModel::State::Scanning:
        return QStringLiteral("Scanning");
    case LPlaybackModel::State::Playing:
        return QStringLiteral("Playing");
    case LPlaybackModel::State::Idle:
        break;
    }
    return QStringLiteral("Stopped");
}

QString LAnnouncer::PositionText() const
{
    return QString::fromStdString(LSoundTime(m_model.Position()).ToTextSeconds());
}

void LAnnouncer::OnStateMaybeChanged()
{
    const int nMode = m_model.RecordMode();
    if (nMode != m_nRecordMode && nMode >= 0 && nMode <= 2) {
        m_nRecordMode = nMode;
        Announce(QStringLiteral("Record mode %1").arg(QString::fromUtf8(kModeNames[nMode])));
    }
    const QString state = StateText();
    if (state == m_state)
        return;
    m_state = state;
    m_sincePosition.restart();
    // A stop says where it stopped; a start says only what started.
    if (state == QStringLiteral("Stopped")) {
        m_stopTimer.start();
        return;
    }
    m_stopTimer.stop();
    Announce(state);
}

void LAnnouncer::OnPosition()
{
    if (m_model.IsRecorderBusy())
        return;
    const bool bRunning = m_model.IsPlaying();
    if (bRunning && m_sincePosition.elapsed() < kRunningIntervalMs)
        return;
    // The position of a stop is said with the stop itself.
    if (m_stopTimer.isActive() || (!bRunning && m_state != StateText()) || PositionText() == m_lastPosition)
        return;
    m_sincePosition.restart();
    m_lastPosition = PositionText();
    Announce(m_lastPosition);
}

void LAnnouncer::Announce(const QString& text)
{
    if (text == m_last)
        return;
    m_last = text;
    m_window.setAccessibleName(QStringLiteral("%1 - %2").arg(text, m_window.windowTitle()));
}
