#include "platform/LDictationMicrophone.h"

#include <cstring>

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

const size_t LDictationMicrophone::kEventSize = sizeof(input_event);

const std::vector<LDictationMicrophone::KeyMap>& LDictationMicrophone::Table()
{
    // The microphone's buttons as its HID consumer-control usages reach the
    // kernel's key codes (Record, Play/Pause, Stop, Rewind, Fast Forward, Scan
    // Next Track as the end of letter), with the keyboard codes that some of
    // its button layouts send.
    static const std::vector<KeyMap> kTable = {
        { KEY_RECORD, 6, 7, "Record" },
        { KEY_PLAY, 4, 5, "Play" },
        { KEY_PLAYPAUSE, 20, 21, "Play/Stop" },
        { KEY_PLAYCD, 4, 5, "Play" },
        { KEY_STOP, 2, 3, "Stop" },
        { KEY_STOPCD, 2, 3, "Stop" },
        { KEY_PAUSECD, 2, 3, "Stop" },
        { KEY_REWIND, 12, 13, "Rewind" },
        { KEY_FASTFORWARD, 14, 15, "Fast forward" },
        { KEY_NEXTSONG, 10, 11, "End of letter" },
        { KEY_INSERT, 16, 17, "Insert" },
    };
    return kTable;
}

int LDictationMicrophone::EventCode(uint16_t uKey, bool bDown)
{
    for (const KeyMap& entry : Table())
        if (entry.uKey == uKey)
            return bDown ? entry.nPressed : entry.nReleased;
    return -1;
}

int LDictationMicrophone::EventOfRecord(const uint8_t* pRecord)
{
    input_event event;
    std::memcpy(&event, pRecord, sizeof event);
    // Value 2 is the key's auto-repeat: a held button is one press.
    if (event.type != EV_KEY || event.value < 0 || event.value > 1)
        return -1;
    return EventCode(event.code, event.value == 1);
}

std::vector<std::string> LDictationMicrophone::Find(const LDeviceRoots& roots)
{
    return FindInputEventNodes(roots, kVendorSpeech);
}

LDeviceOpen LDictationMicrophone::Open(const std::vector<std::string>& paths)
{
    Close();
    LDeviceOpen first = LDeviceOpen::kAbsent;
    for (size_t i = 0; i < paths.size(); ++i) {
        int fd = -1;
        LDeviceOpen result = OpenControllerDevice(paths[i], O_RDONLY | O_NONBLOCK, &fd);
        if (i == 0)
            first = result;
        if (result != LDeviceOpen::kOpened)
            continue;
        int nVersion = 0;
        const bool bInput = ioctl(fd, EVIOCGVERSION, &nVersion) == 0;
        const bool bGrabbed = bInput && ioctl(fd, EVIOCGRAB, 1) == 0;
        if (bInput && !bGrabbed) {
            // Another program holds it; reading it would not keep its keys from others.
            close(fd);
            if (i == 0)
                first = LDeviceOpen::kBusy;
            continue;
        }
        m_nodes.push_back({ fd, bGrabbed, LRecordSplitter(kEventSize) });
    }
    return m_nodes.empty() ? first : LDeviceOpen::kOpened;
}

void LDictationMicrophone::Close()
{
    for (Node& node : m_nodes)
        close(node.fd); // closing ends the grab
    m_nodes.clear();
}

bool LDictationMicrophone::IsGrabbed() const
{
    for (const Node& node : m_nodes)
        if (!node.bGrabbed)
            return false;
    return !m_nodes.empty();
}

std::vector<int> LDictationMicrophone::Fds() const
{
    std::vector<int> fds;
    for (const Node& node : m_nodes)
        fds.push_back(node.fd);
    return fds;
}

bool LDictationMicrophone::Read(int fd, std::vector<int>* pEvents)
{
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        Node& node = m_nodes[i];
        if (node.fd != fd)
            continue;
        const bool bAlive = DrainInto(fd, node.records);
        for (size_t r = 0; r < node.records.Count(); ++r) {
            int nEvent = EventOfRecord(node.records.Record(r));
            if (nEvent >= 0 && pEvents)
                pEvents->push_back(nEvent);
        }
        node.records.Consume();
        if (!bAlive) {
            close(fd);
            m_nodes.erase(m_nodes.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return bAlive;
    }
    return false;
}
