// Transfer files. The DCT layout built here byte by byte, apart from the writer: the writer gives exactly
// these bytes and the reader gives back what went in; truncation at every byte; hostile names. WAV transfer
// files: the format soxi reports.
#include "dictation/LDictationAudioSource.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "send/LBlowFish.h"
#include "send/LDictationLoadDct.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LDictationSaveAsWav.h"
#include "sound/files/LCodecRecord.h"
#include "sound/files/LWaveFile.h"
#include "tests/send/TransferTestUtil.h"
#include "tests/support/DctBuilder.h"
#include "tests/support/PySmtpServer.h"

#include <filesystem>
#include <set>

namespace {

using namespace transfertest;

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

using Dct = test::DctBuilder;

struct DctCase {
    const char* szWhat;
    const char* szKey;
    const char* szNotes;
    std::vector<std::string> attachments; // "" for an entry the list lacks; "gone.txt" does not exist
};

class DctLayout : public testing::TestWithParam<DctCase> { };

TEST_P(DctLayout, WriterGivesTheseBytesAndReaderGivesBackWhatWentIn)
{
    const DctCase& c = GetParam();
    Workspace ws;
    for (auto [name, value] : { std::pair { "Name", "Ann Lee" }, { "Email", "ann@example.org" }, { "Phone", "555" },
             { "Address4", "Leeds" } })
        SetSettingString("UserInfo", name, value);
    const uint8_t uSendTo = ws.Recipient({ { "EncryptionKey", c.szKey } });
    auto d = ws.Dictation("Letter", test::TestSignal(4000, 1));
    d->MutableHeader().uUserID = 12;
    d->MutableHeader().uSendTo = uSendTo;
    d->SetPriority(kPriorityHigh);
    d->SetNotes(c.szNotes);
    std::vector<std::string> contents;
    for (const std::string& name : c.attachments) {
        contents.push_back(name.empty() || name == "gone.txt" ? "" : "contents of " + name);
        if (name.empty())
            ++d->MutableHeader().nAttachments;
        else if (d->AddAttachment(ws.env.Dir().File(name)) && !contents.back().empty())
            test::WriteFileBytes(ws.env.Dir().File(name), Bytes(contents.back().begin(), contents.back().end()));
    }
    d->Save();
    LTestProgress progress;
    const std::string wavPath = ws.env.Dir().File("audio.wav");
    ASSERT_EQ(LDictationSaveAsWav::Process(progress, *d, wavPath, uSendTo), JobResult::kDone);
    const Bytes wav = test::ReadFileBytes(wavPath);

    Dct e { { static_cast<uint8_t>(*c.szKey ? 2 : 0), 0 }, c.szKey };
    e.U32(0); // the length, mended by Done
    e.U32((*c.szKey ? 2 : 0) | (c.attachments.empty() ? 0 : 4));
    e.U32(12);
    e.U32(d->GetFileNumber());
    if (*c.szKey) {
        unsigned sum = 0;
        for (unsigned char ch : e.key)
            sum += ch;
        e.U8(static_cast<uint8_t>(sum));
    }
    e.U32(d->Header().tCreated);
    for (const char* s : { "Letter", "Ann Lee", "ann@example.org", "", "555", "", "", "", "", "", "Leeds" })
        e.Str(s);
    e.U8(kPriorityHigh);
    e.U32(static_cast<uint32_t>(std::string(c.szNotes).size()));
    e.Piece(c.szNotes);
    if (!c.attachments.empty())
        e.U8(static_cast<uint8_t>(c.attachments.size()));
    for (size_t i = 0; i < c.attachments.size(); ++i) {
        const size_t dot = c.attachments[i].rfind('.');
        e.Str(dot == std::string::npos ? "" : c.attachments[i].substr(dot));
        e.U32(static_cast<uint32_t>(contents[i].size()));
        e.Piece(contents[i]);
    }
    if (*c.szKey) {
        e.U8(1);
        e.U32(static_cast<uint32_t>(wav.size()));
    }
    e.Piece(std::string(wav.begin(), wav.end()));
    const std::string target = ws.env.Dir().File("out.dct");
    ASSERT_EQ(LDictationSaveAsDct::Process(progress, *d, target), JobResult::kDone)
        << testing::PrintToString(progress.errors);
    EXPECT_EQ(test::ReadFileBytes(target), e.Done());

    // The loader refuses what is encrypted and loads the rest whole.
    uint32_t uNumber = 0;
    LTestProgress load;
    const JobResult nLoad = LDictationLoadDct::LoadAsNew(load, target, ws.engine->GetCurrentFolder(), &uNumber);
    if (*c.szKey) {
        EXPECT_EQ(nLoad, JobResult::kFailed);
        EXPECT_NE(testing::PrintToString(load.errors).find("cannot load encrypted dct files with \\\"Tavrine Dictate"),
            std::string::npos);
        return;
    }
    ASSERT_EQ(nLoad, JobResult::kDone) << testing::PrintToString(load.errors);
    LDictation back(FilePathCat(ws.engine->GetCurrentFolder(), std::to_string(uNumber) + ".ddf"));
    EXPECT_EQ(back.GetName(), "Letter");
    EXPECT_EQ(back.Header().uPriority, kPriorityHigh);
    EXPECT_EQ(back.Header().tCreated, d->Header().tCreated);
    EXPECT_EQ(back.GetNotes(), c.szNotes);
    std::vector<std::string> names;
    for (const std::string& path : back.GetAttachments())
        names.push_back(path.substr(back.GetAttachmentFolder().size()) + "=" + test::ReadText(path));
    if (!c.attachments.empty()) { // never one file over another of the same name
        EXPECT_EQ(names,
            (std::vector<std::string> { "/Letter.doc=contents of report.final.doc", "/Letter=contents of readme",
                "/Letter.txt=", "/Letter (2)=" }));
    }
    // GSM decodes beyond 16-bit full scale: loading limits the loudest peaks a little.
    const auto sent = test::ToS16(test::ReadAll(*LWaveFile::OpenSource(wavPath)));
    const auto loaded = test::ToS16(test::ReadAll(*LDictationAudioSource::Make(back)));
    ASSERT_EQ(sent.size(), loaded.size());
    for (size_t i = 0; i < sent.size(); ++i)
        ASSERT_NEAR(sent[i], loaded[i], 64) << i;
    const std::string folder = back.GetAttachmentFolder();
    EXPECT_EQ(FileExists(folder), !c.attachments.empty());
    EXPECT_TRUE(back.Delete());
    EXPECT_FALSE(FileExists(folder)) << "deleted with the dictation";
}

INSTANTIATE_TEST_SUITE_P(Cases, DctLayout,
    testing::Values(DctCase { "Plain", "", "", {} },
        DctCase { "Attachments", "", "notes", { "report.final.doc", "readme", "gone.txt", "" } },
        DctCase { "EncryptedAttachments", "k", "five!", { "report.final.doc", "readme", "gone.txt", "" } }),
    [](const testing::TestParamInfo<DctCase>& info) { return std::string(info.param.szWhat); });

std::string Corpus(const std::string& name)
{
    return FilePathCat(TAVRINE_SOURCE_DIR, "tests/fuzz/corpus/dct/" + name);
}

TEST(DctReaderHostile, AttachmentNamesFromTheFileStayInTheFolder)
{
    // Named "../../up/../name", with the extensions "/../../../escaped", ".\\..\\..\\x",
    // "../../etc/passwd", ".a/b", "..", ".", "", ".\x01\xff.sh" and ".doc".
    Workspace ws;
    std::set<std::string> before;
    for (const auto& entry : fs::recursive_directory_iterator(ws.env.Dir().Path()))
        before.insert(entry.path().string());
    uint32_t uNumber = 0;
    LTestProgress progress;
    ASSERT_EQ(
        LDictationLoadDct::LoadAsNew(progress, Corpus("hostile_names.dct"), ws.engine->GetCurrentFolder(), &uNumber),
        JobResult::kDone)
        << testing::PrintToString(progress.errors);
    LDictation d(FilePathCat(ws.engine->GetCurrentFolder(), std::to_string(uNumber) + ".ddf"));
    EXPECT_EQ(d.GetName(), "../../up/../name");
    EXPECT_EQ(d.GetAttachments().Count(), 9u);
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(ws.env.Dir().Path())) {
        const std::string p = entry.path().string();
        // The settings' own files (the file-number lock) are not the loader's writing.
        if (!before.count(p) && p.find("/Orvane/Tavrine/") == std::string::npos
            && _GetFolderFromPath(p) != ws.engine->GetCurrentFolder() && d.GetAttachmentFolder().rfind(p, 0) != 0)
            names.insert(p.substr(std::min(p.size(), d.GetAttachmentFolder().size())));
    }
    EXPECT_EQ(names,
        (std::set<std::string> { "/upname.escaped", "/upname.x", "/upname.etcpasswd", "/upname.ab", "/upname",
            "/upname (2)", "/upname (3)", "/upname.sh", "/upname.doc" }));
}

