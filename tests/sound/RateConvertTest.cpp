// Rate conversion measured by FFT on test tones and a sweep (frequencies,
// levels, ripple, rejection, length), and seeking.
#include "sound/convert/LFactoryRate.h"
#include "sound/convert/LSRCConvertRate.h"
#include "tests/support/Audio.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace test;

struct RateCase {
    int32_t nIn;
    int32_t nOut;
};

// Energy per second of the whole signal between two frequencies, from an
// unwindowed zero-padded FFT (a sweep is analysed whole, not in a stretch).
double BandEnergy(const std::vector<double>& samples, double fRate, double fLow, double fHigh)
{
    size_t n = 1;
    while (n < samples.size())
        n *= 2;
    std::vector<std::complex<double>> a(n);
    for (size_t i = 0; i < samples.size(); ++i)
        a[i] = samples[i] / (16.0 * 32767.0);
    Fft(a);
    double fSum = 0;
    for (size_t k = 1; k < n / 2; ++k) {
        const double f = static_cast<double>(k) * fRate / static_cast<double>(n);
        if (f >= fLow && f < fHigh)
            fSum += std::norm(a[k]);
    }
    return 2 * fSum / static_cast<double>(n) / fRate;
}

// The nominal-to-real ratio of our chain: frames delivered per input frame.
double RealRatio(const LSoundSourceRef& top)
{
    double f = 1;
    for (LSoundSourceBase* p = top.Get(); auto* pStage = dynamic_cast<LSRCConvertRate*>(p); p = pStage->Inner().Get())
        f *= static_cast<double>(pStage->Filter().Phases()) / pStage->Filter().Step();
    return f;
}

struct Figures {
    double fRippleDb = 0;
    double fWorstToneErrorPercent = 0; // against the nominal rate
    double fWorstLevelDb = 0; // largest level difference of a test tone
    double fRejectionDb = 1e9;
    double fSweepRippleDb = 0;
    double fLengthRatio = 0; // output length / (input length × nominal ratio)
};

// One reduction through both stages and one increase: the filter's two cutoffs.
class RateConversion : public ::testing::TestWithParam<RateCase> { };

