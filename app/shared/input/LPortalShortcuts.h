// System-wide shortcuts through the desktop portal, for Wayland desktops where
// no X grab sees the keys: one portal session, its shortcuts bound once with
// ids that stay the same from run to run, and the portal's Activated and
// Deactivated signals handed on as press and release of a shortcut's index.
// Asynchronous over the session bus; GUI thread.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <vector>

class QDBusMessage;

class LPortalShortcuts : public QObject {
    Q_OBJECT
public:
    struct Shortcut {
        QString id; // stable: the desktop keeps the user's trigger under it
        QString description;
        QString trigger; // preferred trigger, "CTRL+ALT+k"
    };
    using Callback = std::function<void(int nIndex, bool bPressed)>;

    explicit LPortalShortcuts(QDBusConnection bus, QObject* pParent = nullptr);
    ~LPortalShortcuts() override;

    // Whether the desktop's portal has the GlobalShortcuts interface.
    static bool IsOffered(const QDBusConnection& bus);

    void SetCallback(Callback callback) { m_callback = std::move(callback); }
    // Called when the portal refuses the session or the shortcuts.
    void SetFailed(std::function<void()> failed) { m_failed = std::move(failed); }
    // Makes a new session and binds the shortcuts to it (the index of each is
    // what presses report). A session already open is closed first.
    void Bind(std::vector<Shortcut> shortcuts);
    // Closes the session; its shortcuts go with it.
    void Close();
    bool IsBound() const { return m_bBound; }

private slots:
    void OnResponse(uint uResponse, const QVariantMap& results);
    void OnActivated(const QDBusMessage& signal);
    void OnDeactivated(const QDBusMessage& signal);

private:
    enum class Step { None, CreatingSession, Binding, Bound };
    // Calls a portal method whose answer comes as a Response on a request
    // object; the answer is awaited on the path the portal will use.
    void Request(const QString& method, QList<QVariant> args, QVariantMap options);
    void WatchRequest(const QString& path);
    void Fail();
    void Deliver(const QDBusMessage& signal, bool bPressed);

    QDBusConnection m_bus;
    Callback m_callback;
    std::function<void()> m_failed;
    std::vector<Shortcut> m_shortcuts;
    Step m_step = Step::None;
    bool m_bBound = false;
    QString m_requestPath;
    QString m_sessionPath;
    int m_nToken = 0;
};
