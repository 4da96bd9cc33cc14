#include "app/shared/bus/LSingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

#include <algorithm>

namespace {

constexpr int kSocketTimeoutMs = 2000;
// A live instance accepts at once; a socket file left by a crash refuses.
constexpr int kProbeTimeoutMs = 300;

LSingleInstance::Names g_names;

} // namespace

void LSingleInstance::UseNames(Names names)
{
    g_names = names;
}

QString LSingleInstance::Service()
{
    return QString::fromUtf8(g_names.szService);
}

LSingleInstance::LSingleInstance(QObject* parent)
    : QObject(parent)
{
}

LSingleInstance::~LSingleInstance()
{
    if (m_channel == Channel::Bus) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromUtf8(kObjectPath));
        bus.unregisterService(Service());
    }
}

QString LSingleInstance::SocketPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        return QDir::temp().filePath(
            QStringLiteral("%1-%2.socket").arg(QString::fromUtf8(g_names.szSocket)).arg(getuid()));
    return QDir(folder).filePath(QString::fromUtf8(g_names.szSocket) + QStringLiteral(".socket"));
}

LSingleInstance::Claim LSingleInstance::ClaimOrActivate()
{
    bool bOther = false;
    if (ClaimBus(&bOther))
        return Claim::First;
    if (bOther)
        return Claim::OtherActivated;
    if (ClaimSocket(&bOther))
        return Claim::First;
    return bOther ? Claim::OtherActivated : Claim::Failed;
}

bool LSingleInstance::ClaimBus(bool* pOtherActivated)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    QString service = Service();
    // Taking the name is atomic on the bus: of two starts at once, one wins
    // and the other activates it.
    QDBusConnectionInterface* pBus = bus.interface();
    if (!pBus)
        return false;
    QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply = pBus->registerService(
        service, QDBusConnectionInterface::DontQueueService, QDBusConnectionInterface::DontAllowReplacement);
    if (reply.isValid() && reply.value() == QDBusConnectionInterface::ServiceRegistered) {
        if (!bus.registerObject(QString::fromUtf8(kObjectPath), this, QDBusConnection::ExportScriptableSlots))
            return false;
        m_channel = Channel::Bus;
        return true;
    }
    QDBusInterface first(service, QString::fromUtf8(kObjectPath), QString::fromUtf8(kInterface), bus);
    QDBusMessage answer = first.call(QStringLiteral("Activate"));
    *pOtherActivated = answer.type() == QDBusMessage::ReplyMessage;
    return false;
}

bool LSingleInstance::ClaimSocket(bool* pOtherActivated)
{
    QString path = SocketPath();
    {
        QLocalSocket socket;
        socket.connectToServer(path);
        if (socket.waitForConnected(kSocketTimeoutMs)) {
            socket.write("activate\n");
            socket.waitForBytesWritten(kSocketTimeoutMs);
            // The reply tells that the first instance took it.
            *pOtherActivated = socket.waitForReadyRead(kSocketTimeoutMs) && socket.readLine().startsWith("ok");
            return false;
        }
    }
    // Nobody answers: a socket file left by a crashed instance goes.
    QLocalServer::removeServer(path);
    m_pServer = new QLocalServer(this);
    m_pServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_pServer->listen(path)) {
        delete m_pServer;
        m_pServer = nullptr;
        return false;
    }
    connect(m_pServer, &QLocalServer::newConnection, this, &LSingleInstance::OnSocketConnection);
    m_channel = Channel::Socket;
    return true;
}

void LSingleInstance::OnSocketConnection()
{
    while (QLocalSocket* pSocket = m_pServer->nextPendingConnection()) {
        connect(pSocket, &QLocalSocket::disconnected, pSocket, &QObject::deleteLater);
        connect(pSocket, &QLocalSocket::readyRead, this, [this, pSocket] {
            if (!pSocket->canReadLine())
                return;
            QByteArray line = pSocket->readLine().trimmed();
            if (line == "activate") {
                Activate();
                pSocket->write("ok\n");
            } else if (line.startsWith("command ")) {
                // "command N TEXT": the message interface's Command for
                // programs that find no bus; the reply is its result.
                QByteArray rest = line.mid(8);
                const qsizetype nSpace = rest.indexOf(' ');
                bool bNumber = false;
                const int nCommand = rest.left(nSpace < 0 ? rest.size() : nSpace).toInt(&bNumber);
                const QString text = nSpace < 0 ? QString() : QString::fromUtf8(rest.mid(nSpace + 1));
                pSocket->write(bNumber ? QByteArray::number(Command(nCommand, text)) + "\n" : "unknown\n");
            } else {
                pSocket->write("unknown\n");
            }
            pSocket->flush();
        });
    }
}

bool LSingleInstance::IsRunning()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(Service()))
        return true;
    QLocalSocket socket;
    socket.connectToServer(SocketPath());
    return socket.waitForConnected(kProbeTimeoutMs);
}

bool LSingleInstance::SendCommand(int nCommand, const QString& szArgument, int nTimeoutMs, int* pResult)
{
    int nResult = 0;
    bool bTaken = false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString service = Service();
    if (bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(service)) {
        QDBusInterface first(service, QString::fromUtf8(kObjectPath), QString::fromUtf8(kInterface), bus);
        first.setTimeout(nTimeoutMs);
        QDBusReply<int> reply = first.call(QStringLiteral("Command"), nCommand, szArgument);
        bTaken = reply.isValid();
        nResult = bTaken ? reply.value() : 0;
    } else {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(std::min(nTimeoutMs, kProbeTimeoutMs))) {
            // One line: the text cannot carry a line break.
            QByteArray text = szArgument.toUtf8();
            text.replace('\n', ' ');
            socket.write("command " + QByteArray::number(nCommand) + ' ' + text + '\n');
            socket.waitForBytesWritten(nTimeoutMs);
            if (socket.waitForReadyRead(nTimeoutMs)) {
                const QByteArray answer = socket.readLine().trimmed();
                nResult = answer.toInt(&bTaken);
            }
        }
    }
    if (pResult)
        *pResult = nResult;
    return bTaken;
}

void LSingleInstance::Activate()
{
    if (onActivate)
        onActivate();
}

int LSingleInstance::Command(int nCommand, const QString& szArgument)
{
    return onCommand ? onCommand(nCommand, szArgument) : 0;
}

void LSingleInstance::Press(int nCommand)
{
    if (onPress)
        onPress(nCommand);
}

void LSingleInstance::Release(int nCommand)
{
    if (onRelease)
        onRelease(nCommand);
}
