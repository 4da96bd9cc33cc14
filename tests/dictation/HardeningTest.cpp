// What a hostile folder or a second process does to the dictation store:
// numbers taken at once, names taken by links, lengths beyond the files,
// leftovers of a kill.
#include "dictation/LDictation.h"
#include "dictation/LDictationList.h"
#include "tests/support/TestSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sched.h>
#include <set>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

namespace {

namespace fs = std::filesystem;

class Hardening : public ::testing::Test {
protected:
    test::IsolatedEnvironment env;
    test::TempDir dir;
};

TEST_F(Hardening, TwoProcessesMakingDictationsAtOnceGetDistinctNumbers)
{
    constexpr int kEach = 200;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = ::fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int nFailed = 0;
            for (int i = 0; i < kEach; ++i)
                nFailed += LDictation(dir.Path(), "p" + std::to_string(c) + "-" + std::to_string(i)).IsValid() ? 0 : 1;
            ::_exit(nFailed == 0 ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    LDictationList list(dir.Path());
    std::set<uint32_t> numbers;
    std::set<std::string> names;
    for (const LDictation& d : list) {
        numbers.insert(d.GetFileNumber());
        names.insert(std::string(d.GetName()));
        EXPECT_EQ(d.GetBaseName(), std::to_string(d.GetFileNumber()));
    }
    EXPECT_EQ(list.Count(), 2u * kEach);
    EXPECT_EQ(numbers.size(), 2u * kEach);
    EXPECT_EQ(names.size(), 2u * kEach);
}

TEST_F(Hardening, ACutNameTakenByALinkOrAStrayFileIsPassedOver)
{
    const std::vector<uint8_t> outside(100, 0x5A);
    for (bool bLink : { true, false }) {
        test::TempDir data;
        LDictation d(data.Path(), "taken");
        ASSERT_TRUE(d.IsValid());
        const std::string target = dir.File("outside.bin");
        ASSERT_TRUE(test::WriteFileBytes(target, outside));
        if (bLink)
            fs::create_symlink(target, d.GetCutFileName(0));
        else
            ASSERT_TRUE(test::WriteFileBytes(d.GetCutFileName(0), outside));
        const fs::perms before = fs::status(target).permissions();
        LSoundSinkRef sink = d.OpenSink(kRecordAtEnd, true, 0);
        ASSERT_TRUE(sink) << bLink;
        const int32_t frames[4] = { 1000, 2000, 3000, 4000 };
        sink->Write(frames, 4);
        sink.Reset();
        EXPECT_EQ(test::ReadFileBytes(target), outside) << bLink;
        EXPECT_EQ(test::ReadFileBytes(d.GetCutFileName(0)), outside) << bLink;
        EXPECT_EQ(fs::status(target).permissions(), before);
        ASSERT_EQ(d.GetCutList().Count(), 1u);
        EXPECT_EQ(d.GetCutList().GetFirst()->uCutNumber, 1u);
        EXPECT_EQ(test::ReadFileBytes(d.GetCutFileName(1)).size(), 8u);
    }
}

TEST_F(Hardening, CutRecordsReachNoFurtherThanTheirFiles)
{
    struct Case {
        uint32_t uStart, uEnd;
        uint64_t nExpected;
    } cases[] = {
        { 0, 0xFFFFFFF0, 2048 },
        { 100, 0x7FFFFFFF, 1948 },
        { 5000, 9000, 0 },
        { 10, 20, 10 },
    };
    for (const Case& c : cases) {
        test::TempDir data;
        std::string path;
        {
            LDictation d(data.Path(), "lying");
            d.MutableCutList().Add(CutRecord { 0, c.uStart, c.uEnd });
            d.MutableCutList().Add(CutRecord { 7, 0, 5000 }); // no file: silence, kept
            ASSERT_TRUE(d.Save());
            ASSERT_TRUE(test::WriteFileBytes(d.GetCutFileName(0), std::vector<uint8_t>(4096, 1)));
            path = d.GetPath();
        }
        LDictation loaded(path);
        EXPECT_EQ(loaded.GetTotalSamples(), c.nExpected + 5000) << c.uStart << ".." << c.uEnd;
    }
}

TEST_F(Hardening, AKilledRecordingShowsTheLengthItLeft)
{
    std::string path;
    {
        LDictation d(dir.Path(), "killed");
        d.MutableHeader().uDuration = 2;
        d.MutableCutList().Add(CutRecord { 0, 0, kCutToEnd });
        ASSERT_TRUE(d.Save());
        const size_t nBytes = 2u * d.Header().uSampleRate * 9 + 100;
        ASSERT_TRUE(test::WriteFileBytes(d.GetCutFileName(0), std::vector<uint8_t>(nBytes, 0)));
        path = d.GetPath();
    }
    EXPECT_EQ(LDictation(path).Header().uDuration, 9u);
}

TEST_F(Hardening, ListingRemovesOnlyOurOwnStaleTemporaryFiles)
{
    LDictation d(dir.Path(), "kept");
    ASSERT_TRUE(d.IsValid());
    struct Leftover {
        const char* szName;
        bool bOld;
        bool bRemoved;
    } leftovers[] = {
        { "12.ddf.tmpAb3xYz", true, true },
        { "12.ddf.tmpAb3xYq", false, false }, // a save may be under way
        { "notes.ddf.tmpAb3xYz", true, false },
        { "12.ddf.tmpAb3xY", true, false },
        { "12.ddf.tmp.keep", true, false },
    };
    for (const Leftover& l : leftovers) {
        ASSERT_TRUE(test::WriteFileBytes(dir.File(l.szName), { 1, 2, 3 }));
        if (l.bOld) {
            struct utimbuf old {
                ::time(nullptr) - 120, ::time(nullptr) - 120
            };
            ASSERT_EQ(::utime(dir.File(l.szName).c_str(), &old), 0);
        }
    }
    LDictationList list(dir.Path());
    EXPECT_EQ(list.Count(), 1u);
    for (const Leftover& l : leftovers)
        EXPECT_EQ(fs::exists(dir.File(l.szName)), !l.bRemoved) << l.szName;
}

// The window names a full disk from the error the list keeps: a tmpfs of
// 64 KiB, filled, in a user and mount namespace of a child's own.
TEST_F(Hardening, AFullDiskIsTheReasonANewDictationFails)
{
    const std::string folder = dir.File("small");
    fs::create_directory(folder);
    const uid_t uid = ::getuid();
    const gid_t gid = ::getgid();
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            ::_exit(77);
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << uid << " " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << gid << " " << gid << " 1";
        if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, "size=64k") != 0)
            ::_exit(77);
        std::ofstream(folder + "/fill") << std::string(1 << 20, 'x');
        LDictationList list;
        const bool bRefused = list.NewDictation(folder, "full") == nullptr;
        ::_exit(bRefused && list.GetLastNewErrno() == ENOSPC ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "no user and mount namespaces here";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
