#include "app/shared/input/LControllers.h"

#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LCommandRouter.h"
#include "app/shared/input/LCommandSink.h"
#include "app/shared/input/LInputKeys.h"

#include <QMessageBox>
#include <QSocketNotifier>

namespace Keys = InputKeys;

LControllers::LControllers(
    LCommandSink& sink, LCommandRouter& router, State state, HardwareControl::Devices devices, QObject* pParent)
    : QObject(pParent)
    , m_sink(sink)
    , m_router(router)
    , m_state(std::move(state))
    , m_devices(devices)
    , m_control(std::move(devices))
{
    m_timer3.setSingleShot(true);
    connect(&m_timer3, &QTimer::timeout, this, [this] { Poll(); });
    connect(&m_control, &HardwareControl::ButtonsChanged, this, [this](uint8_t uBits) { ButtonsNow(uBits); });
}

LControllers::~LControllers()
{
    Shutdown();
}

QString LControllers::OpenProblemText(int nPort, LDeviceOpen result, const std::string& path)
{
    const QString device = QString::fromStdString(path);
    const QString name = HardwareControl::PortName(nPort);
    if (result == LDeviceOpen::kBusy)
        return QStringLiteral("The controller \"%1\" (%2) is in use by another program.").arg(name, device);
    if (result != LDeviceOpen::kNoPermission)
        return {};
    if (nPort >= HardwareControl::kCom1 && nPort <= HardwareControl::kCom4)
        return QStringLiteral("The controller \"%1\" (%2) cannot be opened: permission denied.\n\n"
                              "Serial ports belong to the group \"dialout\": add your user to it "
                              "(sudo adduser $USER dialout), then log out and in again.")
            .arg(name, device);
    return QStringLiteral("The controller \"%1\" (%2) cannot be opened: permission denied.\n\n"
                          "The udev rule \"%3\", installed with the program in /usr/lib/udev/rules.d, gives the "
                          "logged-in user access to it. Install the program's package (or copy the rule into "
                          "/etc/udev/rules.d), then unplug the controller and plug it in again.")
        .arg(name, device, QString::fromLatin1(kUdevRule));
}

void LControllers::Tell(const QString& text)
{
    if (text.isEmpty())
        return;
    if (m_messageBox)
        m_messageBox(QStringLiteral("Tavrine Dictate"), text);
    else
        QMessageBox::critical(nullptr, QStringLiteral("Tavrine Dictate"), text);
}

void LControllers::StartHardwareControl()
{
    const int nPort = Keys::kControlPort.Get();
    if (!m_station.IsOpen() || m_station.HasEnded())
        OpenStation();
    if (!m_microphone.IsOpen())
        OpenMicrophone(nPort == HardwareControl::kSpeechMike);
    if (nPort == HardwareControl::kVoiceStation || nPort == HardwareControl::kSpeechMike)
        return;
    const bool bOpened = m_control.Open(nPort);
    Tell(OpenProblemText(nPort, m_control.LastOpen(), m_control.LastPath()));
    if (bOpened) {
        m_uLastBits = 0;
        if (!m_control.ReportsItself())
            m_timer3.start(kFirstPollMs);
    }
}

void LControllers::StopHardwareControl()
{
    m_timer3.stop();
    m_control.Close();
    // A button held as the controller goes is let go.
    ButtonsNow(0);
}

void LControllers::Shutdown()
{
    StopHardwareControl();
    m_station.Close();
    m_microphoneNotifiers.clear();
    m_microphone.Close();
}

void LControllers::OpenStation()
{
    const LVoiceStation::Node node = LVoiceStation::Find(m_devices.roots);
    // The station's thread only posts; the window acts on the codes.
    const LDeviceOpen result = node.devnode.empty() ? LDeviceOpen::kAbsent : m_station.Open(node, [this](int nCode) {
        QMetaObject::invokeMethod(
            this, [this, nCode] { EvVoiceInputStation(nCode); }, Qt::QueuedConnection);
    });
    if (result == LDeviceOpen::kOpened) {
        m_station.SetIndicator(LVoiceStation::kStopped);
        return;
    }
    if (Keys::kControlPort.Get() != HardwareControl::kVoiceStation)
        return;
    // Chosen but silent: said as for the microphone, not left to look like a dead pedal.
    const QString problem = OpenProblemText(HardwareControl::kVoiceStation, result, node.devnode);
    Tell(problem.isEmpty() ? QStringLiteral("Unable to detect a Voice Input Station. Please check you have connected "
                                            "your Voice Input Station.")
                           : problem);
}

