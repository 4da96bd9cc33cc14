#include "app/desktop/session/LSingleInstance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {

constexpr int kSocketTimeoutMs = 2000;

} // namespace

LSingleInstance::LSingleInstance(QObject* parent)
    : QObject(parent)
{
}

LSingleInstance::~LSingleInstance()
{
    if (m_channel == Channel::Bus) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(QString::fromUtf8(kObjectPath));
        bus.unregisterService(QString::fromUtf8(kServiceName));
    }
}

QString LSingleInstance::SocketPath()
{
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        return QDir::temp().filePath(QStringLiteral("tavrine-dictate-%1.socket").arg(getuid()));
    return QDir(folder).filePath(QStringLiteral("tavrine-dictate.socket"));
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
    QString service = QString::fromUtf8(kServiceName);
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
    QDBusInterface first(service, QString::fromUtf8(kObjectPath), service, bus);
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
            } else {
                pSocket->write("unknown\n");
            }
            pSocket->flush();
        });
    }
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
