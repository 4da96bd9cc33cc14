// The framing around the decoder: header search past junk and tags, VBR
// frames and the length they give, and seeking.
#include "tests/codecs/MP3TestSupport.h"
#include "tests/support/Audio.h"

#include <cstring>
#include <random>

namespace {

constexpr const char* kTone = "synth 2 sine 300-2500 pinknoise gain -3";

class MP3Stream : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!test::HaveTool("sox") || !test::HaveTool("lame")) {
            if (test::InCI())
                FAIL() << "sox and lame are required in CI";
            GTEST_SKIP() << "sox or lame not installed";
        }
    }
    std::vector<uint8_t> Make(const std::string& options, int32_t nRate = 44100, unsigned nChannels = 2)
    {
        std::vector<uint8_t> v = mp3test::MakeMp3(m_dir, nRate, nChannels, kTone, options, "f" + std::to_string(m_n++));
        EXPECT_FALSE(v.empty()) << options;
        return v;
    }
    // Offsets of the frames as laid end to end from the first header.
    static std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& bytes)
    {
        std::vector<size_t> offsets;
        MP3Header h;
        for (size_t at = 0; at + 4 <= bytes.size() && h.Parse(&bytes[at]); at += h.FrameBytes())
            offsets.push_back(at);
        return offsets;
    }

    test::TempDir m_dir;
    int m_n = 0;
};

std::vector<int32_t> ReadFrames(LMP3Stream& s, int64_t nFrames)
{
    std::vector<int32_t> v(static_cast<size_t>(nFrames) * s.Channels(), 12345);
    s.Read(v.data(), nFrames);
    return v;
}

bool AllZero(const int32_t* p, size_t n)
{
    return std::all_of(p, p + n, [](int32_t v) { return v == 0; });
}

// An ID3v2 tag of nBody bytes after its header, claiming nClaimed (syncsafe),
// filled like a picture: arbitrary bytes with sync patterns among them.
std::vector<uint8_t> Id3v2Tag(size_t nBody, uint32_t nClaimed, uint8_t nFlags = 0)
{
    std::vector<uint8_t> tag = { 'I', 'D', '3', 4, 0, nFlags, static_cast<uint8_t>((nClaimed >> 21) & 0x7F),
        static_cast<uint8_t>((nClaimed >> 14) & 0x7F), static_cast<uint8_t>((nClaimed >> 7) & 0x7F),
        static_cast<uint8_t>(nClaimed & 0x7F) };
    std::mt19937 rng(7);
    for (size_t i = 0; i < nBody; ++i)
        tag.push_back(i % 997 == 0 ? 0xFF : static_cast<uint8_t>(rng()));
    return tag;
}

TEST_F(MP3Stream, FirstHeaderFoundAfterJunkAndId3v2TagsWithinTheSearchLimit)
{
    const std::vector<uint8_t> mp3 = Make("-b 128 -t");
    const mp3test::Decoded plain = mp3test::DecodeAll(mp3);
    ASSERT_TRUE(plain.bOpen);
    // Text-like junk with a lone sync pattern whose frame end holds no header.
    std::vector<uint8_t> junk(4000, 'x');
    const uint8_t fake[4] = { 0xFF, 0xFB, 0x90, 0x64 };
    std::memcpy(&junk[1000], fake, 4);
    // Cover art of 100 KB, beyond the header search, skipped by its size: alone,
    // with a footer (10 more bytes) and twice in a row. A size past the end of
    // the file (the largest syncsafe value) or with a byte that is not
    // syncsafe is not trusted, and a small tag is crossed by the plain search.
    const std::vector<uint8_t> big = Id3v2Tag(100 * 1024, 100 * 1024);
    std::vector<uint8_t> twice = big, unsafe = Id3v2Tag(3000, 3000);
    twice.insert(twice.end(), big.begin(), big.end());
    unsafe[6] = 0x80;
    for (const std::vector<uint8_t>& prefix :
        { junk, big, Id3v2Tag(100 * 1024 + 10, 100 * 1024, 0x10), twice, Id3v2Tag(3000, 0x0FFFFFFF), unsafe }) {
        std::vector<uint8_t> v = prefix;
        v.insert(v.end(), mp3.begin(), mp3.end());
        const mp3test::Decoded d = mp3test::DecodeAll(v);
        ASSERT_TRUE(d.bOpen) << prefix.size();
        EXPECT_EQ(d.nLength, plain.nLength) << prefix.size();
        EXPECT_EQ(d.samples, plain.samples) << prefix.size();
    }
    // Junk beyond the search limit, a file that is only a tag header, a tag
    // claiming more than there is: no stream, silence, a position that advances.
    std::vector<uint8_t> tooMuch(70000, 'x'), tag = Id3v2Tag(5000, 5000);
    tooMuch.insert(tooMuch.end(), mp3.begin(), mp3.end());
    for (const std::vector<uint8_t>& v : { tooMuch, std::vector<uint8_t>(tag.begin(), tag.begin() + 10),
             std::vector<uint8_t>(tag.begin(), tag.begin() + 6),
             std::vector<uint8_t>(tag.begin(), tag.begin() + 2000) }) {
        LMP3MemoryReader reader(v.data(), v.size());
        LMP3Stream s(&reader);
        EXPECT_FALSE(s.Open()) << v.size();
        EXPECT_EQ(s.GetLength(), 0);
        std::vector<int32_t> out = ReadFrames(s, 500);
        EXPECT_TRUE(AllZero(out.data(), 500));
        EXPECT_EQ(s.GetPosition(), 500);
    }
}

