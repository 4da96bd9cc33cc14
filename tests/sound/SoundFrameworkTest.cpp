#include "sound/LSoundSourceBase.h"
#include "sound/LSoundTime.h"

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

TEST(SoundTime, TextFormsRoundAsEachFormSaysAndReadBack)
{
    const std::pair<std::string, std::string> forms[] = { { LSoundTime(1949).ToTextTenths(), "0:00:01.9" },
        { LSoundTime(1950).ToTextTenths(), "0:00:02.0" }, { LSoundTime(3723456).ToTextMillis(), "1:02:03.456" },
        { LSoundTime(3723456).ToTextHundredths(), "1:02:03.46" },
        { LSoundTime(3723456).ToTextHourTenths(), "1:02:03.4" }, { LSoundTime(3723500).ToTextSeconds(), "1:02:04" },
        { LSoundTime(3723456).ToTextMinSec(), "02:03" }, { LSoundTime(3723456).ToTextMinSecTenths(), "02:03.4" },
        { LSoundTime(-1500).ToTextTenths(), "-0:00:01.5" },
        { LSoundTime(INT32_MIN).ToTextMillis(), "-596:31:23.648" } };
    for (const auto& [got, expected] : forms)
        EXPECT_EQ(got, expected);
    const std::pair<const char*, int32_t> read[]
        = { { "1:02:03.4", 3723400 }, { "-0:01.5", -1500 }, { "0:00:01.25", 1250 }, { "0:00:01.2567", 1256 },
              { "12 s", 12000 }, { "99999999999999999999", INT32_MAX }, { "-9:99:99:99:99:99", -INT32_MAX } };
    for (auto [szText, nMs] : read)
        EXPECT_EQ(LSoundTime::FromText(szText).Ms(), nMs) << szText;
    for (int ms : { 0, 999, 61001, 3599999, 36000000 }) {
        EXPECT_EQ(LSoundTime::FromText(LSoundTime(ms).ToTextMillis()).Ms(), ms);
        EXPECT_EQ(LSoundTime::FromText(LSoundTime(-ms).ToTextMillis()).Ms(), -ms);
    }
}

} // namespace
