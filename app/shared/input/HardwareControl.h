// One polled controller, the one "Port" names among the joysticks, the USB
// pedals and the serial ports: Scan gives its four button bits. Each device
// is read on a watcher thread of its own, asleep in poll (the joystick and the
// pedals) or in the serial driver's line wait, which posts every change to the
// window, so a press is read the moment it comes. GUI thread.
#pragma once

#include "platform/LControllerDevice.h"
#include "platform/LDescriptorWatcher.h"
#include "platform/LHidPedal.h"
#include "platform/LJoystickReader.h"
#include "platform/LSerialLines.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

class HardwareControl : public QObject {
    Q_OBJECT
public:
    enum Port {
        kNone = 0,
        kJoystick1 = 1,
        kJoystick2 = 2,
        kUsbPedals = 3,
        kCom1 = 4,
        kCom4 = 7,
        kVoiceStation = 8,
        kSpeechMike = 9,
    };
    static constexpr int kPortCount = 10;
    // "None", "GamePort1 or USB1", ... in the order the settings list them.
    static QString PortName(int nPort);

    // Where the devices are found, and the serial lines' status read and wait.
    struct Devices {
        LDeviceRoots roots;
        LSerialLines::StatusReader statusReader;
        LSerialLines::LineWaiter lineWaiter;
    };

    explicit HardwareControl(Devices devices = {}, QObject* pParent = nullptr);
    ~HardwareControl() override;

    // Closes what is open, then opens the port's device. A missing joystick or
    // pedal still opens (it reports no buttons); a serial port that cannot be
    // opened, and port 0, do not. LastOpen tells why a device did not open.
    bool Open(int nPort);
    void Close();
    int GetPort() const { return m_nPort; }
    // The open device reports every change itself (ButtonsChanged), so no timer needs to scan it.
    bool ReportsItself() const { return m_serial.IsWatching(); }
    // Bits 0 to 2 buttons 1 to 3, bit 3 the end-of-letter button; buttons 1
    // and 2 alone read as button 3.
    uint8_t Scan() { return FoldButtons(ReadButtons()); }
    // The bits as the device gives them, before the folding.
    uint8_t ReadButtons();
    static uint8_t FoldButtons(uint8_t uBits) { return uBits == 3 ? 4 : uBits; }

    LDeviceOpen LastOpen() const { return m_lastOpen; }
    const std::string& LastPath() const { return m_lastPath; }
    // The device of a serial port: "Control"/"SerialDevice" when set, else ttyS0 to ttyS3.
    std::string SerialPath(int nPort) const;
    // Whether a "SerialDevice" value is taken: a node under /dev/ that does not climb out of it.
    static bool IsSerialDeviceName(std::string_view name);

signals:
    // An event-driven device reported: the bits (as Scan gives them) after
    // each change, so a press and release read together both arrive.
    void ButtonsChanged(uint8_t uBits);

private:
    void WatchDevice(int fd);
    // On the watcher thread: reads the joystick or the pedals; false once gone.
    bool OnReadable();

    Devices m_devices;
    int m_nPort = kNone;
    LSerialLines m_serial;
    LJoystickReader m_joystick;
    // Its report stride is learnt once for the whole program.
    LHidPedal m_pedal;
    // Reads the joystick or the pedals, which belong to it while it runs.
    LDescriptorWatcher m_watcher;
    // The joystick's or pedals' bits as last read, for Scan on the GUI thread.
    std::atomic<uint8_t> m_uReadBits { 0 };
    LDeviceOpen m_lastOpen = LDeviceOpen::kAbsent;
    std::string m_lastPath;
};
