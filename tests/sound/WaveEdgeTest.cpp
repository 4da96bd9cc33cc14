// WAV and raw files that can really break a reader or writer: hand-made
// headers, hostile sizes, unfinished files, truncation and saturation.
#include "sound/LRawCoding.h"
#include "sound/LRawFile.h"
#include "sound/LWaveFile.h"
#include "sound/LWaveHeader.h"
#include "tests/sound/SoundTestUtil.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using namespace soundtest;

void Put16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back(static_cast<uint8_t>(x));
    v.push_back(static_cast<uint8_t>(x >> 8));
}
void Put32(std::vector<uint8_t>& v, uint32_t x)
{
    Put16(v, static_cast<uint16_t>(x));
    Put16(v, static_cast<uint16_t>(x >> 16));
}
void PutChunk(std::vector<uint8_t>& v, const char* szId, const std::vector<uint8_t>& body, uint32_t nStated)
{
    v.insert(v.end(), szId, szId + 4);
    Put32(v, nStated);
    v.insert(v.end(), body.begin(), body.end());
    if (body.size() & 1)
        v.push_back(0);
}

// A 16-bit PCM fmt body of nBytes (16 or more), the rest zero.
std::vector<uint8_t> PcmFmt(uint16_t nChannels, uint32_t nRate, size_t nBytes = 16, uint16_t nBlockAlign = 0xFFFF)
{
    std::vector<uint8_t> f;
    Put16(f, 1);
    Put16(f, nChannels);
    Put32(f, nRate);
    Put32(f, nRate * nChannels * 2);
    Put16(f, nBlockAlign == 0xFFFF ? static_cast<uint16_t>(nChannels * 2) : nBlockAlign);
    Put16(f, 16);
    f.resize(std::max(nBytes, f.size()));
    f.resize(nBytes);
    return f;
}

std::vector<uint8_t> Ramp(size_t nSamples)
{
    std::vector<uint8_t> d;
    for (size_t i = 0; i < nSamples; ++i)
        Put16(d, static_cast<uint16_t>(i * 37));
    return d;
}

// A WAV file from its chunks; the RIFF size is not checked by readers.
std::vector<uint8_t> Wave(
    const std::vector<std::pair<std::string, std::vector<uint8_t>>>& chunks, uint32_t nDataStated = 0xFFFFFFFE)
{
    std::vector<uint8_t> v = { 'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E' };
    for (const auto& [id, body] : chunks)
        PutChunk(v, id.c_str(), body,
            id == "data" && nDataStated != 0xFFFFFFFE ? nDataStated : static_cast<uint32_t>(body.size()));
    return v;
}

class WaveEdge : public testing::Test {
protected:
    LSoundSourceRef Open(const std::vector<uint8_t>& bytes)
    {
        EXPECT_TRUE(test::WriteFileBytes(m_path, bytes));
        return LWaveFile::OpenSource(m_path);
    }
    test::TempDir m_dir;
    std::string m_path = m_dir.File("edge.wav");
};

TEST_F(WaveEdge, OddChunkBeforeFmtAndFormsOfOtherTypesAreSkipped)
{
    std::vector<uint8_t> list = { 'I', 'N', 'F', 'O', 'x' }; // odd: padded to even on disk
    LSoundSourceRef source = Open(Wave({ { "LIST", list }, { "fmt ", PcmFmt(1, 8000) }, { "data", Ramp(100) } }));
    ASSERT_TRUE(source->IsUsable());
    EXPECT_EQ(source->GetLength(), 100);
    std::vector<int32_t> samples = ReadAll(*source);
    EXPECT_EQ(samples[3], S16ToInternal(3 * 37));

    // A RIFF form of another type in front of the WAVE form.
    std::vector<uint8_t> other = { 'R', 'I', 'F', 'F', 5, 0, 0, 0, 'A', 'V', 'I', ' ', 'z', 0 };
    std::vector<uint8_t> wave = Wave({ { "fmt ", PcmFmt(2, 8000) }, { "data", Ramp(100) } });
    other.insert(other.end(), wave.begin(), wave.end());
    source = Open(other);
    ASSERT_TRUE(source->IsUsable());
    EXPECT_EQ(source->NumChannels(), 2);
    EXPECT_EQ(source->GetLength(), 50);
}

