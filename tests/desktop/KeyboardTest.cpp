// The window's keys as a user presses them: real key events at the focused
// widget of the real window (shortcut override, then the key), the command
// set's hold rule over the scripted sound device, and what reached the
// router, the list, the notes and the focus.
#include "app/desktop/window/LControlIds.h"
#include "app/desktop/window/LNotesFields.h"
#include "app/shared/input/LHotKeys.h"
#include "app/shared/input/LKeyFilter.h"
#include "tests/desktop/DesktopFixture.h"
#include "tests/support/ScriptedPcmBackend.h"

#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTest>

#include <filesystem>
#include <sstream>

namespace {

using namespace std::string_literals;
using Id = LCommandId;
const QString kNotes = QStringLiteral("<fileno>123</fileno>\n<client>Smith</client>\n");

// "[prep] focus key[ xN]": the state before, the focused widget, the key as
// QKeySequence spells it ("Num+" is the keypad) and how often it is pressed.
struct Case {
    const char* szKeys;
    // 0: a tap; held 700 ms with repeats every 100 ms, as the toolkit gives
    // them: -1 marked pairs; -2 presses alone (XKB's detectable auto-repeat);
    // -3 pairs it did not see as one (the press 20 ms after the release);
    // -4 none, and Num Lock turned meanwhile, so the keypad's key goes up as
    // its other level.
    int nHoldMs;
    const char* szDuring; // tokens true while it is down ("!x": false)
    const char* szAfter; // and after the last release; "log=" is always checked
};

// Each command the keys reach is written down; the transport's still run.
struct Spied {
    Id id;
    const char* szName;
    void (*run)(LTransport&) = nullptr;
    bool bHeld = false;
};
const Spied kSpied[] = { { Id::kNew, "new" }, { Id::kSend, "send" }, { Id::kDelete, "delete" },
    { Id::kHelpContents, "help" }, { Id::kUndo, "undo" }, { Id::kRedo, "redo" }, { Id::kPlayFast, "fast" },
    { Id::kGoStart, "start" }, { Id::kGoEnd, "end" },
    { Id::kRecord, "record", [](LTransport& t) { t.CmRecord(t.Model().RecordMode()); } },
    { Id::kRecordOverwrite, "overwrite", [](LTransport& t) { t.CmRecord(2); } },
    { Id::kRecordInsert, "insert", [](LTransport& t) { t.CmRecord(1); } },
    { Id::kRecordAtEnd, "atend", [](LTransport& t) { t.CmRecord(0); } },
    { Id::kPlay, "play", [](LTransport& t) { t.CmPlay(); } }, { Id::kStop, "stop", [](LTransport& t) { t.CmStop(); } },
    { Id::kRewind, "rewind", [](LTransport& t) { t.CmBack(); }, true },
    { Id::kFastForward, "forward", [](LTransport& t) { t.CmFwd(); }, true } };

class Keyboard : public DesktopTest {
protected:
    std::string State()
    {
        LSession& t = Session();
        QWidget* pFocus = QApplication::focusWidget();
        QTreeWidget* pList = dialog->List();
        std::ostringstream s;
        s << (t.IsRecorderBusy() ? "recording"
                : t.IsPlaying()  ? "playing"
                                 : "stopped")
          << (t.IsScanning() ? " scanning" : "") << " row" << pList->indexOfTopLevelItem(pList->currentItem())
          << (pFocus != pList && pList->isAncestorOf(pFocus) ? " renaming" : "")
          << (pFocus == pList                    ? " focus=list"
                     : pFocus == dialog->Notes() ? " focus=notes"
                                                 : " focus=other")
          << (dialog->Notes()->toPlainText() != kNotes ? " typed" : "")
          << " sel=" << dialog->Notes()->textCursor().selectedText().toStdString()
          << " name=" << (pList->currentItem() ? pList->currentItem()->text(0).toStdString() : "")
          << (dialog->statusBar()->currentMessage().startsWith("No dictation is selected") ? " told" : "")
          << " log=" << log.substr(log.empty() ? 0 : 1);
        return " " + s.str() + " ";
    }
    void Expect(const Case& c, const char* szWhen, const std::string& expected)
    {
        const std::string state = State();
        std::istringstream tokens(expected.find("log=") == std::string::npos ? expected + " log=" : expected);
        for (std::string token; tokens >> token;)
            EXPECT_EQ(state.find(" " + token.substr(token[0] == '!') + " ") == std::string::npos, token[0] == '!')
                << c.szKeys << ", " << szWhen << ": " << token << " in" << state;
    }
    // A key at the focused widget; bRepeat: a half of a repeat as X11 sends it.
    // uScanCode: the server's key, as X gives it.
    void Press(bool bDown, bool bRepeat = false, quint32 uScanCode = 0)
    {
        QKeyEvent repeat(bDown ? QEvent::KeyPress : QEvent::KeyRelease, key.key(), key.keyboardModifiers(), uScanCode,
            0, 0, {}, bRepeat);
        if (bRepeat || uScanCode)
            QApplication::sendEvent(QApplication::focusWidget(), &repeat);
        else
            QTest::sendKeyEvent(bDown ? QTest::Press : QTest::Release, QApplication::focusWidget(), key.key(),
                key.key() < 0x100 ? QString(QChar(key.key())).toLower() : QString(), key.keyboardModifiers());
    }
    void Prepare(const Case& c)
    {
        std::vector<std::string> words;
        std::istringstream in(c.szKeys);
        for (std::string word; in >> word;)
            words.push_back(word);
        nTimes = words.back()[0] == 'x' ? std::stoi(words.back().substr(1)) : 1;
        words.resize(words.size() - (nTimes > 1));
        key = QKeySequence(QString::fromStdString(words.back()))[0];
        const std::string focus = words[words.size() - 2], prep = words.size() > 2 ? words[0] : "";
        // Every case starts from the same two dictations, the first current at 2 s.
        for (const auto& entry : std::filesystem::directory_iterator(engine->GetCurrentFolder()))
            std::filesystem::remove(entry.path());
        ::Record(*Make("one", 6, 50, 1000, kNotes.toStdString()), 6 * 8000);
        Make("two", 0, 50, 2000);
        Open();
        // "none": nothing selected, and the program's own commands refuse.
        for (const Spied& spied : kSpied) {
            if (prep == "none")
                break;
            LCommandRouter::Handler handler;
            handler.trigger
                = [this, spied] { return log += ","s + spied.szName, spied.run ? spied.run(T()) : void(), true; };
            if (spied.bHeld)
                handler.release
                    = [this, spied] { return log += ","s + spied.szName + "_up", T().CmBackFwdStop(), true; };
            app->Router().Register(spied.id, std::move(handler));
        }
        QApplication::setActiveWindow(dialog);
        dialog->List()->setCurrentItem(dialog->List()->topLevelItem(0));
        Session().SetPosition(2000);
        if (prep == "none")
            dialog->List()->clearSelection();
        QWidget* pFocus = focus == "list" ? dialog->List() : dialog->Control(LControlIds::kIdPlay);
        (focus == "notes" ? dialog->Notes() : pFocus)->setFocus();
        if (prep == "playing" || prep == "renaming")
            T().CmPlay();
        if (prep == "recording")
            app->CommandSet().CommandPress(Id::kRecord), app->CommandSet().CommandRelease(Id::kRecord);
        if (prep == "renaming")
            Run(Id::kRename), QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("Zed"));
        if (prep == "hotkey") {
            // No X display: the held key comes from the test, not from a grab.
            const QByteArray display = qgetenv("DISPLAY");
            qunsetenv("DISPLAY");
            app->StartHotKeys(app->CommandSet());
            qputenv("DISPLAY", display);
            app->HotKeys()->Start({ { 0x74, Id::kNew } });
            app->HotKeys()->EvHotKeyPress(0);
        }
        if (prep == "paired")
            app->Keyboard().SetRepeats(LKeyFilter::Repeats::Paired);
        if (prep == "numericoff")
            SetSettingBool("Keys", "UseNumeric", false), app->Keyboard().ReadSettings();
        if (prep == "colons")
            dialog->Notes()->setPlainText(QStringLiteral("Time: 10:30\nClient: Smith"));
        if (prep == "atend" || prep == "colons")
            dialog->Notes()->moveCursor(QTextCursor::End);
        // Playing, renaming and recording wait for the device.
        PumpUntil([&] { return !prep.ends_with("ing") || Session().IsPlaying() || Session().IsRecorderBusy(); });
        log.clear();
    }
    LTransport& T() { return app->Transport(); }

