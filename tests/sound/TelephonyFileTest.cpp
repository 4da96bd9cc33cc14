// The telephony files through their readers and writers: G.711 raw files,
// Dialogic ".vox", raw GSM and GSM WAV, judged by sox and toast/untoast.
#include "foundation/LFile.h"
#include "sound/LGSMFileSink.h"
#include "sound/LGSMFileSource.h"
#include "sound/LRawCoding.h"
#include "sound/LRawFile.h"
#include "sound/LWaveFile.h"
#include "sound/codecs/LG711.h"
#include "tests/sound/SoundTestUtil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numeric>

namespace {

using namespace soundtest;

std::vector<uint8_t> S16Bytes(const std::vector<int16_t>& samples)
{
    std::vector<uint8_t> bytes(samples.size() * 2);
    std::memcpy(bytes.data(), samples.data(), bytes.size());
    return bytes;
}

std::vector<int32_t> ToInternal(const std::vector<int16_t>& samples)
{
    std::vector<int32_t> out(samples.size());
    S16ToInternal(samples.data(), out.data(), samples.size());
    return out;
}

// Voiced-speech stand-in: formant-band partials under a syllable-rate
// envelope, peaking near a third of full scale as telephone speech does.
std::vector<int16_t> SpeechLike(size_t nSamples, uint32_t seed = 7)
{
    std::mt19937 rng(seed);
    std::normal_distribution<double> noise(0, 150);
    std::vector<int16_t> out(nSamples);
    const double kPi = 3.14159265358979;
    for (size_t n = 0; n < nSamples; ++n) {
        const double t = static_cast<double>(n) / 8000;
        const double envelope = 0.55 + 0.45 * std::sin(2 * kPi * 4 * t);
        const double v = 5000 * std::sin(2 * kPi * 450 * t) + 3500 * std::sin(2 * kPi * 1150 * t + 1)
            + 2000 * std::sin(2 * kPi * 2400 * t + 2);
        out[n] = static_cast<int16_t>(std::lround(envelope * v + noise(rng)));
    }
    return out;
}

double Correlation(const std::vector<int16_t>& a, const std::vector<int16_t>& b)
{
    const size_t n = std::min(a.size(), b.size());
    double ma = 0, mb = 0;
    for (size_t i = 0; i < n; ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= static_cast<double>(n);
    mb /= static_cast<double>(n);
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < n; ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return sab / std::sqrt(saa * sbb);
}

LRawSettings Raw8k(uint32_t nCodec)
{
    return LRawSettings { 8000, 1, nCodec };
}

// ---- G.711 raw files ----

struct Law {
    const char* szName;
    uint32_t nCodec;
    const char* szSoxType;
    int32_t (*pDecode)(uint8_t);
};
const Law kLaws[]
    = { { "mu-law", kRawMuLaw, "ul", LG711::MuLawDecode }, { "A-law", kRawALaw, "al", LG711::ALawDecode } };

// Every code read through the raw reader as sox reads it; every 16-bit value
// written through the raw writer lands on sox's code or its neighbour (sox
// rounds to 13 or 14 bits first, the writer quantises the exact value), and
// reads back as what sox reads from our file.
TEST(G711File, ReaderAndWriterAgreeWithSox)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    std::vector<uint8_t> codes(256);
    std::iota(codes.begin(), codes.end(), 0);
    std::vector<int16_t> every(65536);
    std::iota(every.begin(), every.end(), INT16_MIN);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("every.s16"), S16Bytes(every)));
    for (const Law& law : kLaws) {
        SCOPED_TRACE(law.szName);
        const std::string codesPath = dir.File(std::string("codes.") + law.szSoxType);
        ASSERT_TRUE(test::WriteFileBytes(codesPath, codes));
        LSoundSourceRef source = LRawFile::OpenSource(codesPath, Raw8k(law.nCodec));
        ASSERT_TRUE(source->IsUsable());
        EXPECT_EQ(source->MaxAmplitude(), 0x7E000);
        EXPECT_EQ(ToS16(ReadAll(*source)), SoxDecode(codesPath, std::string("-t ") + law.szSoxType + " -r 8000"));

        // Codes ranked by the level they decode to: "within one code" is
        // within one rank.
        std::vector<int> rank(256);
        std::vector<int> order(256);
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
            [&](int a, int b) { return law.pDecode(uint8_t(a)) < law.pDecode(uint8_t(b)); });
        for (int r = 0, nPrev = INT32_MIN; int c : order) {
            if (law.pDecode(uint8_t(c)) != nPrev)
                ++r;
            rank[c] = r;
            nPrev = law.pDecode(uint8_t(c));
        }

        const std::string ours = dir.File(std::string("ours.") + law.szSoxType);
        {
            LSoundSinkRef sink = LRawFile::OpenSink(ours, Raw8k(law.nCodec));
            ASSERT_TRUE(sink && sink->IsUsable());
            WriteAll(*sink, ToInternal(every), 4099);
        }
        const std::vector<uint8_t> written = test::ReadFileBytes(ours);
        ASSERT_EQ(written.size(), 65536u);
        std::string soxCodes;
        ASSERT_EQ(test::RunShell("sox -D -t s16 -L -r 8000 -c 1 " + test::ShellQuote(dir.File("every.s16")) + " -t "
                          + law.szSoxType + " - 2>/dev/null",
                      &soxCodes),
            0);
        ASSERT_EQ(soxCodes.size(), 65536u);
        int nFar = 0;
        for (size_t i = 0; i < 65536; ++i)
            if (std::abs(rank[written[i]] - rank[uint8_t(soxCodes[i])]) > 1 && nFar++ < 5)
                ADD_FAILURE() << "sample " << every[i] << ": ours " << int(written[i]) << ", sox "
                              << int(uint8_t(soxCodes[i]));

        // Back through our reader: decode(encode(x)) for every x, equal to
        // what sox reads from the same file.
        LSoundSourceRef back = LRawFile::OpenSource(ours, Raw8k(law.nCodec));
        const std::vector<int32_t> decoded = ReadAll(*back);
        ASSERT_EQ(decoded.size(), 65536u);
        EXPECT_EQ(ToS16(decoded), SoxDecode(ours, std::string("-t ") + law.szSoxType + " -r 8000"));
        for (size_t i = 0; i < 65536; ++i)
            ASSERT_EQ(decoded[i], law.pDecode(written[i])) << every[i];
    }
}

