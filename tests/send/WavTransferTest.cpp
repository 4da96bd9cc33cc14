// WAV transfer files judged by sox: the format soxi reports for each case
// (16-bit PCM without a recipient, the GSM 06.10 default, a chosen codec
// file) and the samples sox decodes against what our own reader gives.
#include "send/LDictationSaveAsWav.h"
#include "sound/LCodecRecord.h"
#include "sound/LWaveFile.h"
#include "tests/send/TransferTestUtil.h"

#include <filesystem>

namespace {

using namespace transfertest;

struct WavCase {
    const char* szWhat;
    int nRecipient; // -1: none; 0: the default format; 1: a codec file (IMA ADPCM, 8000 Hz)
    const char* szSoxi; // encoding, rate, bits
};

class WavTransfer : public testing::TestWithParam<WavCase> { };

TEST_P(WavTransfer, SoxiSeesTheFormatAndSoxDecodesOurSamples)
{
    TEST_REQUIRE_TOOL("soxi");
    const WavCase& c = GetParam();
    Workspace ws;
    const std::vector<int32_t> signal = test::TestSignal(30000, 1);
    auto d = ws.Dictation("Letter", signal);
    const unsigned uSendTo = c.nRecipient < 0 ? LDictationSaveAsWav::kKeepRecipient : ws.Recipient();
    LWaveFormat ima;
    ima.wFormatTag = kWaveFormatImaAdpcm;
    ima.nSamplesPerSec = 8000;
    const std::string codecFile = LCodecRecord::PathFor(ws.engine->GetCurrentFolder(), uSendTo);
    ASSERT_TRUE(c.nRecipient != 1 || LCodecRecord::Save(codecFile, ima));
    const std::string target = ws.env.Dir().File("out.wav");
    LTestProgress progress;
    ASSERT_EQ(LDictationSaveAsWav::Process(progress, *d, target, uSendTo), 0)
        << testing::PrintToString(progress.errors);
    using test::Soxi;
    EXPECT_EQ(Soxi("-e", target) + ", " + Soxi("-r", target) + ", " + Soxi("-b", target), c.szSoxi);
    EXPECT_EQ(Soxi("-c", target), "1");
    std::vector<int16_t> ours = test::ToS16(test::ReadAll(*LWaveFile::OpenSource(target)));
    std::vector<int16_t> sox = test::SoxDecode(target);
    ASSERT_GT(ours.size(), 1000u);
    // sox counts the silence that pads the last block; ours stops at the length.
    ASSERT_GE(sox.size(), ours.size());
    sox.resize(ours.size());
    EXPECT_EQ(sox, ours);
    if (c.nRecipient < 0) {
        EXPECT_EQ(ours, test::ToS16(signal)) << "plain PCM holds what was recorded";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WavTransfer,
    testing::Values(WavCase { "SaveAsWithoutRecipient", -1, "Signed Integer PCM, 11025, 16" },
        WavCase { "DefaultIsGsm", 0, "GSM, 11025, 0" }, WavCase { "CodecFileChoosesIma", 1, "IMA ADPCM, 8000, 4" }),
    [](const testing::TestParamInfo<WavCase>& info) { return std::string(info.param.szWhat); });

TEST(WavTransferFailure, UnwritableFormatTargetOrAStopLeavesNoFileAndSays)
{
    Workspace ws;
    auto d = ws.Dictation("Letter", test::TestSignal(5000, 1));
    const uint8_t uSendTo = ws.Recipient();
    LWaveFormat stereoGsm = LCodecRecord::DefaultFormat();
    stereoGsm.nChannels = 2;
    ASSERT_TRUE(LCodecRecord::Save(LCodecRecord::PathFor(ws.engine->GetCurrentFolder(), uSendTo), stereoGsm));
    const std::string target = ws.env.Dir().File("out.wav");
    LTestProgress format, folder, stop;
    stop.nStopAtPump = 1;
    test::WriteFileBytes(target, { 'o', 'l', 'd' });
    EXPECT_EQ(LDictationSaveAsWav::Process(format, *d, target, uSendTo), 2);
    EXPECT_EQ(test::ReadFileBytes(target), (std::vector<uint8_t> { 'o', 'l', 'd' })) << "kept whole";
    DeleteFileAt(target);
    EXPECT_EQ(LDictationSaveAsWav::Process(folder, *d, ws.env.Dir().File("none/out.wav")), 2);
    EXPECT_EQ(LDictationSaveAsWav::Process(stop, *d, target), 1);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(ws.env.Dir().Path()), {}), 2) << "config and data only";
    EXPECT_EQ(format.errors.size() + folder.errors.size() + stop.errors.size(), 2u);
    EXPECT_NE(testing::PrintToString(folder.errors).find("for writing"), std::string::npos);
}

} // namespace
