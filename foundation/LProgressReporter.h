// What a long operation tells whoever shows it: two lines of text, the
// fraction done, errors, and whether it should stop. Each operation's body is
// written once against this and runs under the progress dialog, the send
// queue's thread or the terminal. Used only by the thread running the body.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

class LProgressReporter {
public:
    // Results of WaitHandle.
    enum : int { kSignalled = 0, kCancelled = 1, kTimedOut = 2 };

    virtual ~LProgressReporter() = default;

    // Line 0 or 1; other lines are ignored.
    virtual void SetText(const std::string& szText, int nLine) = 0;
    // 0 to 1 of the operation, shown truncated to whole percent. What is
    // shown never goes back: an operation's phases (encode, then deliver)
    // each count from 0, and a later one must not undo an earlier one.
    void SetProgress(double fFraction)
    {
        if (!std::isfinite(fFraction))
            return;
        m_fShown = std::max(m_fShown, std::clamp(fFraction, 0.0, 1.0));
        ShowProgress(m_fShown);
    }
    // The next operation on this reporter counts from 0 again.
    void RestartProgress() { m_fShown = 0.0; }
    // Reports a failure to the user (a message box, the queue's error, stderr).
    virtual void ErrorBox(const std::string& szText) = 0;

    // Hands on pending work of the window, if any; true when the operation
    // should stop (Cancel pressed, the thread asked to stop).
    virtual bool Pump() = 0;
    // Waits up to ms while pumping; true as soon as the operation should stop.
    virtual bool WaitTimed(uint32_t ms) = 0;
    // Waits up to ms for the descriptor to become readable (a child's pidfd)
    // while pumping: kSignalled, kCancelled or kTimedOut.
    virtual int WaitHandle(int fd, uint32_t ms) = 0;

protected:
    // Shows a fraction SetProgress let through: 0 to 1, never less than the last.
    virtual void ShowProgress(double fFraction) = 0;

private:
    double m_fShown = 0.0;
};
