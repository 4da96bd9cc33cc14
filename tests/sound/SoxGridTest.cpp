// Every reader against sox on files that sox wrote, and every writer's files
// read back by soxi and sox. sox is the judge: no one here wrote it.
#include "sound/LRawFile.h"
#include "sound/LWaveFile.h"
#include "sound/codecs/LCodecTable.h"
#include "tests/sound/SoundTestUtil.h"

#include <gtest/gtest.h>

namespace {

using namespace soundtest;

struct SoxFileCase {
    const char* szName;
    const char* szSoxArgs; // output options for sox
    uint8_t nChannels;
    int nRawCodec; // -1: a WAV file
};

std::ostream& operator<<(std::ostream& out, const SoxFileCase& c)
{
    return out << c.szName;
}

constexpr int32_t kRate = 22050;

std::string RawTypeArgs(const SoxFileCase& c)
{
    return std::string("-t raw -r ") + std::to_string(kRate) + " -c " + std::to_string(c.nChannels) + " " + c.szSoxArgs;
}

LSoundSourceRef OpenOurs(const std::string& path, const SoxFileCase& c)
{
    if (c.nRawCodec < 0)
        return LWaveFile::OpenSource(path);
    return LRawFile::OpenSource(path, LRawSettings { kRate, c.nChannels, static_cast<uint32_t>(c.nRawCodec) });
}

class SoxWrittenFile : public testing::TestWithParam<SoxFileCase> {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("sox");
        const SoxFileCase& c = GetParam();
        m_path = m_dir.File(c.nRawCodec < 0 ? "in.wav" : "in.raw");
        // A sweep over the band plus noise: every codec's steps get exercised.
        std::string cmd = std::string("sox -R -n -r ") + std::to_string(kRate) + " -c " + std::to_string(c.nChannels)
            + " " + (c.nRawCodec < 0 ? "" : "-t raw ") + c.szSoxArgs + " " + test::ShellQuote(m_path)
            + " synth 1.3 sine 200-8000 synth 1.3 whitenoise mix vol 0.9";
        ASSERT_EQ(test::RunShell(cmd), 0) << cmd;
        m_source = OpenOurs(m_path, c);
        ASSERT_TRUE(m_source->IsUsable()) << "error " << int(m_source->ErrorCode());
    }

    test::TempDir m_dir;
    std::string m_path;
    LSoundSourceRef m_source;
};

TEST_P(SoxWrittenFile, DecodesToTheSamplesSoxDecodes)
{
    const SoxFileCase& c = GetParam();
    EXPECT_EQ(m_source->SampleRate(), kRate);
    EXPECT_EQ(m_source->NumChannels(), c.nChannels);
    std::vector<int16_t> expected = SoxDecode(m_path, c.nRawCodec < 0 ? "" : RawTypeArgs(c));
    ASSERT_GT(expected.size(), 20000u);
    EXPECT_EQ(m_source->GetLength() * c.nChannels, static_cast<int64_t>(expected.size()));
    std::vector<int16_t> ours = ToS16(ReadAll(*m_source));
    ASSERT_EQ(ours.size(), expected.size());
    size_t nFirstDiff = 0;
    while (nFirstDiff < ours.size() && ours[nFirstDiff] == expected[nFirstDiff])
        ++nFirstDiff;
    EXPECT_EQ(nFirstDiff, ours.size()) << "first difference at sample " << nFirstDiff;
}

TEST_P(SoxWrittenFile, ReadsTheSameInAnyPiecesAndAfterSeeks)
{
    const int64_t nLength = m_source->GetLength();
    const size_t nChannels = m_source->NumChannels();
    const std::vector<int32_t> whole = ReadAll(*m_source);

    LSoundSourceRef again = OpenOurs(m_path, GetParam());
    EXPECT_EQ(ReadPieces(*again, nLength, { 1 }), whole);
    again->Seek(0);
    EXPECT_EQ(ReadPieces(*again, nLength, { 7, 333, 8191, 1, 8193, 2 }), whole);

    // Seeks backwards and forwards, into the middle of blocks.
    for (int64_t nAt : { nLength / 2, int64_t { 5 }, nLength - 1000, int64_t { 2047 }, nLength / 3 }) {
        again->Seek(nAt);
        std::vector<int32_t> part = ReadPieces(*again, 700, { 700 });
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + nAt * nChannels)) << "after Seek " << nAt;
        EXPECT_EQ(again->GetPosition(), nAt + 700);
    }

    // Before the start: silence up to frame 0, then the file from its start.
    again->Seek(-100);
    std::vector<int32_t> lead = ReadPieces(*again, 300, { 300 });
    EXPECT_EQ(again->GetPosition(), 200);
    EXPECT_TRUE(std::all_of(lead.begin(), lead.begin() + 100 * nChannels, [](int32_t v) { return v == 0; }));
    EXPECT_TRUE(std::equal(lead.begin() + 100 * nChannels, lead.end(), whole.begin()));

    // Past the end: the missing frames are zeros and the position still advances.
    again->Seek(nLength - 10);
    std::vector<int32_t> tail = ReadPieces(*again, 30, { 30 });
    EXPECT_EQ(again->GetPosition(), nLength + 20);
    EXPECT_TRUE(std::equal(tail.begin(), tail.begin() + 10 * nChannels, whole.end() - 10 * nChannels));
    EXPECT_TRUE(std::all_of(tail.begin() + 10 * nChannels, tail.end(), [](int32_t v) { return v == 0; }));
}

