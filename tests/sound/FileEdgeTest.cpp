// File readers and writers at their edges: hand-made and hostile headers,
// unfinished and killed writers, seeks that restart a decoder.
// Each header is built here byte by byte, independently of the writers.
#include "foundation/LFile.h"
#include "sound/files/LAifFile.h"
#include "sound/files/LAuFile.h"
#include "sound/files/LGSMFileSink.h"
#include "sound/files/LGSMFileSource.h"
#include "sound/files/LWaveFile.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace test;

class FileEdge : public testing::Test {
protected:
    LSoundSourceRef Wav(const std::vector<uint8_t>& bytes) { return Open(bytes, LWaveFile::OpenSource); }
    LSoundSourceRef Open(const std::vector<uint8_t>& bytes, LSoundSourceRef (*open)(const std::string&))
    {
        EXPECT_TRUE(WriteFileBytes(m_path, bytes));
        return open(m_path);
    }
    TempDir m_dir;
    std::string m_path = m_dir.File("edge");
};

// ---- WAV ----

// A 16-bit PCM fmt body of nBytes (16 or more), the rest zero.
std::vector<uint8_t> PcmFmt(uint16_t nChannels, uint32_t nRate, size_t nBytes = 16, int nBlockAlign = -1)
{
    std::vector<uint8_t> f;
    PutLe16(f, 1), PutLe16(f, nChannels), PutLe32(f, nRate), PutLe32(f, nRate * nChannels * 2);
    PutLe16(f, static_cast<uint16_t>(nBlockAlign < 0 ? nChannels * 2 : nBlockAlign)), PutLe16(f, 16);
    f.resize(nBytes);
    return f;
}
std::vector<uint8_t> Ramp(size_t nSamples)
{
    std::vector<uint8_t> d;
    for (size_t i = 0; i < nSamples; ++i)
        PutLe16(d, static_cast<uint16_t>(i * 37));
    return d;
}
using Chunks = std::vector<std::pair<std::string, std::vector<uint8_t>>>;
// A WAV file from its chunks (odd ones padded); nDataStated overrides the data size.
std::vector<uint8_t> Wave(const Chunks& chunks, int64_t nDataStated = -1)
{
    std::vector<uint8_t> v = { 'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E' };
    for (const auto& [id, body] : chunks) {
        PutTag(v, id.c_str());
        PutLe32(v, id == "data" && nDataStated >= 0 ? uint32_t(nDataStated) : uint32_t(body.size()));
        v.insert(v.end(), body.begin(), body.end());
        if (body.size() & 1)
            v.push_back(0);
    }
    return v;
}