// ---- Dialogic ADPCM ----

class VoxFile : public testing::Test {
protected:
    void SetUp() override
    {
        m_input = SpeechLike(24001); // odd: the last byte is completed
        m_path = m_dir.File("speech.vox");
        LSoundSinkRef sink = LRawFile::OpenSink(m_path, Raw8k(kRawDialogicAdpcm));
        ASSERT_TRUE(sink && sink->IsUsable());
        EXPECT_EQ(sink->NumChannels(), 1);
        WriteAll(*sink, ToInternal(m_input), 333);
        EXPECT_EQ(sink->GetPosition(), 24001);
    }

    test::TempDir m_dir;
    std::string m_path;
    std::vector<int16_t> m_input;
};

// sox's OKI decoder has no leak and maps the 12-bit values at twice our
// level, so only the shape can agree: the correlation judges it.
TEST_F(VoxFile, DecodesInSoxAsTheInput)
{
    TEST_REQUIRE_TOOL("sox");
    EXPECT_EQ(test::ReadFileBytes(m_path).size(), 12001u);
    const std::vector<int16_t> sox = SoxDecode(m_path, "-t vox -r 8000");
    ASSERT_EQ(sox.size(), 24002u);
    EXPECT_GT(Correlation(m_input, sox), 0.99);
    LSoundSourceRef ours = LRawFile::OpenSource(m_path, Raw8k(kRawDialogicAdpcm));
    EXPECT_EQ(ours->MaxAmplitude(), 0x200000);
    EXPECT_GT(Correlation(m_input, ToS16(ReadAll(*ours))), 0.99);
}

