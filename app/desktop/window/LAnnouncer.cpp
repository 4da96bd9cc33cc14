#include "app/desktop/window/LAnnouncer.h"

#include "app/desktop/session/LSession.h"
#include "app/desktop/transport/LTransport.h"
#include "app/shared/input/LCommandRouter.h"
#include "sound/LSoundTime.h"

#include <QWidget>

namespace {

const char* const kModeNames[] = { "Append", "Insert", "Overwrite" };

} // namespace

LAnnouncer::LAnnouncer(QWidget& window, LSession& session, LTransport& transport, LCommandRouter& router)
    : QObject(&window)
    , m_window(window)
    , m_session(session)
    , m_transport(transport)
{
    m_state = StateText();
    m_nRecordMode = m_transport.GetRecordMode();
    m_sincePosition.start();
    m_stopTimer.setSingleShot(true);
    m_stopTimer.setInterval(150);
    connect(&m_stopTimer, &QTimer::timeout, this, [this] {
        m_lastPosition = PositionText();
        Announce(QStringLiteral("Stopped at %1").arg(m_lastPosition));
    });
    connect(&transport, &LTransport::PlayingChanged, this, &LAnnouncer::OnStateMaybeChanged);
    connect(&transport, &LTransport::RecordStateChanged, this, &LAnnouncer::OnStateMaybeChanged);
    // Scanning and the record mode have no signal of their own; every command is followed by this.
    connect(&router, &LCommandRouter::StateChanged, this, &LAnnouncer::OnStateMaybeChanged);
    connect(&session, &LSession::PositionChanged, this, &LAnnouncer::OnPosition);
}

QString LAnnouncer::StateText() const
{
    switch (m_transport.GetRecordState()) {
    case LSoundRecorder::kStateStopped:
        break;
    case LSoundRecorder::kStateRecording:
        return QStringLiteral("Recording");
    default:
        return QStringLiteral("Recording paused, waiting for the voice");
    }
    if (m_transport.IsScanning())
        return m_transport.IsPlaying() ? QStringLiteral("Scanning") : QStringLiteral("Stopped");
    return m_transport.IsPlaying() ? QStringLiteral("Playing") : QStringLiteral("Stopped");
}

QString LAnnouncer::PositionText() const
{
    return QString::fromStdString(LSoundTime(m_session.Position()).ToTextSeconds());
}

void LAnnouncer::OnStateMaybeChanged()
{
    const int nMode = m_transport.GetRecordMode();
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
    if (m_transport.GetRecordState() != LSoundRecorder::kStateStopped)
        return;
    const bool bRunning = m_transport.IsPlaying();
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