TEST_F(WaveEdge, FmtChunkSizeLimits)
{
    EXPECT_TRUE(Open(Wave({ { "fmt ", PcmFmt(1, 8000, 16) }, { "data", Ramp(10) } }))->IsUsable());
    EXPECT_TRUE(Open(Wave({ { "fmt ", PcmFmt(1, 8000, 8192) }, { "data", Ramp(10) } }))->IsUsable());
    EXPECT_EQ(Open(Wave({ { "fmt ", PcmFmt(1, 8000, 15) }, { "data", Ramp(10) } }))->ErrorCode(), kSoundErrFormat);
    EXPECT_EQ(Open(Wave({ { "fmt ", PcmFmt(1, 8000, 8193) }, { "data", Ramp(10) } }))->ErrorCode(), kSoundErrFormat);
    // An odd fmt chunk of 17 bytes is followed by its pad byte.
    LSoundSourceRef odd = Open(Wave({ { "fmt ", PcmFmt(1, 8000, 17) }, { "data", Ramp(10) } }));
    ASSERT_TRUE(odd->IsUsable());
    EXPECT_EQ(odd->GetLength(), 10);
    // An extra-byte count larger than the chunk is held to the chunk.
    std::vector<uint8_t> fmt = PcmFmt(1, 8000, 20);
    fmt[16] = 0xFF;
    fmt[17] = 0xFF;
    LWaveFileInfo info;
    test::WriteFileBytes(m_path, Wave({ { "fmt ", fmt }, { "data", Ramp(10) } }));
    ASSERT_EQ(LWaveFile::ReadInfo(m_path, &info), kSoundOk);
    EXPECT_EQ(info.format.extra.size(), 2u);
}

TEST_F(WaveEdge, FormatFieldsOutsideTheAcceptedRangeAreRefused)
{
    EXPECT_TRUE(Open(Wave({ { "fmt ", PcmFmt(1, 196000) }, { "data", Ramp(10) } }))->IsUsable());
    for (const auto& fmt : { PcmFmt(1, 196001), PcmFmt(0, 8000), PcmFmt(1, 0), PcmFmt(1, 8000, 16, 0) }) {
        LSoundSourceRef source = Open(Wave({ { "fmt ", fmt }, { "data", Ramp(10) } }));
        EXPECT_EQ(source->ErrorCode(), kSoundErrFormat);
        std::vector<int32_t> buffer(10, 1);
        source->Read(buffer.data(), 10); // a placeholder still reads silence
        EXPECT_EQ(buffer, std::vector<int32_t>(10, 0));
    }
    std::vector<uint8_t> mp3 = PcmFmt(1, 8000);
    mp3[0] = 0x55; // a format no codec here handles
    EXPECT_EQ(Open(Wave({ { "fmt ", mp3 }, { "data", Ramp(10) } }))->ErrorCode(), kSoundErrCodec);
    EXPECT_EQ(LWaveFile::OpenSource(m_dir.File("missing.wav"))->ErrorCode(), kSoundErrOpen);
    EXPECT_EQ(Open(Wave({ { "data", Ramp(10) }, { "fmt ", PcmFmt(1, 8000) } }))->ErrorCode(), kSoundErrFormat);
}

TEST_F(WaveEdge, EveryTruncationOfAHeaderIsAClearError)
{
    const std::vector<uint8_t> whole = Wave({ { "fmt ", PcmFmt(2, 8000, 18) }, { "data", Ramp(8) } });
    const size_t nHeader = whole.size() - 16;
    for (size_t n = 0; n < nHeader; ++n) {
        LSoundSourceRef source = Open(std::vector<uint8_t>(whole.begin(), whole.begin() + n));
        EXPECT_EQ(source->ErrorCode(), kSoundErrFormat) << n << " bytes";
    }
    EXPECT_TRUE(Open(std::vector<uint8_t>(whole.begin(), whole.begin() + nHeader))->IsUsable());
}

TEST_F(WaveEdge, DataLongerThanTheFileReadsZerosPastTheRealEnd)
{
    LSoundSourceRef source = Open(Wave({ { "fmt ", PcmFmt(1, 8000) }, { "data", Ramp(100) } }, 1000));
    ASSERT_TRUE(source->IsUsable());
    EXPECT_EQ(source->GetLength(), 100); // the stated 500 frames are capped at what the file holds
    std::vector<int32_t> samples = ReadAll(*source);
    samples.resize(500);
    source->Seek(100);
    source->Read(samples.data() + 100, 400);
    EXPECT_EQ(samples[99], S16ToInternal(static_cast<int16_t>(99 * 37)));
    EXPECT_TRUE(std::all_of(samples.begin() + 100, samples.end(), [](int32_t v) { return v == 0; }));
}

TEST_F(WaveEdge, StreamingMarkerReadsWhatIsOnDiskAsItGrows)
{
    std::vector<uint8_t> bytes = Wave({ { "fmt ", PcmFmt(1, 8000) }, { "data", Ramp(100) } }, kWaveStreamingLength);
    LSoundSourceRef source = Open(bytes);
    ASSERT_TRUE(source->IsUsable());
    EXPECT_EQ(source->GetLength(), 100);
    std::vector<uint8_t> more = Ramp(50);
    bytes.insert(bytes.end(), more.begin(), more.end());
    test::WriteFileBytes(m_path, bytes);
    EXPECT_EQ(source->GetLength(), 150);
}