// Seeking decodes up to the target, so any order of reads and seeks gives the
// samples of one reading from the start.
TEST_F(VoxFile, ReadsTheSameInPiecesAndAfterSeeks)
{
    LSoundSourceRef source = LRawFile::OpenSource(m_path, Raw8k(kRawDialogicAdpcm));
    ASSERT_EQ(source->GetLength(), 24002);
    const std::vector<int32_t> whole = ReadAll(*source);
    source->Seek(0);
    const std::vector<int32_t> first = ReadPieces(*source, 6, { 3 });
    EXPECT_TRUE(std::equal(first.begin(), first.end(), whole.begin()));

    LSoundSourceRef again = LRawFile::OpenSource(m_path, Raw8k(kRawDialogicAdpcm));
    EXPECT_EQ(ReadPieces(*again, 24002, { 1, 3, 8192, 7, 9000, 2 }), whole);
    for (int64_t nAt : { int64_t { 20001 }, int64_t { 3 }, int64_t { 8191 }, int64_t { 8192 }, int64_t { 16385 },
             int64_t { 8193 }, int64_t { 0 }, int64_t { 23999 }, int64_t { 12000 } }) {
        again->Seek(nAt);
        const int64_t n = std::min<int64_t>(1000, 24002 - nAt);
        const std::vector<int32_t> part = ReadPieces(*again, n, { 5, 1, 300 });
        EXPECT_TRUE(std::equal(part.begin(), part.end(), whole.begin() + nAt)) << "after Seek " << nAt;
    }
    again->Seek(-7);
    const std::vector<int32_t> lead = ReadPieces(*again, 10, { 10 });
    EXPECT_EQ(std::vector<int32_t>(lead.begin(), lead.begin() + 7), std::vector<int32_t>(7, 0));
    EXPECT_TRUE(std::equal(lead.begin() + 7, lead.end(), whole.begin()));
    again->Seek(24000);
    const std::vector<int32_t> tail = ReadPieces(*again, 5, { 5 });
    EXPECT_EQ(tail, (std::vector<int32_t> { whole[24000], whole[24001], 0, 0, 0 }));
    EXPECT_EQ(again->GetPosition(), 24005);
}

TEST(VoxFileEdges, LengthFollowsTheFileAndMissingFilesReportIt)
{
    test::TempDir dir;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("a.vox"), std::vector<uint8_t>(1000, 0x17)));
    LSoundSourceRef source = LRawFile::OpenSource(dir.File("a.vox"), LRawSettings { 6000, 2, kRawDialogicAdpcm });
    EXPECT_EQ(source->GetLength(), 2000);
    EXPECT_EQ(source->NumChannels(), 1); // Dialogic files are mono whatever the settings say
    EXPECT_EQ(source->SampleRate(), 6000);
    LSoundSourceRef missing = LRawFile::OpenSource(dir.File("none.vox"), Raw8k(kRawDialogicAdpcm));
    EXPECT_EQ(missing->ErrorCode(), 4);
    std::vector<int32_t> buffer(10, 1);
    missing->Read(buffer.data(), 10);
    EXPECT_EQ(buffer, std::vector<int32_t>(10, 0));
    LSoundSinkRef sink = LRawFile::OpenSink(dir.File("no/such/folder/b.vox"), Raw8k(kRawDialogicAdpcm));
    ASSERT_TRUE(sink);
    EXPECT_FALSE(sink->IsUsable());
}

// ---- Raw GSM ----

std::vector<int16_t> Untoast(const std::string& gsmPath)
{
    std::string out;
    EXPECT_EQ(test::RunShell("untoast -l -c < " + test::ShellQuote(gsmPath) + " 2>/dev/null", &out), 0);
    return BytesToS16(out);
}

