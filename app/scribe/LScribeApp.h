// The composition root of the typist's program: the session over the inbox,
// the router, the shared transport with auto-rewind and the finer speed, the
// job window, the compact bar and every input that works without the focus
// (pedals that play only while held, system-wide hot keys, MPRIS), wired to
// each other. Built once by Run (and by the tests) on the GUI thread.
#pragma once

#include "app/scribe/LInboxWatch.h"
#include "app/scribe/LScribeSession.h"
#include "app/shared/input/HardwareControl.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSet.h"
#include "app/shared/input/LHoldToPlay.h"
#include "app/shared/transport/LTransport.h"
#include "app/transfer/LAttachmentOpener.h"

#include <functional>
#include <memory>

class LCompactBar;
class LControllers;
class LHotKeys;
class LMainLoop;
class LMprisPlayer;
class LScribeWindow;
class LSingleInstance;
class LTerminateSignals;

class LScribeApp {
public:
    struct Launch {
        bool bInputs = true; // instance, hot keys, media keys, pedals
        std::function<void(LScribeApp&)> opened;
    };
    // The program: one instance per user (a second start shows the first),
    // the window, the event loop; its result.
    static int Run(const Launch& launch);

    LScribeApp(LScribeInbox inbox, LMainLoop& loop);
    ~LScribeApp();
    LScribeApp(const LScribeApp&) = delete;
    LScribeApp& operator=(const LScribeApp&) = delete;

    LScribeSession& Session() { return m_session; }
    LCommandRouter& Router() { return m_router; }
    LTransport& Transport() { return m_transport; }
    LScribeWindow& Window() { return *m_pWindow; }
    LCompactBar& Bar() { return *m_pBar; }
    LCommandSet& CommandSet() { return m_commandSet; }
    LControllers* Controllers() { return m_pControllers.get(); }

    // Pedals through the readers (devices: where tests put their pipes), hot
    // keys and media keys.
    void StartInputs(bool bDevices, HardwareControl::Devices devices = {});
    void Serve(LSingleInstance& instance);
    // The settings in force: auto-rewind, fine speed, pedal layout, hot keys.
    void ReadSettings();
    void ShowCompactBar();
    void ShowSettings(int nPage);

private:
    void Raise();

    LScribeSession m_session;
    LCommandRouter m_router;
    LTransport m_transport;
    LCommandSet m_commandSet;
    LHoldToPlay m_holdToPlay;
    LAttachmentOpener m_opener;
    std::unique_ptr<LScribeWindow> m_pWindow;
    std::unique_ptr<LCompactBar> m_pBar;
    std::unique_ptr<LHotKeys> m_pHotKeys;
    std::unique_ptr<LControllers> m_pControllers;
    std::unique_ptr<LMprisPlayer> m_pMediaKeys;
    std::unique_ptr<LTerminateSignals> m_pTerminate;
    // Lists a folder again when it changes, an FTP directory at its interval.
    LInboxWatch m_watch;
};
