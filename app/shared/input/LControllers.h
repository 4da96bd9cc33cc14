// The window's controllers: the polled controller that "Port" names (timer 3,
// first after 500 ms, then every 50 ms, and at once when the device reports;
// serial lines report only through their watcher),
// the Voice Input Station and the dictation microphone. Buttons become the
// command set's press and release; the station's transport codes and the
// microphone's button events become transport commands. GUI thread.
#pragma once

#include "app/shared/commands/LCommandId.h"
#include "app/shared/input/HardwareControl.h"
#include "platform/LDictationMicrophone.h"
#include "platform/LVoiceStation.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class LCommandRouter;
class LCommandSink;
class QSocketNotifier;

class LControllers : public QObject {
    Q_OBJECT
public:
    static constexpr int kFirstPollMs = 500;
    static constexpr int kPollMs = 50;
    // The udev rule installed with the program, named where access is refused.
    static constexpr const char* kUdevRule = "70-tavrine-dictate.rules";

    struct State {
        std::function<bool()> recording; // recording or waiting for voice
        std::function<bool()> playing;
    };
    using MessageBox = std::function<void(const QString& caption, const QString& text)>;

    LControllers(LCommandSink& sink, LCommandRouter& router, State state, HardwareControl::Devices devices = {},
        QObject* pParent = nullptr);
    ~LControllers() override;

    void SetMessageBox(MessageBox box) { m_messageBox = std::move(box); }
    // The command of button n (0 to 3) in place of "Control1" to "Control4":
    // the typist's program keeps a pedal layout of its own.
    using ButtonCommands = std::function<LCommandId(int nButton)>;
    void SetButtonCommands(ButtonCommands commands) { m_buttonCommands = std::move(commands); }

    // StartHardwareControl: reads "Port"; opens the station and the microphone
    // when they are not open (whatever "Port" says, showing their stopped
    // state), else the polled controller with timer 3.
    void StartHardwareControl();
    // StopHardwareControl: timer 3 stopped, the polled controller closed.
    void StopHardwareControl();
    // At the window's end: everything closed, the station's thread stopped.
    void Shutdown();

    // The transport's record state on the station's indicator (LVoiceStation values).
    void SetIndicator(uint8_t uValue);

    // What the user is told when a device exists but may not be opened, or
    // is held by another program; empty for other results.
    static QString OpenProblemText(int nPort, LDeviceOpen result, const std::string& path);

    HardwareControl& Control() { return m_control; }
    bool IsPolling() const { return m_timer3.isActive() || m_control.ReportsItself(); }
    bool IsStationOpen() const { return m_station.IsOpen(); }
    bool IsMicrophoneOpen() const { return m_microphone.IsOpen(); }
    const LDictationMicrophone& Microphone() const { return m_microphone; }

    // The window's handlers, public for the readers' wiring and tests.
    void EvVoiceInputStation(int nCode);
    void EvSpeechMikeControl(int nEvent);
    // Timer 3 and the event-driven readers: press and release per changed
    // bit, in the order button 1, 2, 3, end of letter.
    void ButtonsNow(uint8_t uBits);

private:
    void Poll();
    void OpenStation();
    void OpenMicrophone(bool bChosen);
    void Tell(const QString& text);
    LCommandId ButtonCommand(int nButton) const;

    LCommandSink& m_sink;
    LCommandRouter& m_router;
    State m_state;
    HardwareControl::Devices m_devices;
    HardwareControl m_control;
    QTimer m_timer3;
    uint8_t m_uLastBits = 0;
    LVoiceStation m_station;
    LDictationMicrophone m_microphone;
    std::vector<std::unique_ptr<QSocketNotifier>> m_microphoneNotifiers;
    bool m_bRecordHeld = false;
    MessageBox m_messageBox;
    ButtonCommands m_buttonCommands;
};