// The writer's frames are toast's, the pending partial frame padded with
// silence as toast pads it; the reader's samples are untoast's.
TEST(GsmFile, WriterMatchesToastAndReaderMatchesUntoast)
{
    TEST_REQUIRE_TOOL("toast");
    TEST_REQUIRE_TOOL("untoast");
    test::TempDir dir;
    std::vector<int16_t> input = SpeechLike(160 * 50 + 77);
    const std::vector<int32_t> loud = TestSignal(160 * 20, 1, 3); // full-scale sweep with noise
    const std::vector<int16_t> loud16 = ToS16(loud);
    input.insert(input.begin() + 1600, loud16.begin(), loud16.end());
    ASSERT_TRUE(test::WriteFileBytes(dir.File("in.s16"), S16Bytes(input)));
    ASSERT_EQ(test::RunShell("toast -l -c < " + test::ShellQuote(dir.File("in.s16")) + " > "
                  + test::ShellQuote(dir.File("toast.gsm"))),
        0);
    {
        LSoundSinkRef sink = MakeSoundRef<LGSMFileSink>(dir.File("ours.gsm"));
        ASSERT_TRUE(sink->IsUsable());
        EXPECT_EQ(sink->SampleRate(), 8000);
        WriteAll(*sink, ToInternal(input), 1000);
    }
    const std::vector<uint8_t> ours = test::ReadFileBytes(dir.File("ours.gsm"));
    EXPECT_EQ(ours.size(), 71u * 33);
    EXPECT_EQ(ours, test::ReadFileBytes(dir.File("toast.gsm")));

    LSoundSourceRef source = MakeSoundRef<LGSMFileSource>(dir.File("toast.gsm"));
    ASSERT_TRUE(source->IsUsable());
    EXPECT_EQ(source->SampleRate(), 8000);
    EXPECT_EQ(source->MaxAmplitude(), 0xFFFE0);
    EXPECT_EQ(source->GetLength(), 71 * 160);
    const std::vector<int32_t> whole = ReadPieces(*source, source->GetLength(), { 100, 1, 4000, 161 });
    EXPECT_EQ(ToS16(whole), Untoast(dir.File("toast.gsm")));
}

// A seek starts the decoder afresh at the frame holding the target: what
// follows equals untoast on the file from that frame on.
TEST(GsmFile, SeekDecodesFromTheTargetFrameAfresh)
{
    TEST_REQUIRE_TOOL("untoast");
    test::TempDir dir;
    {
        LSoundSinkRef sink = MakeSoundRef<LGSMFileSink>(dir.File("a.gsm"));
        WriteAll(*sink, ToInternal(SpeechLike(160 * 80)));
    }
    const std::vector<uint8_t> file = test::ReadFileBytes(dir.File("a.gsm"));
    LSoundSourceRef ref = MakeSoundRef<LGSMFileSource>(dir.File("a.gsm"));
    LSoundSourceBase& source = *ref;
    const std::vector<int32_t> whole = ReadAll(source);
    for (int64_t nAt : { int64_t { 10 * 160 + 37 }, int64_t { 3 * 160 }, int64_t { 79 * 160 + 159 } }) {
        const size_t nFrame = static_cast<size_t>(nAt / 160);
        ASSERT_TRUE(test::WriteFileBytes(
            dir.File("tail.gsm"), std::vector<uint8_t>(file.begin() + static_cast<long>(nFrame * 33), file.end())));
        const std::vector<int16_t> expected = Untoast(dir.File("tail.gsm"));
        source.Seek(nAt);
        const int64_t n = 80 * 160 - nAt;
        const std::vector<int16_t> got = ToS16(ReadPieces(source, n, { 50, 200 }));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + nAt % 160)) << "after Seek " << nAt;
    }
    // Even a seek into the frame the decoder was about to decode starts
    // afresh, wherever reading stopped (the tail file read whole is the judge,
    // our reader being untoast's equal).
    for (size_t nFrame = 1; nFrame < 80; ++nFrame) {
        ASSERT_TRUE(test::WriteFileBytes(
            dir.File("tail.gsm"), std::vector<uint8_t>(file.begin() + static_cast<long>(nFrame * 33), file.end())));
        LSoundSourceRef tail = MakeSoundRef<LGSMFileSource>(dir.File("tail.gsm"));
        const std::vector<int32_t> expected = ReadPieces(*tail, 100, { 100 });
        LSoundSourceRef fresh = MakeSoundRef<LGSMFileSource>(dir.File("a.gsm"));
        (void)ReadPieces(*fresh, static_cast<int64_t>(nFrame * 160), { 160 });
        fresh->Seek(static_cast<int64_t>(nFrame * 160));
        ASSERT_EQ(ReadPieces(*fresh, 100, { 100 }), expected) << "frame " << nFrame;
    }
    // Seeking to 0 is the same as a fresh start.
    source.Seek(0);
    EXPECT_EQ(ReadAll(source), whole);
    // Before the start and past the end: silence, and the position moves on.
    source.Seek(-20);
    const std::vector<int32_t> lead = ReadPieces(source, 40, { 40 });
    EXPECT_EQ(std::vector<int32_t>(lead.begin(), lead.begin() + 20), std::vector<int32_t>(20, 0));
    EXPECT_TRUE(std::equal(lead.begin() + 20, lead.end(), whole.begin()));
    source.Seek(80 * 160 + 5);
    std::vector<int32_t> past(30, 1);
    source.Read(past.data(), 30);
    EXPECT_EQ(past, std::vector<int32_t>(30, 0));
    EXPECT_EQ(source.GetPosition(), 80 * 160 + 35);
}

