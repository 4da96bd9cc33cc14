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

LSoundSourceRef CutSource(const test::TempDir& dir, size_t nFrames, int32_t nRate, uint8_t nChannels,
    std::vector<int32_t>* pSamples = nullptr)
{
    const std::string path = dir.File("c.dau");
    const std::vector<int32_t> input = TestSignal(nFrames, nChannels);
    {
        LSoundSinkRef sink = LCutFile::OpenSink(path, nRate, nChannels);
        WriteAll(*sink, input);
    }
    if (pSamples)
        *pSamples = input;
    return LCutFile::OpenSource(path, nRate, nChannels);
}

TEST(SourceToSink, CopiesWholeBlocksThenTheRestUpToTheLength)
{
    test::TempDir dir;
    std::vector<int32_t> input;
    LSoundSourceRef source = CutSource(dir, 10000, 16000, 2, &input);
    auto* pSink = new VectorSink(16000, 2);
    LSoundSinkRef sink(pSink);
    LTestProgress progress;
    EXPECT_EQ(LPRSourceToSink::Process(progress, "Saving", source, sink), LPRSourceToSink::kDone);
    EXPECT_EQ(pSink->writes, (std::vector<int32_t> { 8192, 1808 }));
    EXPECT_EQ(pSink->m_samples, input);
    EXPECT_EQ(progress.szLines[0], "Saving");
    EXPECT_EQ(progress.szLines[1], "Please wait...");
    ASSERT_FALSE(progress.fractions.empty());
    EXPECT_EQ(progress.fractions.front(), 0.0);
    EXPECT_TRUE(std::is_sorted(progress.fractions.begin(), progress.fractions.end()));
    EXPECT_EQ(progress.fractions.back(), 1.0);
    EXPECT_EQ(progress.nPumps, 2) << "one pump per block";

    // Exactly one block: one write of it, no empty second write.
    auto* pOne = new VectorSink(16000, 2);
    LSoundSinkRef one(pOne);
    EXPECT_EQ(LPRSourceToSink::Process(progress, "", CutSource(dir, 8192, 16000, 2), one), LPRSourceToSink::kDone);
    EXPECT_EQ(pOne->writes, (std::vector<int32_t> { 8192 }));
}

TEST(SourceToSink, AnEmptySourceWritesNothing)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.File("c.dau"), {});
    auto* pSink = new VectorSink(8000, 1);
    LSoundSinkRef sink(pSink);
    LTestProgress progress;
    EXPECT_EQ(LPRSourceToSink::Process(progress, "x", LCutFile::OpenSource(dir.File("c.dau"), 8000, 1), sink),
        LPRSourceToSink::kDone);
    EXPECT_TRUE(pSink->writes.empty());
}

TEST(SourceToSink, AStopRequestEndsItWithinOneBlock)
{
    test::TempDir dir;
    for (int nStopAt = 1; nStopAt <= 4; ++nStopAt) {
        auto* pSink = new VectorSink(8000, 1);
        LSoundSinkRef sink(pSink);
        LTestProgress progress;
        progress.nStopAtPump = nStopAt;
        EXPECT_EQ(
            LPRSourceToSink::Process(progress, "x", CutSource(dir, 50000, 8000, 1), sink), LPRSourceToSink::kCancelled);
        // The stop seen at a pump means no block is read or written after it.
        EXPECT_EQ(pSink->writes.size(), static_cast<size_t>(nStopAt - 1)) << nStopAt;
    }
}

TEST(SourceToSink, ConvertsASourceToTheSinksChannelsAndRate)
{
    test::TempDir dir;
    LTestProgress progress;
    auto* pSink = new VectorSink(16000, 2);
    LSoundSinkRef sink(pSink);
    ASSERT_EQ(LPRSourceToSink::Process(progress, "x", CutSource(dir, 10000, 8000, 1), sink), LPRSourceToSink::kDone);
    int64_t nFrames = 0;
    for (int32_t n : pSink->writes)
        nFrames += n;
    // Twice the frames at twice the rate, within the converter's few frames of phase.
    EXPECT_NEAR(static_cast<double>(nFrames), 20000.0, 40.0);
    EXPECT_EQ(pSink->m_samples.size(), static_cast<size_t>(nFrames) * 2);
}

TEST(SourceToSink, RefusesUnusableEndsAndASinkThatFails)
{
    test::TempDir dir;
    LTestProgress progress;
    EXPECT_EQ(
        LPRSourceToSink::Process(progress, "x", LWaveFile::OpenSource(dir.File("none.wav")), LNullSoundSink::Make()),
        LPRSourceToSink::kFailed);
    EXPECT_EQ(LPRSourceToSink::Process(progress, "x", CutSource(dir, 100, 8000, 1), LSoundSinkRef()),
        LPRSourceToSink::kFailed);

    // A disk that fills up in the middle: the copy fails rather than succeeding short.
    auto* pSink = new VectorSink(8000, 1, 2);
    LSoundSinkRef sink(pSink);
    EXPECT_EQ(LPRSourceToSink::Process(progress, "x", CutSource(dir, 50000, 8000, 1), sink), LPRSourceToSink::kFailed);
    EXPECT_EQ(pSink->writes.size(), 2u);
}

} // namespace
