// Where cuts go, which cut files stay on disk, undo and redo. Audio is judged
// from the cut files decoded here, never through the engine's reader alone.
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "foundation/LFile.h"
#include "tests/support/Audio.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A distinct, recognisable 16-bit value for frame i of recording `tag`.
int16_t Tone(int tag, int64_t i)
{
    return static_cast<int16_t>(((tag * 7919 + i * 31) % 60000) - 30000);
}

std::vector<int16_t> Samples(int tag, int64_t nFrames, uint8_t nChannels = 1)
{
    std::vector<int16_t> out;
    for (int64_t i = 0; i < nFrames * nChannels; ++i)
        out.push_back(Tone(tag, i));
    return out;
}

// Records `nFrames` frames of Tone(tag) through the dictation's record sink.
bool Record(LDictation& d, int nMode, int32_t nMs, int tag, int64_t nFrames, bool bUndo = true)
{
    LSoundSinkRef sink = d.OpenSink(nMode, bUndo, nMs);
    if (!sink)
        return false;
    std::vector<int32_t> block;
    for (int16_t s : Samples(tag, nFrames, d.Header().uChannels))
        block.push_back(s * 16);
    sink->Write(block.data(), static_cast<int32_t>(nFrames));
    sink.Reset();
    d.UpdateDuration();
    return true;
}

// The whole timeline through the dictation audio source, as 16-bit values.
std::vector<int16_t> Timeline(const LDictation& d)
{
    auto source = LDictationAudioSource::Make(d);
    std::vector<int32_t> buf(static_cast<size_t>(source->GetLength()) * source->NumChannels() + 1);
    source->Read(buf.data(), static_cast<int32_t>(source->GetLength()));
    buf.pop_back();
    std::vector<int16_t> out;
    for (int32_t v : buf)
        out.push_back(static_cast<int16_t>(v / 16));
    return out;
}

