// The wizard's microphone step: the record device, its input channel and the
// record volume, with a live level meter. While the step is shown a recorder
// captures the chosen input into a sink that discards it, only to drive the
// meter. GUI thread; the recorder's thread captures.
#pragma once

#include "app/desktop/settings/LWizardStepPage.h"
#include "sound/device/LSoundRecorder.h"

class LDBDisplay;
class LDeviceControls;
class LMainLoop;

class LRecordSettingPage : public LWizardStepPage, private LSoundRecorderNotify {
    Q_OBJECT
public:
    enum ControlId : int { kIdDevice = 101, kIdChannel = 102, kIdMixer = 103, kIdVolume = 104, kIdLevel = 105 };
    // Long enough never to end while the step is shown (60 hours).
    static constexpr int32_t kMonitorMaxMs = 216000000;
    static constexpr int32_t kMonitorRate = 11025;

    explicit LRecordSettingPage(LMainLoop& loop, QWidget* pParent = nullptr);
    ~LRecordSettingPage() override;

    void Enter() override;
    void Leave() override;
    void Store() override;

    bool IsMonitoring() const { return m_recorder.GetRecordState() != LSoundRecorder::kStateStopped; }

private:
    void SelectStoredChannel();
    void StartMonitor();
    void OnLevels(uint32_t uCookie, const LChannelLevels& levels) override;

    LSoundRecorder m_recorder;
    LDeviceControls* m_pDevices = nullptr;
    LDBDisplay* m_pLevel = nullptr;
    bool m_bShown = false;
};
