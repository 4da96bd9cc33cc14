// WAV transfer files judged by sox: the format soxi reports for each case
// (16-bit PCM without a recipient, the GSM 06.10 default, a chosen codec
// file) and the samples sox decodes against what our own reader gives.
#include "send/LBlowFish.h"
#include "send/LDctReader.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LDictationSaveAsWav.h"
#include "sound/LCodecRecord.h"
#include "sound/LWaveFile.h"
#include "tests/send/TransferTestUtil.h"

namespace {

using namespace transfertest;

struct WavCase {
    const char* szWhat;
    int nRecipient; // -1: none; 0: the default format; 1: a codec file (IMA ADPCM, 8000 Hz)
    const char* szEncoding; // soxi -e
    const char* szRate;
    const char* szBits; // soxi -b ("0" where sox knows none)
};

class WavTransfer : public testing::TestWithParam<WavCase> { };

TEST_P(WavTransfer, SoxiSeesTheFormatAndSoxDecodesOurSamples)
{
    TEST_REQUIRE_TOOL("soxi");
    const WavCase& c = GetParam();
    Workspace ws;
    auto d = ws.Dictation("Letter", soundtest::TestSignal(30000, 1));
    unsigned uSendTo = LDictationSaveAsWav::kKeepRecipient;
    if (c.nRecipient >= 0) {
        uSendTo = ws.Recipient();
        if (c.nRecipient == 1) {
            LWaveFormat ima;
            ima.wFormatTag = kWaveFormatImaAdpcm;
            ima.nSamplesPerSec = 8000;
            ASSERT_TRUE(LCodecRecord::Save(LCodecRecord::PathFor(ws.engine->GetCurrentFolder(), uSendTo), ima));
        }
    }
    const std::string target = ws.env.Dir().File("out.wav");
    LTestProgress progress;
    ASSERT_EQ(LDictationSaveAsWav::Process(progress, *d, target, uSendTo), 0)
        << testing::PrintToString(progress.errors);
    EXPECT_EQ(soundtest::Soxi("-e", target), c.szEncoding);
    EXPECT_EQ(soundtest::Soxi("-r", target), c.szRate);
    EXPECT_EQ(soundtest::Soxi("-c", target), "1");
    EXPECT_EQ(soundtest::Soxi("-b", target), c.szBits);
    LSoundSourceRef ours = LWaveFile::OpenSource(target);
    ASSERT_TRUE(ours->IsUsable());
    std::vector<int16_t> mine = soundtest::ToS16(soundtest::ReadAll(*ours));
    std::vector<int16_t> sox = soundtest::SoxDecode(target);
    ASSERT_GT(mine.size(), 1000u);
    // sox counts the silence that pads the last block; ours stops at the length.
    ASSERT_GE(sox.size(), mine.size());
    sox.resize(mine.size());
    EXPECT_EQ(sox, mine);
    if (c.nRecipient < 0) { // plain PCM holds exactly what was recorded
        EXPECT_EQ(mine, soundtest::ToS16(soundtest::TestSignal(30000, 1)));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WavTransfer,
    testing::Values(WavCase { "SaveAsWithoutRecipient", -1, "Signed Integer PCM", "11025", "16" },
        WavCase { "DefaultIsGsm", 0, "GSM", "11025", "0" },
        WavCase { "CodecFileChoosesIma", 1, "IMA ADPCM", "8000", "4" }),
    [](const testing::TestParamInfo<WavCase>& info) { return std::string(info.param.szWhat); });

TEST(WavTransferFailure, UnwritableFormatOrTargetLeavesNoFileAndSays)
{
    Workspace ws;
    auto d = ws.Dictation("Letter", soundtest::TestSignal(5000, 1));
    const uint8_t uSendTo = ws.Recipient();
    LWaveFormat stereoGsm = LCodecRecord::DefaultFormat();
    stereoGsm.nChannels = 2;
    ASSERT_TRUE(LCodecRecord::Save(LCodecRecord::PathFor(ws.engine->GetCurrentFolder(), uSendTo), stereoGsm));
    const std::string target = ws.env.Dir().File("out.wav");
    LTestProgress progress;
    EXPECT_EQ(LDictationSaveAsWav::Process(progress, *d, target, uSendTo), 2);
    EXPECT_FALSE(FileExists(target));
    LTestProgress noFolder;
    EXPECT_EQ(LDictationSaveAsWav::Process(noFolder, *d, ws.env.Dir().File("none/out.wav")), 2);
    ASSERT_EQ(progress.errors.size() + noFolder.errors.size(), 2u);
    EXPECT_NE(noFolder.errors[0].find("for writing"), std::string::npos);
    LTestProgress stop;
    stop.nStopAtPump = 1;
    EXPECT_EQ(LDictationSaveAsWav::Process(stop, *d, target), 1);
    EXPECT_FALSE(FileExists(target));
}

} // namespace

namespace {

TEST(WavInsideDct, EncryptedDctCarriesTheDefaultGsmWavThatSoxDecodes)
{
    TEST_REQUIRE_TOOL("soxi");
    Workspace ws;
    auto d = ws.Dictation("Letter", soundtest::TestSignal(30000, 1));
    const uint8_t uSendTo = ws.Recipient({ { "EncryptionKey", "typist's key" } });
    const std::string dct = ws.env.Dir().File("out.dct");
    LTestProgress progress;
    ASSERT_EQ(LDictationSaveAsDct::Process(progress, *d, dct, uSendTo), 0);
    LDctReader reader;
    LDctHeader header;
    LDctContents contents;
    LBlowFish bf;
    bf.SetKey("typist's key");
    ASSERT_TRUE(reader.Open(dct));
    ASSERT_EQ(reader.ReadHeader(&header), LDctReader::Result::Ok);
    ASSERT_EQ(reader.ReadBody(header, &bf, &contents), LDctReader::Result::Ok);
    const std::string wav = ws.env.Dir().File("inside.wav");
    LFile out;
    ASSERT_TRUE(out.Open(wav, LFile::kWrite, LFile::kShareNone, LFile::kCreateAlways));
    ASSERT_TRUE(reader.CopyPiece(contents.audio, &bf, out));
    out.Close();
    EXPECT_EQ(soundtest::Soxi("-e", wav), "GSM");
    EXPECT_EQ(soundtest::Soxi("-r", wav), "11025");
    std::vector<int16_t> mine = soundtest::ToS16(soundtest::ReadAll(*LWaveFile::OpenSource(wav)));
    std::vector<int16_t> sox = soundtest::SoxDecode(wav);
    ASSERT_GE(sox.size(), mine.size());
    sox.resize(mine.size());
    EXPECT_EQ(sox, mine);
}

} // namespace