TEST_F(WaveEdge, WiderPcmGoesThroughTheCodecPathAndMatchesSox)
{
    TEST_REQUIRE_TOOL("sox");
    for (const char* szBits : { "24", "32" }) {
        std::string cmd = std::string("sox -R -n -r 8000 -c 2 -e signed -b ") + szBits + " " + test::ShellQuote(m_path)
            + " synth 0.5 sine 300-3000 vol 0.7";
        ASSERT_EQ(test::RunShell(cmd), 0);
        LSoundSourceRef source = LWaveFile::OpenSource(m_path);
        ASSERT_TRUE(source->IsUsable()) << szBits;
        std::vector<int16_t> ours = ToS16(ReadAll(*source));
        std::vector<int16_t> sox = SoxDecode(m_path);
        ASSERT_EQ(ours.size(), sox.size());
        int nWorst = 0;
        for (size_t i = 0; i < ours.size(); ++i)
            nWorst = std::max(nWorst, std::abs(ours[i] - sox[i]));
        EXPECT_LE(nWorst, 1) << szBits << " bits"; // rounding against truncation
    }
    EXPECT_FALSE(LWaveFile::OpenSinkPCM(m_dir.File("w.wav"), 8000, 0, 20, 1));
    EXPECT_FALSE(LWaveFile::OpenSinkPCM(m_dir.File("w.wav"), 8000, 0, 0, 1));
}

TEST(RawFile, SixteenBitBigEndianReadAsLittleEndianIsByteSwapped)
{
    test::TempDir dir;
    const std::string path = dir.File("x.raw");
    const std::vector<int32_t> input = TestSignal(1000, 1);
    {
        LSoundSinkRef sink = LRawFile::OpenSink(path, LRawSettings { 8000, 1, kRawPCM16BE });
        WriteAll(*sink, input);
    }
    LSoundSourceRef source = LRawFile::OpenSource(path, LRawSettings { 8000, 1, kRawPCM16LE });
    std::vector<int16_t> read = ToS16(ReadAll(*source));
    std::vector<int16_t> written = ToS16(input);
    ASSERT_EQ(read.size(), written.size());
    for (size_t i = 0; i < read.size(); ++i)
        ASSERT_EQ(static_cast<uint16_t>(read[i]),
            static_cast<uint16_t>((static_cast<uint16_t>(written[i]) >> 8) | (static_cast<uint16_t>(written[i]) << 8)))
            << i;
}

TEST(RawFile, UnsupportedCodingsGivePlaceholderOrNothing)
{
    test::TempDir dir;
    for (uint32_t nCodec : { 7u, 1000u, 0xFFFFFFFFu }) {
        EXPECT_EQ(LRawFile::OpenSource(dir.File("a.raw"), LRawSettings { 8000, 1, nCodec })->ErrorCode(),
            kSoundErrPlaceholder);
        EXPECT_FALSE(LRawFile::OpenSink(dir.File("b.raw"), LRawSettings { 8000, 1, nCodec }));
    }
    EXPECT_EQ(LRawFile::OpenSource(dir.File("none.raw"), LRawSettings { 8000, 1, 3 })->ErrorCode(), kSoundErrOpen);
}

// ---- Writers ----

TEST(PcmWriter, SaturatesBeyondFullScaleAndKeepsTheExtremes)
{
    test::TempDir dir;
    const int32_t samples[]
        = { S16ToInternal(-32768), kInternalFullScale + 8, -kInternalFullScale - 100, 0x7FFFFFF, S16ToInternal(32767) };
    for (int nBits : { 16, 8 }) {
        const std::string path = dir.File("s" + std::to_string(nBits) + ".wav");
        {
            LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 0, nBits, 1);
            sink->Write(samples, 5);
        }
        std::vector<int16_t> back = ToS16(ReadAll(*LWaveFile::OpenSource(path)));
        if (nBits == 16) {
            EXPECT_EQ(back, (std::vector<int16_t> { -32768, 32767, -32768, 32767, 32767 }));
        } else {
            EXPECT_EQ(back, (std::vector<int16_t> { -32768, 32512, -32768, 32512, 32512 }));
        }
    }
}

