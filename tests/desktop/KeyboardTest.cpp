// The window's keys as a user presses them: real key events at the focused
// widget of the real window (through the shortcut override and menu
// shortcuts), the command set's hold rule over the scripted sound device,
// and what reached the router, the list, the notes and the focus.
#include "app/desktop/input/LHotKeys.h"
#include "app/desktop/input/LKeyboardControl.h"
#include "app/desktop/input/LNotesFields.h"
#include "app/desktop/window/LControlIds.h"
#include "foundation/LSettings.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <QPlainTextEdit>
#include <QTest>

#include <filesystem>
#include <sstream>

namespace {

using Id = LCommandId;
const QString kNotes = QStringLiteral("<fileno>123</fileno>\n<client>Smith</client>\n");
enum Prep { None, Playing, Recording, Renaming, HotKey, NumericOff, Colons, AtEnd };
enum Where { List, Notes, Button };
const auto kNo = Qt::NoModifier, kCtrl = Qt::ControlModifier, kShift = Qt::ShiftModifier, kPad = Qt::KeypadModifier;

struct Case {
    const char* szName;
    Prep prep;
    Where focus;
    int nKey;
    Qt::KeyboardModifiers mods;
    int nHoldMs; // -1: X11's repeats for 700 ms; 0: a tap
    const char* szDuring; // tokens that must hold while it is down ("!x": must not)
    const char* szAfter; // and after the last release; "log=" is always checked
    int nTimes = 1;
};

class Keyboard : public DesktopTest {
protected:
    void SetUp() override
    {
        DesktopTest::SetUp();
        backend.Install();
        SetSettingInt("Settings", "SampleRate", 8000);
        SetMachineInt("Settings", "VoiceActivateLevel", -127);
        test::ScriptedPcmBackend::CaptureScript script;
        script.blocks.assign(100, std::vector<int16_t>(800, 3000));
        script.uPaceMs = 100;
        backend.SetCaptureScript(script);
    }
    void TearDown() override
    {
        app.reset();
        backend.Uninstall();
    }
    // Each command the keys reach is written down; the transport's still run.
    void Spy()
    {
        LTransport& t = app->Transport();
        auto spy = [this](Id id, const char* szName, std::function<void()> run = {}, std::function<void()> up = {}) {
            LCommandRouter::Handler handler;
            handler.trigger = [this, szName, run] { return log.push_back(szName), run ? run() : void(), true; };
            if (up)
                handler.release = [this, szName, up] { return log.push_back(szName + std::string("_up")), up(), true; };
            app->Router().Register(id, std::move(handler));
        };
        const std::pair<Id, const char*> kLogged[] = { { Id::kNew, "new" }, { Id::kSend, "send" },
            { Id::kSendTo, "sendto" }, { Id::kAttachFiles, "attach" }, { Id::kDelete, "delete" },
            { Id::kToolDock, "dock" }, { Id::kRecoverSent, "recover" }, { Id::kViewSentWork, "work" },
            { Id::kUndo, "undo" }, { Id::kHelpContents, "help" }, { Id::kPlayNormal, "normal" },
            { Id::kPlaySlow, "slow" }, { Id::kPlayFast, "fast" }, { Id::kGoStart, "start" }, { Id::kGoEnd, "end" } };
        for (const auto& [id, szName] : kLogged)
            spy(id, szName);
        spy(Id::kRecord, "record", [&t] { t.CmRecord(t.GetRecordMode()); });
        spy(Id::kRecordOverwrite, "overwrite", [&t] { t.CmRecord(2); });
        spy(Id::kRecordInsert, "insert", [&t] { t.CmRecord(1); });
        spy(Id::kRecordAtEnd, "atend", [&t] { t.CmRecord(0); });
        spy(Id::kPlay, "play", [&t] { t.CmPlay(); });
        spy(Id::kStop, "stop", [&t] { t.CmStop(); });
        spy(
            Id::kRewind, "rewind", [&t] { t.CmBack(); }, [&t] { t.CmBackFwdStop(); });
        spy(
            Id::kFastForward, "forward", [&t] { t.CmFwd(); }, [&t] { t.CmBackFwdStop(); });
    }
    std::string State()
    {
        LTransport& t = app->Transport();
        QWidget* pFocus = QApplication::focusWidget();
        QTreeWidget* pList = dialog->List();
        std::ostringstream s;
        s << (t.GetRecordState() != LSoundRecorder::kStateStopped ? "recording"
                : t.IsPlaying()                                   ? "playing"
                                                                  : "stopped")
          << (t.IsScanning() ? " scanning" : "") << " row" << pList->indexOfTopLevelItem(pList->currentItem())
          << (pFocus != pList && pList->isAncestorOf(pFocus) ? " renaming" : "")
          << (pFocus == pList                    ? " focus=list"
                     : pFocus == dialog->Notes() ? " focus=notes"
                                                 : " focus=other")
          << (dialog->Notes()->toPlainText() != kNotes ? " typed" : "")
          << " sel=" << dialog->Notes()->textCursor().selectedText().toStdString()
          << " name=" << pList->currentItem()->text(0).toStdString() << " log=";
        for (size_t i = 0; i < log.size(); ++i)
            s << (i ? "," : "") << log[i];
        return s.str();
    }
    void Expect(const Case& c, const char* szWhen, std::string expected)
    {
        const std::string state = " " + State() + " ";
        if (expected.find("log=") == std::string::npos)
            expected += " log=";
        std::istringstream tokens(expected);
        for (std::string token; tokens >> token;) {
            const bool bNot = token[0] == '!';
            EXPECT_EQ(state.find(" " + token.substr(bNot) + " ") == std::string::npos, bNot)
                << c.szName << ", " << szWhen << ": " << token << " in" << state;
        }
    }
    void Press(const Case& c, bool bDown, bool bRepeat = false)
    {
        QKeyEvent event(bDown ? QEvent::KeyPress : QEvent::KeyRelease, c.nKey, c.mods,
            c.nKey >= Qt::Key_0 && c.nKey <= Qt::Key_9 ? QString(QChar(c.nKey)) : QString(), bRepeat);
        if (bRepeat)
            QApplication::sendEvent(QApplication::focusWidget(), &event);
        else if (bDown)
            QTest::keyPress(QApplication::focusWidget(), Qt::Key(c.nKey), c.mods);
        else
            QTest::keyRelease(QApplication::focusWidget(), Qt::Key(c.nKey), c.mods);
    }
    void Prepare(const Case& c)
    {
        // Every case starts from the same two dictations.
        for (const auto& entry : std::filesystem::directory_iterator(engine->GetCurrentFolder()))
            std::filesystem::remove(entry.path());
        ::Record(*Make("one", 6, 50, 1000, kNotes.toStdString()), 6 * 8000);
        Make("two", 0, 50, 2000);
        Open();
        Spy();
        QApplication::setActiveWindow(dialog);
        dialog->List()->setCurrentItem(dialog->List()->topLevelItem(0));
        Session().SetPosition(2000);
        (c.focus == List           ? static_cast<QWidget*>(dialog->List())
                : c.focus == Notes ? static_cast<QWidget*>(dialog->Notes())
                                   : dialog->Control(LControlIds::kIdPlay))
            ->setFocus();
        if (c.prep == Playing || c.prep == Renaming)
            app->Transport().CmPlay();
        if (c.prep == Recording) {
            app->CommandSet().CommandPress(3);
            app->CommandSet().CommandRelease(3);
        }
        if (c.prep == Renaming) {
            Run(Id::kRename);
            QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Zed"));
        }
        if (c.prep == HotKey) {
            // No X display: the held key comes from the test, not from a grab.
            const QByteArray display = qgetenv("DISPLAY");
            qunsetenv("DISPLAY");
            app->StartHotKeys(app->CommandSet());
            qputenv("DISPLAY", display);
            app->HotKeys()->Start({ { 0x74, 9 } });
            app->HotKeys()->EvHotKeyPress(0);
        }
        if (c.prep == NumericOff) {
            SetSettingBool("Keys", "UseNumeric", false);
            app->Keyboard().ReadSettings();
        }
        if (c.prep == Colons)
            dialog->Notes()->setPlainText(QStringLiteral("Time: 10:30\nClient: Smith"));
        if (c.prep == AtEnd || c.prep == Colons)
            dialog->Notes()->moveCursor(QTextCursor::End);
        if (c.prep == Playing || c.prep == Renaming || c.prep == Recording)
            PumpUntil([&] { return app->Transport().IsPlaying() || app->Transport().GetRecordState() != 0; });
        log.clear();
    }

