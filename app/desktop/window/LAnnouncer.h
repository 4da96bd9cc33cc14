// Tells a screen reader what the transport is doing, wherever the focus is
// in the main window: the state (stopped, playing, recording, waiting for the
// voice, rewinding, fast forward), the position on a stop or a move and now
// and then while playing or scanning, and the record mode when it changes.
// Qt 6.4 has no announcement event, so the text goes out as the main
// window's accessible name followed by the program's name: Orca speaks a
// name change of the active frame whichever of its controls has the focus.
// GUI thread.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

class LCommandRouter;
class LPlaybackModel;
class QWidget;

class LAnnouncer : public QObject {
    Q_OBJECT
public:
    // Running (playing or scanning) positions at most this often; none while
    // recording, where speech would reach the microphone.
    static constexpr int kRunningIntervalMs = 5000;

    LAnnouncer(QWidget& window, LPlaybackModel& model, LCommandRouter& router);

    // The last text said, without the program's name.
    QString LastAnnouncement() const { return m_last; }

private:
    QString StateText() const;
    QString PositionText() const;
    void OnStateMaybeChanged();
    void OnPosition();
    void Announce(const QString& text);

    QWidget& m_window;
    LPlaybackModel& m_model;
    QString m_state;
    int m_nRecordMode = -1;
    QString m_last;
    // The position last told, alone or with a stop.
    QString m_lastPosition;
    QElapsedTimer m_sincePosition;
    // A stop is told once the position it leaves has arrived.
    QTimer m_stopTimer;
};
