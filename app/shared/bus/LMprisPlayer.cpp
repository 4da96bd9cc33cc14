#include "app/shared/bus/LMprisPlayer.h"

#include "app/shared/input/LCommandRouter.h"
#include "dictation/LDictation.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QKeyEvent>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <unistd.h>

namespace {

using Id = LCommandId;
using Action = LMprisPlayer::Action;

// A playing position may lag or lead what a client extrapolates by about a
// block of the player; more than this is a jump.
constexpr int kJumpToleranceMs = 300;

// Play, pause and the toggle are one press for the echo rule.
int Group(Action action)
{
    switch (action) {
    case Action::PlayPause:
    case Action::Play:
    case Action::Pause:
        return 0;
    case Action::Stop:
        return 1;
    case Action::Next:
        return 2;
    case Action::Previous:
        return 3;
    }
    return -1;
}

// Desktops send XF86AudioPlay (Qt's MediaPlay) for the one play/pause key,
// and forward it to players as PlayPause.
bool KeyAction(int nKey, Action* pAction)
{
    switch (nKey) {
    case Qt::Key_MediaPlay:
    case Qt::Key_MediaTogglePlayPause:
        *pAction = Action::PlayPause;
        return true;
    case Qt::Key_MediaPause:
        *pAction = Action::Pause;
        return true;
    case Qt::Key_MediaStop:
        *pAction = Action::Stop;
        return true;
    case Qt::Key_MediaNext:
        *pAction = Action::Next;
        return true;
    case Qt::Key_MediaPrevious:
        *pAction = Action::Previous;
        return true;
    default:
        return false;
    }
}

} // namespace

// The root interface: who the player is.
class LMprisRootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ CanQuit)
    Q_PROPERTY(bool CanRaise READ CanRaise)
    Q_PROPERTY(bool HasTrackList READ HasTrackList)
    Q_PROPERTY(QString Identity READ Identity)
    Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ Supported)
    Q_PROPERTY(QStringList SupportedMimeTypes READ Supported)
public:
    explicit LMprisRootAdaptor(LMprisPlayer& player)
        : QDBusAbstractAdaptor(&player)
        , m_player(player)
    {
    }
    bool CanQuit() const { return true; }
    bool CanRaise() const { return true; }
    bool HasTrackList() const { return false; }
    QString Identity() const { return m_player.GetNames().identity; }
    QString DesktopEntry() const { return m_player.GetNames().desktopEntry; }
    QStringList Supported() const { return {}; }

public slots:
    void Raise() { m_player.Raise(); }
    void Quit() { m_player.Quit(); }

private:
    LMprisPlayer& m_player;
};

// The player interface. A dictation has no seek by offset here: the steps
// of 5 s are Next and Previous.
class LMprisPlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
    Q_PROPERTY(double Rate READ Rate WRITE SetRate)
    Q_PROPERTY(double MinimumRate READ MinimumRate)
    Q_PROPERTY(double MaximumRate READ MaximumRate)
    Q_PROPERTY(QVariantMap Metadata READ Metadata)
    Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
    Q_PROPERTY(qlonglong Position READ Position)
    Q_PROPERTY(bool CanGoNext READ CanGo)
    Q_PROPERTY(bool CanGoPrevious READ CanGo)
    Q_PROPERTY(bool CanPlay READ CanPlay)
    Q_PROPERTY(bool CanPause READ CanPlay)
    Q_PROPERTY(bool CanSeek READ CanSeek)
    Q_PROPERTY(bool CanControl READ CanControl)
public:
    explicit LMprisPlayerAdaptor(LMprisPlayer& player)
        : QDBusAbstractAdaptor(&player)
        , m_player(player)
    {
        connect(&player, &LMprisPlayer::Seeked, this, &LMprisPlayerAdaptor::Seeked);
    }
    QString PlaybackStatus() const { return m_player.PlaybackStatus(); }
    double Rate() const { return m_player.Rate(); }
    void SetRate(double fRate) { m_player.SetRate(fRate); }
    double MinimumRate() const { return 0.5; }
    double MaximumRate() const { return 1.5; }
    QVariantMap Metadata() const { return m_player.Metadata(); }
    // The play volume is a hardware setting of its own; MPRIS's stays full.
    double Volume() const { return 1.0; }
    void SetVolume(double) { }
    qlonglong Position() const { return m_player.PositionUs(); }
    bool CanGo() const { return m_player.CanGo(); }
    bool CanPlay() const { return m_player.CanPlay(); }
    bool CanSeek() const { return false; }
    bool CanControl() const { return true; }

public slots:
    void PlayPause() { m_player.Act(Action::PlayPause, LMprisPlayer::Source::Bus); }
    void Play() { m_player.Act(Action::Play, LMprisPlayer::Source::Bus); }
    void Pause() { m_player.Act(Action::Pause, LMprisPlayer::Source::Bus); }
    void Stop() { m_player.Act(Action::Stop, LMprisPlayer::Source::Bus); }
    void Next() { m_player.Act(Action::Next, LMprisPlayer::Source::Bus); }
    void Previous() { m_player.Act(Action::Previous, LMprisPlayer::Source::Bus); }
    // CanSeek is false: these do nothing, as the interface asks.
    void Seek(qlonglong) { }
    void SetPosition(const QDBusObjectPath&, qlonglong) { }
    void OpenUri(const QString&) { }

