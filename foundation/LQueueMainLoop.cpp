#include "foundation/LQueueMainLoop.h"

#include <chrono>

void LQueueMainLoop::Post(std::function<void()> task)
{
    if (!task)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_tasks.push_back(std::move(task));
    }
    m_cond.notify_one();
}

size_t LQueueMainLoop::Pump(uint32_t waitMs)
{
    std::deque<std::function<void()>> batch;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (waitMs > 0)
            m_cond.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return !m_tasks.empty(); });
        batch.swap(m_tasks);
    }
    // Run without the lock so tasks and workers can post.
    for (auto& task : batch)
        task();
    return batch.size();
}

size_t LQueueMainLoop::PendingCount() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_tasks.size();
}
