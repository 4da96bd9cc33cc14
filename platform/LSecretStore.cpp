#include "platform/LSecretStore.h"

#include <libsecret/secret.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <thread>

namespace {

constexpr const char* kApplication = "tavrine";
constexpr int kBusProbeMs = 2000;

// Items match by attributes alone, so ones made by secret-tool are found too.
const SecretSchema kSchema = {
    "org.orvane.Tavrine",
    SECRET_SCHEMA_DONT_MATCH_NAME,
    {
        { "application", SECRET_SCHEMA_ATTRIBUTE_STRING },
        { "kind", SECRET_SCHEMA_ATTRIBUTE_STRING },
        { "name", SECRET_SCHEMA_ATTRIBUTE_STRING },
        { "slot", SECRET_SCHEMA_ATTRIBUTE_STRING },
        { nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING },
    },
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

std::mutex s_callMutex;

GHashTable* MakeTable(const LSecretAttributes& attributes)
{
    GHashTable* table = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, g_free);
    g_hash_table_insert(table, g_strdup("application"), g_strdup(kApplication));
    for (const auto& [name, value] : attributes)
        g_hash_table_insert(table, g_strdup(name.c_str()), g_strdup(value.c_str()));
    return table;
}

// Cancels the call when the deadline passes: a prompt of a locked keyring
// that nobody answers must not hold the caller.
class Deadline {
public:
    explicit Deadline(int nTimeoutMs)
        : m_cancel(g_cancellable_new())
        , m_thread([this, nTimeoutMs] {
            std::unique_lock lock(m_mutex);
            if (!m_cv.wait_for(lock, std::chrono::milliseconds(nTimeoutMs), [this] { return m_bDone; })) {
                m_bExpired = true;
                g_cancellable_cancel(m_cancel);
            }
        })
    {
    }
    ~Deadline()
    {
        {
            std::lock_guard lock(m_mutex);
            m_bDone = true;
        }
        m_cv.notify_all();
        m_thread.join();
        g_object_unref(m_cancel);
    }
    GCancellable* Get() const { return m_cancel; }
    bool Expired()
    {
        std::lock_guard lock(m_mutex);
        return m_bExpired;
    }

private:
    GCancellable* m_cancel;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_bDone = false;
    bool m_bExpired = false;
    std::thread m_thread;
};

LSecretStatus Outcome(GError* error, Deadline& deadline, std::string* pWhy)
{
    if (!error)
        return LSecretStatus::Ok;
    const bool bCancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    if (pWhy)
        *pWhy = error->message;
    g_error_free(error);
    if (bCancelled || deadline.Expired()) {
        if (pWhy)
            *pWhy = "it did not answer in time; it may be locked";
        return LSecretStatus::TimedOut;
    }
    return LSecretStatus::Failed;
}

bool ProbeService()
{
    if (LSecretStore::IsTurnedOff())
        return false;
    // Without an address GLib would try to start a bus through X11.
    const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if ((!address || !*address) && (!runtime || !*runtime))
        return false;
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        g_clear_error(&error);
        return false;
    }
    bool bFound = false;
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
        "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", "org.freedesktop.secrets"), G_VARIANT_TYPE("(b)"),
        G_DBUS_CALL_FLAGS_NONE, kBusProbeMs, nullptr, nullptr);
    if (reply) {
        gboolean bOwned = FALSE;
        g_variant_get(reply, "(b)", &bOwned);
        bFound = bOwned;
        g_variant_unref(reply);
    }
    if (!bFound) {
        reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
            "org.freedesktop.DBus", "ListActivatableNames", nullptr, G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE,
            kBusProbeMs, nullptr, nullptr);
        if (reply) {
            GVariantIter* iter = nullptr;
            const gchar* name = nullptr;
            g_variant_get(reply, "(as)", &iter);
            while (g_variant_iter_next(iter, "&s", &name))
                bFound = bFound || g_strcmp0(name, "org.freedesktop.secrets") == 0;
            g_variant_iter_free(iter);
            g_variant_unref(reply);
        }
    }
    g_object_unref(bus);
    return bFound;
}

} // namespace

bool LSecretStore::IsTurnedOff()
{
    // Scripts and tests that want the per-user file alone.
    const char* choice = std::getenv("TAVRINE_KEYRING");
    return choice && std::string_view(choice) == "off";
}

bool LSecretStore::IsAvailable()
{
    static const bool s_bAvailable = ProbeService();
    return s_bAvailable;
}

LSecretStatus LSecretStore::Store(const LSecretAttributes& attributes, const std::string& label,
    const std::string& secret, int nTimeoutMs, std::string* pWhy)
{
    if (!IsAvailable())
        return LSecretStatus::NoService;
    // A changed name attribute would otherwise leave the old item beside the new one.
    if (LSecretStatus status = Clear(attributes, nTimeoutMs, pWhy); status != LSecretStatus::Ok)
        return status;
    std::lock_guard lock(s_callMutex);
    Deadline deadline(nTimeoutMs);
    GHashTable* table = MakeTable(attributes);
    GError* error = nullptr;
    secret_password_storev_sync(
        &kSchema, table, SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(), deadline.Get(), &error);
    g_hash_table_unref(table);
    return Outcome(error, deadline, pWhy);
}

LSecretStatus LSecretStore::Lookup(
    const LSecretAttributes& attributes, std::string* pSecret, int nTimeoutMs, std::string* pWhy)
{
    pSecret->clear();
    if (!IsAvailable())
        return LSecretStatus::NoService;
    std::lock_guard lock(s_callMutex);
    Deadline deadline(nTimeoutMs);
    GHashTable* table = MakeTable(attributes);
    GError* error = nullptr;
    gchar* value = secret_password_lookupv_sync(&kSchema, table, deadline.Get(), &error);
    g_hash_table_unref(table);
    if (value) {
        *pSecret = value;
        secret_password_free(value);
    }
    LSecretStatus status = Outcome(error, deadline, pWhy);
    if (status == LSecretStatus::Ok && !value) {
        // A prompt to unlock that was refused or failed gives nothing and no
        // error: an item still there, locked, is not "none".
        status = LSecretStatus::NotFound;
        table = MakeTable(attributes);
        GList* items = secret_password_searchv_sync(&kSchema, table, SECRET_SEARCH_ALL, deadline.Get(), nullptr);
        g_hash_table_unref(table);
        if (items) {
            status = LSecretStatus::Failed;
            if (pWhy)
                *pWhy = "it is locked";
            g_list_free_full(items, g_object_unref);
        }
    }
    return status;
}

LSecretStatus LSecretStore::Clear(const LSecretAttributes& attributes, int nTimeoutMs, std::string* pWhy)
{
    if (!IsAvailable())
        return LSecretStatus::NoService;
    // Only the attributes that name the item: the name may have changed.
    LSecretAttributes keys;
    for (const auto& attribute : attributes)
        if (attribute.first != "name")
            keys.push_back(attribute);
    std::lock_guard lock(s_callMutex);
    Deadline deadline(nTimeoutMs);
    GHashTable* table = MakeTable(keys);
    GError* error = nullptr;
    secret_password_clearv_sync(&kSchema, table, deadline.Get(), &error);
    g_hash_table_unref(table);
    return Outcome(error, deadline, pWhy);
}