    QKeyCombination key;
    int nTimes = 1;
    std::string log;
};

} // namespace

TEST_F(Keyboard, EveryKeyWhereverTheFocusIs)
{
    test::ScriptedPcmBackend backend;
    backend.Install();
    SetSettingInt("Settings", "SampleRate", 8000);
    SetMachineInt("Settings", "VoiceActivateLevel", -127);
    test::ScriptedPcmBackend::CaptureScript script;
    script.blocks.assign(100, std::vector<int16_t>(800, 3000));
    script.uPaceMs = 100;
    backend.SetCaptureScript(script);
    // One key of each kind: the rest of the window's table takes the same paths.
    const Case kCases[] = { { "notes Ctrl+N", 0, "", "log=new" }, { "list Ctrl+S", 0, "", "log=send" },
        { "notes Ctrl+Del", 0, "", "log=delete !typed" }, { "list Ctrl+F5", 0, "", "recording log=overwrite" },
        { "button F1", 0, "", "log=help" }, { "notes F2", 0, "", "renaming" },
        { "list F5", 600, "recording log=record", "stopped log=record,stop" },
        { "list F5", -1, "recording log=record", "stopped log=record,stop" },
        { "list F5", -2, "recording log=record", "stopped log=record,stop" },
        { "paired list F5", -3, "recording log=record", "stopped log=record,stop" },
        { "paired notes Num+.", -3, "playing log=play", "stopped log=play,stop" },
        { "paired list F8", -3, "scanning log=forward", "log=forward,forward_up" },
        { "notes Num+.", -4, "playing log=play", "stopped log=play,stop" }, { "notes Ctrl+N", -2, "", "log=new" },
        { "notes Ctrl+Z", 0, "", "log=undo" }, { "list Ctrl+Shift+Z", 0, "", "log=redo" },
        { "notes Ctrl+Y", 0, "", "log=redo" }, { "recording list F5", 0, "recording", "stopped log=stop" },
        { "button Ins", 0, "", "recording log=insert" }, { "notes F9", 0, "", "playing log=play" },
        { "list F9", 2000, "playing log=play", "stopped log=play,stop" },
        { "playing notes Esc", 0, "", "stopped log=stop" },
        { "renaming list Esc", 0, "", "playing !renaming name=one" },
        { "renaming list Left", 200, "!scanning", "renaming" }, { "list Home", 0, "", "log=start" },
        { "notes Left", 200, "!scanning", "focus=notes" },
        { "list Left", 200, "scanning log=rewind", "log=rewind,rewind_up" },
        { "notes F7", 200, "scanning log=rewind", "log=rewind,rewind_up" }, { "button Down", 0, "", "row1" },
        { "notes Down", 0, "", "row0 focus=notes" }, { "list Tab", 0, "", "focus=notes sel=123" },
        { "list Tab x2", 0, "", "focus=notes sel=Smith" },
        { "atend notes Shift+Backtab x2", 0, "", "focus=notes sel=123" },
        { "atend notes Shift+Tab x3", 0, "", "focus=list" }, { "button Tab", 0, "", "focus=other" },
        { "colons list Tab x2", 0, "", "sel=Smith" }, { "colons notes Shift+Tab x2", 0, "", "sel=10:30" },
        { "notes Num+0", 0, "", "recording log=record !typed" },
        { "notes Num+4", 200, "scanning log=rewind", "log=rewind,rewind_up !typed" },
        { "playing notes Num+5", 0, "", "stopped log=stop !typed" },
        { "notes Num+.", 0, "", "playing log=play !typed" }, { "numericoff notes Num+0", 0, "", "stopped typed" },
        { "numericoff notes Num+5", 0, "", "typed" }, { "hotkey button F7", 0, "", "scanning log=rewind" },
        { "hotkey list F5", 600, "", "recording log=record" }, { "none list Ctrl+S", 0, "", "told" },
        { "none notes F2", 0, "", "told" }, { "none list Ctrl+H", 0, "", "told" },
        { "none list Ctrl+W", 0, "", "!told" } };
    for (const Case& c : kCases) {
        Prepare(c);
        // The keypad's "." as X numbers it.
        const quint32 uScanCode = c.nHoldMs == -4 ? 91 : 0;
        for (int i = 0; i < nTimes; ++i) {
            Press(true, false, uScanCode);
            for (int nMs = 0; nMs < (c.nHoldMs < 0 ? 700 : c.nHoldMs); nMs += 100) {
                PumpFor(100);
                if (c.nHoldMs == -1)
                    Press(false, true), Press(true, true);
                if (c.nHoldMs == -2)
                    Press(true);
                if (c.nHoldMs == -3)
                    Press(false), PumpFor(20), Press(true);
            }
            if (*c.szDuring)
                Expect(c, "held", c.szDuring);
            if (c.nHoldMs == -4)
                key = QKeyCombination(Qt::KeypadModifier, Qt::Key_Delete);
            Press(false, false, uScanCode);
        }
        PumpFor(c.nHoldMs == -3 ? LKeyFilter::kRepeatWaitMs + 30 : 30);
        Expect(c, "after", c.szAfter);
        Close();
    }
}

