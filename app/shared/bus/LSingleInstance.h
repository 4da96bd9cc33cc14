// One running program per user: the first start takes a well-known name on
// the session bus (or, without a bus, a local socket in $XDG_RUNTIME_DIR);
// a later start asks the first to show its window and exits. Lives on the
// GUI thread; calls from outside arrive through its event loop.
#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLocalServer;

class LSingleInstance : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.orvane.Tavrine")
public:
    static constexpr const char* kServiceName = "org.orvane.Tavrine";
    static constexpr const char* kInterface = "org.orvane.Tavrine";
    static constexpr const char* kObjectPath = "/org/orvane/Tavrine";

    // Which program's instance this process is: its bus name and socket
    // file. Each program names itself once in main, before any claim; the
    // typist's program speaks the same interface under a name of its own.
    struct Names {
        const char* szService = kServiceName;
        const char* szSocket = "tavrine-dictate";
    };
    static void UseNames(Names names);
    static QString Service();

    enum class Claim {
        First, // this process is the instance; keep running
        OtherActivated, // another instance was asked to show itself; exit
        Failed, // neither a bus name nor a socket could be had; run anyway
    };
    enum class Channel { None, Bus, Socket };

    explicit LSingleInstance(QObject* parent = nullptr);
    ~LSingleInstance() override;

    Claim ClaimOrActivate();
    Channel GetChannel() const { return m_channel; }
    // Where the socket lives when there is no session bus.
    static QString SocketPath();

    // For the installer, which claims nothing: true while an instance holds
    // the bus name or answers on the socket.
    static bool IsRunning();
    // Sends a numbered command to the running instance (on the bus, else on
    // the socket); false when none took it. Waits at most nTimeoutMs.
    static bool SendCommand(int nCommand, const QString& szArgument, int nTimeoutMs, int* pResult = nullptr);

    // Run on the GUI thread when another start asks; set before the event loop.
    std::function<void()> onActivate;
    // Other programs' numbered commands with their result, and the command
    // set pressed and released; each does nothing while unset.
    std::function<int(int, const QString&)> onCommand;
    std::function<void(int)> onPress;
    std::function<void(int)> onRelease;

public slots:
    Q_SCRIPTABLE void Activate();
    Q_SCRIPTABLE int Command(int nCommand, const QString& szArgument);
    Q_SCRIPTABLE void Press(int nCommand);
    Q_SCRIPTABLE void Release(int nCommand);

private:
    bool ClaimBus(bool* pOtherActivated);
    bool ClaimSocket(bool* pOtherActivated);
    void OnSocketConnection();

    Channel m_channel = Channel::None;
    QLocalServer* m_pServer = nullptr;
};
