// Raw settings in the store, the per-recipient codec record, and the
// source-to-sink copy.
#include "sound/LCodecRecord.h"
#include "sound/LCutFile.h"
#include "sound/LNullSoundSink.h"
#include "sound/LPRSourceToSink.h"
#include "sound/LRawSettings.h"
#include "sound/LWaveFile.h"
#include "tests/sound/SoundTestUtil.h"

#include "foundation/LSettings.h"

#include <gtest/gtest.h>

namespace {

using namespace soundtest;

TEST(RawSettings, SectionsByExtensionWithTheirDefaults)
{
    test::IsolatedEnvironment env;
    EXPECT_EQ(LRawSettings::SectionForPath("/a/b/MSG.VOX"), "VoxAudio");
    EXPECT_EQ(LRawSettings::SectionForPath("x.Raw"), "RawAudio");
    EXPECT_EQ(LRawSettings::SectionForPath("x.snd"), "RawAudio");
    EXPECT_EQ(LRawSettings::SectionForPath("x.wav"), "");
    EXPECT_EQ(LRawSettings::SectionForPath("raw"), "");
    LRawSettings vox = LRawSettings::Load("VoxAudio");
    EXPECT_EQ(vox.nSampleRate, 8000);
    EXPECT_EQ(vox.nCodec, 0u);
    LRawSettings raw = LRawSettings::Load("RawAudio");
    EXPECT_EQ(raw.nSampleRate, 44100);
    EXPECT_EQ(raw.nChannels, 1);
    EXPECT_EQ(raw.nCodec, 3u);
}

TEST(RawSettings, SavedSettingsReadBackAndBadOnesFallBack)
{
    test::IsolatedEnvironment env;
    ASSERT_TRUE((LRawSettings { 22050, 2, 6 }).Save("RawAudio"));
    LRawSettings back = LRawSettings::Load("RawAudio");
    EXPECT_EQ(back.nSampleRate, 22050);
    EXPECT_EQ(back.nChannels, 2);
    EXPECT_EQ(back.nCodec, 6u);
    EXPECT_EQ(LRawSettings::Load("VoxAudio").nSampleRate, 8000); // the other kind is untouched
    SetSettingInt("RawAudio", "SampleRate", 5999);
    SetSettingInt("RawAudio", "Channels", 7);
    back = LRawSettings::Load("RawAudio");
    EXPECT_EQ(back.nSampleRate, 44100);
    EXPECT_EQ(back.nChannels, 1);
}

TEST(CodecRecord, MissingOrShortFileGivesGsmAndSavedFormatReadsBack)
{
    test::TempDir dir;
    const std::string path = LCodecRecord::PathFor(dir.Path(), 0);
    EXPECT_EQ(path, dir.File("Codec 1.wff"));
    LWaveFormat format;
    EXPECT_FALSE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.wFormatTag, kWaveFormatGSM610);
    EXPECT_EQ(format.nBlockAlign, 65);
    ASSERT_EQ(format.extra.size(), 2u);
    EXPECT_EQ(format.extra[0] | (format.extra[1] << 8), 320);

    LWaveFormat ima;
    ima.wFormatTag = kWaveFormatImaAdpcm;
    ima.nChannels = 2;
    ima.nSamplesPerSec = 22050;
    ima.nBlockAlign = 1024;
    ima.wBitsPerSample = 4;
    ima.extra = { 0xF9, 0x03 };
    ASSERT_TRUE(LCodecRecord::Save(path, ima));
    EXPECT_EQ(test::ReadFileBytes(path).size(), LCodecRecord::kRecordBytes);
    ASSERT_TRUE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.ToBytes(), ima.ToBytes());

    // A record cut short is not trusted.
    std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    bytes.resize(1023);
    test::WriteFileBytes(path, bytes);
    EXPECT_FALSE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.wFormatTag, kWaveFormatGSM610);
    // An extra-byte count beyond the record is held to the record.
    bytes.resize(1024);
    bytes[16] = 0xFF;
    bytes[17] = 0xFF;
    test::WriteFileBytes(path, bytes);
    ASSERT_TRUE(LCodecRecord::Load(path, &format));
    EXPECT_EQ(format.extra.size(), 1024u - 18);
}

