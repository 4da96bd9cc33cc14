// The settings commands: "Hardware Settings...", "Recipient Send Settings..."
// and "User Settings..." open the settings sheet at their page. Around the
// sheet the transport is stopped and the hot keys and controllers let go, so
// that keys and pedals being set up do not drive the program, and taken up
// again with the settings as they are now. Built by the composition root;
// GUI thread.
#pragma once

#include "app/shared/input/LCommandRouter.h"

#include <functional>

class QWidget;
struct LUserPrompts;

class LSettingsCommands {
public:
    struct Hooks {
        std::function<void()> stopTransport;
        // Before the sheet: hot keys and controllers released.
        std::function<void()> suspendInputs;
        // After it, OK or Cancel: both started again and the window's keys
        // read their settings again.
        std::function<void()> resumeInputs;
        // Whether the desktop lets hot keys be grabbed; null: it does not.
        std::function<bool()> hotKeysAvailable;
    };

    LSettingsCommands(LUserPrompts& prompts, Hooks hooks);

    void RegisterCommands(LCommandRouter& router);
    void SetDialogParent(QWidget* pParent) { m_pParent = pParent; }

    // Opens the sheet at page nPage; true when it was closed with OK.
    bool OpenSettings(int nPage);

private:
    LUserPrompts& m_prompts;
    Hooks m_hooks;
    QWidget* m_pParent = nullptr;
};
