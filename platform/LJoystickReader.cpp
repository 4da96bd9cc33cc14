#include "platform/LJoystickReader.h"

#include <linux/joystick.h>

#include <fcntl.h>
#include <unistd.h>

LDeviceOpen LJoystickReader::Open(const std::string& path)
{
    Close();
    return OpenControllerDevice(path, O_RDONLY | O_NONBLOCK, &m_fd);
}

void LJoystickReader::Close()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = -1;
    m_uButtons = 0;
    m_records.Reset();
}

uint8_t LJoystickReader::ApplyEvent(uint8_t uButtons, const uint8_t* pEvent)
{
    static_assert(sizeof(js_event) == kEventSize);
    // time (4 bytes), value (2), type (1), number (1), in the host's order.
    const int16_t nValue = static_cast<int16_t>(pEvent[4] | (pEvent[5] << 8));
    const uint8_t uType = pEvent[6] & ~JS_EVENT_INIT;
    const uint8_t uNumber = pEvent[7];
    if (uType != JS_EVENT_BUTTON || uNumber > 3)
        return uButtons;
    const uint8_t uBit = static_cast<uint8_t>(1u << uNumber);
    return nValue ? (uButtons | uBit) : (uButtons & ~uBit);
}

bool LJoystickReader::Read(std::vector<uint8_t>* pStates)
{
    if (m_fd < 0)
        return false;
    const bool bAlive = DrainInto(m_fd, m_records);
    const size_t nEvents = m_records.Count();
    for (size_t i = 0; i < nEvents; ++i) {
        uint8_t uNew = ApplyEvent(m_uButtons, m_records.Record(i));
        if (uNew != m_uButtons && pStates)
            pStates->push_back(uNew);
        m_uButtons = uNew;
    }
    m_records.Consume();
    if (!bAlive) {
        // Unplugged: whatever was held is let go.
        if (m_uButtons && pStates)
            pStates->push_back(0);
        Close();
    }
    return bAlive;
}
