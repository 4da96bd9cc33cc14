// tavrine-cli convert --rate and --channels, judged beside sox's own
// conversion of the same file.
#include "tests/app/CliFixture.h"
#include "tests/sound/ConversionTestUtil.h"

#include <cstring>
#include <string>

namespace {

using namespace convtest;

class CliConvertRate : public CliTest {
protected:
    void SetUp() override { TEST_REQUIRE_TOOL("sox"); }

    // The left channel of a file as sox decodes it, in the internal scale.
    std::vector<double> Decode(const std::string& name)
    {
        const std::string raw = Shell("sox -D -V1 " + Q(name) + " -t s16 - remix 1");
        std::vector<double> out(raw.size() / 2);
        for (size_t i = 0; i < out.size(); ++i) {
            int16_t x;
            std::memcpy(&x, raw.data() + 2 * i, 2);
            out[i] = x * 16.0;
        }
        return out;
    }
};

TEST_F(CliConvertRate, DownToMonoTelephoneRateAsSoxHearsIt)
{
    // 1 kHz on the left, 3 kHz on the right: mono keeps the left alone.
    Shell("sox -R -n -r 44100 -c 2 -b 16 " + Q("in.wav") + " synth 3 sine 1000 sine 3000 remix 1v0.5 2v0.3");
    std::string out;
    ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q("ours.wav") + " --rate 8000 --channels 1", &out), 0) << out;
    Shell("sox -D " + Q("in.wav") + " -b 16 " + Q("sox.wav") + " remix 1 rate -v 8000");
    EXPECT_EQ(Shell("soxi -r " + Q("ours.wav")), "8000\n");
    EXPECT_EQ(Shell("soxi -c " + Q("ours.wav")), "1\n");
    const double fOursLength = std::stod(Shell("soxi -s " + Q("ours.wav")));
    EXPECT_NEAR(fOursLength, std::stod(Shell("soxi -s " + Q("sox.wav"))), 0.001 * fOursLength);

    const Spectrum ours = Analyse(Decode("ours.wav"), 8000, 400);
    const Spectrum sox = Analyse(Decode("sox.wav"), 8000, 400);
    const Tone oursTone = StrongestTone(ours, 500, 1500);
    const Tone soxTone = StrongestTone(sox, 500, 1500);
    EXPECT_NEAR(oursTone.fHz, soxTone.fHz, 1.0); // the real rate is within 0.1 % of 8000
    EXPECT_NEAR(oursTone.Db(), soxTone.Db(), 0.2);
    // Nothing of the right channel.
    EXPECT_LT(StrongestTone(ours, 2500, 3500).Db(), oursTone.Db() - 60);
}

TEST_F(CliConvertRate, UpToStereoAndOptionsThatCannotApply)
{
    Shell("sox -R -n -r 11025 -c 1 -b 16 " + Q("in.wav") + " synth 2 sine 2500 vol 0.9");
    std::string out;
    ASSERT_EQ(Run("convert " + Q("in.wav") + " " + Q("up.wav") + " --rate 48000 --channels 2", &out), 0) << out;
    EXPECT_EQ(Shell("soxi -r " + Q("up.wav")), "48000\n");
    EXPECT_EQ(Shell("soxi -c " + Q("up.wav")), "2\n");
    // Both channels the same, and nothing clipped or wrapped near full scale.
    EXPECT_EQ(Shell("sox " + Q("up.wav") + " -n remix 1,2v-1 stat 2>&1 | grep 'Maximum amplitude'"),
        "Maximum amplitude:     0.000000\n");
    const Tone tone = StrongestTone(Analyse(Decode("up.wav"), 48000, 2000), 100, 20000);
    // The phase table approximates 11025/48000 by 11/48, 0.23 % off, so the
    // tone lands a few hertz low.
    EXPECT_NEAR(tone.fHz, 2500 * (11.0 / 48) / (11025.0 / 48000), 1.0);
    EXPECT_NEAR(tone.Db(), 20 * std::log10(0.9), 0.2);

    EXPECT_EQ(Run("convert " + Q("in.wav") + " " + Q("o.wav") + " --channels 3", &out), 2);
    EXPECT_NE(out.find("--channels must be 1 or 2"), std::string::npos) << out;
    EXPECT_EQ(Run("convert " + Q("in.wav") + " " + Q("o.gsm") + " --channels 2", &out), 2);
    EXPECT_NE(out.find("holds 8000 Hz mono"), std::string::npos) << out;
    EXPECT_EQ(Run("convert " + Q("in.wav") + " " + Q("o.wav") + " --rate 5999", &out), 2);
    EXPECT_NE(out.find("from 6000 to 196000"), std::string::npos) << out;
}

} // namespace
