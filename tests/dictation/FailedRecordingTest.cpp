// A recording whose device never started is taken back whole: the header file
// is as it was byte for byte, the new cut file is gone, and the undo history
// holds nothing of it, in every mode.
#include "dictation/LDictation.h"
#include "dictation/LDictationHeader.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

namespace {

void Write(LDictation& d, int nMode, int32_t nMs, int32_t nFrames)
{
    LSoundSinkRef sink = d.OpenSink(nMode, true, nMs);
    ASSERT_TRUE(sink);
    std::vector<int32_t> block(size_t(nFrames), 1000 * 16);
    sink->Write(block.data(), nFrames);
    sink.Reset();
    d.UpdateDuration();
}

TEST(FailedRecording, PutsTheDictationBackAsItWasInEveryMode)
{
    test::IsolatedEnvironment env;
    test::TempDir dir;
    LDictation d(dir.Path(), "failed");
    Write(d, kRecordAtEnd, 0, 11025 * 2);
    Write(d, kRecordInsert, 500, 11025);
    // Something to redo is dropped by any new recording; that one is not
    // the failed recording's to bring back.
    ASSERT_TRUE(d.Undo());
    ASSERT_TRUE(d.Redo());
    d.MutableHeader().tRecorded = 12345;
    ASSERT_TRUE(d.Save());
    const std::vector<uint8_t> header = test::ReadFileBytes(d.GetPath());
    const std::set<std::string> files = test::FileNames(dir.Path());
    const size_t nUndo = d.UndoStack().Count();
    std::string undoText;
    d.GetUndoText(&undoText);
    for (int nMode : { kRecordOverwrite, kRecordInsert, kRecordAtEnd }) {
        LSoundSinkRef sink = d.OpenSink(nMode, true, 1000);
        ASSERT_TRUE(sink) << nMode;
        EXPECT_NE(test::FileNames(dir.Path()), files) << "the recording made no cut file";
        sink.Reset();
        ASSERT_TRUE(d.UndoFailedRecording()) << nMode;
        EXPECT_EQ(test::ReadFileBytes(d.GetPath()), header) << nMode;
        EXPECT_EQ(LDictation(d.GetPath()).Header().tRecorded, 12345u) << nMode;
        EXPECT_EQ(test::FileNames(dir.Path()), files) << nMode;
        EXPECT_EQ(d.UndoStack().Count(), nUndo) << nMode;
        EXPECT_TRUE(d.RedoStack().Count() == 0) << nMode;
        std::string text;
        d.GetUndoText(&text);
        EXPECT_EQ(text, undoText) << nMode;
        // Only once: a second call has nothing of a recording left to take back.
        EXPECT_FALSE(d.UndoFailedRecording()) << nMode;
        EXPECT_EQ(d.UndoStack().Count(), nUndo) << nMode;
    }
    // A recording opened without saving for undo has nothing to go back to.
    LSoundSinkRef sink = d.OpenSink(kRecordAtEnd, false, 0);
    ASSERT_TRUE(sink);
    sink.Reset();
    EXPECT_FALSE(d.UndoFailedRecording());
}

} // namespace
