// The ISO/IEC 11172-4 and 13818-4 Layer III conformance streams against the
// reference decoder's output, judged by PSNR.
#include "tests/codecs/MP3TestSupport.h"
#include "tests/support/TestSupport.h"

#include <filesystem>

namespace {

struct Conformance {
    const char* szName;
    unsigned nChannels;
    int32_t nRate;
};

class MP3Conformance : public ::testing::TestWithParam<Conformance> { };

TEST_P(MP3Conformance, MatchesReferenceOutput)
{
    const Conformance& c = GetParam();
    const std::string base = mp3test::SharedDir() + "/testdata/mp3/" + c.szName;
    if (!std::filesystem::exists(base + ".bit")) {
        if (test::InCI())
            FAIL() << "conformance stream missing: " << base << ".bit";
        GTEST_SKIP() << "conformance streams not found at " << base << ".bit";
    }
    std::vector<uint8_t> bit = test::ReadFileBytes(base + ".bit");
    std::vector<uint8_t> pcm = test::ReadFileBytes(base + ".pcm");
    mp3test::Decoded d = mp3test::DecodeAll(bit);
    ASSERT_TRUE(d.bOpen);
    EXPECT_EQ(d.nChannels, c.nChannels);
    EXPECT_EQ(d.nRate, c.nRate);

    std::vector<int16_t> ours(d.samples.size());
    for (size_t i = 0; i < ours.size(); ++i)
        ours[i] = mp3test::To16(d.samples[i]);
    std::vector<int16_t> ref(pcm.size() / 2);
    for (size_t i = 0; i < ref.size(); ++i)
        ref[i] = static_cast<int16_t>(pcm[2 * i] | (pcm[2 * i + 1] << 8));

    // The reference may hold one frame more or less at the end.
    const size_t nFrame = (c.nRate >= 32000 ? 1152u : 576u) * c.nChannels;
    EXPECT_LE(std::max(ours.size(), ref.size()) - std::min(ours.size(), ref.size()), nFrame);
    EXPECT_GE(ours.size() + nFrame, ref.size());
    double fPsnr = mp3test::Psnr(ours, ref);
    RecordProperty("psnr_db", std::to_string(fPsnr));
    std::printf("[ PSNR     ] %s: %.2f dB over %zu samples\n", c.szName, fPsnr, std::min(ours.size(), ref.size()));
    EXPECT_GE(fPsnr, 96.0) << c.szName;
}

INSTANTIATE_TEST_SUITE_P(IsoStreams, MP3Conformance,
    ::testing::Values(Conformance { "l3-compl", 1, 48000 }, Conformance { "l3-he_32khz", 1, 32000 },
        Conformance { "l3-he_48khz", 1, 48000 }, Conformance { "l3-hecommon", 2, 44100 },
        Conformance { "l3-si", 1, 44100 }, Conformance { "l3-si_block", 1, 44100 },
        Conformance { "M2L3_compl24", 1, 24000 }, Conformance { "M2L3_bitrate_22_all", 1, 22050 },
        Conformance { "l3-si_huff", 1, 44100 }),
    [](const ::testing::TestParamInfo<Conformance>& info) {
        std::string s = info.param.szName;
        for (char& ch : s)
            if (ch == '-')
                ch = '_';
        return s;
    });

} // namespace
