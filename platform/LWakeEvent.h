// An eventfd that a thread asleep in poll watches beside its devices, so a
// stop reaches it at once rather than at its next time-out. Set and Reset from
// any thread; the sleeper polls Fd().
#pragma once

class LWakeEvent {
public:
    LWakeEvent();
    ~LWakeEvent();
    LWakeEvent(const LWakeEvent&) = delete;
    LWakeEvent& operator=(const LWakeEvent&) = delete;

    // -1 when the process has no descriptor left; Set and Reset then do nothing.
    int Fd() const { return m_fd; }
    // Fd() stays readable until Reset.
    void Set();
    void Reset();
    bool IsSet() const;

private:
    int m_fd = -1;
};
