// The WAV transfer's format chooser, opened from the recipient properties:
// what OK stores or refuses, and the format record that sox reads back from a
// WAV file written through it. The SMTP logon leaving the machine-wide file.
#include "app/desktop/dialogs/LEmailSendSettingsDlg.h"
#include "app/desktop/dialogs/LWaveFormatChooser.h"
#include "app/desktop/dialogs/SendToDlg.h"
#include "send/LDictationSaveAsWav.h"
#include "send/LMailCredentials.h"
#include "sound/files/LCodecRecord.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/LTestProgress.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>

#include <sys/stat.h>

#include <filesystem>

namespace {

using Engine = LDictationEngineSettings;

} // namespace

TEST_F(DesktopTest, FormatChooserWritesTheRecordTheWavTransferWritesIn)
{
    TEST_REQUIRE_TOOL("soxi");
    uint8_t n = 0;
    ASSERT_EQ(Engine::AddSendTo("Wav", { { "SendMethod", "2" }, { "SendFileFormat", "1" } }, &n),
        Engine::AddSendToResult::Added);
    const std::string record = LCodecRecord::PathFor(engine->GetCurrentFolder(), n);
    const struct {
        uint16_t wTag;
        uint32_t nRate;
        uint16_t wBits;
        const char* szSoxEncoding;
    } cases[] = {
        { kWaveFormatImaAdpcm, 8000, 0, "IMA ADPCM" },
        { kWaveFormatPCM, 11025, 8, "Unsigned Integer PCM" },
    };
    // No file yet, then one cut short: the proposal is GSM 6.10 at 11025 Hz.
    std::vector<LWaveFormat> starts;
    LUserPrompts prompts;
    std::vector<QString> captions;
    prompts.box = [&](QWidget*, LUserPrompts::Box, const QString& caption, const QString&) {
        return captions.push_back(caption), true;
    };
    prompts.exec = [&](QDialog& d) {
        auto& chooser = static_cast<LWaveFormatChooser&>(d);
        starts.push_back(chooser.Selected());
        return int { QDialog::Rejected };
    };
    SendToDlg(n, prompts).Button(SendToDlg::kIdCompression)->click();
    ASSERT_TRUE(test::WriteFileBytes(record, std::vector<uint8_t>(1023, 1)));
    SendToDlg(n, prompts).Button(SendToDlg::kIdCompression)->click();
    ASSERT_EQ(starts.size(), 2u);
    for (const LWaveFormat& f : starts)
        EXPECT_TRUE(f.wFormatTag == 49 && f.nSamplesPerSec == 11025 && f.nBlockAlign == 65 && f.nChannels == 1);
    EXPECT_EQ(test::ReadFileBytes(record).size(), 1023u);

    for (const auto& c : cases) {
        SCOPED_TRACE(c.szSoxEncoding);
        prompts.exec = [&](QDialog& d) {
            EXPECT_TRUE(static_cast<LWaveFormatChooser&>(d).Select(c.wTag, c.nRate, c.wBits));
            return int { QDialog::Accepted };
        };
        SendToDlg(n, prompts).Button(SendToDlg::kIdCompression)->click();
        EXPECT_EQ(test::ReadFileBytes(record).size(), 1024u);
        EXPECT_EQ(GetSettingInt("Settings", "SampleRate", 0), static_cast<int>(c.nRate));
        // A new dictation, at the rate just stored, saved as the transfer saves it.
        LDictation* pDictation = Make(c.szSoxEncoding, 0, 0, 1);
        Record(*pDictation, static_cast<int32_t>(c.nRate));
        LTestProgress progress;
        const std::string wav = env.Dir().File("out.wav");
        ASSERT_EQ(LDictationSaveAsWav::Process(progress, *pDictation, wav, n), JobResult::kDone);
        std::string out;
        const std::string quoted = test::ShellQuote(wav);
        EXPECT_EQ(test::RunShell("soxi -e " + quoted + " && soxi -r " + quoted + " && soxi -c " + quoted, &out), 0);
        EXPECT_EQ(out, std::string(c.szSoxEncoding) + "\n" + std::to_string(c.nRate) + "\n1\n");
    }
    EXPECT_TRUE(captions.empty());

    // A format no codec here writes is refused and the chooser comes back; Cancel keeps what was stored.
    LWaveFormat mp3;
    mp3.wFormatTag = 0x55;
    mp3.nSamplesPerSec = 44100;
    ASSERT_TRUE(LCodecRecord::Save(record, mp3));
    const auto before = test::ReadFileBytes(record);
    int nExec = 0;
    prompts.exec = [&](QDialog&) { return ++nExec == 1 ? int { QDialog::Accepted } : int { QDialog::Rejected }; };
    SendToDlg(n, prompts).Button(SendToDlg::kIdCompression)->click();
    EXPECT_EQ(nExec, 2);
    EXPECT_EQ(captions, std::vector<QString> { "Format Not Available" });
    EXPECT_EQ(test::ReadFileBytes(record), before);
    EXPECT_EQ(GetSettingInt("Settings", "SampleRate", 0), 11025);
}

