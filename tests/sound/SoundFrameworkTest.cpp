#include "sound/LSoundSourceBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <latch>
#include <thread>
#include <vector>

namespace {

std::atomic<int> g_nDestroyed { 0 };

class CountedSource : public LSoundSourceBase {
public:
    CountedSource(int32_t nRate = 8000, uint8_t nChannels = 1)
        : LSoundSourceBase(nRate, nChannels, kMaxAmplitudePCM)
    {
    }
    ~CountedSource() override { ++g_nDestroyed; }
    void Read(int32_t*, int32_t) override { }
    int64_t GetPosition() override { return 0; }
    int64_t GetLength() override { return 0; }
};

// Worker threads drop their references while the owner drops its own: the
// count must not lose an update, or an object dies twice or never.
TEST(SoundRef, ReleasedOnSeveralThreadsDiesExactlyOnce)
{
    g_nDestroyed = 0;
    constexpr int kObjects = 20;
    for (int i = 0; i < kObjects; ++i) {
        LSoundSourceRef ref(new CountedSource);
        std::latch start(5);
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t)
            threads.emplace_back([ref, &start] {
                start.arrive_and_wait();
                for (int n = 0; n < 50000; ++n) {
                    LSoundSourceRef copy = ref;
                    LSoundSourceRef other;
                    other = copy;
                }
            });
        start.arrive_and_wait();
        ref.Reset();
        for (auto& thread : threads)
            thread.join();
    }
    EXPECT_EQ(g_nDestroyed, kObjects);
}

} // namespace