TEST_F(FileEdge, WavChunksAreWalkedAndFieldsBounded)
{
    // An odd chunk before "fmt " and a RIFF form of another type in front.
    LSoundSourceRef s
        = Wav(Wave({ { "LIST", { 'I', 'N', 'F', 'O', 'x' } }, { "fmt ", PcmFmt(1, 8000) }, { "data", Ramp(100) } }));
    ASSERT_TRUE(s->IsUsable());
    EXPECT_EQ(s->GetLength(), 100);
    EXPECT_EQ(ReadAll(*s)[3], S16ToInternal(3 * 37));
    std::vector<uint8_t> other = { 'R', 'I', 'F', 'F', 5, 0, 0, 0, 'A', 'V', 'I', ' ', 'z', 0 };
    const std::vector<uint8_t> wave = Wave({ { "fmt ", PcmFmt(2, 8000) }, { "data", Ramp(100) } });
    other.insert(other.end(), wave.begin(), wave.end());
    s = Wav(other);
    EXPECT_EQ(s->NumChannels(), 2);
    EXPECT_EQ(s->GetLength(), 50);

    // fmt sizes 16..8192; an odd one is followed by its pad byte.
    for (size_t n : { 16, 17, 8192 })
        EXPECT_EQ(Wav(Wave({ { "fmt ", PcmFmt(1, 8000, n) }, { "data", Ramp(10) } }))->GetLength(), 10) << n;
    for (size_t n : { 15, 8193 })
        EXPECT_EQ(Wav(Wave({ { "fmt ", PcmFmt(1, 8000, n) }, { "data", Ramp(10) } }))->ErrorCode(), kSoundErrFormat);
    // An extra-byte count larger than the chunk is held to the chunk.
    std::vector<uint8_t> fmt = PcmFmt(1, 8000, 20);
    fmt[16] = fmt[17] = 0xFF;
    WriteFileBytes(m_path, Wave({ { "fmt ", fmt }, { "data", Ramp(10) } }));
    LWaveFileInfo info;
    ASSERT_EQ(LWaveFile::ReadInfo(m_path, &info), kSoundOk);
    EXPECT_EQ(info.format.extra.size(), 2u);

    EXPECT_TRUE(Wav(Wave({ { "fmt ", PcmFmt(1, 196000) }, { "data", Ramp(10) } }))->IsUsable());
    for (const auto& bad : { PcmFmt(1, 196001), PcmFmt(0, 8000), PcmFmt(1, 0), PcmFmt(1, 8000, 16, 0) }) {
        s = Wav(Wave({ { "fmt ", bad }, { "data", Ramp(10) } }));
        EXPECT_EQ(s->ErrorCode(), kSoundErrFormat);
        std::vector<int32_t> buffer(10, 1);
        s->Read(buffer.data(), 10); // a placeholder still reads silence
        EXPECT_EQ(buffer, std::vector<int32_t>(10, 0));
    }
    std::vector<uint8_t> mp3 = PcmFmt(1, 8000);
    mp3[0] = 0x55; // a format no codec here handles
    EXPECT_EQ(Wav(Wave({ { "fmt ", mp3 }, { "data", Ramp(10) } }))->ErrorCode(), kSoundErrCodec);
    EXPECT_EQ(LWaveFile::OpenSource(m_dir.File("missing.wav"))->ErrorCode(), kSoundErrOpen);
    EXPECT_EQ(Wav(Wave({ { "data", Ramp(10) }, { "fmt ", PcmFmt(1, 8000) } }))->ErrorCode(), kSoundErrFormat);

    // Every cut of the header is a clear error.
    const std::vector<uint8_t> whole = Wave({ { "fmt ", PcmFmt(2, 8000, 18) }, { "data", Ramp(8) } });
    for (size_t n = 0; n < whole.size() - 16; ++n)
        EXPECT_EQ(Wav(std::vector<uint8_t>(whole.begin(), whole.begin() + n))->ErrorCode(), kSoundErrFormat) << n;
    EXPECT_TRUE(Wav(std::vector<uint8_t>(whole.begin(), whole.end() - 16))->IsUsable());
}

