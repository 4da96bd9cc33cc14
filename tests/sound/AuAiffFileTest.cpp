// AU and AIFF files: sox-written files of every supported coding read sample
// for sample as sox reads them, our AIFF files read in sox as written, and
// hostile headers are refused with the error the caller expects.
#include "sound/LAifFile.h"
#include "sound/LAuFile.h"
#include "tests/sound/SoundTestUtil.h"

#include <gtest/gtest.h>

namespace {

using namespace soundtest;

void Put32BE(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (24 - 8 * i));
}

uint32_t Get32BE(const std::vector<uint8_t>& b, size_t at)
{
    return (uint32_t(b[at]) << 24) | (b[at + 1] << 16) | (b[at + 2] << 8) | b[at + 3];
}

std::string SynthCommand(const std::string& path, int nChannels, const std::string& options)
{
    return "sox -R -n -r 11025 -c " + std::to_string(nChannels) + " " + options + " " + test::ShellQuote(path)
        + " synth 1.1 sine 100-5000 synth 1.1 whitenoise mix vol 0.9";
}

struct SoxCase {
    const char* szName;
    const char* szExtension;
    const char* szOptions;
    int nChannels;
};

std::ostream& operator<<(std::ostream& out, const SoxCase& c)
{
    return out << c.szName;
}

class SoxWrittenAuAiff : public testing::TestWithParam<SoxCase> { };

LSoundSourceRef OpenByExtension(const std::string& path)
{
    return path.ends_with(".au") ? LAuFile::OpenSource(path) : LAifFile::OpenSource(path);
}