TEST_F(DesktopTest, AnOldMachineWideLogonMovesToTheUserOnlyWhenItsNewPlaceIsWritten)
{
    const std::string old = "smtp.example.org:ann:pa:ss", host = "smtp.example.org";
    enum Way { kSend, kOk, kCancel };
    const struct {
        Way way;
        std::string before;
        bool bUserFileFails, bMoved;
    } cases[] = { { kSend, old, false, true }, { kSend, host, false, false }, { kSend, old, true, false },
        { kOk, old, false, true }, { kOk, old, true, false }, { kCancel, old, false, false } };
    const std::filesystem::path folder = std::filesystem::path(GetUserSettingsPath()).parent_path();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " " + std::to_string(c.way) + (c.bUserFileFails ? " failing" : ""));
        DeleteSetting("Email", "MailSMTPUser");
        for (auto [szName, value] :
            { std::pair { "UseMAPI", "0" }, { "ReplyToEmail", "a@example.org" }, { "MailSMTPHost", c.before.c_str() } })
            ASSERT_TRUE(SetMachineString("Email", szName, value));
        const std::string files
            = test::ReadFileText(GetUserSettingsPath()) + test::ReadFileText(GetMachineSettingsPath());
        if (c.bUserFileFails) // a file where the user's settings folder belongs: no write lands
            std::filesystem::rename(folder, folder.string() + ".aside"), test::WriteFileBytes(folder, { 'x' });
        int nBoxes = 0;
        LUserPrompts prompts;
        prompts.box = [&](QWidget*, LUserPrompts::Box, const QString&, const QString&) { return ++nBoxes, true; };
        const LMailLogon ann { "ann", "pa:ss" };
        if (c.way == kSend) {
            const LMailServer server = CurrentMailServer(LMailCredentials::Default());
            EXPECT_TRUE(server.host == host && server.logon == (c.before == old ? ann : LMailLogon {}));
        } else {
            LEmailSendSettingsDlg dialog(prompts);
            EXPECT_EQ(dialog.Edit(dialog.kIdHost)->text() + dialog.Edit(dialog.kIdUser)->text()
                    + dialog.Edit(dialog.kIdPassword)->text(),
                "smtp.example.organnpa:ss");
            EXPECT_EQ(c.way == kOk ? dialog.Accept() : (dialog.reject(), false), c.way == kOk && !c.bUserFileFails);
        }
        EXPECT_EQ(nBoxes, c.way == kOk && c.bUserFileFails);
        if (c.bUserFileFails)
            std::filesystem::remove(folder), std::filesystem::rename(folder.string() + ".aside", folder);
        EXPECT_EQ(GetMachineString("Email", "MailSMTPHost", "-"), c.bMoved ? host : c.before);
        LMailLogon stored;
        EXPECT_EQ(LMailCredentials::Default().Read(&stored) && stored == ann, c.bMoved);
        struct stat st { };
        EXPECT_TRUE(stat(GetUserSettingsPath().c_str(), &st) == 0 && (st.st_mode & 07777) == 0600);
        EXPECT_EQ(test::ReadFileText(GetMachineSettingsPath()).find("pa:ss") == std::string::npos,
            c.bMoved || c.before == host);
        if (!c.bMoved) {
            EXPECT_EQ(test::ReadFileText(GetUserSettingsPath()) + test::ReadFileText(GetMachineSettingsPath()), files);
        }
    }
}
