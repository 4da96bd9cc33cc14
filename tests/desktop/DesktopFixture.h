// The desktop program as its composition root builds it, over a private
// settings and data area, on the offscreen platform, with a send queue the
// test drives from a worker thread.
#pragma once

#include "app/desktop/LDesktopApp.h"
#include "app/desktop/session/LSendStatusSource.h"
#include "app/desktop/window/LDictationListView.h"
#include "app/desktop/window/MainDialog.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LSettings.h"
#include "tests/support/TestSupport.h"
#include "ui/LQtMainLoop.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QTreeWidget>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>

inline QApplication& TestApp()
{
    static int argc = 1;
    static char name[] = "desktop_tests";
    static char* argv[] = { name, nullptr };
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Never destroyed: Qt's own globals go first at exit, and a static
    // QApplication destroyed after them crashes.
    static QApplication* pApp = new QApplication(argc, argv);
    return *pApp;
}

// Runs the GUI thread's events until the condition holds or the time is up.
inline bool PumpUntil(const std::function<bool()>& done, int nMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(2);
    }
    return true;
}

inline void PumpFor(int nMs)
{
    QElapsedTimer timer;
    timer.start();
    PumpUntil([&] { return timer.elapsed() >= nMs; }, nMs + 1000);
}

// Runs a program (gdbus, tavrine-cli) while this process's event loop serves
// the bus; its standard output trimmed, or "exit N" after the output when it failed.
inline QString RunServing(const QString& program, const QStringList& args)
{
    QProcess process;
    process.start(program, args);
    if (!PumpUntil([&] { return process.state() == QProcess::NotRunning; }, 10000))
        return process.kill(), process.waitForFinished(2000), QStringLiteral("timeout");
    QString out = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    if (process.exitCode() != 0)
        out += QStringLiteral(" exit %1").arg(process.exitCode());
    return out;
}

// The sorted paths of a folder's files with this extension (all when empty).
inline std::vector<std::string> FilesIn(const std::string& folder, const char* szExtension = "")
{
    std::vector<std::string> out;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (!*szExtension || entry.path().extension() == szExtension)
            out.push_back(entry.path().string());
    std::sort(out.begin(), out.end());
    return out;
}

inline QStringList Column(const QTreeWidget* pList, int nColumn)
{
    QStringList out;
    for (int i = 0; i < pList->topLevelItemCount(); ++i)
        out << pList->topLevelItem(i)->text(nColumn);
    return out;
}

inline std::string StoredNotes(const LDictation* p)
{
    return LDictation(p->GetPath()).GetNotes();
}

// Records through the dictation's record sink as the recorder would.
inline void Record(LDictation& d, int32_t nFrames)
{
    LSoundSinkRef sink = d.OpenSink(kRecordAtEnd, true, 0);
    ASSERT_TRUE(sink);
    std::vector<int32_t> block(static_cast<size_t>(nFrames), 1000 * 16);
    sink->Write(block.data(), nFrames);
    sink.Reset();
    d.UpdateDuration();
}

class FakeQueue : public LSendStatusSource {
public:
    void Start(const std::string& queuePath, const LNotifier& notifier) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        path = queuePath;
        this->notifier = notifier;
        bStarted = true;
    }
    void Stop(uint32_t) override { bStopped = true; }
    Status TakeStatus() override
    {
        std::lock_guard<std::mutex> lock(mutex);
        Status out;
        out.szText[0] = status.szText[0];
        out.szText[1] = status.szText[1];
        out.fProgress = status.fProgress;
        out.error = std::move(status.error);
        status.error.reset();
        out.failed = std::move(status.failed);
        status.failed.clear();
        return out;
    }
    // The queue thread's side: change the block under the lock, then post.
    void Report(const std::function<void(Status&)>& change)
    {
        LNotifier copy;
        {
            std::lock_guard<std::mutex> lock(mutex);
            change(status);
            copy = notifier;
        }
        copy.Post();
    }

    std::mutex mutex;
    Status status;
    LNotifier notifier;
    std::string path;
    bool bStarted = false;
    bool bStopped = false;
};

struct ShownBox {
    LUserPrompts::Box box;
    QString caption;
    QString text;
};