INSTANTIATE_TEST_SUITE_P(Files, SoxWrittenFile,
    testing::Values(SoxFileCase { "wav_pcm16_mono", "-e signed -b 16", 1, -1 },
        SoxFileCase { "wav_pcm16_stereo", "-e signed -b 16", 2, -1 },
        SoxFileCase { "wav_pcm8_mono", "-e unsigned -b 8", 1, -1 },
        SoxFileCase { "wav_pcm8_stereo", "-e unsigned -b 8", 2, -1 },
        SoxFileCase { "wav_alaw_mono", "-e a-law", 1, -1 }, SoxFileCase { "wav_alaw_stereo", "-e a-law", 2, -1 },
        SoxFileCase { "wav_ulaw_mono", "-e u-law", 1, -1 }, SoxFileCase { "wav_ulaw_stereo", "-e u-law", 2, -1 },
        SoxFileCase { "wav_ima_mono", "-e ima-adpcm", 1, -1 }, SoxFileCase { "wav_ima_stereo", "-e ima-adpcm", 2, -1 },
        SoxFileCase { "wav_msadpcm_mono", "-e ms-adpcm", 1, -1 },
        SoxFileCase { "wav_msadpcm_stereo", "-e ms-adpcm", 2, -1 },
        SoxFileCase { "raw3_s16le_mono", "-e signed -b 16 -L", 1, 3 },
        SoxFileCase { "raw3_s16le_stereo", "-e signed -b 16 -L", 2, 3 },
        SoxFileCase { "raw4_u8_mono", "-e unsigned -b 8", 1, 4 },
        SoxFileCase { "raw4_u8_stereo", "-e unsigned -b 8", 2, 4 },
        SoxFileCase { "raw5_s8_mono", "-e signed -b 8", 1, 5 },
        SoxFileCase { "raw5_s8_stereo", "-e signed -b 8", 2, 5 },
        SoxFileCase { "raw6_s16be_mono", "-e signed -b 16 -B", 1, 6 },
        SoxFileCase { "raw6_s16be_stereo", "-e signed -b 16 -B", 2, 6 }),
    [](const testing::TestParamInfo<SoxFileCase>& info) { return std::string(info.param.szName); });

// ---- Writers: our files judged by soxi and sox ----

struct WriterCase {
    const char* szName;
    uint16_t wTag; // WAV format tag, or 0 for a raw file
    int nBits; // PCM bits, or the raw coding for raw files
    const char* szSoxEncoding; // what soxi -e says
    const char* szRawSoxArgs; // sox input options for raw files
};

std::ostream& operator<<(std::ostream& out, const WriterCase& c)
{
    return out << c.szName;
}

class WrittenFile : public testing::TestWithParam<std::tuple<WriterCase, uint8_t>> { };

