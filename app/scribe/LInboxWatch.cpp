#include "app/scribe/LInboxWatch.h"

#include "platform/LFolderWatch.h"
#include "platform/LImapClient.h"
#include "scribe/LFolderInboxSource.h"
#include "scribe/LFtpInboxSource.h"
#include "scribe/LImapMailboxSource.h"
#include "scribe/LImapPoolSource.h"
#include "scribe/LScribeInbox.h"

#include <QDateTime>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {

bool EndsWith(const std::string& text, std::string_view tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// At most one notice per source waits in the GUI thread's queue; it may
// outlive the watch that sent it (a new watch), never its owner, which is
// its context.
void PostChanged(LInboxWatch* pOwner, const std::shared_ptr<std::atomic<bool>>& pPosted, const std::string& source)
{
    if (pPosted->exchange(true))
        return;
    QMetaObject::invokeMethod(
        pOwner,
        [pOwner, pPosted, source = QString::fromStdString(source)] {
            pPosted->store(false);
            emit pOwner->Changed({ source });
        },
        Qt::QueuedConnection);
}

} // namespace

// One IMAP source's watch: a connection of its own that waits in IDLE, so
// the source's own connection stays free for listing and claiming.
class LInboxWatch::Mail {
public:
    Mail(LInboxWatch& owner, std::string source, LImapSourceLink::Watched watched)
        : m_owner(&owner)
        , m_source(std::move(source))
        , m_watched(std::move(watched))
    {
        m_client.SetStopTest([this] { return m_bStop.load(); });
        m_thread = std::thread([this] { Run(); });
    }
    ~Mail()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_bStop.store(true);
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Mail(const Mail&) = delete;
    Mail& operator=(const Mail&) = delete;

private:
    // A server drops an IDLE after 30 minutes; it is renewed well before.
    static constexpr uint32_t kIdleMs = 10 * 60 * 1000;

    // False when stopping.
    bool Pause(uint32_t uMs)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return !m_wake.wait_for(lock, std::chrono::milliseconds(uMs), [this] { return m_bStop.load(); });
    }
    void Run()
    {
        while (!m_bStop.load()) {
            std::string why;
            if (!m_client.IsLoggedOn() && !m_watched.Open(m_client, &why)) {
                if (!Pause(kImapPollMs))
                    return;
                Post(); // the listing tells the typist what is wrong
                continue;
            }
            if (!m_client.HasCapability("IDLE")) {
                if (!Pause(kImapPollMs))
                    return;
                Post();
                continue;
            }
            bool bChanged = false;
            if (!m_client.WaitForChange(kIdleMs, &bChanged)) {
                if (m_bStop.load())
                    return;
                m_client.LogOut();
                if (!Pause(kImapPollMs))
                    return;
                bChanged = true; // what happened while the connection was down is not known
            }
            if (bChanged)
                Post();
        }
    }
    void Post() { PostChanged(m_owner, m_pPosted, m_source); }

    LInboxWatch* m_owner;
    std::string m_source;
    LImapSourceLink::Watched m_watched;
    LImapClient m_client;
    std::atomic<bool> m_bStop { false };
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::shared_ptr<std::atomic<bool>> m_pPosted = std::make_shared<std::atomic<bool>>(false);
    std::thread m_thread;
};

// One folder's watch and the thread that waits on it. The watch is opened
// before the thread starts, so Stop's wake-up can never come too early.
class LInboxWatch::Folder {
public:
    Folder(LInboxWatch& owner, std::string source, std::string folder)
        : m_owner(&owner)
        , m_source(std::move(source))
        , m_folder(std::move(folder))
    {
        m_watch.Open(m_folder);
        m_thread = std::thread([this] { Run(); });
    }
    ~Folder()
    {
        m_bStop.store(true);
        m_watch.Wake();
        m_thread.join();
    }
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

private:
    void Run()
    {
        std::vector<LFolderWatch::Event> events;
        while (!m_bStop.load()) {
            const LFolderWatch::Result result = m_watch.Wait(kFallbackMs, &events);
            if (m_bStop.load())
                return;
            bool bChanged = result == LFolderWatch::Result::Rescan;
            for (const LFolderWatch::Event& event : events)
                bChanged = bChanged || MattersToList(event.name);
            if (!bChanged)
                continue;
            // A copy of several files arrives as several events: wait until it
            // settles, though a long copy is shown as it goes, within a second.
            for (int i = 0;
                 i < 5 && !m_bStop.load() && m_watch.Wait(kSettleMs, &events) == LFolderWatch::Result::Events; ++i) { }
            if (!m_watch.IsWatching())
                m_watch.Open(m_folder); // the folder may be back
            Post();
        }
    }
    void Post() { PostChanged(m_owner, m_pPosted, m_source); }

    LInboxWatch* m_owner;
    std::string m_source;
    std::string m_folder;
    LFolderWatch m_watch;
    std::atomic<bool> m_bStop { false };
    std::shared_ptr<std::atomic<bool>> m_pPosted = std::make_shared<std::atomic<bool>>(false);
    std::thread m_thread;
};

LInboxWatch::LInboxWatch()
{
    m_poll.setInterval(1000);
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
}

LInboxWatch::~LInboxWatch()
{
    Stop();
}

bool LInboxWatch::MattersToList(const std::string& name)
{
    if (name.empty() || name[0] == '.')
        return false;
    return !EndsWith(name, ".sta") && name.find(".tmp") == std::string::npos;
}

void LInboxWatch::Watch(const LScribeInbox& inbox)
{
    Stop();
    const int64_t nNow = QDateTime::currentMSecsSinceEpoch();
    for (const auto& source : inbox.Sources()) {
        if (const auto* pFolder = dynamic_cast<const LFolderInboxSource*>(source.get()))
            m_folders.push_back(std::make_unique<Folder>(*this, pFolder->GetName(), pFolder->GetFolder()));
        else if (const auto* pFtp = dynamic_cast<const LFtpInboxSource*>(source.get())) {
            const int64_t nInterval = int64_t { pFtp->GetPollSeconds() } * 1000;
            m_polled.push_back({ pFtp->GetName(), nInterval, nNow + nInterval });
        } else if (const auto* pPool = dynamic_cast<const LImapPoolSource*>(source.get())) {
            m_mails.push_back(std::make_unique<Mail>(*this, pPool->GetName(), pPool->GetWatched()));
        } else if (const auto* pBox = dynamic_cast<const LImapMailboxSource*>(source.get())) {
            m_mails.push_back(std::make_unique<Mail>(*this, pBox->GetName(), pBox->GetWatched()));
        }
    }
    if (!m_polled.empty())
        m_poll.start();
}

void LInboxWatch::Stop()
{
    m_poll.stop();
    // Each folder's destructor wakes and joins its thread; its queued notice
    // dies with this object or finds the folder list replaced.
    m_folders.clear();
    m_mails.clear();
    m_polled.clear();
}

void LInboxWatch::Poll()
{
    const int64_t nNow = QDateTime::currentMSecsSinceEpoch();
    QStringList due;
    for (Polled& polled : m_polled) {
        if (nNow >= polled.nDueMs) {
            due << QString::fromStdString(polled.name);
            polled.nDueMs = nNow + polled.nIntervalMs;
        }
    }
    if (!due.isEmpty())
        emit Changed(due);
}