TEST_P(SoxWrittenAuAiff, ReadsAsSoxReads)
{
    TEST_REQUIRE_TOOL("sox");
    const SoxCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.File(std::string("in") + c.szExtension);
    ASSERT_EQ(test::RunShell(SynthCommand(path, c.nChannels, c.szOptions)), 0);
    LSoundSourceRef source = OpenByExtension(path);
    ASSERT_TRUE(source->IsUsable()) << int(source->ErrorCode());
    EXPECT_EQ(source->SampleRate(), 11025);
    EXPECT_EQ(source->NumChannels(), c.nChannels);
    const std::vector<int16_t> sox = SoxDecode(path);
    EXPECT_EQ(source->GetLength() * c.nChannels, static_cast<int64_t>(sox.size()));
    EXPECT_EQ(ToS16(ReadPieces(*source, source->GetLength(), { 1000, 3 })), sox);

    if (c.szExtension == std::string(".aiff")) {
        // A chunk of odd length before "COMM": skipped with its pad byte.
        std::vector<uint8_t> bytes = test::ReadFileBytes(path);
        const uint8_t name[14] = { 'N', 'A', 'M', 'E', 0, 0, 0, 5, 'h', 'e', 'l', 'l', 'o', 0 };
        bytes.insert(bytes.begin() + 12, name, name + 14);
        Put32BE(bytes, 4, Get32BE(bytes, 4) + 14);
        const std::string named = dir.File("named.aiff");
        ASSERT_TRUE(test::WriteFileBytes(named, bytes));
        LSoundSourceRef again = LAifFile::OpenSource(named);
        ASSERT_TRUE(again->IsUsable());
        EXPECT_EQ(ToS16(ReadAll(*again)), SoxDecode(named));
        EXPECT_EQ(SoxDecode(named), sox);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, SoxWrittenAuAiff,
    testing::Values(SoxCase { "au_ulaw_mono", ".au", "-e u-law", 1 },
        SoxCase { "au_ulaw_stereo", ".au", "-e u-law", 2 }, SoxCase { "au_alaw_mono", ".au", "-e a-law", 1 },
        SoxCase { "au_alaw_stereo", ".au", "-e a-law", 2 }, SoxCase { "au_s8_mono", ".au", "-e signed -b 8", 1 },
        SoxCase { "au_s8_stereo", ".au", "-e signed -b 8", 2 }, SoxCase { "au_s16_mono", ".au", "-e signed -b 16", 1 },
        SoxCase { "au_s16_stereo", ".au", "-e signed -b 16", 2 }, SoxCase { "aiff_8_mono", ".aiff", "-b 8", 1 },
        SoxCase { "aiff_8_stereo", ".aiff", "-b 8", 2 }, SoxCase { "aiff_16_mono", ".aiff", "-b 16", 1 },
        SoxCase { "aiff_16_stereo", ".aiff", "-b 16", 2 }),
    [](const testing::TestParamInfo<SoxCase>& info) { return std::string(info.param.szName); });

// ---- AU headers ----

std::vector<uint8_t> AuFile(uint32_t nOffset, uint32_t nSize, uint32_t nEncoding, uint32_t nRate, uint32_t nChannels,
    const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> b(std::max<uint32_t>(nOffset, 24), 'A');
    std::memcpy(b.data(), ".snd", 4);
    Put32BE(b, 4, nOffset);
    Put32BE(b, 8, nSize);
    Put32BE(b, 12, nEncoding);
    Put32BE(b, 16, nRate);
    Put32BE(b, 20, nChannels);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

uint8_t AuError(const test::TempDir& dir, const std::vector<uint8_t>& bytes)
{
    EXPECT_TRUE(test::WriteFileBytes(dir.File("h.au"), bytes));
    return LAuFile::OpenSource(dir.File("h.au"))->ErrorCode();
}

TEST(AuHeader, AnnotationsStreamingAndHostileFields)
{
    test::TempDir dir;
    // 4 annotation bytes: the audio starts at byte 28.
    const std::vector<uint8_t> pcm = { 0x12, 0x34, 0x80, 0x00, 0x7F, 0xFF };
    ASSERT_TRUE(test::WriteFileBytes(dir.File("a.au"), AuFile(28, 6, 3, 8000, 1, pcm)));
    LSoundSourceRef a = LAuFile::OpenSource(dir.File("a.au"));
    ASSERT_TRUE(a->IsUsable());
    EXPECT_EQ(ReadAll(*a), (std::vector<int32_t> { 0x1234 * 16, -32768 * 16, 32767 * 16 }));
    // Unknown size: the data runs to the end of the file.
    ASSERT_TRUE(test::WriteFileBytes(dir.File("s.au"), AuFile(24, 0xFFFFFFFF, 1, 8000, 2, std::vector<uint8_t>(10))));
    LSoundSourceRef s = LAuFile::OpenSource(dir.File("s.au"));
    EXPECT_EQ(s->GetLength(), 5);
    EXPECT_EQ(s->MaxAmplitude(), 0x7E000);

    EXPECT_EQ(LAuFile::OpenSource(dir.File("none.au"))->ErrorCode(), 4);
    EXPECT_EQ(AuError(dir, { '.', 's', 'n', 'd', 0, 0, 0, 24 }), 3); // short header
    std::vector<uint8_t> magic = AuFile(24, 0, 1, 8000, 1, {});
    magic[1] = 'S';
    EXPECT_EQ(AuError(dir, magic), 3);
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 5, 8000, 1, pcm)), 5); // 24-bit linear: no reader
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 1, 8000, 0, pcm)), 3);
    // Counts that an 8-bit channel field would wrap to a small number.
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 1, 8000, 256, pcm)), 3);
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 1, 8000, 257, pcm)), 3);
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 3, 8000, 65537, pcm)), 3);
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 1, 0, 1, pcm)), 3);
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 1, 196001, 1, pcm)), 3);
    EXPECT_EQ(AuError(dir, AuFile(24, 4, 1, 196000, 255, pcm)), 0);
    std::vector<uint8_t> inside = AuFile(24, 4, 1, 8000, 1, pcm);
    Put32BE(inside, 4, 8); // the audio would start inside the header
    EXPECT_EQ(AuError(dir, inside), 3);
    std::vector<uint8_t> past = AuFile(24, 4, 1, 8000, 1, pcm);
    Put32BE(past, 4, 0xFFFFFF00);
    EXPECT_EQ(AuError(dir, past), 3);
}

// ---- AIFF headers ----