TEST_P(WrittenFile, OpensInSoxWithItsFormatAndDecodesAlike)
{
    TEST_REQUIRE_TOOL("sox");
    const auto& [c, nChannels] = GetParam();
    if (c.wTag > 1 && !LCodecTable::Find(c.wTag))
        GTEST_SKIP() << "codec not in the table yet";
    const bool bRaw = c.wTag == 0;
    // GSM 06.10 is an 8000 Hz mono codec.
    const int32_t nRate = c.wTag == 49 ? 8000 : kRate;
    if (c.wTag == 49 && nChannels != 1)
        GTEST_SKIP() << "GSM is mono only";
    test::TempDir dir;
    const std::string path = dir.File(bRaw ? "out.raw" : "out.wav");
    const std::vector<int32_t> input = TestSignal(20000, nChannels);
    {
        LSoundSinkRef sink;
        if (bRaw) {
            sink = LRawFile::OpenSink(path, LRawSettings { nRate, nChannels, static_cast<uint32_t>(c.nBits) });
        } else if (c.wTag == 1) {
            sink = LWaveFile::OpenSinkPCM(path, nRate, 0, c.nBits, nChannels);
        } else {
            LWaveFormat format;
            format.wFormatTag = c.wTag;
            format.nChannels = nChannels;
            format.nSamplesPerSec = static_cast<uint32_t>(nRate);
            sink = LWaveFile::OpenSink(path, format);
        }
        ASSERT_TRUE(sink && sink->IsUsable());
        WriteAll(*sink, input, 777);
        EXPECT_EQ(sink->GetPosition(), 20000);
    }

    const std::string rawArgs = bRaw
        ? std::string("-t raw -r ") + std::to_string(nRate) + " -c " + std::to_string(nChannels) + " " + c.szRawSoxArgs
        : std::string();
    LSoundSourceRef source = bRaw
        ? LRawFile::OpenSource(path, LRawSettings { nRate, nChannels, static_cast<uint32_t>(c.nBits) })
        : LWaveFile::OpenSource(path);
    ASSERT_TRUE(source->IsUsable());
    if (!bRaw) {
        EXPECT_EQ(Soxi("-r", path), std::to_string(nRate));
        EXPECT_EQ(Soxi("-c", path), std::to_string(nChannels));
        EXPECT_EQ(Soxi("-e", path), c.szSoxEncoding);
        EXPECT_EQ(Soxi("-s", path), std::to_string(source->GetLength()));
        // Block codecs end on a whole block, so the count may grow by less than one block.
        LWaveFileInfo info;
        ASSERT_EQ(LWaveFile::ReadInfo(path, &info), 0);
        LCodecStatus status;
        auto decoder = LCodecTable::Find(info.format.wFormatTag)->pCreateDecoder(info.format, &status);
        ASSERT_TRUE(decoder);
        EXPECT_GE(source->GetLength(), 20000);
        EXPECT_LT(source->GetLength(), 20000 + static_cast<int64_t>(decoder->FramesPerBlock()));
        if (c.wTag == 1 || c.wTag == 6 || c.wTag == 7) {
            EXPECT_EQ(source->GetLength(), 20000);
        }
    }
    const std::vector<int16_t> ours = ToS16(ReadAll(*source));
    EXPECT_EQ(ours, SoxDecode(path, rawArgs));

    const std::vector<int16_t> written = ToS16(input);
    if (c.nBits == 16 || (bRaw && (c.nBits == 3 || c.nBits == 6))) {
        EXPECT_EQ(std::vector<int16_t>(ours.begin(), ours.begin() + written.size()), written);
    } else {
        // Lossy codings stay near the input: a signal-to-noise floor per kind.
        double fSignal = 0, fNoise = 0;
        for (size_t i = 0; i < written.size(); ++i) {
            fSignal += double(written[i]) * written[i];
            fNoise += double(ours[i] - written[i]) * (ours[i] - written[i]);
        }
        const double fSnr = 10 * std::log10(fSignal / std::max(fNoise, 1.0));
        const double fFloor = c.wTag == 49 ? 3 : c.wTag == 2 || c.wTag == 0x11 ? 15 : 30;
        EXPECT_GE(fSnr, fFloor) << "dB";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WrittenFile,
    testing::Combine(
        testing::Values(WriterCase { "wav_pcm16", 1, 16, "Signed Integer PCM", "" },
            WriterCase { "wav_pcm8", 1, 8, "Unsigned Integer PCM", "" }, WriterCase { "wav_alaw", 6, 8, "A-law", "" },
            WriterCase { "wav_ulaw", 7, 8, "u-law", "" }, WriterCase { "wav_ima", 0x11, 4, "IMA ADPCM", "" },
            WriterCase { "wav_msadpcm", 2, 4, "MS ADPCM", "" }, WriterCase { "wav_gsm", 49, 0, "GSM", "" },
            WriterCase { "raw3", 0, 3, "", "-e signed -b 16 -L" }, WriterCase { "raw4", 0, 4, "", "-e unsigned -b 8" },
            WriterCase { "raw5", 0, 5, "", "-e signed -b 8" }, WriterCase { "raw6", 0, 6, "", "-e signed -b 16 -B" }),
        testing::Values(uint8_t { 1 }, uint8_t { 2 })),
    [](const testing::TestParamInfo<std::tuple<WriterCase, uint8_t>>& info) {
        return std::string(std::get<0>(info.param).szName) + (std::get<1>(info.param) == 1 ? "_mono" : "_stereo");
    });

} // namespace
