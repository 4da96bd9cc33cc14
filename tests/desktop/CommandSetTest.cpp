#include "app/shared/commands/LCommandId.h"
#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A router whose transport only writes down what it was asked and keeps the
// running state a real one would, so the hold rule is seen from outside.
struct Bench {
    LCommandRouter router;
    std::string log;
    bool bRecording = false, bPlaying = false;
    uint64_t uNow = 1000;
    uint64_t uRecordStartMs = 0; // how long the record command takes to start
    LCommandSet set { router, { [this] { return bRecording; }, [this] { return bPlaying; } }, [this] { return uNow; } };

    Bench()
    {
        auto add = [this](LCommandId id, std::string name, std::function<void()> then = {}) {
            LCommandRouter::Handler handler;
            handler.trigger = [this, name, then] {
                log += (log.empty() ? "" : ",") + name;
                if (then)
                    then();
                return true;
            };
            handler.release = [this, name] { return log += "," + name + " up", true; };
            router.Register(id, std::move(handler));
        };
        add(LCommandId::kRecord, "record", [this] { bRecording = true, uNow += uRecordStartMs; });
        add(LCommandId::kRecordInsert, "insert", [this] { bRecording = true; });
        add(LCommandId::kPlay, "play", [this] { bPlaying = true; });
        add(LCommandId::kStop, "stop", [this] { bRecording = bPlaying = false; });
        add(LCommandId::kNew, "new");
        add(LCommandId::kRewind, "rewind");
        add(LCommandId::kSetHighPriority, "high");
        add(LCommandId::kSetSend, "send");
    }
};

} // namespace

TEST(CommandSetTest, HoldRuleThroughPressesAndReleases)
{
    // Each step: press or release a stored number of the set, or wait (ms in uWait).
    struct Step {
        int nPress;
        int nRelease;
        uint64_t uWaitMs;
    };
    struct Case {
        const char* szName;
        std::vector<Step> steps;
        const char* szLog;
        uint64_t uRecordStartMs = 0;
    };
    const Case kCases[] = {
        { "tap latches record, next tap stops",
            { { 3, 0, 0 }, { 0, 0, 200 }, { 0, 3, 0 }, { 0, 0, 100 }, { 3, 0, 0 }, { 0, 0, 100 }, { 0, 3, 0 } },
            "record,stop" },
        { "hold over the limit stops on release", { { 4, 0, 0 }, { 0, 0, 501 }, { 0, 4, 0 } }, "play,stop" },
        { "exactly the limit is still a tap", { { 4, 0, 0 }, { 0, 0, 500 }, { 0, 4, 0 } }, "play" },
        // A hold counts from the press, however long the start took.
        { "a slow start held on stops on release", { { 3, 0, 300 }, { 0, 3, 0 } }, "record,stop", 900 },
        { "rewind scans while held", { { 7, 0, 0 }, { 0, 0, 2000 }, { 0, 7, 0 } }, "rewind,rewind up" },
        { "high priority is set before sending", { { 11, 0, 0 }, { 0, 11, 0 } }, "high,send" },
        { "outside the set nothing happens", { { -1, 0, 0 }, { 17, 0, 0 }, { 0, 17, 0 }, { 0, -1, 0 }, { 1000, 0, 0 } },
            "" },
    };
    for (const Case& c : kCases) {
        Bench bench;
        bench.uRecordStartMs = c.uRecordStartMs;
        for (const Step& step : c.steps) {
            if (step.nPress)
                bench.set.CommandPress(LCommandSetTable::Id(step.nPress));
            if (step.nRelease)
                bench.set.CommandRelease(LCommandSetTable::Id(step.nRelease));
            bench.uNow += step.uWaitMs;
        }
        EXPECT_EQ(bench.log, c.szLog) << c.szName;
    }
}