TEST_F(FileEdge, PcmWriterSaturatesTruncatesBackwardsAndKeepsStartFrames)
{
    struct Extreme {
        int32_t nIn;
        int16_t n16, n8; // read back from a 16-bit and an 8-bit file
    };
    const Extreme table[] = { { S16ToInternal(-32768), -32768, -32768 }, { kInternalFullScale + 8, 32767, 32512 },
        { -kInternalFullScale - 100, -32768, -32768 }, { 0x7FFFFFF, 32767, 32512 },
        { S16ToInternal(32767), 32767, 32512 }, { INT32_MAX, 32767, 32512 }, { INT32_MIN, -32768, -32768 }, { 7, 0, 0 },
        { 8, 1, 0 }, { -8, 0, 0 }, { -9, -1, 0 } };
    // Twice over, so that writers working eight samples at a time meet every value too.
    std::vector<int32_t> extremes;
    std::vector<int16_t> want16, want8;
    for (int n = 0; n < 2; ++n)
        for (const Extreme& e : table) {
            extremes.push_back(e.nIn);
            want16.push_back(e.n16);
            want8.push_back(e.n8);
        }
    for (int nBits : { 16, 8 }) {
        LWaveFile::OpenSinkPCM(m_path, 8000, 0, nBits, 1)
            ->Write(extremes.data(), static_cast<int32_t>(extremes.size()));
        EXPECT_EQ(ToS16(ReadAll(*LWaveFile::OpenSource(m_path))), nBits == 16 ? want16 : want8) << nBits << " bits";
    }
    EXPECT_FALSE(LWaveFile::OpenSinkPCM(m_path, 8000, 0, 20, 1));
    EXPECT_FALSE(LWaveFile::OpenSinkPCM(m_path, 8000, 0, 0, 1));

    const std::vector<int32_t> input = TestSignal(300, 2);
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(m_path, 8000, 0, 16, 2);
        WriteAll(*sink, input);
        sink->Seek(400); // beyond what was written: nothing happens
        EXPECT_EQ(sink->GetPosition(), 300);
        sink->Seek(100);
        sink->Write(input.data(), 20);
    }
    std::vector<int32_t> back = ReadAll(*LWaveFile::OpenSource(m_path));
    ASSERT_EQ(back.size(), 240u);
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + 200, back.begin()));
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + 40, back.begin() + 200));
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(m_path, 8000, 0, 16, 2);
        WriteAll(*sink, input);
        sink->Seek(-5);
        EXPECT_EQ(sink->GetPosition(), 0);
    }
    EXPECT_EQ(ReadFileBytes(m_path).size(), 46u);

    const std::vector<int32_t> first = TestSignal(1000, 1, 1), second = TestSignal(100, 1, 2);
    WriteAll(*LWaveFile::OpenSinkPCM(m_path, 8000, 0, 16, 1), first);
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(m_path, 8000, 400, 16, 1);
        EXPECT_EQ(sink->GetPosition(), 400);
        WriteAll(*sink, second);
    }
    back = ReadAll(*LWaveFile::OpenSource(m_path));
    ASSERT_EQ(back.size(), 500u);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 400, back.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), back.begin() + 400));
    EXPECT_EQ(LWaveFile::OpenSinkPCM(m_path, 8000, 100000, 16, 1)->GetPosition(), 500);

    // A writer that cannot create its file stays unusable and still counts.
    LSoundSinkRef sink = LWaveFile::OpenSinkPCM("/nonexistent-dir/x.wav", 8000, 0, 16, 1);
    sink->Write(extremes.data(), 5);
    EXPECT_FALSE(sink->IsUsable());
    EXPECT_EQ(sink->GetPosition(), 5);
    LWaveFormat unknown;
    unknown.wFormatTag = 0x55, unknown.nChannels = 1, unknown.nSamplesPerSec = 8000;
    EXPECT_FALSE(LWaveFile::OpenSink(m_dir.File("u.wav"), unknown)->IsUsable());
}