TEST(PcmWriter, SeekTruncatesOnlyBackwards)
{
    test::TempDir dir;
    const std::string path = dir.File("t.wav");
    const std::vector<int32_t> input = TestSignal(300, 2);
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 0, 16, 2);
        WriteAll(*sink, input);
        sink->Seek(400); // beyond what was written: nothing happens
        EXPECT_EQ(sink->GetPosition(), 300);
        sink->Seek(100);
        EXPECT_EQ(sink->GetPosition(), 100);
        sink->Write(input.data(), 20);
    }
    LSoundSourceRef source = LWaveFile::OpenSource(path);
    std::vector<int32_t> back = ReadAll(*source);
    ASSERT_EQ(source->GetLength(), 120);
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + 200, back.begin()));
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + 40, back.begin() + 200));
    EXPECT_EQ(Soxi("-s", path), "120");
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 0, 16, 2);
        WriteAll(*sink, input);
        sink->Seek(-5);
        EXPECT_EQ(sink->GetPosition(), 0);
    }
    EXPECT_EQ(test::ReadFileBytes(path).size(), 46u);
}

TEST(PcmWriter, StartFramesKeepTheFilesBeginning)
{
    test::TempDir dir;
    const std::string path = dir.File("k.wav");
    const std::vector<int32_t> first = TestSignal(1000, 1, 1);
    const std::vector<int32_t> second = TestSignal(100, 1, 2);
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 0, 16, 1);
        WriteAll(*sink, first);
    }
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 400, 16, 1);
        EXPECT_EQ(sink->GetPosition(), 400);
        WriteAll(*sink, second);
    }
    std::vector<int32_t> back = ReadAll(*LWaveFile::OpenSource(path));
    ASSERT_EQ(back.size(), 500u);
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + 400, back.begin()));
    EXPECT_TRUE(std::equal(second.begin(), second.end(), back.begin() + 400));
    // More start frames than the file holds keep what there is.
    {
        LSoundSinkRef sink = LWaveFile::OpenSinkPCM(path, 8000, 100000, 16, 1);
        EXPECT_EQ(sink->GetPosition(), 500);
    }
}

TEST(PcmWriter, CannotCreateKeepsErrorBitAndCounts)
{
    LSoundSinkRef sink = LWaveFile::OpenSinkPCM("/nonexistent-dir/x.wav", 8000, 0, 16, 1);
    ASSERT_TRUE(sink);
    EXPECT_FALSE(sink->IsUsable());
    int32_t samples[10] = {};
    sink->Write(samples, 10);
    EXPECT_EQ(sink->GetPosition(), 10);
    LWaveFormat ima;
    ima.wFormatTag = kWaveFormatImaAdpcm;
    ima.nChannels = 1;
    ima.nSamplesPerSec = 8000;
    EXPECT_FALSE(LWaveFile::OpenSink("/nonexistent-dir/x.wav", ima)->IsUsable());
    LWaveFormat unknown = ima;
    unknown.wFormatTag = 0x55;
    test::TempDir dir;
    EXPECT_FALSE(LWaveFile::OpenSink(dir.File("u.wav"), unknown)->IsUsable());
}

// A writer killed before its destructor (the process died) leaves a file
// whose header still says "being written"; it reads up to what reached the disk.
TEST(KilledWriter, FileReadsUpToTheDataOnDisk)
{
    for (uint16_t wTag : { kWaveFormatPCM, kWaveFormatImaAdpcm }) {
        test::TempDir dir;
        const std::string path = dir.File("killed.wav");
        const std::vector<int32_t> input = TestSignal(30000, 2);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            LWaveFormat format;
            format.wFormatTag = wTag;
            format.nChannels = 2;
            format.nSamplesPerSec = 16000;
            format.wBitsPerSample = 16;
            LSoundSinkRef* pSink = new LSoundSinkRef(LWaveFile::OpenSink(path, format));
            WriteAll(**pSink, input, 1000);
            ::kill(::getpid(), SIGKILL); // no destructor runs
            _exit(1);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));
        LSoundSourceRef source = LWaveFile::OpenSource(path);
        ASSERT_TRUE(source->IsUsable()) << "tag " << wTag;
        const int64_t nLength = source->GetLength();
        std::vector<int16_t> back = ToS16(ReadAll(*source));
        if (wTag == kWaveFormatPCM) {
            EXPECT_EQ(nLength, 30000);
            EXPECT_EQ(back, ToS16(input));
        } else {
            // Only whole flushes of encoded blocks reached the disk.
            EXPECT_GT(nLength, 0);
            EXPECT_LE(nLength, 30000);
            if (test::HaveTool("sox")) {
                std::vector<int16_t> sox = SoxDecode(path);
                EXPECT_EQ(std::vector<int16_t>(sox.begin(), sox.begin() + back.size()), back);
            }
        }
    }
}

} // namespace
