// The inbox folder's watch: what a writer, a mover and a deleter look like
// to it, and that losing the folder asks for a rescan.
#include "platform/LFolderWatch.h"
#include "tests/support/TestSupport.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>

namespace {

using Kind = LFolderWatch::Event::Kind;
using Result = LFolderWatch::Result;

std::string Seen(const std::vector<LFolderWatch::Event>& events)
{
    std::string text;
    for (const auto& e : events)
        text += (e.kind == Kind::Added ? "+" : "-") + e.name + " ";
    return text;
}

// Events may come over several reads; gathered until none comes for a while (bounded).
std::string Gather(LFolderWatch& watch)
{
    std::string text;
    std::vector<LFolderWatch::Event> events;
    for (int i = 0; i < 20; ++i) {
        Result r = watch.Wait(i == 0 ? 5000 : 100, &events);
        if (r == Result::Rescan)
            return text + "rescan";
        if (r != Result::Events)
            break;
        text += Seen(events);
    }
    return text;
}

TEST(FolderWatch, WritersMoversAndDeletersAreSeenAndALostFolderAsksForARescan)
{
    test::TempDir dir;
    std::string inbox = dir.File("inbox");
    ASSERT_EQ(0, test::RunShell("mkdir " + test::ShellQuote(inbox)));
    LFolderWatch watch;
    ASSERT_TRUE(watch.Open(inbox));
    auto sh
        = [&](const std::string& command) { test::RunShell("cd " + test::ShellQuote(dir.Path()) + " && " + command); };
    struct Case {
        const char* szCommand;
        const char* szSeen;
    } cases[] = {
        // A file copied in is told once it is closed, not while half-written.
        { "printf abc > inbox/a.dct", "+a.dct +a.dct " },
        { "printf x > b.tmp && mv b.tmp inbox/b.dct", "+b.dct " },
        { "mv inbox/a.dct inbox/c.dct", "-a.dct +c.dct " },
        { "rm inbox/b.dct", "-b.dct " },
        { "mkdir inbox/Claimed", "+Claimed " },
        { "mv inbox gone", "rescan" },
        // With the folder gone every wait is a rescan: the caller lists again on its timer.
        { "true", "rescan" },
    };
    for (const Case& c : cases) {
        sh(c.szCommand);
        EXPECT_EQ(c.szSeen, Gather(watch)) << c.szCommand;
    }
    EXPECT_FALSE(watch.Open(dir.File("missing")));
    std::vector<LFolderWatch::Event> events;
    EXPECT_EQ(Result::Rescan, watch.Wait(0, &events));
    watch.Wake();
    EXPECT_EQ(Result::Woken, watch.Wait(5000, &events));
}

TEST(FolderWatch, AnOverflowOrATornRecordAsksForARescan)
{
    std::vector<LFolderWatch::Event> events;
    auto record = [](uint32_t mask, const char* szName) {
        inotify_event e {};
        e.mask = mask;
        e.len = 16;
        std::string bytes(reinterpret_cast<const char*>(&e), sizeof e);
        std::string name(szName);
        name.resize(16, '\0');
        return bytes + name;
    };
    std::string ok = record(IN_MOVED_TO, "x.dct") + record(IN_DELETE, "y.dct");
    EXPECT_EQ(Result::Events, LFolderWatch::ParseEvents(ok.data(), ok.size(), &events));
    EXPECT_EQ("+x.dct -y.dct ", Seen(events));
    std::string overflow = record(IN_Q_OVERFLOW, "");
    EXPECT_EQ(Result::Rescan, LFolderWatch::ParseEvents(overflow.data(), overflow.size(), &events));
    EXPECT_EQ(Result::Rescan, LFolderWatch::ParseEvents(ok.data(), ok.size() - 3, &events));
}

} // namespace