std::vector<int16_t> Concat(std::initializer_list<std::vector<int16_t>> parts)
{
    std::vector<int16_t> out;
    for (const auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

std::vector<int16_t> Slice(const std::vector<int16_t>& v, size_t from, size_t to)
{
    return std::vector<int16_t>(
        v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(std::min(to, v.size())));
}

struct Rec {
    uint16_t n;
    uint32_t start, end;
    bool operator==(const Rec&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Rec& r)
{
    return os << "{" << r.n << ", " << r.start << ", " << r.end << "}";
}

// The cut list as the .ddf file on disk holds it.
std::vector<Rec> RecordsOnDisk(const LDictation& d)
{
    LDictation reloaded(d.GetPath());
    EXPECT_TRUE(reloaded.IsValid());
    std::vector<Rec> out;
    for (const CutRecord& c : reloaded.GetCutList())
        out.push_back({ c.uCutNumber, c.uStart, c.uEnd });
    return out;
}

// Cut numbers whose files exist in the folder.
std::set<int> CutFilesOnDisk(const LDictation& d)
{
    std::set<int> out;
    const std::string prefix = d.GetBaseName() + "_";
    for (const std::string& name : test::FileNames(d.GetFolder()))
        if (name.rfind(prefix, 0) == 0 && name.size() > 4 && name.substr(name.size() - 4) == ".dau")
            out.insert(std::stoi(name.substr(prefix.size())));
    return out;
}

std::set<int> NumbersNamed(LDictation& d)
{
    std::set<int> out;
    for (const CutRecord& c : d.GetCutList())
        out.insert(c.uCutNumber);
    for (LList<UndoEntry>* stack : { &d.UndoStack(), &d.RedoStack() })
        for (const UndoEntry& e : *stack)
            for (const CutRecord& c : e.cuts)
                out.insert(c.uCutNumber);
    return out;
}

using CutList = test::EnvTest;

// Where recordings go: the records on disk as stated, the audio they name as
// recorded (cut i holds recording i + 1), and the duration the audio's.
TEST_F(CutList, RecordingsSplitCutsAtTheExactFrame)
{
    struct Step {
        int nMode;
        int32_t nMs;
        int64_t nFrames;
    };
    const struct {
        const char* szWhat;
        uint32_t uRate;
        uint8_t uChannels;
        std::vector<Step> steps;
        std::vector<Rec> records;
    } cases[] = {
        { "split", 11025, 1, { { kRecordAtEnd, 0, 3 * 11025 }, { kRecordInsert, 1500, 4000 } },
            { { 0, 0, 16537 }, { 1, 0, kCutToEnd }, { 0, 16537, kCutToEnd } } },
        { "stereo frames", 11025, 2, { { kRecordAtEnd, 0, 11025 }, { kRecordInsert, 500, 100 } },
            { { 0, 0, 5512 }, { 1, 0, kCutToEnd }, { 0, 5512, kCutToEnd } } },
        // Before the start is the start; beyond the end no silence is made up, and an overwrite there drops nothing.
        { "ends", 11025, 1,
            { { kRecordAtEnd, 0, 1000 }, { kRecordInsert, 0, 300 }, { kRecordInsert, -20, 200 },
                { kRecordInsert, 60000, 100 }, { kRecordOverwrite, 60000, 50 } },
            { { 2, 0, kCutToEnd }, { 1, 0, kCutToEnd }, { 0, 0, kCutToEnd }, { 3, 0, kCutToEnd },
                { 4, 0, kCutToEnd } } },
        // 800 frames are 100 ms: 100 and 201 ms fall on the ends of cuts and split nothing.
        { "boundaries", 8000, 1,
            { { kRecordAtEnd, 0, 800 }, { kRecordAtEnd, 0, 800 }, { kRecordInsert, 100, 8 },
                { kRecordOverwrite, 201, 8 } },
            { { 0, 0, kCutToEnd }, { 2, 0, kCutToEnd }, { 1, 0, kCutToEnd }, { 3, 0, kCutToEnd } } },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.szWhat);
        test::TempDir folder;
        LDictation d(folder.Path(), "edits");
        d.MutableHeader().uSampleRate = c.uRate;
        d.MutableHeader().uChannels = c.uChannels;
        for (size_t i = 0; i < c.steps.size(); ++i)
            ASSERT_TRUE(Record(d, c.steps[i].nMode, c.steps[i].nMs, static_cast<int>(i + 1), c.steps[i].nFrames));
        ASSERT_EQ(RecordsOnDisk(d), c.records);
        std::vector<int16_t> expected;
        for (const Rec& r : c.records) {
            const std::vector<int16_t> cut = Samples(r.n + 1, c.steps[r.n].nFrames, c.uChannels);
            const std::vector<int16_t> part
                = Slice(cut, r.start * c.uChannels, r.end == kCutToEnd ? cut.size() : r.end * size_t { c.uChannels });
            expected.insert(expected.end(), part.begin(), part.end());
        }
        const LDictation reloaded(d.GetPath());
        EXPECT_EQ(Timeline(reloaded), expected);
        EXPECT_EQ(reloaded.Header().uDuration, expected.size() / c.uChannels / c.uRate);
        EXPECT_EQ(CutFilesOnDisk(d), NumbersNamed(d));
        struct stat st;
        ASSERT_EQ(stat(d.GetCutFileName(1).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << "cut files are as private as the header";
    }
}

TEST_F(CutList, OverwriteKeepsWhatLiesBeforeThePositionAndDropsTheRest)
{
    const int32_t rate = 8000;
    for (bool bUndo : { false, true }) {
        SCOPED_TRACE(bUndo ? "with undo" : "without undo");
        test::TempDir folder;
        LDictation d(folder.Path(), "over");
        d.MutableHeader().uSampleRate = rate;
        ASSERT_TRUE(Record(d, kRecordAtEnd, 0, 1, 8000, bUndo)); // 0 to 1 s
        ASSERT_TRUE(Record(d, kRecordAtEnd, 0, 2, 8000, bUndo)); // 1 s to 2 s
        ASSERT_TRUE(Record(d, kRecordAtEnd, 0, 3, 8000, bUndo)); // 2 s to 3 s
        ASSERT_TRUE(Record(d, kRecordOverwrite, 1250, 4, 100, bUndo));
        EXPECT_EQ(RecordsOnDisk(d), (std::vector<Rec> { { 0, 0, kCutToEnd }, { 1, 0, 2000 }, { 3, 0, kCutToEnd } }));
        EXPECT_EQ(Timeline(d), Concat({ Samples(1, 8000), Slice(Samples(2, 8000), 0, 2000), Samples(4, 100) }));
        // The third cut's file stays only while an undo entry names it.
        EXPECT_EQ(CutFilesOnDisk(d), bUndo ? (std::set<int> { 0, 1, 2, 3 }) : (std::set<int> { 0, 1, 3 }));
        EXPECT_EQ(LDictation(d.GetPath()).Header().uDuration, 1);
        if (bUndo) {
            ASSERT_TRUE(d.Undo());
            EXPECT_EQ(Timeline(d), Concat({ Samples(1, 8000), Samples(2, 8000), Samples(3, 8000) }));
        }
    }
}

// Cut files a recording without undo drops stay while a redo entry names them.
TEST_F(CutList, ARecordingWithoutUndoKeepsWhatRedoStillNames)
{
    LDictation d(dir.Path(), "keep");
    ASSERT_TRUE(Record(d, kRecordAtEnd, 0, 1, 1000));
    ASSERT_TRUE(Record(d, kRecordAtEnd, 0, 2, 500));
    ASSERT_TRUE(d.Undo());
    ASSERT_TRUE(Record(d, kRecordOverwrite, 0, 3, 100, false));
    EXPECT_EQ(CutFilesOnDisk(d), NumbersNamed(d));
    ASSERT_TRUE(d.Redo());
    EXPECT_EQ(Timeline(d), Concat({ Samples(1, 1000), Samples(2, 500) }));
}

// The header already names the open-ended cut, so what reached the disk plays after a reload.
TEST_F(CutList, AKilledRecordingKeepsWhatReachedTheDisk)
{
    LDictation d(dir.Path(), "crash");
    ASSERT_TRUE(Record(d, kRecordAtEnd, 0, 1, 2000));
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t pid = test::Fork([&] {
        LSoundSinkRef sink = d.OpenSink(kRecordInsert, true, 100);
        if (!sink)
            return false;
        std::vector<int32_t> block;
        for (int16_t s : Samples(2, 2000))
            block.push_back(s * 16);
        sink->Write(block.data(), 1000);
        sink->Write(block.data() + 1000, 1000);
        char c = 'w';
        (void)!write(fds[1], &c, 1);
        for (;;)
            pause(); // killed here, the sink never released
        return true;
    });
    close(fds[1]);
    char c = 0;
    ASSERT_EQ(read(fds[0], &c, 1), 1);
    close(fds[0]);
    kill(pid, SIGKILL);
    EXPECT_EQ(test::Reap(pid), -1);
    LDictation reloaded(d.GetPath());
    ASSERT_TRUE(reloaded.IsValid());
    EXPECT_EQ(reloaded.GetTotalSamples(), 4000u);
    const std::vector<int16_t> first = Samples(1, 2000);
    EXPECT_EQ(Timeline(reloaded), Concat({ Slice(first, 0, 1102), Samples(2, 2000), Slice(first, 1102, 2000) }));
}

} // namespace
