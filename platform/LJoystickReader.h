// A joystick-class control through the Linux joystick interface
// (/dev/input/jsN): buttons 1 to 4 become bits 0 to 3. The node wakes the
// caller (Fd() becomes readable), so presses are seen as they come. GUI thread.
#pragma once

#include "platform/LControllerDevice.h"

#include <cstdint>
#include <string>
#include <vector>

class LJoystickReader {
public:
    static constexpr size_t kEventSize = 8; // struct js_event

    LJoystickReader() = default;
    ~LJoystickReader() { Close(); }
    LJoystickReader(const LJoystickReader&) = delete;
    LJoystickReader& operator=(const LJoystickReader&) = delete;

    LDeviceOpen Open(const std::string& path);
    void Close();
    int Fd() const { return m_fd; }

    // Reads what the node holds; each button event that changes the bits adds
    // the bits after it to *pStates, so a press and its release read together
    // both count. False when the device is gone (it then reports no buttons).
    bool Read(std::vector<uint8_t>* pStates);
    uint8_t Buttons() const { return m_uButtons; }

    // One event applied to bits: button numbers 0 to 3 set or clear their bit;
    // axes, higher buttons and the initial-state flag otherwise leave them.
    static uint8_t ApplyEvent(uint8_t uButtons, const uint8_t* pEvent);

private:
    int m_fd = -1;
    uint8_t m_uButtons = 0;
    LRecordSplitter m_records { kEventSize };
};