// A sink that remembers the size of every write.
class RecordingSink : public LSoundSinkBase {
public:
    RecordingSink(int32_t nRate, uint8_t nChannels)
        : LSoundSinkBase(nRate, nChannels)
    {
    }
    void Write(const int32_t* pBuffer, int32_t nFrames) override
    {
        writes.push_back(nFrames);
        samples.insert(samples.end(), pBuffer, pBuffer + nFrames * NumChannels());
        m_nPosition += nFrames;
    }
    std::vector<int32_t> writes;
    std::vector<int32_t> samples;
};

TEST(SourceToSink, CopiesInBlocksUpToTheLength)
{
    test::TempDir dir;
    const std::string path = dir.File("c.dau");
    const std::vector<int32_t> input = TestSignal(10000, 2);
    {
        LSoundSinkRef sink = LCutFile::OpenSink(path, 16000, 2);
        WriteAll(*sink, input);
    }
    EXPECT_EQ(LCutFile::FrameCount(path, 2), 10000);
    auto* pSink = new RecordingSink(16000, 2);
    LSoundSinkRef sink(pSink);
    std::vector<double> fractions;
    EXPECT_EQ(LPRSourceToSink::Process(LCutFile::OpenSource(path, 16000, 2), sink,
                  [&](double f) {
                      fractions.push_back(f);
                      return true;
                  }),
        LPRSourceToSink::kDone);
    EXPECT_EQ(pSink->writes, (std::vector<int32_t> { 8192, 1808 }));
    EXPECT_EQ(pSink->samples, input);
    ASSERT_FALSE(fractions.empty());
    EXPECT_TRUE(std::is_sorted(fractions.begin(), fractions.end()));
    EXPECT_EQ(fractions.back(), 1.0);

    // An empty source writes nothing and succeeds.
    test::WriteFileBytes(path, {});
    auto* pEmpty = new RecordingSink(16000, 2);
    LSoundSinkRef empty(pEmpty);
    EXPECT_EQ(LPRSourceToSink::Process(LCutFile::OpenSource(path, 16000, 2), empty), LPRSourceToSink::kDone);
    EXPECT_TRUE(pEmpty->writes.empty());
}

TEST(SourceToSink, CancelsAndRefusesUnusableOrMismatchedEnds)
{
    test::TempDir dir;
    const std::string path = dir.File("c.dau");
    {
        LSoundSinkRef sink = LCutFile::OpenSink(path, 8000, 1);
        WriteAll(*sink, TestSignal(50000, 1));
    }
    int nCalls = 0;
    auto* pSink = new RecordingSink(8000, 1);
    LSoundSinkRef sink(pSink);
    EXPECT_EQ(LPRSourceToSink::Process(LCutFile::OpenSource(path, 8000, 1), sink, [&](double) { return ++nCalls < 3; }),
        LPRSourceToSink::kCancelled);
    EXPECT_LE(pSink->writes.size(), 2u);
    EXPECT_EQ(LPRSourceToSink::Process(LCutFile::OpenSource(path, 8000, 1), LNullSoundSink::Make(8000, 2)),
        LPRSourceToSink::kFailed);
    EXPECT_EQ(LPRSourceToSink::Process(LCutFile::OpenSource(path, 8000, 1), LNullSoundSink::Make(16000, 1)),
        LPRSourceToSink::kFailed);
    EXPECT_EQ(LPRSourceToSink::Process(LWaveFile::OpenSource(dir.File("none.wav")), LNullSoundSink::Make()),
        LPRSourceToSink::kFailed);
    EXPECT_EQ(LPRSourceToSink::Process(LCutFile::OpenSource(path, 8000, 1), LSoundSinkRef()), LPRSourceToSink::kFailed);
}

} // namespace
