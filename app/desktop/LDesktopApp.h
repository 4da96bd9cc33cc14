// The composition root of the desktop program: it builds the session, the
// command router, the transport, the send queue, the dictation and transfer
// commands, the main window and every input (other programs, hot keys, media
// keys, controllers, the signals that end the program), and wires them to
// each other. Nothing else knows more than one of them. Built once by Run
// (and by the tests and the benchmark) on the GUI thread.
#pragma once

#include "app/desktop/commands/LDictationCommands.h"
#include "app/desktop/commands/LDockCommands.h"
#include "app/desktop/commands/LHelpCommands.h"
#include "app/desktop/commands/LSettingsCommands.h"
#include "app/desktop/commands/LTransferCommands.h"
#include "app/desktop/session/LSession.h"
#include "app/shared/bus/LProgramCommands.h"
#include "app/shared/input/HardwareControl.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSet.h"
#include "app/shared/transport/LTransport.h"

#include <QString>

#include <functional>
#include <memory>

namespace LAccessible {
class LWindowNamer;
}
class LCommandSink;
class LControllers;
class LDictationEngineSettings;
class LHotKeys;
class LKeyFilter;
class LMainLoop;
class LMprisPlayer;
class LSendQueue;
class LSingleInstance;
class LSendStatusSource;
class LTerminateSignals;
class MainDialog;
class QMainWindow;

class LDesktopApp {
public:
    // How the program starts: unless bInputs (the developer options), no
    // instance is claimed and no hot key, media key, controller or first-run
    // wizard starts. opened runs once the window is shown.
    struct Launch {
        bool bInputs = true;
        std::function<void(LDesktopApp&)> opened;
    };
    // The program: claims its one instance (or shows the running one and
    // returns 0), builds the root, starts every input, opens the window and
    // runs the event loop; its result.
    static int Run(const Launch& launch);

    // With the program's own send queue on the Sent folder's "sending.dat".
    // The window is built but not shown.
    LDesktopApp(LDictationEngineSettings& engine, LMainLoop& loop);
    // pQueue takes the own queue's place (tests); null: no send queue.
    LDesktopApp(LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue);
    ~LDesktopApp();
    LDesktopApp(const LDesktopApp&) = delete;
    LDesktopApp& operator=(const LDesktopApp&) = delete;

    LSession& Session() { return m_session; }
    LCommandRouter& Router() { return m_router; }
    LTransport& Transport() { return m_transport; }
    LDictationCommands& Commands() { return m_commands; }
    LTransferCommands& Transfer() { return m_transfer; }
    LDockCommands& Dock() { return m_dock; }
    LSettingsCommands& Settings() { return m_settings; }
    LHelpCommands& Help() { return m_help; }
    // What every input path presses and releases.
    LCommandSet& CommandSet() { return m_commandSet; }
    // Other programs' commands and presses arrive through the instance's
    // interface; Serve(instance, false) detaches them again.
    void Serve(LSingleInstance& instance, bool bOn = true);
    // Every input: the instance served until the root goes, the signals that
    // end the program, and with bDevices hot keys, media keys and controllers
    // driving the command set.
    void StartInputs(LSingleInstance& instance, bool bDevices);
    MainDialog& Window() { return *m_pWindow; }
    QMainWindow& MainWindow();
    void OpenWindow();

    // Replaces the error box of a device that would not start (tests).
    using MessageBox = std::function<void(const QString& caption, const QString& text)>;
    void SetMessageBox(MessageBox box) { m_messageBox = std::move(box); }
    // Where a send that ends while the window is not active is told: the
    // desktop's notifications unless a test gives another.
    using SendNotice = std::function<void(const QString& name, const QString& status, bool bDelivered)>;
    void SetSendNotice(SendNotice notice) { m_sendNotice = std::move(notice); }

    // Hot keys: grabs the stored keys and drives sink with them (the command
    // set; tests pass a recorder of presses); where the desktop has no X
    // display the status bar says so. Null until started.
    // Moves secrets into the keyring; the notice of a missing one goes to the status bar.
    void StartSecrets();
    void StartHotKeys(LCommandSink& sink);
    LHotKeys* HotKeys() { return m_pHotKeys.get(); }
    // The window's keys, whichever of its widgets has the focus.
    LKeyFilter& Keyboard() { return *m_pKeyboard; }

    // Controllers: the one "Port" names, the Voice Input Station and the
    // dictation microphone, driving sink; the station's indicator follows the
    // transport. Devices are found where the kernel shows them unless a test
    // gives its own tree. Null until started.
    void StartControllers(LCommandSink& sink, HardwareControl::Devices devices = {});
    LControllers* Controllers() { return m_pControllers.get(); }
    // Media keys: the MPRIS player on the session bus and the keys while a
    // window of the program has the focus. Null until started.
    LMprisPlayer* StartMediaKeys();
    LMprisPlayer* MediaKeys() { return m_pMediaKeys.get(); }
    // The first-run wizard, once per user: 500 ms after this call when the
    // user has never seen it, then marked as seen however it was closed.
    static constexpr int kFirstRunDelayMs = 500;
    void StartFirstRunWizard();

    // While the settings are open: the hot keys released and the controllers
    // closed; then both taken up again with what is stored now, and the
    // window's keys read their settings again. Either may not be started.
    void SuspendInputs();
    void ResumeInputs();

private:
    class QueueNotify;

    LDesktopApp(LDictationEngineSettings& engine, LMainLoop& loop, LSendStatusSource* pQueue,
        std::unique_ptr<LSendQueue> pOwnQueue);
    void RunFirstRunWizard();
    // The queue's status block, taken when it posts, goes to the session.
    void StartQueue();
    void OnQueueNotify();
    // As the window closes: the queue, then the transport stop.
    void OnWindowClosing();

    LMainLoop& m_loop;
    std::unique_ptr<LSendQueue> m_pOwnQueue;
    LSendStatusSource* m_pQueue;
    std::unique_ptr<QueueNotify> m_pQueueNotify;
    LSession m_session;
    LCommandRouter m_router;
    LTransport m_transport;
    LDictationCommands m_commands;
    LTransferCommands m_transfer;
    LDockCommands m_dock;
    LCommandSet m_commandSet;
    LProgramCommands m_programCommands;
    LSettingsCommands m_settings;
    LHelpCommands m_help;
    MessageBox m_messageBox;
    SendNotice m_sendNotice;
    // Goes first: closing it stores its state and stops what the others run.
    MainDialog* m_pWindow = nullptr;
    std::unique_ptr<LHotKeys> m_pHotKeys;
    std::unique_ptr<LKeyFilter> m_pKeyboard;
    // Names the fields of every window as it is first shown.
    std::unique_ptr<LAccessible::LWindowNamer> m_pNamer;
    std::unique_ptr<LControllers> m_pControllers;
    std::unique_ptr<LMprisPlayer> m_pMediaKeys;
    std::unique_ptr<LTerminateSignals> m_pTerminate;
    LSingleInstance* m_pServed = nullptr;
};
