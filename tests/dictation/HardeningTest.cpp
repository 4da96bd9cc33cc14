// What a second process, a hostile folder or a kill does to the dictation store.
#include "dictation/LDictation.h"
#include "dictation/LDictationList.h"
#include "tests/support/TestSupport.h"

#include <filesystem>
#include <set>
#include <unistd.h>
#include <utime.h>

namespace {

namespace fs = std::filesystem;

using Hardening = test::EnvTest;

TEST_F(Hardening, TwoProcessesMakingDictationsAtOnceGetDistinctNumbers)
{
    pid_t children[2];
    for (int c = 0; c < 2; ++c)
        children[c] = test::Fork([&] {
            bool bOk = true;
            for (int i = 0; i < 200; ++i)
                bOk = LDictation(dir.Path(), std::to_string(c) + "-" + std::to_string(i)).IsValid() && bOk;
            return bOk;
        });
    for (pid_t child : children)
        EXPECT_EQ(test::Reap(child), 0);
    LDictationList list(dir.Path());
    std::set<uint32_t> numbers;
    std::set<std::string> names;
    for (const LDictation& d : list) {
        numbers.insert(d.GetFileNumber());
        names.insert(std::string(d.GetName()));
    }
    EXPECT_EQ(list.Count(), 400u);
    EXPECT_EQ(numbers.size(), 400u);
    EXPECT_EQ(names.size(), 400u) << "a header was replaced by another process's";
}

TEST_F(Hardening, CutRecordsAndTheDurationFollowTheFilesOnLoad)
{
    // Cut 0 holds 2048 frames; cut 7 has no file and stays as silence.
    const struct {
        uint32_t uStart, uEnd, nDurationLeft;
        uint64_t nSamples;
        unsigned nDuration;
    } cases[] = {
        { 0, 0xFFFFFFF0, 2, 2048 + 11025, 2 }, { 100, 0x7FFFFFFF, 2, 1948 + 11025, 2 }, { 5000, 9000, 2, 11025, 2 },
        { 0, kCutToEnd, 0, 2048 + 11025, 1 }, // a killed recording left 0 s
    };
    for (const auto& c : cases) {
        test::TempDir data;
        LDictation d(data.Path(), "lying");
        d.MutableHeader().uDuration = static_cast<uint16_t>(c.nDurationLeft);
        d.MutableCutList().Add(CutRecord { 7, 0, 11025 });
        d.MutableCutList().Add(CutRecord { 0, c.uStart, c.uEnd });
        ASSERT_TRUE(d.Save());
        ASSERT_TRUE(test::WriteFileBytes(d.GetCutFileName(0), std::vector<uint8_t>(4096, 1)));
        LDictation loaded(d.GetPath());
        EXPECT_EQ(loaded.GetTotalSamples(), c.nSamples) << c.uStart << ".." << c.uEnd;
        EXPECT_EQ(loaded.Header().uDuration, c.nDuration) << c.uStart << ".." << c.uEnd;
    }
}

} // namespace
