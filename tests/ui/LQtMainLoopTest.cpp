#include "ui/LQtMainLoop.h"
#include "QtTestApp.h"
#include "foundation/LThreadQueuedNotify.h"

#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <numeric>
#include <thread>

namespace {

class CountingReceiver : public LThreadQueuedNotify {
public:
    using LThreadQueuedNotify::LThreadQueuedNotify;
    int nRuns = 0;
    bool bOnGuiThread = true;

protected:
    void EvNotify() override
    {
        ++nRuns;
        bOnGuiThread = bOnGuiThread && QThread::currentThread() == QCoreApplication::instance()->thread();
    }
};

// Tasks from a worker run on the GUI thread in order; its burst of notifications coalesces into one run.
TEST(QtMainLoop, WorkersTasksRunInOrderAndNotificationsCoalesceOnTheGuiThread)
{
    TestApp();
    LQtMainLoop loop;
    CountingReceiver receiver(loop);
    LNotifier notifier = receiver.GetNotifier();
    std::vector<int> order;
    bool bAllOnGui = true;
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i) {
            notifier.Post();
            if (i < 50)
                loop.Post([&, i] {
                    order.push_back(i);
                    bAllOnGui = bAllOnGui && QThread::currentThread() == QCoreApplication::instance()->thread();
                });
        }
    });
    worker.join();
    size_t nRan = 0;
    for (int i = 0; i < 100 && nRan < 51; ++i)
        nRan += loop.Pump(100);
    ASSERT_EQ(nRan, 51u);
    EXPECT_TRUE(bAllOnGui);
    std::vector<int> expected(50);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_EQ(receiver.nRuns, 1);
    EXPECT_TRUE(receiver.bOnGuiThread);
    notifier.Post();
    loop.Pump(1000);
    EXPECT_EQ(receiver.nRuns, 2);
}

} // namespace
