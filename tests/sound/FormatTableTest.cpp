// One table of every file format, each judged by a tool no one here wrote:
// files the judge wrote read as the judge decodes them (also cut inside a
// block), our files decode in the judge as we read them and stay near what was
// written, and every reader keeps the source contract.
#include "sound/codecs/LCodecTable.h"
#include "sound/files/LRawCoding.h"
#include "sound/files/LRawFile.h"
#include "sound/files/LSoundFileByName.h"
#include "sound/files/LWaveFile.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

namespace {

using namespace test;

enum class Kind { Wav, Raw, Au, Aiff, Gsm, Vox };
const char* const kExtensions[] = { ".wav", ".raw", ".au", ".aiff", ".gsm", ".vox" };
enum class Judge { Sox, Toast, Shape }; // Shape: sox's decoder differs in level, so correlation judges

struct Format {
    const char* szName;
    Kind eKind;
    const char* szSox; // sox's encoding options for the file it writes
    uint8_t nMaxChannels;
    int32_t nRate;
    Judge eJudge;
    int nTolerance; // largest difference from the judge's decoding of its own file
    uint32_t nWrite; // our writer: WAV tag, raw coding, or 0 for none
    int nBits; // PCM bits of the WAV writer
    double fSnr; // our file against what was written: 0 exact, else the floor in dB
    const char* szSoxi; // what soxi -e says of our file
    const char* szSoxEncoder; // sox's own encoder, which ours must match within 1 dB
};

constexpr uint32_t kNone = 0xFFFF;
const Format kFormats[] = {
    { "wav_s16", Kind::Wav, "-e signed -b 16", 2, 22050, Judge::Sox, 0, 1, 16, 0, "Signed Integer PCM", nullptr },
    { "wav_u8", Kind::Wav, "-e unsigned -b 8", 2, 22050, Judge::Sox, 0, 1, 8, 30, "Unsigned Integer PCM", nullptr },
    { "wav_s24", Kind::Wav, "-e signed -b 24", 2, 8000, Judge::Sox, 1, kNone, 0, 0, nullptr, nullptr },
    { "wav_s32", Kind::Wav, "-e signed -b 32", 2, 44100, Judge::Sox, 1, kNone, 0, 0, nullptr, nullptr },
    { "wav_alaw", Kind::Wav, "-e a-law", 2, 22050, Judge::Sox, 0, 6, 0, 30, "A-law", nullptr },
    { "wav_ulaw", Kind::Wav, "-e u-law", 2, 8000, Judge::Sox, 0, 7, 0, 30, "u-law", nullptr },
    { "wav_ima_8k", Kind::Wav, "-e ima-adpcm", 2, 8000, Judge::Sox, 0, 0x11, 0, 15, "IMA ADPCM", "-e ima-adpcm" },
    { "wav_ima_22k", Kind::Wav, "-e ima-adpcm", 2, 22050, Judge::Sox, 0, 0x11, 0, 15, "IMA ADPCM", "-e ima-adpcm" },
    { "wav_ms_8k", Kind::Wav, "-e ms-adpcm", 2, 8000, Judge::Sox, 0, 2, 0, 15, "MS ADPCM", "-e ms-adpcm" },
    { "wav_ms_22k", Kind::Wav, "-e ms-adpcm", 2, 22050, Judge::Sox, 0, 2, 0, 15, "MS ADPCM", "-e ms-adpcm" },
    { "wav_gsm", Kind::Wav, "-e gsm-full-rate", 1, 8000, Judge::Sox, 0, 49, 0, 3, "GSM", nullptr },
    { "raw_s16le", Kind::Raw, "-e signed -b 16 -L", 2, 22050, Judge::Sox, 0, kRawPCM16LE, 0, 0, nullptr, nullptr },
    { "raw_u8", Kind::Raw, "-e unsigned -b 8", 2, 22050, Judge::Sox, 0, kRawPCM8Unsigned, 0, 30, nullptr, nullptr },
    { "raw_s8", Kind::Raw, "-e signed -b 8", 2, 22050, Judge::Sox, 0, kRawPCM8Signed, 0, 30, nullptr, nullptr },
    { "raw_s16be", Kind::Raw, "-e signed -b 16 -B", 2, 22050, Judge::Sox, 0, kRawPCM16BE, 0, 0, nullptr, nullptr },
    { "raw_ulaw", Kind::Raw, "-e u-law -b 8", 2, 8000, Judge::Sox, 0, kRawMuLaw, 0, 30, nullptr, nullptr },
    { "raw_alaw", Kind::Raw, "-e a-law -b 8", 2, 8000, Judge::Sox, 0, kRawALaw, 0, 30, nullptr, nullptr },
    { "au_ulaw", Kind::Au, "-e u-law", 2, 11025, Judge::Sox, 0, kNone, 0, 0, nullptr, nullptr },
    { "au_alaw", Kind::Au, "-e a-law", 2, 11025, Judge::Sox, 0, kNone, 0, 0, nullptr, nullptr },
    { "au_s8", Kind::Au, "-e signed -b 8", 2, 11025, Judge::Sox, 0, kNone, 0, 0, nullptr, nullptr },
    { "au_s16", Kind::Au, "-e signed -b 16", 2, 11025, Judge::Sox, 0, kNone, 0, 0, nullptr, nullptr },
    { "aiff_8", Kind::Aiff, "-b 8", 2, 11025, Judge::Sox, 0, kNone, 0, 0, nullptr, nullptr },
    { "aiff_16", Kind::Aiff, "-b 16", 2, 11025, Judge::Sox, 0, 1, 16, 0, "Signed Integer PCM", nullptr },
    { "gsm", Kind::Gsm, nullptr, 1, 8000, Judge::Toast, 0, 1, 0, 0, nullptr, nullptr },
    { "vox", Kind::Vox, "-t vox", 1, 8000, Judge::Shape, 0, kRawDialogicAdpcm, 0, 0, nullptr, nullptr },
};

struct Case {
    const Format* f;
    uint8_t nChannels;
};

std::vector<Case> Cases(bool bWritersOnly)
{
    std::vector<Case> cases;
    for (const Format& f : kFormats)
        for (uint8_t c = 1; c <= f.nMaxChannels; ++c)
            if (!bWritersOnly || f.nWrite != kNone)
                cases.push_back({ &f, c });
    return cases;
}

// sox's options to read a headerless file of this format.
std::string TypeArgs(const Case& c)
{
    if (c.f->eKind == Kind::Raw)
        return "-t raw -r " + std::to_string(c.f->nRate) + " -c " + std::to_string(c.nChannels) + " " + c.f->szSox;
    return c.f->eKind == Kind::Vox ? "-t vox -r 8000 -c 1" : "";
}

LRawSettings Raw(const Case& c)
{
    const uint32_t nCodec = c.f->eKind == Kind::Vox ? kRawDialogicAdpcm
        : c.f->nWrite != kNone                      ? c.f->nWrite
                                                    : kRawPCM16LE;
    return LRawSettings { c.f->nRate, c.nChannels, nCodec };
}

// Headered kinds open by their name, so each row of the container table is judged too.
LSoundSourceRef OpenOurs(const Case& c, const std::string& path)
{
    if (c.f->eKind == Kind::Raw || c.f->eKind == Kind::Vox)
        return LRawFile::OpenSource(path, Raw(c));
    return LSoundFileByName::OpenSource(path);
}

LSoundSinkRef OpenSink(const Case& c, const std::string& path)
{
    switch (c.f->eKind) {
    case Kind::Wav: {
        if (c.f->nWrite == 1 && c.f->nBits == 16)
            return LSoundFileByName::OpenSink(path, c.f->nRate, c.nChannels);
        if (c.f->nWrite == 1)
            return LWaveFile::OpenSinkPCM(path, c.f->nRate, 0, c.f->nBits, c.nChannels);
        LWaveFormat format;
        format.wFormatTag = static_cast<uint16_t>(c.f->nWrite);
        format.nChannels = c.nChannels;
        format.nSamplesPerSec = static_cast<uint32_t>(c.f->nRate);
        return LWaveFile::OpenSink(path, format);
    }
    case Kind::Aiff:
    case Kind::Gsm:
        return LSoundFileByName::OpenSink(path, c.f->nRate, c.nChannels);
    default:
        return LRawFile::OpenSink(path, Raw(c));
    }
}

std::vector<int16_t> S16File(const std::string& path)
{
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    return BytesToS16(std::string(bytes.begin(), bytes.end()));
}

void ExpectNear(const std::vector<int16_t>& ours, const std::vector<int16_t>& judge, int nTolerance)
{
    ASSERT_EQ(ours.size(), judge.size());
    size_t nFirst = ours.size();
    for (size_t i = 0; i < ours.size() && nFirst == ours.size(); ++i)
        if (std::abs(ours[i] - judge[i]) > nTolerance)
            nFirst = i;
    EXPECT_EQ(nFirst, ours.size()) << "first difference at sample " << nFirst;
}

class FormatTable : public testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        TEST_REQUIRE_TOOL("sox");
        if (GetParam().f->eJudge == Judge::Toast) {
            TEST_REQUIRE_TOOL("toast");
            TEST_REQUIRE_TOOL("untoast");
        }
    }
    test::TempDir m_dir;
};

