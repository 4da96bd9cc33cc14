// The DCT layout pinned by files built here byte by byte, apart from the
// writer: the writer must give exactly these bytes and the reader must
// give back what went in. Then the edge cases that can really break:
// truncation at every byte, a changed length, hostile attachment names.
#include "dictation/LDictationAudioSource.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "send/LBlowFish.h"
#include "send/LDctReader.h"
#include "send/LDictationLoadDct.h"
#include "send/LDictationSaveAsDct.h"
#include "send/LDictationSaveAsWav.h"
#include "sound/LWaveFile.h"
#include "tests/send/TransferTestUtil.h"

#include <filesystem>
#include <set>

namespace {

using namespace transfertest;
using Bytes = std::vector<uint8_t>;

void U8(Bytes& b, uint8_t v)
{
    b.push_back(v);
}
void U32(Bytes& b, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Str(Bytes& b, const std::string& s)
{
    b.push_back(static_cast<uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}
// A piece as stored: plain, or zero-padded to 8 and encrypted.
void Piece(Bytes& b, const std::string& data, const std::string& key)
{
    Bytes piece(data.begin(), data.end());
    if (!key.empty()) {
        piece.resize((piece.size() + 7) / 8 * 8, 0);
        LBlowFish bf;
        bf.SetKey(key);
        bf.Encrypt(piece.data(), piece.size());
    }
    b.insert(b.end(), piece.begin(), piece.end());
}
std::string Text(const Bytes& b)
{
    return std::string(b.begin(), b.end());
}

struct DctCase {
    const char* szWhat;
    const char* szKey;
    const char* szNotes;
    // Attachments by name ("" for an entry the list lacks; "gone.txt" is never written).
    std::vector<std::string> attachments;
};

class DctLayout : public testing::TestWithParam<DctCase> { };

TEST_P(DctLayout, WriterGivesTheseBytesAndReaderGivesBackWhatWentIn)
{
    const DctCase& c = GetParam();
    const std::string key = c.szKey;
    Workspace ws;
    SetSettingString("UserInfo", "Name", "Ann Lee");
    SetSettingString("UserInfo", "Email", "ann@example.org");
    SetSettingString("UserInfo", "Phone", "555");
    SetSettingString("UserInfo", "Address4", "Leeds");
    const uint8_t uSendTo = ws.Recipient({ { "EncryptionKey", key } });
    auto d = ws.Dictation("Letter", soundtest::TestSignal(4000, 1));
    d->MutableHeader().uUserID = 12;
    d->MutableHeader().uSendTo = uSendTo;
    d->SetPriority(kPriorityHigh);
    d->SetNotes(c.szNotes);
    std::vector<std::string> contents;
    for (const std::string& name : c.attachments) {
        if (name.empty()) {
            ++d->MutableHeader().nAttachments;
            contents.emplace_back();
            continue;
        }
        const std::string path = ws.env.Dir().File(name);
        contents.push_back(name == "gone.txt" ? "" : "contents of " + name);
        if (name != "gone.txt")
            test::WriteFileBytes(path, Bytes(contents.back().begin(), contents.back().end()));
        d->AddAttachment(path);
    }
    d->Save();
    LTestProgress progress;
    const std::string wavPath = ws.env.Dir().File("audio.wav");
    ASSERT_EQ(LDictationSaveAsWav::Process(progress, *d, wavPath, uSendTo), 0);
    const std::string wav = Text(test::ReadFileBytes(wavPath));

    Bytes e;
    e.insert(e.end(), { static_cast<uint8_t>(key.empty() ? 0 : 2), 0 });
    U32(e, 0); // patched below
    U32(e, (key.empty() ? 0 : 2) | (c.attachments.empty() ? 0 : 4));
    U32(e, 12);
    U32(e, d->GetFileNumber());
    if (!key.empty()) {
        unsigned sum = 0;
        for (unsigned char ch : key)
            sum += ch;
        U8(e, static_cast<uint8_t>(sum));
    }
    U32(e, d->Header().tCreated);
    for (const char* s : { "Letter", "Ann Lee", "ann@example.org", "", "555", "", "", "", "", "", "Leeds" })
        Str(e, s);
    U8(e, kPriorityHigh);
    U32(e, static_cast<uint32_t>(std::string(c.szNotes).size()));
    Piece(e, c.szNotes, key);
    if (!c.attachments.empty()) {
        U8(e, static_cast<uint8_t>(c.attachments.size()));
        for (size_t i = 0; i < c.attachments.size(); ++i) {
            const std::string& name = c.attachments[i];
            Str(e, name.rfind('.') == std::string::npos ? "" : name.substr(name.rfind('.')));
            U32(e, static_cast<uint32_t>(contents[i].size()));
            Piece(e, contents[i], key);
        }
    }
    if (!key.empty()) {
        U8(e, 1);
        U32(e, static_cast<uint32_t>(wav.size()));
    }
    Piece(e, wav, key);
    for (int i = 0; i < 4; ++i)
        e[2 + i] = static_cast<uint8_t>(e.size() >> (8 * i));

    const std::string target = ws.env.Dir().File("out.dct");
    ASSERT_EQ(LDictationSaveAsDct::Process(progress, *d, target), 0) << testing::PrintToString(progress.errors);
    const Bytes written = test::ReadFileBytes(target);
    ASSERT_EQ(written.size(), e.size());
    EXPECT_EQ(written, e);

    // The reader, with the key where there is one, gives back every field.
    LBlowFish bf;
    bf.SetKey(key);
    LDctReader reader;
    ASSERT_TRUE(reader.Open(target));
    LDctHeader header;
    LDctContents got;
    ASSERT_EQ(reader.ReadHeader(&header), LDctReader::Result::Ok);
    ASSERT_EQ(reader.ReadBody(header, &bf, &got), LDctReader::Result::Ok);
    EXPECT_EQ(got.szName, "Letter");
    EXPECT_EQ(got.details[7], "Leeds");
    EXPECT_EQ(got.notes, c.szNotes);
    ASSERT_EQ(got.attachments.size(), c.attachments.size());
    for (size_t i = 0; i < contents.size(); ++i) {
        const std::string out = ws.env.Dir().File("piece");
        LFile file;
        ASSERT_TRUE(file.Open(out, LFile::kWrite, LFile::kShareNone, LFile::kCreateAlways));
        ASSERT_TRUE(reader.CopyPiece(got.attachments[i].data, key.empty() ? nullptr : &bf, file));
        file.Close();
        EXPECT_EQ(Text(test::ReadFileBytes(out)), contents[i]);
    }

    // The loader refuses what is encrypted and loads the rest whole.
    uint32_t uNumber = 0;
    LTestProgress load;
    const int nLoad = LDictationLoadDct::LoadAsNew(load, target, ws.engine->GetCurrentFolder(), &uNumber);
    if (!key.empty()) {
        EXPECT_EQ(nLoad, 2);
        ASSERT_EQ(load.errors.size(), 1u);
        EXPECT_NE(
            load.errors[0].find("You cannot load encrypted dct files with \"Tavrine Dictate\""), std::string::npos);
        return;
    }
    ASSERT_EQ(nLoad, 0) << testing::PrintToString(load.errors);
    LDictation back(FilePathCat(ws.engine->GetCurrentFolder(), std::to_string(uNumber) + ".ddf"));
    EXPECT_EQ(back.GetName(), "Letter");
    EXPECT_EQ(back.Header().uPriority, kPriorityHigh);
    EXPECT_EQ(back.Header().tCreated, d->Header().tCreated);
    EXPECT_EQ(back.GetNotes(), c.szNotes);
    std::vector<std::string> names;
    for (const std::string& path : back.GetAttachments()) {
        EXPECT_EQ(_GetFolderFromPath(path), back.GetAttachmentFolder());
        names.push_back(_GetFileFromPath(path) + "=" + Text(test::ReadFileBytes(path)));
    }
    std::vector<std::string> expected;
    for (size_t i = 0; i < contents.size(); ++i) {
        const std::string& name = c.attachments[i];
        const size_t dot = name.rfind('.');
        expected.push_back("Letter" + (dot == std::string::npos ? "" : name.substr(dot)) + "=" + contents[i]);
    }
    // Same names do not replace each other.
    for (size_t i = 0; i < expected.size(); ++i)
        for (size_t j = 0; j < i; ++j)
            if (expected[j].substr(0, expected[j].find('=')) == expected[i].substr(0, expected[i].find('=')))
                expected[i].insert(6, " (2)");
    EXPECT_EQ(names, expected);
    const auto sent = soundtest::ToS16(soundtest::ReadAll(*LWaveFile::OpenSource(wavPath)));
    const auto loaded = soundtest::ToS16(soundtest::ReadAll(*LDictationAudioSource::Make(back)));
    // GSM decodes beyond 16-bit full scale, so loading passes it through the
    // peak limiter, which may take a little off the loudest peaks.
    ASSERT_EQ(sent.size(), loaded.size());
    int nMaxDiff = 0;
    for (size_t i = 0; i < sent.size(); ++i)
        nMaxDiff = std::max(nMaxDiff, std::abs(sent[i] - loaded[i]));
    EXPECT_LE(nMaxDiff, 64);
    // Deleting the dictation takes its attachment folder with it.
    const std::string folder = back.GetAttachmentFolder();
    EXPECT_EQ(FileExists(folder), !contents.empty());
    EXPECT_TRUE(back.Delete());
    EXPECT_FALSE(FileExists(folder));
}

INSTANTIATE_TEST_SUITE_P(Cases, DctLayout,
    testing::Values(DctCase { "Plain", "", "", {} }, DctCase { "EncryptedFiveByteNotes", "secret key", "Hello", {} },
        DctCase { "Attachments", "", "notes", { "report.final.doc", "readme", "gone.txt", "" } },
        DctCase { "EncryptedAttachments", "k", "five!", { "report.final.doc", "readme", "" } },
        DctCase { "SameExtensionTwice", "", "", { "a.doc", "b.doc" } }),
    [](const testing::TestParamInfo<DctCase>& info) { return std::string(info.param.szWhat); });

TEST(DctNotice, CancelNoticeIsEighteenBytesAndLoadsAsNothing)
{
    Workspace ws;
    const std::string target = ws.env.Dir().File("cancel.dct");
    ASSERT_TRUE(LDictationSaveAsDct::WriteCancelNotice(target, 0x01020304, 345));
    const Bytes expected = { 0, 0, 18, 0, 0, 0, 1, 0, 0, 0, 4, 3, 2, 1, 0x59, 1, 0, 0 };
    EXPECT_EQ(test::ReadFileBytes(target), expected);
    auto d = ws.Dictation("Kept", {});
    const Bytes before = test::ReadFileBytes(d->GetPath());
    LTestProgress progress;
    EXPECT_EQ(LDictationLoadDct::Process(progress, target, *d), 0);
    EXPECT_TRUE(progress.errors.empty());
    EXPECT_EQ(test::ReadFileBytes(d->GetPath()), before);
}

// A small plain DCT with an attachment, made by the writer.
std::string SmallDct(Workspace& ws)
{
    auto d = ws.Dictation("Tiny", soundtest::TestSignal(20, 1));
    const std::string att = ws.env.Dir().File("n.txt");
    test::WriteFileBytes(att, { 'a', 'b', 'c' });
    d->AddAttachment(att);
    d->SetNotes("note");
    const std::string target = ws.env.Dir().File("small.dct");
    LTestProgress progress;
    EXPECT_EQ(LDictationSaveAsDct::Process(progress, *d, target), 0);
    d->Delete();
    return target;
}

// What a failed load must leave: no header, no cut file, no attachment folder.
bool NothingLeft(const Workspace& ws)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    const std::string att = FilePathCat(ws.engine->GetWorkingFolder(), "Attachments");
    return fs::is_empty(ws.engine->GetCurrentFolder(), ec) && (!fs::exists(att) || fs::is_empty(att, ec));
}

TEST(DctReaderHostile, TruncationAtEveryByteIsCorruptAndLeavesNoDictation)
{
    Workspace ws;
    const Bytes whole = test::ReadFileBytes(SmallDct(ws));
    ASSERT_GT(whole.size(), 100u);
    const std::string cut = ws.env.Dir().File("cut.dct");
    for (size_t n = 0; n < whole.size(); ++n) {
        // As cut, and with the length field mended so the body is read.
        for (bool bMend : { false, true }) {
            Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
            if (bMend && n >= 6)
                for (int i = 0; i < 4; ++i)
                    bytes[2 + i] = static_cast<uint8_t>(n >> (8 * i));
            test::WriteFileBytes(cut, bytes);
            LTestProgress progress;
            EXPECT_EQ(LDictationLoadDct::LoadAsNew(progress, cut, ws.engine->GetCurrentFolder(), nullptr), 2)
                << "cut at " << n;
            ASSERT_EQ(progress.errors.size(), 1u) << "cut at " << n;
            EXPECT_NE(progress.errors[0].find("corrupt"), std::string::npos) << progress.errors[0];
            ASSERT_TRUE(NothingLeft(ws)) << "cut at " << n;
        }
    }
    // One byte of the length changed: the length check refuses it.
    Bytes bad = whole;
    bad[3] ^= 1;
    test::WriteFileBytes(cut, bad);
    LTestProgress progress;
    EXPECT_EQ(LDictationLoadDct::LoadAsNew(progress, cut, ws.engine->GetCurrentFolder(), nullptr), 2);
    EXPECT_EQ(progress.errors,
        std::vector<std::string> { "The file you are attempting to load is corrupt. (Length check failed)" });
}

TEST(DctReaderHostile, AttachmentNamesFromTheFileStayInTheFolder)
{
    Workspace ws;
    const std::vector<std::string> hostile
        = { "/../../../escaped", ".\\..\\..\\x", "../../etc/passwd", ".a/b", "..", ".", "", ".\x01\xff.sh", ".doc" };
    Bytes b = { 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, 7, 0, 0, 0 };
    U32(b, 0);
    Str(b, "../../up/../name");
    for (int i = 0; i < 10; ++i)
        Str(b, "");
    U8(b, 50);
    U32(b, 0);
    U8(b, static_cast<uint8_t>(hostile.size()));
    for (const std::string& name : hostile) {
        Str(b, name);
        U32(b, 1);
        U8(b, 'x');
    }
    const Bytes wav = test::ReadFileBytes(FilePathCat(TAVRINE_SOURCE_DIR, "tests/fuzz/corpus/wav/pcm16.wav"));
    b.insert(b.end(), wav.begin(), wav.end());
    for (int i = 0; i < 4; ++i)
        b[2 + i] = static_cast<uint8_t>(b.size() >> (8 * i));
    const std::string path = ws.env.Dir().File("hostile.dct");
    test::WriteFileBytes(path, b);
    namespace fs = std::filesystem;
    std::set<std::string> before;
    for (const auto& entry : fs::recursive_directory_iterator(ws.env.Dir().Path()))
        before.insert(entry.path().string());
    uint32_t uNumber = 0;
    LTestProgress progress;
    ASSERT_EQ(LDictationLoadDct::LoadAsNew(progress, path, ws.engine->GetCurrentFolder(), &uNumber), 0)
        << testing::PrintToString(progress.errors);
    LDictation d(FilePathCat(ws.engine->GetCurrentFolder(), std::to_string(uNumber) + ".ddf"));
    EXPECT_EQ(d.GetName(), "../../up/../name");
    EXPECT_EQ(d.GetAttachments().Count(), hostile.size());
    const std::string folder = d.GetAttachmentFolder();
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(ws.env.Dir().Path())) {
        const std::string p = entry.path().string();
        if (before.count(p) || p == folder || p == _GetFolderFromPath(folder)
            || _GetFolderFromPath(p) == ws.engine->GetCurrentFolder())
            continue;
        EXPECT_EQ(_GetFolderFromPath(p), folder) << p;
        names.insert(_GetFileFromPath(p));
    }
    const std::set<std::string> expected = { "upname.escaped", "upname.x", "upname.etcpasswd", "upname.ab", "upname",
        "upname (2)", "upname (3)", "upname.sh", "upname.doc" };
    EXPECT_EQ(names, expected);
}

} // namespace
