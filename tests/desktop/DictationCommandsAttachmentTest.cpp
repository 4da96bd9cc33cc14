#include "DesktopFixture.h"

#include "app/desktop/dialogs/AttachmentDialog.h"
#include "app/desktop/session/LAttachmentOpener.h"

#include <QPushButton>

#include <sys/stat.h>

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
    // A path longer than the file holds is not stored cut.
    chosen = { QString::fromStdString(files.Path() + "/" + std::string(300 - files.Path().size(), 'n') + ".pdf") };
    EXPECT_FALSE(Run(LCommandId::kAttachFiles));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.contains("at most 254 bytes")) << boxes[0].text.toStdString();
    // Cancelled chooser: nothing changes.
    chosen.clear();
    EXPECT_FALSE(Run(LCommandId::kAttachFiles));
    EXPECT_EQ(LDictation(pLetter->GetPath()).GetAttachments().Count(), 2u);
}

TEST_F(AttachmentTest, DialogListsAddsAndRemovesWithTheRightQuestion)
{
    pLetter->AddAttachment(pdf);
    pLetter->AddAttachment(files.File("gone.txt"));
    SetSettingString("Settings", "AddAttachmentDir", "/srv/dir");
    runDialog = [&](QDialog& d) {
        auto& list = dynamic_cast<AttachmentDialog&>(d);
        QTreeWidget* pList = list.List();
        EXPECT_EQ(Column(pList, 0),
            (QStringList { QString::fromStdString(pdf), QString::fromStdString(files.File("gone.txt")) }));
        EXPECT_EQ(Column(pList, 1), (QStringList { "2 KB", "0 KB" }));

        chosen = { QString::fromStdString(wav) };
        list.Button(AttachmentDialog::kIdAdd)->click();
        EXPECT_EQ(chooserFolders.back(), "/srv/dir");
        EXPECT_EQ(pList->topLevelItemCount(), 3);

        pList->topLevelItem(0)->setSelected(true);
        pList->topLevelItem(1)->setSelected(true);
        bAnswerOk = false;
        list.Button(AttachmentDialog::kIdRemove)->click();
        EXPECT_EQ(pList->topLevelItemCount(), 3);
        bAnswerOk = true;
        EXPECT_TRUE(list.Remove());
        EXPECT_EQ(Column(pList, 0), (QStringList { QString::fromStdString(wav) }));
        list.accept();
    };
    ASSERT_TRUE(Run(LCommandId::kOpenAttachmentList));
    ASSERT_EQ(boxes.size(), 2u);
    LDictation stored(pLetter->GetPath());
    ASSERT_EQ(stored.GetAttachments().Count(), 1u);
    EXPECT_EQ(*stored.GetAttachments().GetFirst(), wav);
    EXPECT_EQ(stored.Header().nAttachments, 1);
}

TEST_F(AttachmentTest, NoMoreThan255AndTheUserIsTold)
{
    for (int i = 0; i < 254; ++i)
        ASSERT_TRUE(pLetter->AddAttachment(pdf));
    chosen = { QString::fromStdString(wav), QString::fromStdString(pdf), QString::fromStdString(pdf) };
    EXPECT_TRUE(Run(LCommandId::kAttachFiles));
    LDictation stored(pLetter->GetPath());
    EXPECT_EQ(stored.GetAttachments().Count(), 255u);
    EXPECT_EQ(stored.Header().nAttachments, 255);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_TRUE(boxes[0].text.startsWith("2 file(s) were not attached")) << boxes[0].text.toStdString();
    EXPECT_FALSE(Run(LCommandId::kAttachFiles));
}

TEST_F(AttachmentTest, OpeningViewsDocumentsAndRefusesWhatWouldRun)
{
    // Each file and the refusal it gets; none for a viewable one.
    const std::pair<std::string, const char*> kFiles[] = {
        { pdf, nullptr },
        { wav, nullptr },
        { WriteFile(files, "notes.pdf.bin",
              std::string("\x7f"
                          "ELF\x02\x01\x01",
                  7)),
            "it is a program" },
        { WriteFile(files, "readme", "#!/bin/sh\nrm -rf ~\n"), "it is a script" },
        { WriteFile(files, "invoice.desktop", "[Desktop Entry]\nExec=sh -c evil\n"), "desktop launcher" },
        { WriteFile(files, "photo", "# made by hand\n\n[Desktop Entry]\nType=Application\n"), "desktop launcher" },
        { WriteFile(files, "Setup.EXE", "harmless text"), "it is a program" },
        { WriteFile(files, "scan.jpg", "MZ\x90\x00"), "it is a program" },
        { WriteFile(files, "run.bat", "echo hi"), "it is a script" },
    };
    for (const auto& [path, szWhy] : kFiles)
        pLetter->AddAttachment(path);
    // Permission bits decide nothing: the PDF stays viewable when executable.
    ::chmod(pdf.c_str(), 0755);
    runDialog = [&](QDialog& d) {
        auto& list = dynamic_cast<AttachmentDialog&>(d);
        QTreeWidget* pList = list.List();
        for (int i = 0; i < pList->topLevelItemCount(); ++i) {
            pList->clearSelection();
            pList->setCurrentItem(pList->topLevelItem(i));
            const size_t nBoxes = boxes.size();
            // The Open button and a double click alike.
            if (i % 2)
                list.OpenSelected();
            else
                emit pList->itemDoubleClicked(pList->topLevelItem(i), 0);
            const auto& [path, szWhy] = kFiles[i];
            ASSERT_EQ(boxes.size(), nBoxes + (szWhy ? 1 : 0)) << path;
            if (szWhy) {
                EXPECT_TRUE(boxes.back().text.contains(szWhy)) << boxes.back().text.toStdString();
                EXPECT_TRUE(boxes.back().text.contains(QString::fromStdString(path)));
            }
        }
        list.accept();
    };
    ASSERT_TRUE(Run(LCommandId::kOpenAttachmentList));
    EXPECT_EQ(launched, (std::vector<std::vector<std::string>> { { "xdg-open", pdf }, { "xdg-open", wav } }));
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
        { "b.docx", "PK\x03\x04", Kind::Viewable },
        { "empty", "", Kind::Viewable },
        { "c.txt", "#!/usr/bin/python3\n", Kind::Script },
        { "d.PY", "print(1)", Kind::Script },
        { "e.ps1", "x", Kind::Script },
        { "f.sh", "", Kind::Script },
        { "g.AppImage", "x", Kind::Program },
        { "h.jar", "PK\x03\x04", Kind::Program },
        { "i.dat", std::string("\xCF\xFA\xED\xFE", 4), Kind::Program },
        { "j.dat", std::string("\xCA\xFE\xBA\xBE", 4), Kind::Program },
        { "k.dat",
            std::string("\x7f"
                        "ELF",
                4),
            Kind::Program },
        { "l.Desktop", "x", Kind::DesktopEntry },
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