TEST_P(FormatTable, JudgesFileReadsAsTheJudgeDecodesIt)
{
    const Case& c = GetParam();
    const std::string path = m_dir.File(std::string("judge") + kExtensions[static_cast<int>(c.f->eKind)]);
    std::vector<int16_t> judged;
    if (c.f->eJudge == Judge::Toast) {
        ASSERT_TRUE(WriteFileBytes(m_dir.File("in.s16"), S16Bytes(Telephone16(160 * 60))));
        ASSERT_EQ(Toast("toast", m_dir.File("in.s16"), path), 0);
        ASSERT_EQ(Toast("untoast", path, m_dir.File("out.s16")), 0);
        judged = S16File(m_dir.File("out.s16"));
    } else {
        // A sweep over the band plus noise, which drives ADPCM predictors into their clamps.
        const std::string type = c.f->eKind == Kind::Raw ? "-t raw " : "";
        ASSERT_EQ(
            Sox("-n -r " + std::to_string(c.f->nRate) + " -c " + std::to_string(c.nChannels) + " " + type + c.f->szSox
                + " " + ShellQuote(path) + " synth 1.3 sine 200-3500 synth 1.3 whitenoise mix vol 0.9"),
            0);
        judged = SoxDecode(path, TypeArgs(c));
    }
    LSoundSourceRef ours = OpenOurs(c, path);
    ASSERT_TRUE(ours->IsUsable()) << "error " << int(ours->ErrorCode());
    EXPECT_EQ(ours->SampleRate(), c.f->nRate);
    EXPECT_EQ(ours->NumChannels(), c.nChannels);
    const std::vector<int16_t> read = ToS16(ReadAll(*ours));
    if (c.f->eJudge == Judge::Shape) {
        EXPECT_GT(Correlation(read, judged), 0.99);
    } else {
        EXPECT_EQ(ours->GetLength() * c.nChannels, static_cast<int64_t>(judged.size()));
        ExpectNear(read, judged, c.f->nTolerance);
    }

    // GSM starts its decoder afresh at the frame or block a seek lands in.
    if (c.f->nWrite != 49 && c.f->eKind != Kind::Gsm)
        ExpectSourceContract([&] { return OpenOurs(c, path); });

    // Cut inside a block: the partial block gives the frames its bytes hold, as sox reads it.
    WavData wav;
    if (c.f->eKind != Kind::Wav || !ParseWav(ReadFileBytes(path), &wav) || wav.format.nBlockAlign < 256)
        return;
    const size_t nBlock = wav.format.nBlockAlign;
    for (size_t nCut : { size_t(3), nBlock + 5 * c.nChannels, nBlock + nBlock / 2 + 3, 2 * nBlock - 1 }) {
        SCOPED_TRACE("cut at " + std::to_string(nCut));
        const std::string cut = m_dir.File("cut.wav");
        ASSERT_TRUE(
            WriteFileBytes(cut, MakeWav(wav.format, std::vector<uint8_t>(wav.data.begin(), wav.data.begin() + nCut))));
        ExpectNear(ToS16(ReadAll(*LWaveFile::OpenSource(cut))), SoxDecode(cut), 0);
    }
}

