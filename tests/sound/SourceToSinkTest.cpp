// The block copy from a source to a sink, watched through a test reporter.
#include "sound/LCutFile.h"
#include "sound/LNullSoundSink.h"
#include "sound/LPRSourceToSink.h"
#include "sound/LWaveFile.h"
#include "tests/support/Audio.h"
#include "tests/support/LTestProgress.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using namespace test;

class SourceToSink : public testing::Test {
protected:
    // A cut file of a test signal, opened as a source.
    LSoundSourceRef Cut(size_t nFrames, int32_t nRate = 8000, uint8_t nChannels = 1)
    {
        m_input = TestSignal(nFrames, nChannels);
        WriteAll(*LCutFile::OpenSink(m_dir.File("c.dau"), nRate, nChannels), m_input);
        return LCutFile::OpenSource(m_dir.File("c.dau"), nRate, nChannels);
    }
    int Copy(LSoundSourceRef source, LSoundRef<VectorSink> sink)
    {
        return LPRSourceToSink::Process(m_progress, "Saving", source, LSoundSinkRef(sink));
    }
    TempDir m_dir;
    std::vector<int32_t> m_input;
    LTestProgress m_progress;
};

TEST_F(SourceToSink, CopiesWholeBlocksThenTheRestUpToTheLength)
{
    auto sink = MakeSoundRef<VectorSink>(16000, 2);
    EXPECT_EQ(Copy(Cut(10000, 16000, 2), sink), LPRSourceToSink::kDone);
    EXPECT_EQ(sink->writes, (std::vector<int32_t> { 8192, 1808 }));
    EXPECT_EQ(sink->m_samples, m_input);
    EXPECT_EQ(m_progress.szLines[0], "Saving");
    EXPECT_EQ(m_progress.szLines[1], "Please wait...");
    ASSERT_FALSE(m_progress.fractions.empty());
    EXPECT_EQ(m_progress.fractions.front(), 0.0);
    EXPECT_TRUE(std::is_sorted(m_progress.fractions.begin(), m_progress.fractions.end()));
    EXPECT_EQ(m_progress.fractions.back(), 1.0);
    EXPECT_EQ(m_progress.nPumps, 2) << "one pump per block";
    // Exactly one block: one write of it, no empty second write; nothing: no write.
    for (size_t nFrames : { 8192, 0 }) {
        sink = MakeSoundRef<VectorSink>(16000, 2);
        EXPECT_EQ(Copy(Cut(nFrames, 16000, 2), sink), LPRSourceToSink::kDone);
        EXPECT_EQ(sink->writes, nFrames ? std::vector<int32_t> { 8192 } : std::vector<int32_t> {});
    }
}

TEST_F(SourceToSink, AStopRequestEndsItWithinOneBlock)
{
    for (int nStopAt = 1; nStopAt <= 4; ++nStopAt) {
        auto sink = MakeSoundRef<VectorSink>(8000, 1);
        m_progress.nStopAtPump = nStopAt;
        m_progress.nPumps = 0;
        EXPECT_EQ(Copy(Cut(50000), sink), LPRSourceToSink::kCancelled);
        // The stop seen at a pump means no block is read or written after it.
        EXPECT_EQ(sink->writes.size(), static_cast<size_t>(nStopAt - 1)) << nStopAt;
    }
}

TEST_F(SourceToSink, ConvertsASourceToTheSinksChannelsAndRate)
{
    auto sink = MakeSoundRef<VectorSink>(16000, 2);
    ASSERT_EQ(Copy(Cut(10000), sink), LPRSourceToSink::kDone);
    // Twice the frames at twice the rate, within the converter's few frames of phase.
    EXPECT_NEAR(static_cast<double>(sink->GetPosition()), 20000.0, 40.0);
    EXPECT_EQ(sink->m_samples.size(), static_cast<size_t>(sink->GetPosition()) * 2);
}

TEST_F(SourceToSink, RefusesUnusableEndsAndASinkThatFails)
{
    EXPECT_EQ(LPRSourceToSink::Process(
                  m_progress, "x", LWaveFile::OpenSource(m_dir.File("none.wav")), LNullSoundSink::Make()),
        LPRSourceToSink::kFailed);
    EXPECT_EQ(LPRSourceToSink::Process(m_progress, "x", Cut(100), LSoundSinkRef()), LPRSourceToSink::kFailed);
    // A disk that fills up in the middle: the copy fails rather than succeeding short.
    auto sink = MakeSoundRef<VectorSink>(8000, 1, 2);
    EXPECT_EQ(Copy(Cut(50000), sink), LPRSourceToSink::kFailed);
    EXPECT_EQ(sink->writes.size(), 2u);
}

} // namespace
