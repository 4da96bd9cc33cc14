// The wizard's playback step: the output device and play volume, tried out
// by playing the program's announcement on that device, over and over, while
// the step is shown. GUI thread; the player's thread plays.
#pragma once

#include "app/desktop/settings/LWizardStepPage.h"
#include "sound/device/LSoundPlayer.h"

#include <QTimer>

#include <string>

class LDeviceControls;
class LMainLoop;

class LPlaybackSettingPage : public LWizardStepPage, private LSoundPlayerNotify {
    Q_OBJECT
public:
    enum ControlId : int { kIdDevice = 101, kIdVolume = 102 };
    // The pause between two playings of the announcement.
    static constexpr int kReplayDelayMs = 1000;

    // testSound is the announcement's path (empty when it was not found: the
    // step then plays nothing).
    LPlaybackSettingPage(LMainLoop& loop, std::string testSound, QWidget* pParent = nullptr);
    ~LPlaybackSettingPage() override;

    void Enter() override;
    void Leave() override;
    void Store() override;

    bool IsPlaying() const { return m_player.IsPlaying(); }

private:
    void StartPlaying();
    void OnStopped(uint32_t uCookie) override;

    LSoundPlayer m_player;
    std::string m_testSound;
    LDeviceControls* m_pDevices = nullptr;
    QTimer m_replay;
    bool m_bShown = false;
};