TEST(GsmFile, CutFramesAndBadSignaturesAreHandled)
{
    test::TempDir dir;
    std::vector<uint8_t> bytes(33 * 3 + 20, 0);
    bytes[0] = 0xD0; // a frame of zero parameters
    bytes[33] = 0x50; // no GSM signature: silence
    bytes[66] = 0xD3;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("x.gsm"), bytes));
    LSoundSourceRef source = MakeSoundRef<LGSMFileSource>(dir.File("x.gsm"));
    EXPECT_EQ(source->GetLength(), 3 * 160); // the cut fourth frame holds nothing
    const std::vector<int32_t> all = ReadPieces(*source, 4 * 160, { 4 * 160 });
    EXPECT_TRUE(std::all_of(all.begin() + 160, all.begin() + 320, [](int32_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(all.begin() + 480, all.end(), [](int32_t v) { return v == 0; }));
    LSoundSourceRef missing = MakeSoundRef<LGSMFileSource>(dir.File("none.gsm"));
    EXPECT_EQ(missing->ErrorCode(), 4);
    EXPECT_EQ(missing->GetLength(), 0);
}

// ---- GSM WAV (format tag 49) ----

LWaveFormat GsmFormat(uint32_t nRate, uint16_t nChannels = 1)
{
    LWaveFormat format;
    format.wFormatTag = kWaveFormatGSM610;
    format.nChannels = nChannels;
    format.nSamplesPerSec = nRate;
    return format;
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at)
{
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}

TEST(GsmWave, OurFilesHaveTheHeaderAndDecodeInSoxAsInOurs)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    const std::string path = dir.File("ours.wav");
    const std::vector<int16_t> input = SpeechLike(320 * 30 + 100);
    {
        LSoundSinkRef sink = LWaveFile::OpenSink(path, GsmFormat(8000));
        ASSERT_TRUE(sink && sink->IsUsable());
        WriteAll(*sink, ToInternal(input), 1001);
        // While writing, both lengths carry the streaming marker and the
        // file reads up to what has been written.
        const std::vector<uint8_t> partial = test::ReadFileBytes(path);
        ASSERT_GE(partial.size(), 48u);
        EXPECT_EQ(Le32(partial, 4), 0xFFFFFFFFu);
        EXPECT_EQ(Le32(partial, 44), 0xFFFFFFFFu);
        EXPECT_EQ(LWaveFile::OpenSource(path)->GetLength(), static_cast<int64_t>((partial.size() - 48) / 65 * 320));
    }
    const std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 48u + 31 * 65);
    const uint8_t kHeader[48]
        = { 'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 20, 0, 0, 0, 49, 0, 1, 0, 0x40,
              0x1F, 0, 0, 0x59, 0x06, 0, 0, 65, 0, 0, 0, 2, 0, 0x40, 0x01, 'd', 'a', 't', 'a', 0, 0, 0, 0 };
    std::vector<uint8_t> expected(kHeader, kHeader + 48);
    const uint32_t nData = 31 * 65;
    for (int i = 0; i < 4; ++i) {
        expected[4 + i] = uint8_t((nData + 40) >> (8 * i));
        expected[44 + i] = uint8_t(nData >> (8 * i));
    }
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 48), expected);

    LSoundSourceRef source = LWaveFile::OpenSource(path);
    ASSERT_TRUE(source->IsUsable());
    EXPECT_EQ(source->MaxAmplitude(), 0xFFFE0);
    EXPECT_EQ(source->GetLength(), 31 * 320);
    EXPECT_EQ(ToS16(ReadPieces(*source, 31 * 320, { 319, 2, 1000 })), SoxDecode(path));
    source->Seek(0);
    EXPECT_GT(Correlation(input, ToS16(ReadAll(*source))), 0.95);
}