TEST(NotesFields, HostileTextEndsTheWalk)
{
    // Text, selection (start = end), backward, the field found ({-1, -1}: none).
    const std::tuple<std::u16string_view, long, bool, std::pair<long, long>> kRows[]
        = { { u"", 0, false, { -1, -1 } }, { u"<a>unterminated", 0, false, { -1, -1 } },
              { u"<a", 0, false, { -1, -1 } }, { u"<<</>", 0, false, { -1, -1 } }, { u"Client:", 0, false, { 7, 7 } },
              { u"a:b", -5, false, { 2, 3 } }, { u"</a>x</b>", 9, true, { 4, 5 } }, { u"x</", 100, true, { -1, -1 } },
              { u"</a>", 4, true, { -1, -1 } }, { u"a: b\r\nc", 0, false, { 3, 4 } } };
    for (const auto& [text, nAt, bBackward, field] : kRows) {
        std::pair<long, long> found { -1, -1 };
        if (!LNotesFields::Find(text, nAt, nAt, bBackward, &found.first, &found.second))
            found = { -1, -1 };
        EXPECT_EQ(found, field) << std::string(text.begin(), text.end());
    }
}

// A binding is one row: the key each menu item shows, pressed where the list
// has the focus, runs that item's command and nothing else, whether the
// keyboard filter or the menu's own shortcut takes it.
TEST_F(Keyboard, EveryShortcutAMenuShowsRunsItsItem)
{
    Prepare({ "list F1", 0, "", "" });
    std::vector<std::pair<Id, QAction*>> shown;
    for (int n = 1; n < 10000; ++n)
        if (QAction* pAction = dialog->MenuAction(static_cast<Id>(n)); pAction && !pAction->shortcut().isEmpty())
            shown.emplace_back(static_cast<Id>(n), pAction);
    // As many as the menus have always shown.
    EXPECT_EQ(shown.size(), 25u);
    for (const auto& [id, pAction] : shown) {
        LCommandRouter::Handler handler;
        handler.trigger = [this, id] { return log += "," + std::to_string(static_cast<int>(id)), true; };
        app->Router().Register(id, std::move(handler));
    }
    app->Router().Refresh();
    for (const auto& [id, pAction] : shown) {
        dialog->List()->setFocus();
        log.clear();
        const QKeyCombination combination = pAction->shortcut()[0];
        QTest::keyClick(QApplication::focusWidget(), combination.key(), combination.keyboardModifiers());
        EXPECT_EQ(log, "," + std::to_string(static_cast<int>(id)))
            << pAction->text().toStdString() << " shows " << pAction->shortcut().toString().toStdString();
    }
    Close();
}
