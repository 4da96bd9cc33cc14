// What a second process, a hostile folder or a kill does to the dictation store.
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "dictation/LDictationList.h"
#include "tests/support/Records.h"
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

// A list reads no cut file, so every use of a listed dictation's cuts must
// first fit a crash-left list to its files: cut 0 open-ended over 22050
// frames with 0 s stored, cut 1 claiming far more than its 1000 frames, cut 7
// without a file (500 frames of silence).
TEST_F(Hardening, AListedDictationIsRepairedBeforeAnyUseOfItsCuts)
{
    constexpr uint64_t kRepaired = 22050 + 1000 + 500;
    auto fitted = [](const LDictation& d) {
        std::vector<uint32_t> ends;
        for (const CutRecord& cut : d.GetCutList())
            ends.push_back(cut.uEnd);
        return ends == std::vector<uint32_t> { kCutToEnd, 1000, 500 };
    };
    auto filesIn = [](const std::string& folder) {
        std::set<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().extension() == ".dau")
                names.insert(entry.path().filename());
        return names;
    };
    const struct {
        const char* path;
        std::function<bool(LDictation&, const test::TempDir& other)> use;
    } uses[] = {
        { "length shown",
            [](LDictation& d, auto&) { return d.GetTotalSamples() == kRepaired && d.Header().uDuration == 2; } },
        { "player", [](LDictation& d, auto&) { return LDictationAudioSource(d).GetLength() == kRepaired; } },
        { "editor", [&](LDictation& d, auto&) { return fitted(d) && d.MutableCutList().Count() == 3; } },
        { "save", [&](LDictation& d, auto&) { return d.SetName("saved") && fitted(LDictation(d.GetPath())); } },
        { "record",
            [&](LDictation& d, auto&) {
                const bool bOk = static_cast<bool>(d.OpenSink(kRecordAtEnd, true, 0));
                return bOk && d.GetCutList().Count() == 4 && d.GetLastRecordStart()->uCutNumber == 2;
            } },
        { "undo",
            [&](LDictation& d, auto&) {
                d.SaveForUndo("edit");
                d.MutableCutList().Clear();
                return d.Undo() && fitted(d) && d.Header().uDuration == 2;
            } },
        { "send folder move",
            [&](LDictation& d, auto& other) {
                return d.MoveToFolder(other.Path())
                    && filesIn(other.Path()) == std::set<std::string> { "5_0.dau", "5_1.dau" } && fitted(d);
            } },
        { "renumber",
            [&](LDictation& d, auto&) {
                return d.Renumber(9) && filesIn(d.GetFolder()) == std::set<std::string> { "9_0.dau", "9_1.dau" };
            } },
        { "delete", [&](LDictation& d, auto&) { return d.Delete() && filesIn(d.GetFolder()).empty(); } },
    };
    for (const auto& u : uses) {
        test::TempDir current, other;
        test::DdfBuilder(5, "crashed")
            .Cut(0, 0, kCutToEnd)
            .Cut(1, 0, 0x7FFFFFFF)
            .Cut(7, 0, 500)
            .Write(current, "5.ddf");
        ASSERT_TRUE(test::WriteFileBytes(current.File("5_0.dau"), std::vector<uint8_t>(2 * 22050, 1)));
        ASSERT_TRUE(test::WriteFileBytes(current.File("5_1.dau"), std::vector<uint8_t>(2 * 1000, 1)));
        LDictationList list(current.Path());
        ASSERT_EQ(list.Count(), 1u);
        EXPECT_TRUE(u.use(*list.GetFirst(), other)) << u.path;
    }
}

} // namespace
