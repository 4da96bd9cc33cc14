// Tells the user of a finished send while the window is in the background:
// a desktop notification through org.freedesktop.Notifications on the
// session bus. Without a notification service it only leaves a debug line;
// nothing waits for the reply. GUI thread.
#pragma once

#include <QDBusConnection>
#include <QString>

#include <cstdint>
#include <memory>

class LDesktopNotifier {
public:
    static constexpr const char* kService = "org.freedesktop.Notifications";

    // The session bus unless another connection is given (tests use a private one).
    explicit LDesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // A send that ended: delivered carries its send status, failed its message
    // (then without a name: the message names the dictation).
    static QString SummaryOf(bool bDelivered);
    static QString BodyOf(const QString& name, const QString& status);
    // False when no service is there to show it.
    bool NotifySend(const QString& name, const QString& status, bool bDelivered);
    // The server's id of the last bubble, once it answered; 0 before.
    uint32_t LastId() const { return *m_pLastId; }

private:
    QDBusConnection m_bus;
    // One bubble replaces the last, so a queue of sends does not pile them up.
    // Shared with a reply that may arrive after this object is gone.
    std::shared_ptr<uint32_t> m_pLastId = std::make_shared<uint32_t>(0);
};