class DesktopTest : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }

    LDictation* Make(const std::string& name, uint16_t uDuration, uint8_t uPriority, uint32_t tCreated,
        const std::string& notes = std::string())
    {
        auto pDictation = std::make_unique<LDictation>(engine->GetCurrentFolder(), name);
        pDictation->MutableHeader().uDuration = uDuration;
        pDictation->MutableHeader().uPriority = uPriority;
        pDictation->MutableHeader().tCreated = tCreated;
        pDictation->SetNotes(notes);
        pDictation->Save();
        made.push_back(std::move(pDictation));
        return made.back().get();
    }

    MainDialog& Open()
    {
        app = std::make_unique<LDesktopApp>(*engine, loop, pQueue ? pQueue : &queue);
        dialog = &app->Window();
        // The commands' questions are answered here: boxes recorded and
        // answered, files "chosen", dialogs run by a script, free space and
        // the viewer program supplied.
        LDictationCommands& commands = app->Commands();
        LUserPrompts& p = commands.Prompts();
        p.box = [this](QWidget*, LUserPrompts::Box box, const QString& caption, const QString& text) {
            boxes.push_back({ box, caption, text });
            return bAnswerOk;
        };
        p.chooseFiles = [this](QWidget*, const QString& title, const QString& folder) {
            chooserTitles.push_back(title);
            chooserFolders.push_back(folder);
            return chosen;
        };
        p.chooseFilesOf = [this](QWidget*, const QString& title, const QString& folder, const QStringList&) {
            chooserTitles.push_back(title);
            chooserFolders.push_back(folder);
            return chosen;
        };
        // Each save chooser and Yes/No/Cancel question takes the next scripted answer.
        p.chooseSaveFile = [this](QWidget*, const QString&, const QString&, const QStringList&, const QString&) {
            ++nSaveChoosers;
            return saveAnswers.empty() ? QString() : saveAnswers.takeFirst();
        };
        p.askYesNoCancel = [this](QWidget*, const QString&, const QString& text) {
            boxes.push_back({ LUserPrompts::Box::Question, QString(), text });
            if (answers.empty())
                return LUserPrompts::Answer::Cancel;
            LUserPrompts::Answer answer = answers.front();
            answers.erase(answers.begin());
            return answer;
        };
        app->Transfer().SetPopup([this](QWidget*, const std::vector<LCommandRouter::PopupItem>& items) {
            popupItems = items;
            return popupChoice;
        });
        p.exec = [this](QDialog& dialog) {
            ++nDialogs;
            if (!runDialog)
                return int { QDialog::Rejected };
            runDialog(dialog);
            return dialog.result();
        };
        commands.SetFreeSpace([this](const std::string& folder) {
            freeSpaceFolders.push_back(folder);
            return uFreeKB;
        });
        commands.SetLauncher([this](const std::vector<std::string>& args) {
            launched.push_back(args);
            return true;
        });
        dialog->show();
        PumpFor(20);
        return *dialog;
    }
    void Close()
    {
        dialog->close();
        app.reset();
        dialog = nullptr;
    }

    LSession& Session() { return app->Session(); }
    bool Run(LCommandId id) { return app->Router().Trigger(id); }
    // The session's copy of a dictation made by Make.
    LDictation* Listed(const LDictation* pMade) { return Session().List().FindFileNumber(pMade->GetFileNumber()); }
    // Selects exactly the rows of these dictations, as a user would.
    void SelectOnly(const std::vector<const LDictation*>& dictations)
    {
        dialog->List()->clearSelection();
        for (const LDictation* p : dictations)
            dialog->List()->FindRow(p->nListIndex)->setSelected(true);
    }
    QStringList Names() const { return Column(dialog->List(), LDictationListView::kColName); }

    test::IsolatedEnvironment env;
    std::unique_ptr<LDictationEngineSettings> engine = std::make_unique<LDictationEngineSettings>();
    LQtMainLoop loop;
    FakeQueue queue;
    std::vector<std::unique_ptr<LDictation>> made;
    std::unique_ptr<LDesktopApp> app;
    MainDialog* dialog = nullptr;
    std::vector<ShownBox> boxes;
    bool bAnswerOk = true;
    QStringList chosen;
    std::vector<QString> chooserTitles;
    std::vector<QString> chooserFolders;
    std::function<void(QDialog&)> runDialog;
    int nDialogs = 0;
    uint32_t uFreeKB = 0x1000000;
    std::vector<std::string> freeSpaceFolders;
    std::vector<std::vector<std::string>> launched;
    // The send queue given to the program instead of the double (null: the double).
    LSendStatusSource* pQueue = nullptr;
    QStringList saveAnswers;
    int nSaveChoosers = 0;
    std::vector<LUserPrompts::Answer> answers;
    std::vector<LCommandRouter::PopupItem> popupItems;
    LCommandId popupChoice = LCommandId::kSetNoAction;
};

using DictationCommandsTest = DesktopTest;