// A writer killed before its destructor leaves a header that says "being
// written"; the file reads up to what reached the disk.
TEST_F(FileEdge, KilledWriterLeavesAReadableFile)
{
    for (uint16_t wTag : { kWaveFormatPCM, kWaveFormatImaAdpcm }) {
        const std::vector<int32_t> input = TestSignal(30000, 2);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            LWaveFormat format;
            format.wFormatTag = wTag, format.nChannels = 2, format.nSamplesPerSec = 16000, format.wBitsPerSample = 16;
            WriteAll(**new LSoundSinkRef(LWaveFile::OpenSink(m_path, format)), input, 1000);
            ::kill(::getpid(), SIGKILL); // no destructor runs
            _exit(1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        LSoundSourceRef source = LWaveFile::OpenSource(m_path);
        ASSERT_TRUE(source->IsUsable()) << wTag;
        const std::vector<int16_t> back = ToS16(ReadAll(*source));
        if (wTag == kWaveFormatPCM) {
            EXPECT_EQ(back, ToS16(input));
        } else if (HaveTool("sox")) { // only whole flushes of blocks reached the disk
            ASSERT_GT(source->GetLength(), 0);
            const std::vector<int16_t> sox = SoxDecode(m_path);
            EXPECT_EQ(std::vector<int16_t>(sox.begin(), sox.begin() + static_cast<long>(back.size())), back);
        }
    }
}

// ---- raw, VOX and GSM ----

// A seek starts the GSM decoder afresh at the frame holding the target: what
// follows equals untoast of the file from that frame on.
TEST_F(FileEdge, GsmSeeksRestartTheDecoderAndCutFramesAreSilent)
{
    WriteAll(*MakeSoundRef<LGSMFileSink>(m_path), ToInternal(Telephone16(160 * 80)));
    const std::vector<uint8_t> file = ReadFileBytes(m_path);
    LSoundSourceRef source = MakeSoundRef<LGSMFileSource>(m_path);
    for (size_t nFrame : { size_t(10), size_t(3), size_t(79), size_t(1) }) {
        ASSERT_TRUE(
            WriteFileBytes(m_dir.File("tail.gsm"), std::vector<uint8_t>(file.begin() + long(nFrame * 33), file.end())));
        const std::vector<int32_t> expected
            = ReadPieces(*MakeSoundRef<LGSMFileSource>(m_dir.File("tail.gsm")), 100, { 100 });
        (void)ReadPieces(*source, 37, { 37 });
        source->Seek(static_cast<int64_t>(nFrame * 160 + 37));
        const std::vector<int32_t> got = ReadPieces(*source, 63, { 50, 13 });
        EXPECT_TRUE(std::equal(got.begin(), got.end(), expected.begin() + 37)) << "frame " << nFrame;
        if (HaveTool("untoast")) {
            ASSERT_EQ(Toast("untoast", m_dir.File("tail.gsm"), m_dir.File("tail.s16")), 0);
            const std::vector<uint8_t> bytes = ReadFileBytes(m_dir.File("tail.s16"));
            EXPECT_EQ(ToS16(expected), BytesToS16(std::string(bytes.begin(), bytes.begin() + 200)));
        }
    }
    std::vector<uint8_t> bytes(33 * 3 + 20, 0);
    bytes[0] = 0xD0; // a frame of zero parameters
    bytes[33] = 0x50; // no GSM signature: silence
    bytes[66] = 0xD3;
    ASSERT_TRUE(WriteFileBytes(m_path, bytes));
    source = MakeSoundRef<LGSMFileSource>(m_path);
    EXPECT_EQ(source->GetLength(), 3 * 160); // the cut fourth frame holds nothing
    const std::vector<int32_t> all = ReadPieces(*source, 4 * 160, { 4 * 160 });
    EXPECT_TRUE(std::all_of(all.begin() + 160, all.begin() + 320, [](int32_t v) { return v == 0; }));
    EXPECT_TRUE(std::all_of(all.begin() + 480, all.end(), [](int32_t v) { return v == 0; }));
    EXPECT_EQ(MakeSoundRef<LGSMFileSource>(m_dir.File("none.gsm"))->ErrorCode(), kSoundErrOpen);
}

// ---- AU and AIFF ----

std::vector<uint8_t> AuFile(uint32_t nOffset, uint32_t nSize, uint32_t nEncoding, uint32_t nRate, uint32_t nChannels,
    const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> b(std::max<uint32_t>(nOffset, 24), 'A');
    std::memcpy(b.data(), ".snd", 4);
    SetBe32(b, 4, nOffset), SetBe32(b, 8, nSize), SetBe32(b, 12, nEncoding), SetBe32(b, 16, nRate);
    SetBe32(b, 20, nChannels);
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

TEST_F(FileEdge, AuHeadersAnnotationsStreamingAndHostileFields)
{
    const std::vector<uint8_t> pcm = { 0x12, 0x34, 0x80, 0x00, 0x7F, 0xFF };
    LSoundSourceRef a = Open(AuFile(28, 6, 3, 8000, 1, pcm), LAuFile::OpenSource); // 4 annotation bytes
    EXPECT_EQ(ReadAll(*a), (std::vector<int32_t> { 0x1234 * 16, -32768 * 16, 32767 * 16 }));
    // Unknown size: the data runs to the end of the file.
    EXPECT_EQ(Open(AuFile(24, 0xFFFFFFFF, 1, 8000, 2, std::vector<uint8_t>(10)), LAuFile::OpenSource)->GetLength(), 5);
    EXPECT_EQ(LAuFile::OpenSource(m_dir.File("none.au"))->ErrorCode(), kSoundErrOpen);
    auto error = [&](const std::vector<uint8_t>& b) { return Open(b, LAuFile::OpenSource)->ErrorCode(); };
    EXPECT_EQ(error({ '.', 's', 'n', 'd', 0, 0, 0, 24 }), kSoundErrFormat); // short header
    std::vector<uint8_t> magic = AuFile(24, 0, 1, 8000, 1, {}), inside = AuFile(24, 4, 1, 8000, 1, pcm), past = inside;
    magic[1] = 'S';
    SetBe32(inside, 4, 8); // the audio would start inside the header
    SetBe32(past, 4, 0xFFFFFF00);
    for (const auto& b : { magic, inside, past })
        EXPECT_EQ(error(b), kSoundErrFormat);
    EXPECT_EQ(error(AuFile(24, 4, 5, 8000, 1, pcm)), kSoundErrCodec); // 24-bit linear: no reader
    // Counts an 8-bit channel field would wrap to a small number, and rates out of range.
    for (auto [nRate, nChannels] : { std::pair { 8000u, 0u }, { 8000u, 256u }, { 196001u, 1u } })
        EXPECT_EQ(error(AuFile(24, 4, 1, nRate, nChannels, pcm)), kSoundErrFormat) << nRate << "/" << nChannels;
    EXPECT_EQ(error(AuFile(24, 4, 1, 196000, 255, pcm)), kSoundOk);
}

constexpr uint8_t kRate8000[10] = { 0x40, 0x0B, 0xFA, 0, 0, 0, 0, 0, 0, 0 };
constexpr uint8_t kRate44100[10] = { 0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0 };

// A minimal AIFF file: COMM then SSND (offset 0) holding the payload.
std::vector<uint8_t> AifFile(uint16_t nChannels, uint16_t nBits, const uint8_t* pRate,
    const std::vector<uint8_t>& payload, const char* szForm = "AIFF")
{
    std::vector<uint8_t> b(54, 0);
    std::memcpy(b.data(), "FORM", 4);
    SetBe32(b, 4, static_cast<uint32_t>(46 + payload.size()));
    std::memcpy(b.data() + 8, szForm, 4);
    std::memcpy(b.data() + 12, "COMM", 4);
    SetBe32(b, 16, 18), SetBe16(b, 20, nChannels), SetBe16(b, 26, nBits);
    std::memcpy(b.data() + 28, pRate, 10);
    std::memcpy(b.data() + 38, "SSND", 4);
    SetBe32(b, 42, static_cast<uint32_t>(8 + payload.size()));
    b.insert(b.end(), payload.begin(), payload.end());
    return b;
}

TEST_F(FileEdge, AiffHostileFieldsChunkOrderAndOffsets)
{
    auto error = [&](const std::vector<uint8_t>& b) { return Open(b, LAifFile::OpenSource)->ErrorCode(); };
    const std::vector<uint8_t> pcm = { 0x01, 0x02, 0xFF, 0xFE };
    EXPECT_EQ(error(AifFile(1, 16, kRate8000, pcm)), kSoundOk);
    EXPECT_EQ(LAifFile::OpenSource(m_dir.File("none.aif"))->ErrorCode(), kSoundErrOpen);
    EXPECT_EQ(error(AifFile(1, 16, kRate8000, pcm, "AIFC")), kSoundErrFormat);
    EXPECT_EQ(error(AifFile(1, 24, kRate8000, pcm)), kSoundErrCodec);
    for (auto [nChannels, nBits] : { std::pair { 1, 0 }, { 0, 16 }, { 256, 16 }, { 0x8001, 16 } })
        EXPECT_EQ(error(AifFile(uint16_t(nChannels), uint16_t(nBits), kRate8000, pcm)), kSoundErrFormat);
    // Exponents are shift counts: only 16383..16414 give a whole rate.
    for (uint16_t wExponent : { 16382, 16415, 0x7FFF, 0xC00B, 0 }) {
        uint8_t rate[10];
        std::memcpy(rate, kRate8000, 10);
        rate[0] = uint8_t(wExponent >> 8), rate[1] = uint8_t(wExponent);
        EXPECT_EQ(error(AifFile(1, 16, rate, pcm)), kSoundErrFormat) << wExponent;
    }
    const uint8_t kRateOne[10] = { 0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0 };
    const uint8_t kRateTooHigh[10] = { 0x40, 0x10, 0xBF, 0x69, 0, 0, 0, 0, 0, 0 }; // 196001
    EXPECT_EQ(error(AifFile(1, 16, kRateOne, pcm)), kSoundOk);
    EXPECT_EQ(error(AifFile(1, 16, kRateTooHigh, pcm)), kSoundErrFormat);
    std::vector<uint8_t> noSsnd = AifFile(1, 16, kRate8000, pcm), shortComm = noSsnd, negative = noSsnd;
    noSsnd.resize(38);
    SetBe32(shortComm, 16, 17);
    const uint8_t junk[8] = { 'J', 'U', 'N', 'K', 0x80, 0, 0, 0 }; // a negative size ends the search
    negative.insert(negative.begin() + 12, junk, junk + 8);
    for (const auto& b : { noSsnd, shortComm, negative, std::vector<uint8_t>(negative.begin(), negative.begin() + 30) })
        EXPECT_EQ(error(b), kSoundErrFormat);

    // SSND before COMM, with 2 bytes of offset before the first sample; an
    // odd chunk before them is skipped with its pad byte.
    std::vector<uint8_t> b = AifFile(1, 16, kRate44100, {});
    std::vector<uint8_t> file(b.begin(), b.begin() + 12);
    const uint8_t name[14] = { 'N', 'A', 'M', 'E', 0, 0, 0, 5, 'h', 'e', 'l', 'l', 'o', 0 };
    const uint8_t ssnd[]
        = { 'S', 'S', 'N', 'D', 0, 0, 0, 14, 0, 0, 0, 2, 0, 0, 0, 0, 0xEE, 0xEE, 0x40, 0x00, 0xC0, 0x00 };
    file.insert(file.end(), name, name + 14);
    file.insert(file.end(), ssnd, ssnd + sizeof ssnd);
    file.insert(file.end(), b.begin() + 12, b.begin() + 38);
    SetBe32(file, 4, static_cast<uint32_t>(file.size() - 8));
    LSoundSourceRef s = Open(file, LAifFile::OpenSource);
    EXPECT_EQ(s->SampleRate(), 44100);
    EXPECT_EQ(ReadAll(*s), (std::vector<int32_t> { 0x4000 * 16, -0x4000 * 16 }));
}

TEST_F(FileEdge, AiffWriterHeaderWhileAndAfterWriting)
{
    const std::vector<int32_t> input = TestSignal(12345, 2);
    {
        LSoundSinkRef sink = LAifFile::OpenSink(m_path, 44100, 2);
        WriteAll(*sink, input, 1000);
        // Unfinished: the "SSND" size is the streaming marker and the file reads to its end.
        const std::vector<uint8_t> partial = ReadFileBytes(m_path);
        EXPECT_EQ(GetBe32(&partial[42]), 0xFFFFFFFFu);
        EXPECT_EQ(LAifFile::OpenSource(m_path)->GetLength(), static_cast<int64_t>((partial.size() - 54) / 4));
    }
    // The finished header, byte for byte.
    const std::vector<uint8_t> bytes = ReadFileBytes(m_path);
    std::vector<uint8_t> expected = AifFile(2, 16, kRate44100, {});
    SetBe32(expected, 4, 12345 * 4 + 46), SetBe32(expected, 22, 12345), SetBe32(expected, 42, 12345 * 4 + 8);
    ASSERT_EQ(bytes.size(), 54 + 12345 * 4);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 54), expected);
    EXPECT_EQ(ReadAll(*LAifFile::OpenSource(m_path)), input);
    uint8_t ten[10];
    LAifFile::EncodeRate(8000, ten);
    EXPECT_TRUE(std::equal(ten, ten + 10, kRate8000));
    for (uint32_t nRate : { 1u, 2u, 3u, 6000u, 11025u, 65535u, 65536u, 96000u, 196000u }) {
        LAifFile::EncodeRate(nRate, ten);
        EXPECT_EQ(LAifFile::DecodeRate(ten), nRate);
    }
}

// ---- MP3 ----

} // namespace

// Sizes a pipe cannot know are open-ended only in a decoder's stream; a file keeps its checks.
TEST(WavStreamHeader, OpenEndedOnlyFromTheStream)
{
    TempDir dir;
    for (const uint32_t nStated : { 0u, 0xFFFFFFFFu }) {
        SCOPED_TRACE(nStated);
        const std::vector<uint8_t> bytes = Wave({ { "fmt ", PcmFmt(2, 22050) }, { "data", Ramp(64) } }, nStated);
        ASSERT_TRUE(WriteFileBytes(dir.File("w.wav"), bytes));
        LWaveFileInfo file, stream;
        ASSERT_EQ(LWaveFile::ReadInfo(dir.File("w.wav"), &file), kSoundOk);
        EXPECT_FALSE(file.bOpenEnded);
        EXPECT_EQ(LWaveFile::OpenSource(dir.File("w.wav"))->GetLength(), nStated == 0 ? 0 : 32);
        ASSERT_EQ(LWaveFile::ParseStreamHeader(bytes.data(), bytes.size(), &stream), kSoundOk);
        EXPECT_TRUE(stream.bOpenEnded);
        EXPECT_EQ(stream.nDataStart, 44u);
    }
}