signals:
    void Seeked(qlonglong Position);

private:
    LMprisPlayer& m_player;
};

LMprisPlayer::LMprisPlayer(LCommandRouter& router, LPlaybackModel& model)
    : m_router(router)
    , m_model(model)
    , m_state(model.GetState())
{
    new LMprisRootAdaptor(*this);
    new LMprisPlayerAdaptor(*this);
    auto publish = [this] { Publish(); };
    connect(&m_model, &LPlaybackModel::StateChanged, this, [this](LPlaybackModel::State state) {
        const bool bWasPlaying
            = m_state == LPlaybackModel::State::Playing || m_state == LPlaybackModel::State::Scanning;
        const bool bWasRecording
            = m_state == LPlaybackModel::State::Waiting || m_state == LPlaybackModel::State::Recording;
        m_state = state;
        if (bWasPlaying != m_model.IsPlaying())
            Rebase(m_model.Position());
        // What the recording moved is announced once it ends.
        if (bWasRecording && !m_model.IsRecorderBusy())
            OnPosition(m_model.Position());
        Publish();
    });
    connect(&m_router, &LCommandRouter::StateChanged, this, publish);
    connect(&m_model, &LPlaybackModel::CurrentChanged, this, publish);
    connect(&m_model, &LPlaybackModel::DictationChanged, this, publish);
    connect(&m_model, &LPlaybackModel::SpeedChanged, this, publish);
    // A recording grows the length with every block: announced at its end.
    connect(&m_model, &LPlaybackModel::LengthChanged, this, [this] {
        if (!m_model.IsRecorderBusy())
            Publish();
    });
    connect(&m_model, &LPlaybackModel::PositionChanged, this, [this](int32_t nMs) { OnPosition(nMs); });
    Rebase(m_model.Position());
    m_published = { PlaybackStatus(), Rate(), Metadata(), CanPlay(), CanGo() };
    if (QCoreApplication* pApp = QCoreApplication::instance())
        pApp->installEventFilter(this);
}

LMprisPlayer::~LMprisPlayer()
{
    if (QCoreApplication* pApp = QCoreApplication::instance())
        pApp->removeEventFilter(this);
    if (!m_service.isEmpty()) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterService(m_service);
        bus.unregisterObject(QString::fromUtf8(kObjectPath));
    }
}

bool LMprisPlayer::Open()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* pBus = bus.isConnected() ? bus.interface() : nullptr;
    if (!pBus)
        return false;
    // The object first, so that a call right after the name is taken finds it.
    if (!bus.registerObject(QString::fromUtf8(kObjectPath), this, QDBusConnection::ExportAdaptors))
        return false;
    const QString base = m_names.service;
    for (const QString& name : { base, base + QStringLiteral(".instance%1").arg(getpid()) }) {
        auto reply = pBus->registerService(
            name, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
        if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
            m_service = name;
            return true;
        }
    }
    bus.unregisterObject(QString::fromUtf8(kObjectPath));
    return false;
}

bool LMprisPlayer::Act(Action action, Source source)
{
    const int nThis = source == Source::Key ? 1 : 0;
    const int nOther = 1 - nThis;
    if (m_lastTime[nOther].isValid() && m_lastTime[nOther].elapsed() < kEchoMs
        && Group(m_lastAction[nOther]) == Group(action))
        return false;
    m_lastAction[nThis] = action;
    m_lastTime[nThis].start();
    const bool bPlaying = m_model.IsPlaying();
    switch (action) {
    case Action::PlayPause:
        return m_router.Trigger(bPlaying ? Id::kStop : Id::kPlay);
    case Action::Play:
        return !bPlaying && m_router.Trigger(Id::kPlay);
    case Action::Pause:
        return bPlaying && m_router.Trigger(Id::kStop);
    case Action::Stop:
        return m_router.Trigger(Id::kStop);
    case Action::Next:
        return m_router.Trigger(Id::kSetStepForward);
    case Action::Previous:
        return m_router.Trigger(Id::kSetStepBack);
    }
    return false;
}

QString LMprisPlayer::PlaybackStatus() const
{
    // Stopping keeps the position, so a stopped dictation reads as paused.
    if (m_model.IsPlaying())
        return QStringLiteral("Playing");
    return m_model.HasCurrent() ? QStringLiteral("Paused") : QStringLiteral("Stopped");
}

qlonglong LMprisPlayer::PositionUs() const
{
    return qlonglong { m_model.Position() } * 1000;
}

double LMprisPlayer::Rate() const
{
    // Slow, normal and fast play at half, full and one and a half speed.
    return (m_model.Speed() + 1) * 0.5;
}

