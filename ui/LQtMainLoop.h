// The main loop of the desktop program: tasks posted from any thread run on
// the GUI thread as queued Qt events. Created on the GUI thread after the
// QApplication and destroyed before it; the notifiers coalesce on their own.
#pragma once

#include "foundation/LMainLoop.h"

#include <QObject>

#include <atomic>

class QEventLoop;

class LQtMainLoop : public LMainLoop {
public:
    LQtMainLoop();
    ~LQtMainLoop() override;
    LQtMainLoop(const LQtMainLoop&) = delete;
    LQtMainLoop& operator=(const LQtMainLoop&) = delete;

    void Post(std::function<void()> task) override;
    // Hands on every pending event of the GUI thread (not only posted tasks),
    // waiting up to the time-out for a posted task when none ran.
    size_t Pump(uint32_t waitMs) override;

private:
    void Run(const std::function<void()>& task);

    QObject m_receiver;
    std::atomic<size_t> m_nRan { 0 };
    QEventLoop* m_pWaiting = nullptr;
};
