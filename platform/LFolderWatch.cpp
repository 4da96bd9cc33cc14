#include "platform/LFolderWatch.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr uint32_t kAddedMask = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE;
constexpr uint32_t kRemovedMask = IN_DELETE | IN_MOVED_FROM;
constexpr uint32_t kGoneMask = IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT;

} // namespace

LFolderWatch::~LFolderWatch()
{
    Close();
    if (m_fdWake >= 0)
        ::close(m_fdWake);
}

bool LFolderWatch::Open(const std::string& folder)
{
    Close();
    if (m_fdWake < 0)
        m_fdWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    m_fdInotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    if (m_fdInotify < 0)
        return false;
    // IN_CREATE is kept for links and folders, which are never written:
    // a file is taken only once its writer closed it or it was moved in.
    m_nWatch = ::inotify_add_watch(
        m_fdInotify, folder.c_str(), kAddedMask | kRemovedMask | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR);
    if (m_nWatch < 0) {
        ::close(m_fdInotify);
        m_fdInotify = -1;
        return false;
    }
    return true;
}

void LFolderWatch::Close()
{
    if (m_fdInotify >= 0)
        ::close(m_fdInotify);
    m_fdInotify = -1;
    m_nWatch = -1;
}

void LFolderWatch::Wake()
{
    if (m_fdWake >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_fdWake, &one, sizeof one);
    }
}

LFolderWatch::Result LFolderWatch::ParseEvents(
    const char* pBuf, size_t nBytes, std::vector<Event>* pEvents, bool* pGone)
{
    size_t nPos = 0;
    while (nBytes - nPos >= sizeof(inotify_event)) {
        inotify_event header;
        std::memcpy(&header, pBuf + nPos, sizeof header);
        size_t nRecord = sizeof header + header.len;
        if (nRecord > nBytes - nPos)
            return Result::Rescan;
        nPos += nRecord;
        if (header.mask & kGoneMask) {
            if (pGone)
                *pGone = true;
            return Result::Rescan;
        }
        if (header.mask & IN_Q_OVERFLOW)
            return Result::Rescan;
        const char* pName = pBuf + nPos - header.len;
        std::string name(pName, ::strnlen(pName, header.len));
        if (name.empty() || name.find('/') != std::string::npos)
            continue;
        if (header.mask & kAddedMask)
            pEvents->push_back(Event { Event::Kind::Added, std::move(name) });
        else if (header.mask & kRemovedMask)
            pEvents->push_back(Event { Event::Kind::Removed, std::move(name) });
    }
    return nPos == nBytes ? Result::Events : Result::Rescan;
}

LFolderWatch::Result LFolderWatch::Wait(uint32_t uTimeoutMs, std::vector<Event>* pEvents)
{
    pEvents->clear();
    pollfd fds[2] = { { m_fdInotify, POLLIN, 0 }, { m_fdWake, POLLIN, 0 } };
    int nReady = ::poll(fds, 2, static_cast<int>(uTimeoutMs));
    if (nReady < 0 && errno != EINTR)
        return Result::Rescan;
    if (nReady <= 0)
        return m_nWatch >= 0 ? Result::TimedOut : Result::Rescan;
    if (fds[1].revents & POLLIN) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(m_fdWake, &count, sizeof count);
        return Result::Woken;
    }
    alignas(inotify_event) char buf[16384];
    Result result = Result::Events;
    // Drained whole, so one wake-up gives everything that happened meanwhile.
    for (int i = 0; i < 64; ++i) {
        ssize_t n = ::read(m_fdInotify, buf, sizeof buf);
        if (n < 0)
            break;
        bool bGone = false;
        if (ParseEvents(buf, static_cast<size_t>(n), pEvents, &bGone) == Result::Rescan) {
            // From here on only rescans can tell what is there: the watch went with its folder.
            if (bGone)
                Close();
            result = Result::Rescan;
            break;
        }
    }
    return result;
}