TEST_P(RateConversion, TonesAndSweepStayWithinTheFiltersLimits)
{
    const RateCase c = GetParam();
    const bool bDown = c.nOut < c.nIn;
    const double fBand = 0.5 * std::min(c.nIn, c.nOut); // the band both rates carry
    const int64_t nFrames = 3 * static_cast<int64_t>(c.nIn);

    // Nine tones across the passband, 0.08 of full scale each.
    std::vector<std::pair<double, double>> pass;
    for (int i = 0; i < 9; ++i)
        pass.push_back({ fBand * (0.03 + 0.72 * i / 8.0), 0.08 });
    // Tones the conversion must remove: above the new Nyquist frequency
    // when going down, and the images above the old one when going up.
    std::vector<std::pair<double, double>> stop;
    for (double f : { 1.18, 1.45, 1.8 })
        if (bDown && f * c.nOut / 2.0 < 0.95 * c.nIn / 2.0)
            stop.push_back({ f * c.nOut / 2.0, 0.25 });
    if (!bDown)
        for (double f : { 0.3, 0.6, 0.85 })
            stop.push_back({ f * c.nIn / 2.0, 0.25 });

    Figures ours;
    const size_t nSkipOut = static_cast<size_t>(c.nOut / 20);
    const size_t nSkipIn = static_cast<size_t>(c.nIn / 20);

    // Passband: level and frequency of every tone.
    const std::vector<int32_t> passIn = Tones(pass, c.nIn, nFrames);
    const Spectrum inSpectrum = Analyse(ToDouble(passIn), c.nIn, nSkipIn);
    LSoundSourceRef chain = LFactoryRate(c.nOut).OpenSource(MakeSource(passIn, c.nIn));
    ASSERT_EQ(chain->SampleRate(), c.nOut);
    ASSERT_TRUE(chain->IsUsable());
    const double fReal = RealRatio(chain);
    const std::vector<int32_t> oursOut = ReadAll(*chain);
    const double fNominal = static_cast<double>(c.nOut) / c.nIn;
    ours.fLengthRatio = static_cast<double>(oursOut.size()) / (nFrames * fNominal);
    {
        const Spectrum spectrum = Analyse(ToDouble(oursOut), c.nOut, nSkipOut);
        double fMin = 1e9, fMax = -1e9;
        const double fSpacing = pass[1].first - pass[0].first;
        for (const auto& [f, a] : pass) {
            const Tone in = StrongestTone(inSpectrum, f - fSpacing / 3, f + fSpacing / 3);
            // Our stages run at a real rate a little off the nominal one, so
            // a tone lands where that rate puts it.
            const double fExpected = f * fNominal / fReal;
            const Tone out = StrongestTone(spectrum, fExpected - fSpacing / 3, fExpected + fSpacing / 3);
            const double fGain = out.Db() - in.Db();
            fMin = std::min(fMin, fGain);
            fMax = std::max(fMax, fGain);
            ours.fWorstLevelDb = std::max(ours.fWorstLevelDb, std::fabs(fGain));
            ours.fWorstToneErrorPercent = std::max(ours.fWorstToneErrorPercent, 100 * std::fabs(out.fHz - f) / f);
            EXPECT_NEAR(out.fHz, fExpected, 2 * spectrum.BinHz() / 10 + 1e-4 * f) << "tone " << f << " Hz";
        }
        ours.fRippleDb = fMax - fMin;
    }

    // Stop band: the strongest thing left of the removed tones.
    const std::vector<int32_t> stopIn = Tones(stop, c.nIn, nFrames);
    const std::vector<int32_t> oursStop = ReadAll(*LFactoryRate(c.nOut).OpenSource(MakeSource(stopIn, c.nIn)));
    {
        const Spectrum spectrum = Analyse(ToDouble(oursStop), c.nOut, nSkipOut);
        // Going down every alias falls below the new Nyquist frequency; going
        // up the images lie above the old one.
        const double fFrom = bDown ? 20.0 : 1.1 * c.nIn / 2.0;
        const Tone worst = StrongestTone(spectrum, fFrom, c.nOut / 2.0 - spectrum.BinHz() * 2);
        ours.fRejectionDb = 20 * std::log10(0.25) - worst.Db();
    }

    // Sweep: the gain per sixth of an octave across the passband.
    const std::vector<int32_t> sweepIn = Sweep(50, 0.95 * c.nIn / 2.0, 0.5, c.nIn, nFrames);
    const std::vector<double> sweepInD = ToDouble(sweepIn);
    const std::vector<double> oursSweep
        = ToDouble(ReadAll(*LFactoryRate(c.nOut).OpenSource(MakeSource(sweepIn, c.nIn))));
    {
        const double fRate = c.nOut * fReal / fNominal;
        double fMin = 1e9, fMax = -1e9;
        for (double f = 200; f * std::pow(2.0, 1.0 / 6) < 0.75 * fBand; f *= std::pow(2.0, 1.0 / 6)) {
            const double fHigh = f * std::pow(2.0, 1.0 / 6);
            const double fGain
                = 10 * std::log10(BandEnergy(oursSweep, fRate, f, fHigh) / BandEnergy(sweepInD, c.nIn, f, fHigh));
            fMin = std::min(fMin, fGain);
            fMax = std::max(fMax, fGain);
        }
        ours.fSweepRippleDb = fMax - fMin;
    }

    EXPECT_LT(ours.fRippleDb, 0.5);
    EXPECT_LT(ours.fSweepRippleDb, 0.5);
    EXPECT_LT(ours.fWorstLevelDb, 0.5);
    EXPECT_GT(ours.fRejectionDb, 45);
    EXPECT_LT(ours.fWorstToneErrorPercent, 0.1);
    EXPECT_NEAR(ours.fLengthRatio, 1.0, 1e-3);
    EXPECT_NEAR(ours.fLengthRatio, fReal / fNominal, 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Rates, RateConversion, ::testing::Values(RateCase { 44100, 8000 }, RateCase { 11025, 44100 }),
    [](const auto& info) { return std::to_string(info.param.nIn) + "to" + std::to_string(info.param.nOut); });

TEST(RateConvert, SeekGivesWhatReadingOnGives)
{
    const std::vector<int32_t> samples = test::TestSignal(40000, 2);
    auto open = [&] { return LFactoryRate(8000).OpenSource(MakeSource(samples, 11025, 2)); };
    LSoundSourceRef whole = open();
    const std::vector<int32_t> all = ReadAll(*whole);
    EXPECT_EQ(whole->GetPosition(), whole->GetLength());
    for (int64_t nTarget : { int64_t { 0 }, int64_t { 1 }, int64_t { 5000 }, int64_t { 12345 }, int64_t { 28000 } }) {
        LSoundSourceRef seeker = open();
        seeker->Seek(nTarget);
        EXPECT_EQ(seeker->GetPosition(), nTarget);
        const std::vector<int32_t> got = ReadPieces(*seeker, 500, { 500 });
        EXPECT_EQ(seeker->GetPosition(), nTarget + 500);
        EXPECT_TRUE(std::equal(got.begin(), got.end(), all.begin() + 2 * nTarget)) << "after Seek(" << nTarget << ")";
    }
    // Before the start the converter reads the silence before frame 0 (the
    // filter's tail reaches a few frames into it).
    LSoundSourceRef early = open();
    early->Seek(-100);
    const std::vector<int32_t> got = ReadPieces(*early, 300, { 300 });
    EXPECT_TRUE(std::all_of(got.begin(), got.begin() + 2 * 60, [](int32_t x) { return x == 0; }));
    EXPECT_TRUE(std::equal(got.begin() + 2 * 100, got.end(), all.begin()));
}

} // namespace
