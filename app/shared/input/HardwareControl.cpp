#include "app/shared/input/HardwareControl.h"

#include "app/shared/input/LInputKeys.h"
#include "foundation/LSettings.h"

#include <vector>

QString HardwareControl::PortName(int nPort)
{
    static const char* const kNames[kPortCount] = { "None", "GamePort1 or USB1", "GamePort2 or USB2",
        "Infinity USB Pedals", "COM1", "COM2", "COM3", "COM4", "Voice Input Station USB", "SpeechMike" };
    return nPort >= 0 && nPort < kPortCount ? QString::fromLatin1(kNames[nPort]) : QString();
}

HardwareControl::HardwareControl(Devices devices, QObject* pParent)
    : QObject(pParent)
    , m_devices(std::move(devices))
    , m_serial(m_devices.statusReader, m_devices.lineWaiter)
{
}

HardwareControl::~HardwareControl()
{
    Close();
}

std::string HardwareControl::SerialPath(int nPort) const
{
    // A USB serial adapter or a port past the fourth; only a device node is taken.
    std::string named = InputKeys::kSerialDevice.Get();
    if (IsSerialDeviceName(named))
        return m_devices.roots.dev + named.substr(4);
    return m_devices.roots.dev + "/ttyS" + std::to_string(nPort - kCom1);
}

bool HardwareControl::IsSerialDeviceName(std::string_view name)
{
    const bool bEndsClimbing = name.size() >= 3 && name.substr(name.size() - 3) == "/..";
    return name.rfind("/dev/", 0) == 0 && name.find("/../") == std::string_view::npos && !bEndsClimbing;
}

bool HardwareControl::Open(int nPort)
{
    Close();
    m_nPort = nPort;
    m_lastOpen = LDeviceOpen::kAbsent;
    m_lastPath.clear();
    if (nPort == kJoystick1 || nPort == kJoystick2) {
        m_lastPath = m_devices.roots.dev + "/input/js" + std::to_string(nPort - kJoystick1);
        m_lastOpen = m_joystick.Open(m_lastPath);
        WatchDevice(m_joystick.Fd());
        return true;
    }
    if (nPort == kUsbPedals) {
        m_lastPath = LHidPedal::Find(m_devices.roots);
        if (!m_lastPath.empty())
            m_lastOpen = m_pedal.Open(m_lastPath);
        WatchDevice(m_pedal.Fd());
        return true;
    }
    if (nPort >= kCom1 && nPort <= kCom4) {
        m_lastPath = SerialPath(nPort);
        m_lastOpen = m_serial.Open(m_lastPath);
        if (m_lastOpen != LDeviceOpen::kOpened)
            return false;
        // Without a watcher (no eventfd left) the window's timer polls the lines.
        m_serial.Watch([this](uint8_t uBits) {
            QMetaObject::invokeMethod(
                this, [this, uBits] { emit ButtonsChanged(FoldButtons(uBits)); }, Qt::QueuedConnection);
        });
        return true;
    }
    m_nPort = kNone;
    return false;
}

void HardwareControl::Close()
{
    m_watcher.Stop();
    m_uReadBits = 0;
    m_serial.Close();
    m_joystick.Close();
    m_pedal.Close();
    m_nPort = kNone;
}

uint8_t HardwareControl::ReadButtons()
{
    uint8_t uBits = 0;
    if (m_serial.IsOpen())
        uBits = m_serial.ReadBits();
    else if (m_nPort == kJoystick1 || m_nPort == kJoystick2 || m_nPort == kUsbPedals)
        uBits = m_uReadBits.load();
    return uBits & 0x0F;
}

void HardwareControl::WatchDevice(int fd)
{
    if (fd >= 0)
        m_watcher.Start(fd, [this] { return OnReadable(); });
}

bool HardwareControl::OnReadable()
{
    std::vector<uint8_t> states;
    const bool bAlive = m_nPort == kUsbPedals ? m_pedal.Read(&states) : m_joystick.Read(&states);
    if (!bAlive)
        states.push_back(0); // unplugged: what was held is let go
    if (states.empty())
        return bAlive;
    m_uReadBits = states.back();
    QMetaObject::invokeMethod(
        this,
        [this, states] {
            for (uint8_t uBits : states)
                emit ButtonsChanged(FoldButtons(uBits));
        },
        Qt::QueuedConnection);
    return bAlive;
}
