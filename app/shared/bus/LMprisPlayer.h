// Media keys: the desktop forwards its play, stop, next and previous keys
// (and phone remotes and headset buttons) to media players over MPRIS2 on the
// session bus, so that they reach the program when another window has the
// focus; while a window of the program has the focus the keys arrive as key
// events as well. Both paths end in the command router, and the state
// published (status, position, rate, the dictation as the track) is read from
// the playback model. A press that arrives both ways acts once.
// GUI thread.
#pragma once

#include "app/shared/transport/LPlaybackModel.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <cstdint>

class LCommandRouter;

class LMprisPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr const char* kServiceName = "org.mpris.MediaPlayer2.tavrine";
    static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";
    // The same action from the other path within this time is the same press
    // (a desktop that both forwards a key and lets the focused window have it).
    static constexpr int kEchoMs = 500;

    enum class Action { PlayPause, Play, Pause, Stop, Next, Previous };
    enum class Source { Bus, Key };

    // Watches the keys of the program's windows from construction on.
    LMprisPlayer(LCommandRouter& router, LPlaybackModel& model);
    ~LMprisPlayer() override;

    // Which program the desktop shows as the player; set before Open. The
    // typist's program runs beside the dictator's under names of its own.
    struct Names {
        QString service = QString::fromUtf8(kServiceName);
        QString identity = QStringLiteral("Tavrine Dictate");
        QString desktopEntry = QStringLiteral("org.orvane.Tavrine");
    };
    void SetNames(Names names) { m_names = std::move(names); }
    const Names& GetNames() const { return m_names; }

    // Exports the player and takes its name (a second one gets the usual
    // ".instance<pid>" suffix); false without a session bus.
    bool Open();
    QString Service() const { return m_service; }

    // False when the action was an echo of the other path or did nothing.
    bool Act(Action action, Source source);

    // The published state.
    QString PlaybackStatus() const;
    qlonglong PositionUs() const;
    double Rate() const;
    // Chooses the nearest of the three play speeds (which starts playing, as
    // the speed commands do); not a positive number: nothing.
    void SetRate(double fRate);
    QVariantMap Metadata() const;
    bool CanPlay() const;
    bool CanGo() const;
    void Raise();
    void Quit();

signals:
    // Position in microseconds, after a jump (a step, a move while stopped).
    void Seeked(qlonglong nPositionUs);

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

private:
    struct Published {
        QString status;
        double fRate = 0;
        QVariantMap metadata;
        bool bCanPlay = false;
        bool bCanGo = false;
    };
    // Announces what differs from the last announcement.
    void Publish();
    void OnPosition(int32_t nMs);
    // The position clients extrapolate from the last announcement.
    bool Jumped(int32_t nMs) const;
    void Rebase(int32_t nMs);

    LCommandRouter& m_router;
    LPlaybackModel& m_model;
    // The state last seen, to tell what a change of it was.
    LPlaybackModel::State m_state;
    QString m_service;
    Names m_names;
    Published m_published;
    // Last action per path, for the echo rule.
    Action m_lastAction[2] = { Action::Stop, Action::Stop };
    QElapsedTimer m_lastTime[2];
    // Where the position was at the last update and whether it moved unseen
    // (recording, scanning) since clients last heard of it.
    int32_t m_nBaseMs = 0;
    QElapsedTimer m_baseTime;
    bool m_bBasePlaying = false;
    bool m_bUnannounced = false;
};