void LControllers::OpenMicrophone(bool bChosen)
{
    const std::vector<std::string> nodes = LDictationMicrophone::Find(m_devices.roots);
    const LDeviceOpen result = m_microphone.Open(nodes);
    if (result != LDeviceOpen::kOpened) {
        if (!bChosen)
            return;
        if (result == LDeviceOpen::kAbsent)
            Tell(QStringLiteral("Unable to detect a SpeechMike. Please check you have connected your SpeechMike "
                                "and installed its drivers."));
        else
            Tell(OpenProblemText(HardwareControl::kSpeechMike, result, nodes.front()));
        return;
    }
    for (int fd : m_microphone.Fds()) {
        auto pNotifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QSocketNotifier* pRaw = pNotifier.get();
        connect(pRaw, &QSocketNotifier::activated, this, [this, fd, pRaw] {
            std::vector<int> events;
            if (!m_microphone.Read(fd, &events))
                pRaw->setEnabled(false); // unplugged
            for (int nEvent : events)
                EvSpeechMikeControl(nEvent);
        });
        m_microphoneNotifiers.push_back(std::move(pNotifier));
    }
}

void LControllers::SetIndicator(uint8_t uValue)
{
    m_station.SetIndicator(uValue);
}

LCommandId LControllers::ButtonCommand(int nButton) const
{
    if (m_buttonCommands)
        return m_buttonCommands(nButton);
    return LCommandSetTable::Id(Keys::kControlButtons[nButton].Get());
}

void LControllers::Poll()
{
    ButtonsNow(m_control.Scan());
    m_timer3.start(kPollMs);
}

void LControllers::ButtonsNow(uint8_t uBits)
{
    uBits &= 0x0F;
    if (uBits == m_uLastBits)
        return;
    const uint8_t uChanged = uBits ^ m_uLastBits;
    m_uLastBits = uBits;
    for (int nButton = 0; nButton < 4; ++nButton) {
        if (!(uChanged & (1u << nButton)))
            continue;
        const LCommandId command = ButtonCommand(nButton);
        if (uBits & (1u << nButton))
            m_sink.CommandPress(command);
        else
            m_sink.CommandRelease(command);
    }
}

void LControllers::EvVoiceInputStation(int nCode)
{
    using Id = LCommandId;
    switch (nCode) {
    case 0:
        m_router.Trigger(Id::kStop);
        break;
    case 1:
        m_router.Trigger(Id::kRecord);
        break;
    case 2:
        m_router.Trigger(Id::kPlay);
        break;
    // The station reports whole states: a scan runs until the next one.
    case 3:
        m_router.Trigger(Id::kRewind);
        break;
    case 4:
        m_router.Trigger(Id::kFastForward);
        break;
    case 5:
        m_router.Trigger(Id::kRecordInsert);
        break;
    case LVoiceStationKeys::kEndOfLetter:
        m_sink.CommandPress(ButtonCommand(3));
        break;
    default:
        break;
    }
}

void LControllers::EvSpeechMikeControl(int nEvent)
{
    using Id = LCommandId;
    const bool bRecording = m_state.recording && m_state.recording();
    const bool bPlaying = m_state.playing && m_state.playing();
    switch (nEvent) {
    case 2:
        if (!m_bRecordHeld)
            m_router.Trigger(Id::kStop);
        break;
    case 4:
    case 20:
        if (!bRecording)
            m_sink.CommandPress(Id::kPlay);
        break;
    case 5:
    case 21:
        if (bPlaying)
            m_sink.CommandRelease(Id::kPlay);
        break;
    case 6:
        m_bRecordHeld = true;
        m_sink.CommandPress(Id::kRecord);
        break;
    case 7:
        m_bRecordHeld = false;
        m_sink.CommandRelease(Id::kRecord);
        break;
    case 10:
        m_sink.CommandPress(ButtonCommand(3));
        break;
    case 12:
        m_sink.CommandPress(Id::kRewind);
        break;
    case 13:
        m_sink.CommandRelease(Id::kRewind);
        break;
    case 14:
        m_sink.CommandPress(Id::kFastForward);
        break;
    case 15:
        m_sink.CommandRelease(Id::kFastForward);
        break;
    default:
        break;
    }
}