TEST(GsmWave, SoxFilesDecodeAsInSoxAndPartialBlocksKeepTheirFirstFrame)
{
    TEST_REQUIRE_TOOL("sox");
    test::TempDir dir;
    const std::string path = dir.File("sox.wav");
    ASSERT_EQ(test::RunShell("sox -R -n -r 8000 -c 1 -e gsm-full-rate " + test::ShellQuote(path)
                  + " synth 6 sine 200-3000 synth 6 pinknoise mix tremolo 3 80 vol 0.8"),
        0);
    LSoundSourceRef source = LWaveFile::OpenSource(path);
    ASSERT_TRUE(source->IsUsable());
    const std::vector<int16_t> sox = SoxDecode(path);
    EXPECT_EQ(source->GetLength(), static_cast<int64_t>(sox.size()));
    EXPECT_EQ(ToS16(ReadAll(*source)), sox);

    // The data chunk of a 6500-byte GSM stream holds 100 blocks.
    LWaveFileInfo info;
    ASSERT_EQ(LWaveFile::ReadInfo(path, &info), 0);
    std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    const size_t nStart = static_cast<size_t>(info.nDataStart);
    ASSERT_GE(bytes.size(), nStart + 6500 + 40);
    for (uint32_t nData : { 6500u, 6500u + 40, 6500u + 32 }) {
        std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<long>(nStart + nData));
        for (int i = 0; i < 4; ++i)
            cut[nStart - 4 + i] = uint8_t(nData >> (8 * i));
        ASSERT_TRUE(test::WriteFileBytes(dir.File("cut.wav"), cut));
        LSoundSourceRef c = LWaveFile::OpenSource(dir.File("cut.wav"));
        const int64_t nExpected = nData == 6540 ? 32160 : 32000;
        EXPECT_EQ(c->GetLength(), nExpected) << nData;
        const std::vector<int16_t> got = ToS16(ReadAll(*c));
        EXPECT_TRUE(std::equal(got.begin(), got.end(), sox.begin())) << nData;
    }
}

TEST(GsmWave, SeeksStartTheBlockAfreshAndHostileFormatsAreRefused)
{
    test::TempDir dir;
    const std::string path = dir.File("a.wav");
    {
        LSoundSinkRef sink = LWaveFile::OpenSink(path, GsmFormat(11025));
        WriteAll(*sink, ToInternal(SpeechLike(320 * 12)));
    }
    LSoundSourceRef a = LWaveFile::OpenSource(path);
    EXPECT_EQ(a->SampleRate(), 11025);
    const std::vector<int32_t> whole = ReadAll(*a);
    // From block 0 a seek changes nothing; later seeks are deterministic.
    a->Seek(100);
    EXPECT_TRUE(std::equal(whole.begin() + 100, whole.begin() + 900, ReadPieces(*a, 800, { 800 }).begin()));
    a->Seek(5 * 320 + 7);
    const std::vector<int32_t> first = ReadPieces(*a, 500, { 13, 400 });
    LSoundSourceRef b = LWaveFile::OpenSource(path);
    b->Seek(5 * 320 + 7);
    EXPECT_EQ(ReadPieces(*b, 500, { 500 }), first);

    // Stereo GSM and a block size other than 65 have no reader; nor a writer.
    std::vector<uint8_t> bytes = test::ReadFileBytes(path);
    std::vector<uint8_t> stereo = bytes;
    stereo[22] = 2;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("stereo.wav"), stereo));
    EXPECT_EQ(LWaveFile::OpenSource(dir.File("stereo.wav"))->ErrorCode(), 5);
    std::vector<uint8_t> align = bytes;
    align[32] = 64;
    ASSERT_TRUE(test::WriteFileBytes(dir.File("align.wav"), align));
    EXPECT_EQ(LWaveFile::OpenSource(dir.File("align.wav"))->ErrorCode(), 5);
    LSoundSinkRef sink = LWaveFile::OpenSink(dir.File("s.wav"), GsmFormat(8000, 2));
    ASSERT_TRUE(sink);
    EXPECT_FALSE(sink->IsUsable());
    EXPECT_FALSE(FileExists(dir.File("s.wav")));
}

} // namespace
