#include "app/desktop/session/LDesktopNotifier.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDebug>
#include <QVariantMap>

LDesktopNotifier::LDesktopNotifier(QDBusConnection bus)
    : m_bus(std::move(bus))
{
}

QString LDesktopNotifier::SummaryOf(bool bDelivered)
{
    return bDelivered ? QStringLiteral("Dictation sent") : QStringLiteral("Dictation not sent");
}

QString LDesktopNotifier::BodyOf(const QString& name, const QString& status)
{
    if (name.isEmpty())
        return status;
    return status.isEmpty() ? QStringLiteral("\"%1\"").arg(name) : QStringLiteral("\"%1\": %2").arg(name, status);
}

bool LDesktopNotifier::NotifySend(const QString& name, const QString& status, bool bDelivered)
{
    const QString service = QString::fromLatin1(kService);
    // Many servers start on the first call (a D-Bus activatable name).
    QDBusConnectionInterface* pBus = m_bus.isConnected() ? m_bus.interface() : nullptr;
    if (!pBus
        || (!pBus->isServiceRegistered(service).value()
            && !pBus->activatableServiceNames().value().contains(service))) {
        qDebug("No desktop notification service: %s", qUtf8Printable(BodyOf(name, status)));
        return false;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        service, QStringLiteral("/org/freedesktop/Notifications"), service, QStringLiteral("Notify"));
    // A failure stays until dismissed; a delivery goes after the server's own time.
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue(uchar(bDelivered ? 1 : 2)));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("org.orvane.Tavrine"));
    call << QStringLiteral("Tavrine Dictate") << *m_pLastId << QStringLiteral("org.orvane.Tavrine")
         << SummaryOf(bDelivered) << BodyOf(name, status) << QStringList() << hints << int32_t { -1 };
    auto* pWatcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    QObject::connect(pWatcher, &QDBusPendingCallWatcher::finished, [pLastId = m_pLastId, pWatcher] {
        QDBusPendingReply<uint32_t> reply = *pWatcher;
        if (reply.isError())
            qDebug("Desktop notification refused: %s", qUtf8Printable(reply.error().message()));
        else
            *pLastId = reply.value();
        pWatcher->deleteLater();
    });
    return true;
}
