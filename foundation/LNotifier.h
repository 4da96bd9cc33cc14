// What a worker holds to wake its LThreadQueuedNotify receiver on the
// main-loop thread. Cheap to copy; any thread may Post. Safe after the
// receiver is gone, and an empty notifier posts nothing.
#pragma once

#include <atomic>
#include <memory>

class LMainLoop;
class LThreadQueuedNotify;

class LNotifier {
public:
    // Shared by the receiver and every notifier made from it.
    struct Link {
        LMainLoop* pLoop = nullptr;
        // A delivery is queued and has not started yet; latched on for good
        // when the receiver goes, so nothing more is posted.
        std::atomic<bool> bPending { false };
        // Read and written on the main-loop thread only.
        LThreadQueuedNotify* pReceiver = nullptr;
    };

    LNotifier() = default;
    explicit LNotifier(std::shared_ptr<Link> link)
        : m_link(std::move(link))
    {
    }

    // Asks for one run of the receiver's handler. Posts made before a run
    // starts share that run; a post made after it starts gets another.
    void Post() const;

private:
    std::shared_ptr<Link> m_link;
};