class FormatWriter : public FormatTable { };

TEST_P(FormatWriter, OurFileDecodesInTheJudgeAsWeReadIt)
{
    const Case& c = GetParam();
    const std::string path = m_dir.File(std::string("ours") + kExtensions[static_cast<int>(c.f->eKind)]);
    constexpr int64_t kFrames = 20077; // not a whole number of blocks for any codec
    const std::vector<int32_t> input = c.f->nRate == 8000 && c.nChannels == 1
        ? ToInternal(Telephone16(kFrames))
        : TestSignal(static_cast<size_t>(kFrames), c.nChannels);
    {
        LSoundSinkRef sink = OpenSink(c, path);
        ASSERT_TRUE(sink && sink->IsUsable());
        WriteAll(*sink, input, 777);
        EXPECT_EQ(sink->GetPosition(), kFrames);
    }
    LSoundSourceRef source = OpenOurs(c, path);
    ASSERT_TRUE(source->IsUsable());
    const std::vector<int16_t> ours = ToS16(ReadAll(*source));
    const std::vector<int16_t> written = ToS16(input);
    ASSERT_GE(ours.size(), written.size());
    const std::vector<int16_t> head(ours.begin(), ours.begin() + static_cast<long>(written.size()));

    if (c.f->eJudge == Judge::Toast) {
        ASSERT_TRUE(WriteFileBytes(m_dir.File("in.s16"), S16Bytes(written)));
        ASSERT_EQ(Toast("toast", m_dir.File("in.s16"), m_dir.File("toast.gsm")), 0);
        EXPECT_EQ(ReadFileBytes(path), ReadFileBytes(m_dir.File("toast.gsm"))) << "frames differ from toast's";
        ASSERT_EQ(Toast("untoast", path, m_dir.File("out.s16")), 0);
        EXPECT_EQ(ours, S16File(m_dir.File("out.s16")));
        return;
    }
    const std::vector<int16_t> judged = SoxDecode(path, TypeArgs(c));
    if (c.f->eJudge == Judge::Shape) {
        EXPECT_EQ(ReadFileBytes(path).size(), static_cast<size_t>(kFrames + 1) / 2);
        EXPECT_GT(Correlation(written, judged), 0.99);
        EXPECT_GT(Correlation(written, head), 0.99);
        return;
    }
    EXPECT_EQ(ours, judged);
    if (c.f->eKind == Kind::Wav || c.f->eKind == Kind::Aiff) {
        EXPECT_EQ(Soxi("-r", path), std::to_string(c.f->nRate));
        EXPECT_EQ(Soxi("-c", path), std::to_string(c.nChannels));
        EXPECT_EQ(Soxi("-e", path), c.f->szSoxi);
        EXPECT_EQ(Soxi("-s", path), std::to_string(source->GetLength()));
    }
    // Block codecs end on a whole block; frame codecs hold exactly what was written.
    size_t nPerBlock = 1;
    LWaveFileInfo info;
    const bool bBlocks = c.f->eKind == Kind::Wav && (c.f->nWrite == 2 || c.f->nWrite == 0x11 || c.f->nWrite == 49);
    if (bBlocks && LWaveFile::ReadInfo(path, &info) == 0)
        nPerBlock = LCodecTable::Find(info.format.wFormatTag)->pCreateDecoder(info.format, nullptr)->FramesPerBlock();
    EXPECT_LT(source->GetLength(), kFrames + static_cast<int64_t>(nPerBlock));
    if (!bBlocks) {
        EXPECT_EQ(source->GetLength(), kFrames);
    }
    const double fSnr = SnrDb(written, head, written.size());
    if (c.f->fSnr == 0) {
        EXPECT_EQ(head, written);
    } else {
        EXPECT_GE(fSnr, c.f->fSnr) << "dB";
    }
    if (c.f->szSoxEncoder) {
        ASSERT_TRUE(WriteFileBytes(m_dir.File("in.s16"), S16Bytes(written)));
        const std::string theirs = m_dir.File("sox.wav");
        ASSERT_EQ(Sox("-D -t s16 -L -r " + std::to_string(c.f->nRate) + " -c " + std::to_string(c.nChannels) + " "
                      + ShellQuote(m_dir.File("in.s16")) + " " + c.f->szSoxEncoder + " " + ShellQuote(theirs)),
            0);
        const std::vector<int16_t> soxCoded = SoxDecode(theirs);
        ASSERT_GE(soxCoded.size(), written.size());
        EXPECT_GE(fSnr, SnrDb(written, soxCoded, written.size()) - 1.0) << "ours against sox's own encoder";
    }
}

std::string Name(const testing::TestParamInfo<Case>& info)
{
    return std::string(info.param.f->szName) + (info.param.nChannels == 1 ? "_mono" : "_stereo");
}
INSTANTIATE_TEST_SUITE_P(Formats, FormatTable, testing::ValuesIn(Cases(false)), Name);
INSTANTIATE_TEST_SUITE_P(Formats, FormatWriter, testing::ValuesIn(Cases(true)), Name);

} // namespace