using namespace transfertest;

struct WavCase {
    const char* szWhat;
    int nRecipient; // -1: none; 0: the default format; 1: a codec file (IMA ADPCM, 8000 Hz)
    const char* szSoxi; // encoding, rate, bits
};

class WavTransfer : public testing::TestWithParam<WavCase> { };

TEST_P(WavTransfer, SoxiSeesTheFormatTheRecipientAsks)
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
    ASSERT_EQ(LDictationSaveAsWav::Process(progress, *d, target, uSendTo), JobResult::kDone)
        << testing::PrintToString(progress.errors);
    using test::Soxi;
    EXPECT_EQ(Soxi("-e", target) + ", " + Soxi("-r", target) + ", " + Soxi("-b", target), c.szSoxi);
    EXPECT_EQ(Soxi("-c", target), "1");
    // How sox decodes each coding is the format table's judgement (tests/sound).
    if (c.nRecipient < 0) {
        EXPECT_EQ(test::ToS16(test::ReadAll(*LWaveFile::OpenSource(target))), test::ToS16(signal))
            << "plain PCM holds what was recorded";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, WavTransfer,
    testing::Values(WavCase { "SaveAsWithoutRecipient", -1, "Signed Integer PCM, 11025, 16" },
        WavCase { "DefaultIsGsm", 0, "GSM, 11025, 0" }, WavCase { "CodecFileChoosesIma", 1, "IMA ADPCM, 8000, 4" }),
    [](const testing::TestParamInfo<WavCase>& info) { return std::string(info.param.szWhat); });

} // namespace
