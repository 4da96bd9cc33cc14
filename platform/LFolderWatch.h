// Tells the thread that lists one inbox folder when its entries may have
// changed, so an inbox of thousands of files is not read again on a timer.
// inotify where the kernel gives it; where it cannot (no watch left, a file
// system that sends no events, a queue that overflowed), the answer is
// "rescan" and the caller lists the folder again. Owned by one thread; Wake
// may be called from any.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class LFolderWatch {
public:
    struct Event {
        enum class Kind { Added, Removed };
        Kind kind = Kind::Added;
        // As the kernel gives it: never holds '/', may hold anything else.
        std::string name;
    };
    enum class Result {
        TimedOut, // nothing happened
        Events, // *pEvents holds what happened, in order
        Rescan, // track was lost: list the folder again
        Woken, // Wake was called
    };

    LFolderWatch() = default;
    ~LFolderWatch();
    LFolderWatch(const LFolderWatch&) = delete;
    LFolderWatch& operator=(const LFolderWatch&) = delete;

    // False when inotify cannot watch the folder; Wait then answers Rescan
    // at each timeout, so the caller falls back to listing it on a timer.
    bool Open(const std::string& folder);
    void Close();
    bool IsWatching() const { return m_nWatch >= 0; }

    // Waits at most uTimeoutMs for events (a file written and closed, or
    // moved in, counts as added; deleted or moved out, as removed).
    Result Wait(uint32_t uTimeoutMs, std::vector<Event>* pEvents);
    void Wake();

    // Parses a buffer of inotify records into events; Rescan when the
    // queue overflowed or the folder itself went away (then *pGone, when
    // given, is set). Stateless.
    static Result ParseEvents(const char* pBuf, size_t nBytes, std::vector<Event>* pEvents, bool* pGone = nullptr);

private:
    int m_fdInotify = -1;
    int m_nWatch = -1;
    int m_fdWake = -1;
};