void LMprisPlayer::SetRate(double fRate)
{
    if (!(fRate > 0))
        return;
    const int nSpeed = std::clamp(static_cast<int>(std::lround(std::min(fRate, 10.0) * 2)) - 1, 0, 2);
    const Id kSpeeds[3] = { Id::kPlaySlow, Id::kPlayNormal, Id::kPlayFast };
    m_router.Trigger(kSpeeds[nSpeed]);
}

QVariantMap LMprisPlayer::Metadata() const
{
    QVariantMap metadata;
    const LDictation* pDictation = m_model.Current();
    if (!pDictation)
        return metadata;
    metadata.insert(QStringLiteral("mpris:trackid"),
        QVariant::fromValue(
            QDBusObjectPath(QStringLiteral("/org/orvane/Tavrine/Dictation/%1").arg(pDictation->GetFileNumber()))));
    const std::string_view name = pDictation->GetName();
    metadata.insert(QStringLiteral("xesam:title"), QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
    metadata.insert(QStringLiteral("mpris:length"), qlonglong { m_model.Length() } * 1000);
    return metadata;
}

bool LMprisPlayer::CanPlay() const
{
    return m_router.IsEnabled(Id::kPlay);
}

bool LMprisPlayer::CanGo() const
{
    return m_router.IsEnabled(Id::kSetStepForward);
}

void LMprisPlayer::Raise()
{
    m_router.Trigger(Id::kSetOpen);
}

void LMprisPlayer::Quit()
{
    m_router.Trigger(Id::kExit);
}

void LMprisPlayer::Publish()
{
    Published now { PlaybackStatus(), Rate(), Metadata(), CanPlay(), CanGo() };
    QVariantMap changed;
    if (now.status != m_published.status)
        changed.insert(QStringLiteral("PlaybackStatus"), now.status);
    if (now.fRate != m_published.fRate)
        changed.insert(QStringLiteral("Rate"), now.fRate);
    // The track id is a path made from the file number, so the text compares.
    auto key = [](const QVariantMap& m) {
        return m.value(QStringLiteral("mpris:trackid")).value<QDBusObjectPath>().path() + QLatin1Char('\n')
            + m.value(QStringLiteral("xesam:title")).toString() + QLatin1Char('\n')
            + QString::number(m.value(QStringLiteral("mpris:length")).toLongLong());
    };
    if (key(now.metadata) != key(m_published.metadata))
        changed.insert(QStringLiteral("Metadata"), now.metadata);
    if (now.bCanPlay != m_published.bCanPlay) {
        changed.insert(QStringLiteral("CanPlay"), now.bCanPlay);
        changed.insert(QStringLiteral("CanPause"), now.bCanPlay);
    }
    if (now.bCanGo != m_published.bCanGo) {
        changed.insert(QStringLiteral("CanGoNext"), now.bCanGo);
        changed.insert(QStringLiteral("CanGoPrevious"), now.bCanGo);
    }
    m_published = std::move(now);
    if (changed.isEmpty() || m_service.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromUtf8(kObjectPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

void LMprisPlayer::Rebase(int32_t nMs)
{
    m_nBaseMs = nMs;
    m_baseTime.start();
    m_bBasePlaying = m_model.IsPlaying();
}

bool LMprisPlayer::Jumped(int32_t nMs) const
{
    if (!m_model.IsPlaying())
        return nMs != m_nBaseMs;
    // From a stop, the first block heard moves it by about a block.
    const double fElapsed = m_bBasePlaying ? static_cast<double>(m_baseTime.elapsed()) : 0.0;
    const double fExpected = m_nBaseMs + fElapsed * Rate();
    return std::abs(nMs - fExpected) > kJumpToleranceMs;
}

void LMprisPlayer::OnPosition(int32_t nMs)
{
    // Recording and scanning move the position on their own: clients hear
    // once where it ended up.
    if (m_model.IsRecorderBusy() || m_model.IsScanning()) {
        m_bUnannounced = true;
        Rebase(nMs);
        return;
    }
    if ((m_bUnannounced || Jumped(nMs)) && !m_service.isEmpty())
        emit Seeked(qlonglong { nMs } * 1000);
    m_bUnannounced = false;
    Rebase(nMs);
}

bool LMprisPlayer::eventFilter(QObject* pWatched, QEvent* pEvent)
{
    const QEvent::Type type = pEvent->type();
    // A key reaches the window's QWindow first and then its focus widget:
    // taken once, at the widget.
    if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !pWatched->isWidgetType())
        return false;
    auto* pKey = static_cast<QKeyEvent*>(pEvent);
    Action action;
    if (!KeyAction(pKey->key(), &action))
        return false;
    // Held, the steps repeat as a scan would; play and stop act once.
    const bool bRepeats = action == Action::Next || action == Action::Previous;
    if (type == QEvent::KeyPress && (!pKey->isAutoRepeat() || bRepeats))
        Act(action, Source::Key);
    return true;
}

#include "LMprisPlayer.moc"