    test::ScriptedPcmBackend backend;
    std::vector<std::string> log;
};

} // namespace

TEST_F(Keyboard, EveryKeyWhereverTheFocusIs)
{
    const Case kCases[] = {
        { "Ctrl+N", None, Notes, Qt::Key_N, kCtrl, 0, nullptr, "log=new" },
        { "Ctrl+S", None, List, Qt::Key_S, kCtrl, 0, nullptr, "log=send" },
        { "Ctrl+R", None, List, Qt::Key_R, kCtrl, 0, nullptr, "log=sendto" },
        { "Ctrl+H", None, List, Qt::Key_H, kCtrl, 0, nullptr, "log=attach" },
        { "Ctrl+Delete", None, Notes, Qt::Key_Delete, kCtrl, 0, nullptr, "log=delete !typed" },
        { "Ctrl+D", None, List, Qt::Key_D, kCtrl, 0, nullptr, "log=dock" },
        { "Ctrl+O", None, List, Qt::Key_O, kCtrl, 0, nullptr, "log=recover" },
        { "Ctrl+W", None, List, Qt::Key_W, kCtrl, 0, nullptr, "log=work" },
        { "Ctrl+Z in the notes", None, Notes, Qt::Key_Z, kCtrl, 0, nullptr, "log=undo" },
        { "Ctrl+F5 records over", None, List, Qt::Key_F5, kCtrl, 0, nullptr, "recording log=overwrite" },
        { "Ctrl+Home is no key of ours", None, List, Qt::Key_Home, kCtrl, 0, nullptr, "stopped" },
        { "F1", None, Button, Qt::Key_F1, kNo, 0, nullptr, "log=help" },
        { "F2 renames from the notes", None, Notes, Qt::Key_F2, kNo, 0, nullptr, "renaming" },
        { "F5 tapped latches", None, List, Qt::Key_F5, kNo, 0, "recording log=record", "recording log=record" },
        { "F5 held stops", None, List, Qt::Key_F5, kNo, 600, "recording log=record", "stopped log=record,stop" },
        { "F5 held, X11 repeating", None, List, Qt::Key_F5, kNo, -1, "recording log=record", "log=record,stop" },
        { "F5 while recording", Recording, List, Qt::Key_F5, kNo, 0, "recording", "stopped log=stop" },
        { "Shift+F5 records at the end", None, List, Qt::Key_F5, kShift, 0, nullptr, "recording log=atend" },
        { "Insert records inserting", None, Button, Qt::Key_Insert, kNo, 0, nullptr, "recording log=insert" },
        { "F9 tapped latches", None, Notes, Qt::Key_F9, kNo, 0, nullptr, "playing log=play" },
        { "F9 held 2 s", None, List, Qt::Key_F9, kNo, 2000, "playing log=play", "stopped log=play,stop" },
        { "F10", None, List, Qt::Key_F10, kNo, 0, nullptr, "log=normal" },
        { "F11", None, List, Qt::Key_F11, kNo, 0, nullptr, "log=slow" },
        { "F12", None, Notes, Qt::Key_F12, kNo, 0, nullptr, "log=fast" },
        { "Escape stops", Playing, Notes, Qt::Key_Escape, kNo, 0, nullptr, "stopped log=stop" },
        { "Escape while renaming", Renaming, List, Qt::Key_Escape, kNo, 0, nullptr, "playing !renaming name=one" },
        { "Home in the rename box", Renaming, List, Qt::Key_Home, kNo, 0, nullptr, "renaming" },
        { "Left in the rename box", Renaming, List, Qt::Key_Left, kNo, 0, nullptr, "renaming !scanning" },
        { "Home", None, List, Qt::Key_Home, kNo, 0, nullptr, "log=start" },
        { "End", None, Button, Qt::Key_End, kNo, 0, nullptr, "log=end" },
        { "Home in the notes", None, Notes, Qt::Key_Home, kNo, 0, nullptr, "focus=notes" },
        { "Left in the notes", None, Notes, Qt::Key_Left, kNo, 200, "!scanning", "focus=notes" },
        { "Left in the list", None, List, Qt::Key_Left, kNo, 200, "scanning log=rewind", "log=rewind,rewind_up" },
        { "Right", None, Button, Qt::Key_Right, kNo, 200, "scanning log=forward", "log=forward,forward_up" },
        { "F7 in the notes", None, Notes, Qt::Key_F7, kNo, 200, "scanning log=rewind", "log=rewind,rewind_up" },
        { "F8", None, List, Qt::Key_F8, kNo, 200, "scanning log=forward", "log=forward,forward_up" },
        { "Down elsewhere moves the list", None, Button, Qt::Key_Down, kNo, 0, nullptr, "row1" },
        { "Down in the notes", None, Notes, Qt::Key_Down, kNo, 0, nullptr, "row0 focus=notes" },
        { "Down in the list", None, List, Qt::Key_Down, kNo, 0, nullptr, "row1 focus=list" },
        { "Tab to the notes", None, List, Qt::Key_Tab, kNo, 0, nullptr, "focus=notes sel=123" },
        { "Tab to the next field", None, List, Qt::Key_Tab, kNo, 0, nullptr, "focus=notes sel=Smith", 2 },
        { "Tab back to the list", None, List, Qt::Key_Tab, kNo, 0, nullptr, "focus=list", 3 },
        { "Shift+Tab", AtEnd, Notes, Qt::Key_Backtab, kShift, 0, nullptr, "focus=notes sel=123", 2 },
        { "Shift+Tab to the list", AtEnd, Notes, Qt::Key_Tab, kShift, 0, nullptr, "focus=list", 3 },
        { "Shift+Tab in the list", None, List, Qt::Key_Backtab, kShift, 0, nullptr, "focus=list" },
        { "Tab elsewhere", None, Button, Qt::Key_Tab, kNo, 0, nullptr, "focus=other" },
        { "Tab through colons", Colons, List, Qt::Key_Tab, kNo, 0, nullptr, "sel=Smith", 2 },
        { "Shift+Tab through colons", Colons, Notes, Qt::Key_Tab, kShift, 0, nullptr, "sel=10:30", 2 },
        { "pad 0", None, Notes, Qt::Key_0, kPad, 0, nullptr, "recording log=record !typed" },
        { "pad 1", None, Notes, Qt::Key_1, kPad, 0, nullptr, "log=end !typed" },
        { "pad 2", None, Button, Qt::Key_2, kPad, 0, nullptr, "row1" },
        { "pad 3", None, Notes, Qt::Key_3, kPad, 0, nullptr, "!typed" },
        { "pad 4", None, Notes, Qt::Key_4, kPad, 200, "scanning log=rewind", "log=rewind,rewind_up !typed" },
        { "pad 5", Playing, Notes, Qt::Key_5, kPad, 0, nullptr, "stopped log=stop !typed" },
        { "pad 6", None, Notes, Qt::Key_6, kPad, 200, "log=forward", "log=forward,forward_up !typed" },
        { "pad 7", None, Notes, Qt::Key_7, kPad, 0, nullptr, "log=start !typed" },
        { "pad 8", None, Notes, Qt::Key_8, kPad, 0, nullptr, "row0 focus=notes !typed" },
        { "pad point", None, Notes, Qt::Key_Period, kPad, 0, nullptr, "playing log=play !typed" },
        { "pad 0, UseNumeric off", NumericOff, Notes, Qt::Key_0, kPad, 0, nullptr, "stopped typed" },
        { "pad 5, UseNumeric off", NumericOff, Notes, Qt::Key_5, kPad, 0, nullptr, "typed" },
        { "F7 up while a hot key holds", HotKey, Button, Qt::Key_F7, kNo, 0, nullptr, "scanning log=rewind" },
        { "F5 up while a hot key holds", HotKey, List, Qt::Key_F5, kNo, 600, nullptr, "recording log=record" },
    };
    for (const Case& c : kCases) {
        Prepare(c);
        for (int i = 0; i < c.nTimes; ++i) {
            Press(c, true);
            for (int nMs = 0; nMs < (c.nHoldMs < 0 ? 700 : c.nHoldMs); nMs += 100) {
                PumpFor(100);
                if (c.nHoldMs < 0)
                    Press(c, false, true), Press(c, true, true);
            }
            if (c.szDuring)
                Expect(c, "held", c.szDuring);
            Press(c, false);
        }
        PumpFor(30);
        Expect(c, "after", c.szAfter);
        Close();
    }
}

