// The dock commands: the Dock button and Ctrl+D (the method used last, or
// the menu of both when none was chosen yet), the audio-cable method (the
// modeless dock window with its own recorder) and the audio-file method (its
// options dialog, then the folder walk of app/transfer, loading through the
// transfer commands). The dock window hands its tape dictation over through
// EvDockNotify. Built by the composition root; GUI thread.
#pragma once

#include "app/desktop/dialogs/DockDialog.h"
#include "app/shared/input/LCommandRouter.h"

#include <QPointer>

#include <functional>
#include <memory>

class LDictation;
class LMainLoop;
class LSession;
class LTransferCommands;
struct LUserPrompts;

class LDockCommands {
public:
    LDockCommands(LSession& session, LTransferCommands& transfer, LUserPrompts& prompts, LMainLoop& loop);
    ~LDockCommands();

    void RegisterCommands(LCommandRouter& router);

    bool CmDock();
    bool CmDockAudio();
    bool CmDockFile();
    // What the dock window tells: 0 hands over its dictation, 1 says it was
    // opened or closed (the Dock button shows whether it is open).
    enum : int { kNotifyHandOver = 0, kNotifyOpenClosed = 1 };
    void EvDockNotify(int nCode, std::unique_ptr<LDictation> pDictation);

    void SetStopTransport(std::function<void()> stop) { m_stop = std::move(stop); }
    DockDialog* Window() const { return m_pWindow; }
    // The dock window's clock in whole seconds (tests replace it).
    void SetClock(std::function<int64_t()> clock) { m_clock = std::move(clock); }

    // The menu of both methods, as the Dock button's drop-down shows it.
    static std::vector<LCommandRouter::PopupItem> Methods();

private:
    LSession& m_session;
    LTransferCommands& m_transfer;
    LUserPrompts& m_prompts;
    LMainLoop& m_loop;
    LCommandRouter* m_pRouter = nullptr;
    QPointer<DockDialog> m_pWindow;
    std::function<int64_t()> m_clock;
    std::function<void()> m_stop;
};