TEST_F(MP3Stream, XingFrameGivesTheExactLengthAndNoAudioUnlessItsCountIsZero)
{
    const std::vector<uint8_t> vbr = Make("-V 2");
    const std::vector<size_t> offsets = FrameOffsets(vbr);
    ASSERT_GT(offsets.size(), 10u);
    ASSERT_EQ(std::memcmp(&vbr[offsets[0] + 4 + 32], "Xing", 4), 0);
    const int64_t nReal = static_cast<int64_t>(offsets.size() - 1);
    // The stated frame count: 0 (no VBR header: the frame is audio, silent),
    // as it stands, and 40 more than there are (the length shrinks at the end).
    for (int64_t nClaimed : { int64_t { 0 }, nReal, nReal + 40 }) {
        std::vector<uint8_t> mp3 = vbr;
        test::SetBe32(mp3, offsets[0] + 4 + 32 + 8, static_cast<uint32_t>(nClaimed));
        LMP3MemoryReader reader(mp3.data(), mp3.size());
        LMP3Stream s(&reader);
        ASSERT_TRUE(s.Open());
        EXPECT_EQ(s.VbrFrameCount(), static_cast<size_t>(nClaimed));
        const int64_t nLength = (nClaimed ? nClaimed : nReal + 1) * 1152;
        EXPECT_EQ(s.GetLength(), nLength) << nClaimed;
        if (nClaimed == nReal) {
            EXPECT_EQ(s.IndexedFrames(), offsets.size() - 1);
        }
        std::vector<int32_t> v = ReadFrames(s, nLength);
        EXPECT_EQ(s.GetPosition(), nLength);
        EXPECT_EQ(s.GetLength(), nClaimed > nReal ? nReal * 1152 : nLength);
        if (nClaimed == 0) {
            EXPECT_TRUE(AllZero(v.data(), 1152 * 2));
        } else if (nClaimed > nReal) {
            EXPECT_TRUE(AllZero(v.data() + nReal * 1152 * 2, 40u * 1152 * 2));
        }
    }
}

// A reader whose data stops short of its stated size, as a failing disk would.
class FailingReader final : public LMP3ByteReader {
public:
    FailingReader(const std::vector<uint8_t>& data, size_t nGood)
        : m_inner(data.data(), nGood)
        , m_nSize(data.size())
    {
    }
    size_t Read(void* pBuf, size_t nBytes) override { return m_inner.Read(pBuf, nBytes); }
    bool Seek(uint64_t nOffset) override
    {
        m_inner.Seek(nOffset);
        return nOffset <= m_nSize;
    }
    uint64_t Size() override { return m_nSize; }

private:
    LMP3MemoryReader m_inner;
    uint64_t m_nSize;
};

// One processor path: DecodeAll holds the others to it bit for bit.
class MP3Seek : public MP3Stream, public ::testing::WithParamInterface<const char*> { };

TEST_P(MP3Seek, SeekThenReadEqualsReadingFromTheStart)
{
    std::vector<uint8_t> mp3 = Make(GetParam());
    mp3test::Decoded all = mp3test::DecodeAll(mp3);
    ASSERT_TRUE(all.bOpen);
    const unsigned nCh = all.nChannels;
    LMP3MemoryReader reader(mp3.data(), mp3.size());
    LMP3Stream s(&reader);
    ASSERT_TRUE(s.Open());
    const int64_t nLength = s.GetLength();
    for (int64_t t : { int64_t { 0 }, int64_t { 1 }, int64_t { 1151 }, int64_t { 1152 }, int64_t { 5000 },
             int64_t { 40000 }, nLength / 2 + 17, nLength - 700 }) {
        s.Seek(t);
        EXPECT_EQ(s.GetPosition(), t);
        const int64_t n = std::min<int64_t>(3000, nLength - t);
        std::vector<int32_t> v = ReadFrames(s, n);
        EXPECT_TRUE(std::equal(v.begin(), v.end(), all.samples.begin() + t * nCh)) << "seek to " << t;
    }
    // Before the start and past the end: the source contract over LMP3Source (tests/sound/FileEdgeTest).
}

INSTANTIATE_TEST_SUITE_P(Modes, MP3Seek, ::testing::Values("-b 128", "-V 2", "-b 64 --resample 22.05"),
    [](const ::testing::TestParamInfo<const char*>& info) {
        const std::string mode = info.param;
        return mode == "-b 128" ? "cbr" : (mode == "-V 2" ? "vbr" : "mpeg2");
    });

} // namespace