TEST(NotesFields, HostileTextEndsTheWalk)
{
    struct Row {
        std::u16string_view text;
        long nStart, nEnd;
        bool bBackward;
        long nFrom, nTo; // -1: no field
    };
    const Row kRows[] = { { u"", 0, 0, false, -1, -1 }, { u"<a>unterminated", 0, 0, false, -1, -1 },
        { u"<a", 0, 0, false, -1, -1 }, { u"<<</>", 0, 0, false, -1, -1 }, { u"Client:", 0, 0, false, 7, 7 },
        { u"a:b", -5, -5, false, 2, 3 }, { u"</a>x</b>", 9, 9, true, 4, 5 }, { u"x</", 100, 100, true, -1, -1 },
        { u"</a>", 4, 4, true, -1, -1 }, { u"a: b\r\nc", 0, 0, false, 3, 4 } };
    for (const Row& row : kRows) {
        long nFrom = -1, nTo = -1;
        const bool bFound = LNotesFields::Find(row.text, row.nStart, row.nEnd, row.bBackward, &nFrom, &nTo);
        EXPECT_EQ(bFound, row.nFrom >= 0) << std::string(row.text.begin(), row.text.end());
        EXPECT_EQ(bFound ? std::make_pair(nFrom, nTo) : std::make_pair(-1L, -1L), std::make_pair(row.nFrom, row.nTo));
    }
}
