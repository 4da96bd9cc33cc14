// A dictation microphone's buttons, read as the kernel's input events
// (/dev/input/eventN of the microphone's vendor) and grabbed, so that its keys
// never type into another program. Each key press or release is turned into
// the microphone's button event codes by the table below. The node wakes the
// caller (Fd() becomes readable). GUI thread.
#pragma once

#include "platform/LControllerDevice.h"

#include <cstdint>
#include <string>
#include <vector>

class LDictationMicrophone {
public:
    // Button event codes: 2 stop pressed, 3 stop released, 4/5 play pressed and
    // released, 6/7 record, 10/11 end of letter, 12/13 rewind, 14/15 fast
    // forward, 16/17 insert, 20/21 the play/stop toggle.
    struct KeyMap {
        uint16_t uKey; // KEY_* of linux/input-event-codes.h
        int nPressed;
        int nReleased;
        const char* szButton; // for the manual
    };
    static const std::vector<KeyMap>& Table();
    // The event code of a key going down (bDown) or up; -1 for a key not in the table.
    static int EventCode(uint16_t uKey, bool bDown);

    // The size of one event as the kernel writes it here (struct input_event).
    static const size_t kEventSize;
    // The button event codes of one input event record; -1 for none
    // (not a key, a key not in the table, or the key's auto-repeat).
    static int EventOfRecord(const uint8_t* pRecord);

    LDictationMicrophone() = default;
    ~LDictationMicrophone() { Close(); }
    LDictationMicrophone(const LDictationMicrophone&) = delete;
    LDictationMicrophone& operator=(const LDictationMicrophone&) = delete;

    // The input-event nodes of the microphone's vendor (it shows several).
    static std::vector<std::string> Find(const LDeviceRoots& roots);
    // Opens and grabs every node given; kOpened when at least one opened, else
    // the result of the first. A node that is not an input device (a test's
    // pipe) opens without a grab.
    LDeviceOpen Open(const std::vector<std::string>& paths);
    void Close();
    bool IsOpen() const { return !m_nodes.empty(); }
    // Whether every opened node is grabbed.
    bool IsGrabbed() const;
    std::vector<int> Fds() const;

    // Reads what node fd holds and appends its button event codes to *pEvents.
    // False when that node is gone (it is closed).
    bool Read(int fd, std::vector<int>* pEvents);

private:
    struct Node {
        int fd;
        bool bGrabbed;
        LRecordSplitter records;
    };
    std::vector<Node> m_nodes;
};
