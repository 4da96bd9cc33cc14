// The audio-cable dock: records what a portable recorder plays into the
// sound card's input, into a tape dictation of its own ("Tape 001"),
// optionally slowing a high-speed playback back to normal, and presses Done
// by itself 15 seconds after the sound stopped. Modeless, with a recorder of
// its own; the tape belongs to it until Done hands it over or sends it, and
// closing it any other way deletes the tape. GUI thread.
#pragma once

#include "sound/device/LSoundRecorder.h"

#include <QDialog>

#include <functional>
#include <memory>

class LDBDisplay;
class LDBEdit;
class LDictation;
class LDictationEngineSettings;
class LMainLoop;
class LProcessListThread;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
struct LUserPrompts;

class DockDialog : public QDialog, private LSoundRecorderNotify {
    Q_OBJECT
public:
    enum ControlId : int {
        kIdDevice = 100,
        kIdChannel = 101,
        kIdVolume = 102,
        kIdActiveLevel = 103,
        kIdText = 104,
        kIdName = 105,
        kIdNotes = 106,
        kIdAutoSend = 107,
        kIdRestart = 108,
        kIdTime = 109,
        kIdLevel = 110,
        kIdHighSpeed = 111,
        kIdPercent = 112,
    };
    // Seconds the sound must have been gone before the transfer ends itself.
    static constexpr int64_t kQuietEndSeconds = 15;
    static constexpr int32_t kHangTimeMs = 3000;
    static constexpr int32_t kMaxTimeMs = 3600000;

    // notify(0, dictation) hands the tape over; notify(1, null) says the
    // window opened or closed. pQueue null: Done never sends.
    using Notify = std::function<void(int nCode, std::unique_ptr<LDictation> pDictation)>;
    DockDialog(LDictationEngineSettings& engine, LMainLoop& loop, LUserPrompts& prompts, LProcessListThread* pQueue,
        Notify notify, std::function<int64_t()> clock, QWidget* pParent);
    ~DockDialog() override;

    // Fills the controls, makes the tape and starts the transfer.
    void InitDialog();
    void CmOk();
    void CmRestart();
    // Starts (again) recording into the tape from position 0; false when the
    // sound card would not start.
    bool StartTransfer();
    void SetupRecordChannels();
    void EnableControls(bool bRecording, bool bWaiting);

    const LDictation* Tape() const { return m_pTape.get(); }
    LSoundRecorder& Recorder() { return m_recorder; }
    QWidget* Control(int nId) const;
    int64_t LastLoudTime() const { return m_tLastLoud; }

protected:
    void reject() override;

private:
    void OnRecording(uint32_t) override;
    void OnWaiting(uint32_t) override;
    void OnStopped(uint32_t) override;
    void OnTime(uint32_t, int32_t nMs) override;
    void OnLevels(uint32_t, const LChannelLevels& levels) override;
    void DeleteTape();

    LDictationEngineSettings& m_engine;
    LUserPrompts& m_prompts;
    LProcessListThread* m_pQueue;
    Notify m_notify;
    std::function<int64_t()> m_clock;
    LSoundRecorder m_recorder;
    std::unique_ptr<LDictation> m_pTape;
    int64_t m_tLastLoud = 0;
    int32_t m_nRecorderLoudMs = 0;
    bool m_bEnding = false;
    bool m_bNameEdited = false;
    bool m_bNotesEdited = false;

    QComboBox* m_pDevice = nullptr;
    QComboBox* m_pChannel = nullptr;
    LDBEdit* m_pVolume = nullptr;
    LDBEdit* m_pActiveLevel = nullptr;
    QLabel* m_pText = nullptr;
    QLineEdit* m_pName = nullptr;
    QPlainTextEdit* m_pNotes = nullptr;
    QCheckBox* m_pAutoSend = nullptr;
    QPushButton* m_pRestart = nullptr;
    QLabel* m_pTime = nullptr;
    LDBDisplay* m_pLevel = nullptr;
    QCheckBox* m_pHighSpeed = nullptr;
    QSpinBox* m_pPercent = nullptr;
};