// A minimal AIFF file: COMM then SSND (offset 0) holding the payload.
std::vector<uint8_t> AifFile(uint16_t nChannels, uint16_t nBits, const uint8_t* pRate,
    const std::vector<uint8_t>& payload, const char* szForm = "AIFF")
{
    std::vector<uint8_t> b(54, 0);
    std::memcpy(b.data(), "FORM", 4);
    Put32BE(b, 4, static_cast<uint32_t>(46 + payload.size()));
    std::memcpy(b.data() + 8, szForm, 4);
    std::memcpy(b.data() + 12, "COMM", 4);
    Put32BE(b, 16, 18);
    b[20] = uint8_t(nChannels >> 8);
    b[21] = uint8_t(nChannels);
    b[26] = uint8_t(nBits >> 8);
    b[27] = uint8_t(nBits);
    std::memcpy(b.data() + 28, pRate, 10);
    std::memcpy(b.data() + 38, "SSND", 4);
    Put32BE(b, 42, static_cast<uint32_t>(8 + payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

uint8_t AifError(const test::TempDir& dir, const std::vector<uint8_t>& bytes)
{
    EXPECT_TRUE(test::WriteFileBytes(dir.File("h.aif"), bytes));
    return LAifFile::OpenSource(dir.File("h.aif"))->ErrorCode();
}

// 8000 Hz and 44100 Hz as 80-bit extended numbers.
constexpr uint8_t kRate8000[10] = { 0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0 };
constexpr uint8_t kRate44100[10] = { 0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0 };

TEST(AifHeader, HostileFieldsAreRefused)
{
    test::TempDir dir;
    const std::vector<uint8_t> pcm = { 0x01, 0x02, 0xFF, 0xFE };
    EXPECT_EQ(AifError(dir, AifFile(1, 16, kRate8000, pcm)), 0);
    EXPECT_EQ(LAifFile::OpenSource(dir.File("none.aif"))->ErrorCode(), 4);
    EXPECT_EQ(AifError(dir, AifFile(1, 16, kRate8000, pcm, "AIFC")), 3);
    EXPECT_EQ(AifError(dir, AifFile(1, 24, kRate8000, pcm)), 5);
    EXPECT_EQ(AifError(dir, AifFile(1, 0, kRate8000, pcm)), 3);
    EXPECT_EQ(AifError(dir, AifFile(0, 16, kRate8000, pcm)), 3);
    EXPECT_EQ(AifError(dir, AifFile(256, 16, kRate8000, pcm)), 3);
    EXPECT_EQ(AifError(dir, AifFile(0x8001, 16, kRate8000, pcm)), 3);
    // Exponents used as shift counts: only 16383..16414 give a whole rate.
    for (uint16_t wExponent : { 16382, 16415, 0x7FFF, 0xC00B, 0 }) {
        uint8_t rate[10];
        std::memcpy(rate, kRate8000, 10);
        rate[0] = uint8_t(wExponent >> 8);
        rate[1] = uint8_t(wExponent);
        EXPECT_EQ(AifError(dir, AifFile(1, 16, rate, pcm)), 3) << wExponent;
    }
    const uint8_t kRateOne[10] = { 0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0 };
    EXPECT_EQ(AifError(dir, AifFile(1, 16, kRateOne, pcm)), 0);
    const uint8_t kRateTooHigh[10] = { 0x40, 0x10, 0xBF, 0x69, 0, 0, 0, 0, 0, 0 }; // 196001
    EXPECT_EQ(AifError(dir, AifFile(1, 16, kRateTooHigh, pcm)), 3);

    std::vector<uint8_t> noSsnd = AifFile(1, 16, kRate8000, pcm);
    noSsnd.resize(38);
    EXPECT_EQ(AifError(dir, noSsnd), 3);
    std::vector<uint8_t> shortComm = AifFile(1, 16, kRate8000, pcm);
    Put32BE(shortComm, 16, 17);
    EXPECT_EQ(AifError(dir, shortComm), 3);
    // A negative chunk size before "COMM" ends the search.
    std::vector<uint8_t> negative = AifFile(1, 16, kRate8000, pcm);
    const uint8_t junk[8] = { 'J', 'U', 'N', 'K', 0x80, 0, 0, 0 };
    negative.insert(negative.begin() + 12, junk, junk + 8);
    EXPECT_EQ(AifError(dir, negative), 3);
    EXPECT_EQ(AifError(dir, std::vector<uint8_t>(negative.begin(), negative.begin() + 30)), 3);
}

TEST(AifHeader, SsndOffsetAndChunkOrderAreHonoured)
{
    test::TempDir dir;
    // SSND before COMM, with 2 bytes of offset before the first sample.
    std::vector<uint8_t> b = AifFile(1, 16, kRate44100, {});
    std::vector<uint8_t> comm(b.begin() + 12, b.begin() + 38);
    std::vector<uint8_t> ssnd
        = { 'S', 'S', 'N', 'D', 0, 0, 0, 14, 0, 0, 0, 2, 0, 0, 0, 0, 0xEE, 0xEE, 0x40, 0x00, 0xC0, 0x00 };
    std::vector<uint8_t> file(b.begin(), b.begin() + 12);
    file.insert(file.end(), ssnd.begin(), ssnd.end());
    file.insert(file.end(), comm.begin(), comm.end());
    Put32BE(file, 4, static_cast<uint32_t>(file.size() - 8));
    ASSERT_TRUE(test::WriteFileBytes(dir.File("o.aif"), file));
    LSoundSourceRef source = LAifFile::OpenSource(dir.File("o.aif"));
    ASSERT_TRUE(source->IsUsable());
    EXPECT_EQ(source->SampleRate(), 44100);
    EXPECT_EQ(ReadAll(*source), (std::vector<int32_t> { 0x4000 * 16, -0x4000 * 16 }));
}

// ---- Our AIFF files ----

TEST(AifWriter, WritesTheHeaderAndReadsInSoxAsWritten)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    for (auto [nRate, nChannels] : { std::pair { 44100, 2 }, std::pair { 8000, 1 }, std::pair { 22050, 1 } }) {
        SCOPED_TRACE(nRate);
        const std::string path = dir.File("ours.aif");
        const std::vector<int32_t> input = TestSignal(12345, uint8_t(nChannels));
        {
            LSoundSinkRef sink = LAifFile::OpenSink(path, nRate, uint8_t(nChannels));
            ASSERT_TRUE(sink && sink->IsUsable());
            WriteAll(*sink, input, 1000);
            // Unfinished: the "SSND" size is the streaming marker and the file
            // reads to its end.
            const std::vector<uint8_t> partial = test::ReadFileBytes(path);
            EXPECT_EQ(Get32BE(partial, 42), 0xFFFFFFFFu);
            EXPECT_EQ(
                LAifFile::OpenSource(path)->GetLength(), static_cast<int64_t>((partial.size() - 54) / (2 * nChannels)));
        }
        const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
        const uint32_t nData = 12345 * 2 * nChannels;
        ASSERT_EQ(bytes.size(), 54 + nData);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "FORM");
        EXPECT_EQ(Get32BE(bytes, 4), nData + 46);
        EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "AIFFCOMM");
        EXPECT_EQ(Get32BE(bytes, 16), 18u);
        EXPECT_EQ(Get32BE(bytes, 22), 12345u);
        EXPECT_EQ(std::string(bytes.begin() + 38, bytes.begin() + 42), "SSND");
        EXPECT_EQ(Get32BE(bytes, 42), nData + 8);
        EXPECT_EQ(Get32BE(bytes, 46), 0u);
        EXPECT_EQ(Get32BE(bytes, 50), 0u);
        if (nRate == 8000) {
            EXPECT_TRUE(std::equal(kRate8000, kRate8000 + 10, bytes.begin() + 28));
        } else if (nRate == 44100) {
            EXPECT_TRUE(std::equal(kRate44100, kRate44100 + 10, bytes.begin() + 28));
        }
        EXPECT_EQ(Soxi("-r", path), std::to_string(nRate));
        EXPECT_EQ(Soxi("-c", path), std::to_string(nChannels));
        EXPECT_EQ(Soxi("-b", path), "16");
        EXPECT_EQ(Soxi("-s", path), "12345");
        EXPECT_EQ(SoxDecode(path), ToS16(input));
        EXPECT_EQ(ReadAll(*LAifFile::OpenSource(path)), input);
    }
    // Every whole rate the engine accepts survives the extended form.
    for (uint32_t nRate : { 1u, 2u, 3u, 6000u, 11025u, 65535u, 65536u, 96000u, 196000u }) {
        uint8_t ten[10];
        LAifFile::EncodeRate(nRate, ten);
        EXPECT_EQ(LAifFile::DecodeRate(ten), nRate);
    }
}

} // namespace
