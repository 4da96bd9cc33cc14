#include "app/shared/input/LPortalShortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QGuiApplication>

// One element of BindShortcuts' a(sa{sv}).
struct LPortalShortcutEntry {
    QString id;
    QVariantMap properties;
};
Q_DECLARE_METATYPE(LPortalShortcutEntry)

QDBusArgument& operator<<(QDBusArgument& arg, const LPortalShortcutEntry& entry)
{
    arg.beginStructure();
    arg << entry.id << entry.properties;
    arg.endStructure();
    return arg;
}

const QDBusArgument& operator>>(const QDBusArgument& arg, LPortalShortcutEntry& entry)
{
    arg.beginStructure();
    arg >> entry.id >> entry.properties;
    arg.endStructure();
    return arg;
}

namespace {

const QString kService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString kPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString kInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
const QString kRequestInterface = QStringLiteral("org.freedesktop.portal.Request");
constexpr int kOfferedTimeoutMs = 3000;

QDBusMessage PortalCall(const QString& path, const QString& interface, const QString& method)
{
    return QDBusMessage::createMethodCall(kService, path, interface, method);
}

} // namespace

LPortalShortcuts::LPortalShortcuts(QDBusConnection bus, QObject* pParent)
    : QObject(pParent)
    , m_bus(std::move(bus))
{
    qDBusRegisterMetaType<LPortalShortcutEntry>();
    qDBusRegisterMetaType<QList<LPortalShortcutEntry>>();
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("Activated"), this, SLOT(OnActivated(QDBusMessage)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("Deactivated"), this, SLOT(OnDeactivated(QDBusMessage)));
    // A program outside a sandbox names itself to the portal before its first
    // call, so the desktop files the shortcuts under the program; portals
    // without the registry refuse it, which changes nothing.
    const QString appId = QGuiApplication::desktopFileName();
    if (!appId.isEmpty()) {
        QDBusMessage reg
            = PortalCall(kPath, QStringLiteral("org.freedesktop.host.portal.Registry"), QStringLiteral("Register"));
        reg.setArguments({ appId, QVariantMap() });
        m_bus.send(reg);
    }
}

LPortalShortcuts::~LPortalShortcuts()
{
    Close();
}

bool LPortalShortcuts::IsOffered(const QDBusConnection& bus)
{
    if (!bus.isConnected())
        return false;
    QDBusMessage get = PortalCall(kPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get.setArguments({ kInterface, QStringLiteral("version") });
    const QDBusMessage reply = bus.call(get, QDBus::Block, kOfferedTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return false;
    return reply.arguments().first().value<QDBusVariant>().variant().toUInt() >= 1;
}

void LPortalShortcuts::Bind(std::vector<Shortcut> shortcuts)
{
    Close();
    m_shortcuts = std::move(shortcuts);
    m_step = Step::CreatingSession;
    QVariantMap options;
    options.insert(QStringLiteral("session_handle_token"), QStringLiteral("tavrine_session%1").arg(++m_nToken));
    Request(QStringLiteral("CreateSession"), {}, options);
}

void LPortalShortcuts::Close()
{
    WatchRequest(QString());
    if (!m_sessionPath.isEmpty())
        m_bus.send(
            PortalCall(m_sessionPath, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Close")));
    m_sessionPath.clear();
    m_step = Step::None;
    m_bBound = false;
}

void LPortalShortcuts::Request(const QString& method, QList<QVariant> args, QVariantMap options)
{
    const QString token = QStringLiteral("tavrine%1").arg(++m_nToken);
    options.insert(QStringLiteral("handle_token"), token);
    // The answer may come before the call returns: listen on the path the
    // portal makes from our name and the token first.
    QString sender = m_bus.baseService().mid(1);
    sender.replace(QLatin1Char('.'), QLatin1Char('_'));
    WatchRequest(kPath + QStringLiteral("/request/") + sender + QLatin1Char('/') + token);
    QDBusMessage call = PortalCall(kPath, kInterface, method);
    args << options;
    call.setArguments(args);
    auto* pWatcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    const Step step = m_step;
    connect(pWatcher, &QDBusPendingCallWatcher::finished, this, [this, pWatcher, step] {
        pWatcher->deleteLater();
        if (m_step != step)
            return;
        QDBusPendingReply<QDBusObjectPath> reply = *pWatcher;
        if (reply.isError())
            Fail();
        else if (reply.value().path() != m_requestPath)
            WatchRequest(reply.value().path()); // an older portal's own path
    });
}

void LPortalShortcuts::WatchRequest(const QString& path)
{
    if (!m_requestPath.isEmpty())
        m_bus.disconnect(kService, m_requestPath, kRequestInterface, QStringLiteral("Response"), this,
            SLOT(OnResponse(uint, QVariantMap)));
    m_requestPath = path;
    if (!path.isEmpty())
        m_bus.connect(
            kService, path, kRequestInterface, QStringLiteral("Response"), this, SLOT(OnResponse(uint, QVariantMap)));
}

void LPortalShortcuts::OnResponse(uint uResponse, const QVariantMap& results)
{
    WatchRequest(QString());
    if (uResponse != 0) {
        Fail();
        return;
    }
    if (m_step == Step::CreatingSession) {
        // A string by the interface's description, an object path from some portals.
        const QVariant handle = results.value(QStringLiteral("session_handle"));
        m_sessionPath = handle.canConvert<QDBusObjectPath>() && handle.userType() == qMetaTypeId<QDBusObjectPath>()
            ? handle.value<QDBusObjectPath>().path()
            : handle.toString();
        if (m_sessionPath.isEmpty()) {
            Fail();
            return;
        }
        QList<LPortalShortcutEntry> entries;
        for (const Shortcut& shortcut : m_shortcuts) {
            QVariantMap properties;
            properties.insert(QStringLiteral("description"), shortcut.description);
            if (!shortcut.trigger.isEmpty())
                properties.insert(QStringLiteral("preferred_trigger"), shortcut.trigger);
            entries.push_back({ shortcut.id, properties });
        }
        m_step = Step::Binding;
        Request(QStringLiteral("BindShortcuts"),
            { QVariant::fromValue(QDBusObjectPath(m_sessionPath)), QVariant::fromValue(entries), QString() }, {});
    } else if (m_step == Step::Binding) {
        m_step = Step::Bound;
        m_bBound = true;
    }
}

void LPortalShortcuts::Fail()
{
    Close();
    if (m_failed)
        m_failed();
}

void LPortalShortcuts::OnActivated(const QDBusMessage& signal)
{
    Deliver(signal, true);
}

void LPortalShortcuts::OnDeactivated(const QDBusMessage& signal)
{
    Deliver(signal, false);
}

// (o session_handle, s shortcut_id, t timestamp, a{sv} options)
void LPortalShortcuts::Deliver(const QDBusMessage& signal, bool bPressed)
{
    const QList<QVariant> args = signal.arguments();
    if (args.size() < 2 || m_sessionPath.isEmpty() || !m_callback
        || args[0].value<QDBusObjectPath>().path() != m_sessionPath)
        return;
    const QString id = args[1].toString();
    for (size_t i = 0; i < m_shortcuts.size(); ++i)
        if (m_shortcuts[i].id == id)
            m_callback(static_cast<int>(i), bPressed);
}
