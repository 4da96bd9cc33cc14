// The block copy from a source to a sink, watched through a test reporter.
#include "sound/LNullSoundSink.h"
#include "sound/LPRSourceToSink.h"
#include "sound/files/LCutFile.h"
#include "sound/files/LWaveFile.h"
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
    JobResult Copy(LSoundSourceRef source, LSoundRef<VectorSink> sink)
    {
        return LPRSourceToSink::Process(m_progress, "Saving", source, LSoundSinkRef(sink));
    }
    TempDir m_dir;
    std::vector<int32_t> m_input;
    LTestProgress m_progress;
};

TEST_F(SourceToSink, ConvertsASourceToTheSinksChannelsAndRate)
{
    auto sink = MakeSoundRef<VectorSink>(16000, 2);
    ASSERT_EQ(Copy(Cut(10000), sink), JobResult::kDone);
    // Twice the frames at twice the rate, within the converter's few frames of phase.
    EXPECT_NEAR(static_cast<double>(sink->GetPosition()), 20000.0, 40.0);
    EXPECT_EQ(sink->m_samples.size(), static_cast<size_t>(sink->GetPosition()) * 2);
}

TEST_F(SourceToSink, RefusesUnusableEndsAndASinkThatFails)
{
    EXPECT_EQ(LPRSourceToSink::Process(
                  m_progress, "x", LWaveFile::OpenSource(m_dir.File("none.wav")), LNullSoundSink::Make()),
        JobResult::kFailed);
    EXPECT_EQ(LPRSourceToSink::Process(m_progress, "x", Cut(100), LSoundSinkRef()), JobResult::kFailed);
    // A disk that fills up in the middle: the copy fails rather than succeeding short.
    auto sink = MakeSoundRef<VectorSink>(8000, 1, 2);
    EXPECT_EQ(Copy(Cut(50000), sink), JobResult::kFailed);
    EXPECT_EQ(sink->writes.size(), 2u);
}

} // namespace
