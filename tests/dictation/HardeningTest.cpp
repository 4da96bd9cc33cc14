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

TEST_F(Hardening, ACutNameTakenByALinkOrAStrayFileIsPassedOver)
{
    const std::vector<uint8_t> outside(100, 0x5A);
    for (bool bLink : { true, false }) {
        test::TempDir data;
        LDictation d(data.Path(), "taken");
        ASSERT_TRUE(test::WriteFileBytes(dir.File("outside"), outside));
        const fs::perms before = fs::status(dir.File("outside")).permissions();
        if (bLink)
            fs::create_symlink(dir.File("outside"), d.GetCutFileName(0));
        else
            ASSERT_TRUE(test::WriteFileBytes(d.GetCutFileName(0), outside));
        LSoundSinkRef sink = d.OpenSink(kRecordAtEnd, true, 0);
        ASSERT_TRUE(sink) << bLink;
        const int32_t frames[4] = { 1, 2, 3, 4 };
        sink->Write(frames, 4);
        sink.Reset();
        EXPECT_EQ(test::ReadFileBytes(dir.File("outside")), outside) << bLink;
        EXPECT_EQ(fs::status(dir.File("outside")).permissions(), before) << bLink;
        EXPECT_EQ(d.GetCutList().GetFirst()->uCutNumber, 1u) << bLink;
        EXPECT_EQ(fs::file_size(d.GetCutFileName(1)), 8u) << bLink;
    }
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

TEST_F(Hardening, ListingRemovesOnlyOurOwnStaleTemporaryFiles)
{
    LDictation d(dir.Path(), "kept");
    const struct {
        const char* szName;
        bool bOld, bRemoved;
    } leftovers[] = { { "12.ddf.tmpAb3xYz", true, true }, { "12.ddf.tmpAb3xYq", false, false },
        { "notes.ddf.tmpAb3xYz", true, false }, { "12.ddf.tmpAb3xY", true, false } };
    for (const auto& l : leftovers) {
        ASSERT_TRUE(test::WriteFileBytes(dir.File(l.szName), { 1, 2, 3 }));
        const struct utimbuf old {
            ::time(nullptr) - 120, ::time(nullptr) - 120
        };
        ASSERT_TRUE(!l.bOld || ::utime(dir.File(l.szName).c_str(), &old) == 0);
    }
    EXPECT_EQ(LDictationList(dir.Path()).Count(), 1u);
    for (const auto& l : leftovers)
        EXPECT_EQ(fs::exists(dir.File(l.szName)), !l.bRemoved) << l.szName;
}

} // namespace
