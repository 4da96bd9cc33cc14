#include "DesktopFixture.h"

#include "app/transfer/LAttachmentOpener.h"

#include <QPushButton>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

std::string WriteFile(const test::TempDir& dir, const std::string& name, const std::string& bytes)
{
    std::string path = dir.File(name);
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

class AttachmentTest : public DictationCommandsTest {
protected:
    void SetUp() override
    {
        DictationCommandsTest::SetUp();
        Make("Letter", 0, 50, 1);
        Open();
        pLetter = Listed(made[0].get());
        SelectOnly({ pLetter });
        pdf = WriteFile(files, "report.pdf", "%PDF-1.4\n" + std::string(3000, 'x'));
        wav = WriteFile(files, "voice.wav", "RIFF\x24\x00\x00\x00WAVEfmt ");
    }
    test::TempDir files;
    LDictation* pLetter = nullptr;
    std::string pdf, wav;
};

TEST_F(AttachmentTest, AttachCommandAddsChosenFilesAndMarksTheRow)
{
    SetSettingString("Settings", "AddAttachmentFolder", "/srv/start");
    chosen = { QString::fromStdString(pdf), QString::fromStdString(wav) };
    EXPECT_EQ(LDictationListView::RowImage(dialog->List()->FindRow(pLetter->nListIndex)), 0);
    ASSERT_TRUE(Run(LCommandId::kAttachFiles));
    EXPECT_EQ(chooserFolders.back(), "/srv/start");
    EXPECT_EQ(GetSettingString("Settings", "AddAttachmentFolder", ""), files.Path());
    LDictation stored(pLetter->GetPath());
    ASSERT_EQ(stored.GetAttachments().Count(), 2u);
    EXPECT_EQ(*stored.GetAttachments().GetFirst(), pdf);
    EXPECT_EQ(LDictationListView::RowImage(dialog->List()->FindRow(pLetter->nListIndex)), 1);
    // Cancelled chooser: nothing changes.
    chosen.clear();
    EXPECT_FALSE(Run(LCommandId::kAttachFiles));
    EXPECT_EQ(LDictation(pLetter->GetPath()).GetAttachments().Count(), 2u);
}

TEST(AttachmentOpener, ClassifiesByNameAndFirstBytes)
{
    test::TempDir dir;
    using Kind = LAttachmentOpener::Kind;
    struct Case {
        const char* szName;
        std::string bytes;
        Kind kind;
    };
    const Case cases[] = {
        { "a.txt", "plain words", Kind::Viewable },
        { "empty", "", Kind::Viewable },
        { "c.txt", "#!/usr/bin/python3\n", Kind::Script },
        { "d.PY", "print(1)", Kind::Script },
        { "f.sh", "", Kind::Script },
        { "h.jar", "PK\x03\x04", Kind::Program },
        { "i.dat", std::string("\xCF\xFA\xED\xFE", 4), Kind::Program },
        { "k.dat",
            std::string("\x7f"
                        "ELF",
                4),
            Kind::Program },
        { "m", "\xEF\xBB\xBF  [Desktop Entry]\r\n", Kind::DesktopEntry },
        { "n.ini", "[Settings]\n[Desktop Entry]\n", Kind::Viewable },
    };
    for (const Case& c : cases) {
        std::string path = WriteFile(dir, c.szName, c.bytes);
        EXPECT_EQ(LAttachmentOpener::Classify(path), c.kind) << c.szName;
    }
    EXPECT_EQ(LAttachmentOpener::Classify(dir.File("absent.pdf")), Kind::Missing);
    EXPECT_EQ(LAttachmentOpener::Classify(dir.Path()), Kind::NotAFile);
    EXPECT_EQ(LAttachmentOpener::Classify("report.pdf"), Kind::NotFullPath);
    EXPECT_EQ(LAttachmentOpener::Classify("-x.pdf"), Kind::NotFullPath);
    // A script by name is refused even when it is gone or unreadable.
    EXPECT_EQ(LAttachmentOpener::Classify(dir.File("absent.sh")), Kind::Script);

    std::vector<std::vector<std::string>> calls;
    LAttachmentOpener failing([&](const std::vector<std::string>& args) {
        calls.push_back(args);
        return false;
    });
    std::string why;
    EXPECT_FALSE(failing.Open(dir.File("a.txt"), &why));
    EXPECT_EQ(calls.size(), 1u);
    EXPECT_NE(why.find("could not be opened"), std::string::npos) << why;
    EXPECT_FALSE(failing.Open(dir.File("f.sh"), &why));
    EXPECT_EQ(calls.size(), 1u);
}

TEST(AttachmentOpener, SpawnsWithoutAShell)
{
    test::TempDir dir;
    std::string marker = dir.File("one word; two");
    // The argument reaches the program as one word, never through a shell.
    ASSERT_TRUE(LAttachmentOpener::StartDetached({ "touch", marker }));
    EXPECT_TRUE(PumpUntil([&] { return fs::exists(marker); }, 5000));
    EXPECT_FALSE(fs::exists(dir.File("one")));
    EXPECT_FALSE(LAttachmentOpener::StartDetached({ "/nonexistent/program" }));
    EXPECT_FALSE(LAttachmentOpener::StartDetached({}));
}

} // namespace
