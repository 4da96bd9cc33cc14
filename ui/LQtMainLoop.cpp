#include "ui/LQtMainLoop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

LQtMainLoop::LQtMainLoop() = default;

LQtMainLoop::~LQtMainLoop() = default;

void LQtMainLoop::Post(std::function<void()> task)
{
    // The receiver lives on the GUI thread, so the functor runs there.
    QMetaObject::invokeMethod(
        &m_receiver, [this, task = std::move(task)]() { Run(task); }, Qt::QueuedConnection);
}

void LQtMainLoop::Run(const std::function<void()>& task)
{
    task();
    m_nRan.fetch_add(1, std::memory_order_relaxed);
    if (m_pWaiting)
        m_pWaiting->quit();
}

size_t LQtMainLoop::Pump(uint32_t waitMs)
{
    size_t nBefore = m_nRan.load(std::memory_order_relaxed);
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (m_nRan.load(std::memory_order_relaxed) == nBefore && waitMs > 0 && m_pWaiting == nullptr) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(std::min<uint32_t>(waitMs, 0x7FFFFFFF)));
        m_pWaiting = &loop;
        // A task may have arrived between processEvents and here; it is
        // still queued, and exec runs it and quits.
        loop.exec();
        m_pWaiting = nullptr;
    }
    return m_nRan.load(std::memory_order_relaxed) - nBefore;
}
