#include "app/shared/input/LHotKeys.h"

#include "app/shared/commands/LCommandSetTable.h"
#include "app/shared/input/LCommandSink.h"
#include "app/shared/input/LInputKeys.h"
#include "app/shared/input/LPortalShortcuts.h"
#include "foundation/LText.h"
#include "platform/LVirtualKey.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QSocketNotifier>

#include <algorithm>
#include <string_view>
#include <utility>

namespace {

constexpr uint32_t kAltBit = 1u << 16;
constexpr uint32_t kCtrlBit = 1u << 17;
constexpr uint32_t kShiftBit = 1u << 18;
// A "Count" from a damaged file must not make the start read for ever.
constexpr int kMaxHotKeys = 256;

} // namespace

std::vector<LHotKey> ReadHotKeys()
{
    using namespace InputKeys;
    std::vector<LHotKey> keys;
    const int nCount = std::min(kHotKeyCount.Get(), kMaxHotKeys);
    for (int i = 0; i < nCount; ++i) {
        LHotKey key;
        // Stored as a signed decimal; the bits are what count.
        key.uValue = static_cast<uint32_t>(kHotKeyValue.At(i).Get());
        key.command = LCommandSetTable::Id(kHotKeyCommand.At(i).Get());
        keys.push_back(key);
    }
    return keys;
}

namespace {

// The keysym of a Qt key where the event carries none (every platform but X):
// Latin-1 keys are their own keysyms; the rest by the name X gives them.
uint32_t KeysymOfQtKey(int nKey, bool bKeypad)
{
    static constexpr std::pair<int, const char*> kKeypad[] = { { Qt::Key_Asterisk, "KP_Multiply" },
        { Qt::Key_Plus, "KP_Add" }, { Qt::Key_Minus, "KP_Subtract" }, { Qt::Key_Period, "KP_Decimal" },
        { Qt::Key_Comma, "KP_Decimal" }, { Qt::Key_Delete, "KP_Decimal" }, { Qt::Key_Slash, "KP_Divide" } };
    static constexpr std::pair<int, const char*> kNamed[] = { { Qt::Key_Backspace, "BackSpace" },
        { Qt::Key_Tab, "Tab" }, { Qt::Key_Backtab, "Tab" }, { Qt::Key_Return, "Return" }, { Qt::Key_Enter, "Return" },
        { Qt::Key_Pause, "Pause" }, { Qt::Key_CapsLock, "Caps_Lock" }, { Qt::Key_Escape, "Escape" },
        { Qt::Key_PageUp, "Prior" }, { Qt::Key_PageDown, "Next" }, { Qt::Key_End, "End" }, { Qt::Key_Home, "Home" },
        { Qt::Key_Left, "Left" }, { Qt::Key_Up, "Up" }, { Qt::Key_Right, "Right" }, { Qt::Key_Down, "Down" },
        { Qt::Key_Print, "Print" }, { Qt::Key_Insert, "Insert" }, { Qt::Key_Delete, "Delete" },
        { Qt::Key_NumLock, "Num_Lock" }, { Qt::Key_ScrollLock, "Scroll_Lock" }, { Qt::Key_VolumeMute, "XF86AudioMute" },
        { Qt::Key_VolumeDown, "XF86AudioLowerVolume" }, { Qt::Key_VolumeUp, "XF86AudioRaiseVolume" },
        { Qt::Key_MediaNext, "XF86AudioNext" }, { Qt::Key_MediaPrevious, "XF86AudioPrev" },
        { Qt::Key_MediaStop, "XF86AudioStop" }, { Qt::Key_MediaPlay, "XF86AudioPlay" },
        { Qt::Key_MediaTogglePlayPause, "XF86AudioPlay" } };
    if (bKeypad) {
        if (nKey >= Qt::Key_0 && nKey <= Qt::Key_9)
            return KeysymOfName(tplprintf("KP_%d", nKey - Qt::Key_0).c_str());
        for (const auto& [nQt, szName] : kKeypad)
            if (nQt == nKey)
                return KeysymOfName(szName);
    }
    if (nKey > 0 && nKey < 0x100)
        return static_cast<uint32_t>(nKey);
    if (nKey >= Qt::Key_F1 && nKey <= Qt::Key_F24)
        return KeysymOfName(tplprintf("F%d", nKey - Qt::Key_F1 + 1).c_str());
    for (const auto& [nQt, szName] : kNamed)
        if (nQt == nKey)
            return KeysymOfName(szName);
    return 0;
}

} // namespace

uint32_t HotKeyValueOf(const QKeyEvent& event)
{
    // On X the event carries the keysym itself, the layout's own.
    uint16_t uKey = 0;
    if (event.nativeVirtualKey() != 0 && QGuiApplication::platformName() == QLatin1String("xcb"))
        uKey = VirtualKeyOfKeysym(event.nativeVirtualKey());
    if (uKey == 0)
        uKey = VirtualKeyOfKeysym(KeysymOfQtKey(event.key(), event.modifiers() & Qt::KeypadModifier));
    if (uKey == 0 && (event.modifiers() & Qt::ShiftModifier) && event.key() > 0 && event.key() < 0x80) {
        // A shifted symbol names the key beneath it, as the key's name is the
        // US layout's: Shift+1 types "!" but is the key "1".
        static constexpr std::string_view kShifted = "!@#$%^&*()_+{}|:\"<>?~";
        static constexpr std::string_view kBase = "1234567890-=[]\\;',./`";
        const size_t nAt = kShifted.find(static_cast<char>(event.key()));
        if (nAt != std::string_view::npos)
            uKey = VirtualKeyOfKeysym(static_cast<unsigned char>(kBase[nAt]));
    }
    if (uKey == 0)
        return 0;
    uint32_t uValue = uKey;
    if (event.modifiers() & Qt::ControlModifier)
        uValue |= kCtrlBit;
    if (event.modifiers() & Qt::AltModifier)
        uValue |= kAltBit;
    if (event.modifiers() & Qt::ShiftModifier)
        uValue |= kShiftBit;
    return uValue;
}

QString HotKeyText(uint32_t uValue, const LX11HotKeyGrabber* pLayout)
{
    LVirtualKey key;
    if (!FindVirtualKey(static_cast<uint16_t>(uValue & 0xFFFF), &key))
        return {};
    QString name = QString::fromStdString(key.name);
    if (key.bTypes && pLayout) {
        const std::string typed = pLayout->KeyCharacter(key.uKeysym);
        if (!typed.empty())
            name = QString::fromStdString(typed).toUpper();
    }
    QString text;
    if (uValue & kCtrlBit)
        text += QStringLiteral("Ctrl+");
    if (uValue & kAltBit)
        text += QStringLiteral("Alt+");
    if (uValue & kShiftBit)
        text += QStringLiteral("Shift+");
    return text + name;
}

LHotKeys::LHotKeys(LCommandSink& sink, QObject* pParent)
    : QObject(pParent)
    , m_sink(sink)
{
    m_repeatTimer.setSingleShot(true);
    m_repeatTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_repeatTimer, &QTimer::timeout, this, [this] { ReleaseHeld(); });
    m_grabber.SetCallback([this](int nIndex, bool bPressed) {
        if (bPressed)
            EvHotKeyPress(nIndex);
        else
            EvHotKeyRelease(nIndex);
    });
}

LHotKeys::~LHotKeys()
{
    m_pPortal.reset();
    m_pNotifier.reset();
    m_grabber.Close();
}

bool LHotKeys::Open(const char* szDisplay)
{
    m_pNotifier.reset();
    if (!m_grabber.Open(szDisplay))
        return false;
    m_pNotifier = std::make_unique<QSocketNotifier>(m_grabber.Fd(), QSocketNotifier::Read);
    connect(m_pNotifier.get(), &QSocketNotifier::activated, this, [this] { m_grabber.Dispatch(); });
    return true;
}

// Under XWayland an X grab sees keys only while an X client has the focus, so
// a Wayland session takes the portal when the desktop has it.
bool LHotKeys::OpenForDesktop()
{
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") && LPortalShortcuts::IsOffered(QDBusConnection::sessionBus())) {
        m_pPortal = std::make_unique<LPortalShortcuts>(QDBusConnection::sessionBus());
        m_pPortal->SetCallback([this](int nShortcut, bool bPressed) {
            const int nIndex = m_portalKeys[static_cast<size_t>(nShortcut)];
            bPressed ? EvHotKeyPress(nIndex) : EvHotKeyRelease(nIndex);
        });
        m_pPortal->SetFailed([this] { emit Unavailable(); });
        return true;
    }
    return Open();
}

QString LHotKeys::PortalId(int nIndex, uint32_t uValue)
{
    return QStringLiteral("hotkey%1-%2").arg(nIndex).arg(uValue, 0, 16);
}

// The trigger in the desktops' shortcut form: modifiers, then the keysym name.
static QString PortalTrigger(uint32_t uValue, const LVirtualKey& key)
{
    QString trigger;
    if (uValue & kCtrlBit)
        trigger += QStringLiteral("CTRL+");
    if (uValue & kAltBit)
        trigger += QStringLiteral("ALT+");
    if (uValue & kShiftBit)
        trigger += QStringLiteral("SHIFT+");
    const std::string name = KeysymName(key.uKeysym);
    return name.empty() ? QString() : trigger + QString::fromStdString(name);
}

int LHotKeys::BindPortal()
{
    std::vector<LPortalShortcuts::Shortcut> shortcuts;
    m_portalKeys.clear();
    m_grabbedKeys.assign(m_keys.size(), false);
    for (size_t i = 0; i < m_keys.size(); ++i) {
        LVirtualKey key;
        if ((m_keys[i].uValue >> 19) != 0 || m_keys[i].command == LCommandId::kSetNoAction
            || !FindVirtualKey(static_cast<uint16_t>(m_keys[i].uValue & 0xFFFF), &key))
            continue;
        const std::string_view name = LCommandSetTable::Name(m_keys[i].command);
        shortcuts.push_back({ PortalId(static_cast<int>(i), m_keys[i].uValue),
            QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())),
            PortalTrigger(m_keys[i].uValue, key) });
        m_portalKeys.push_back(static_cast<int>(i));
        m_grabbedKeys[i] = true;
    }
    if (!shortcuts.empty())
        m_pPortal->Bind(std::move(shortcuts));
    return static_cast<int>(m_portalKeys.size());
}

QString LHotKeys::UnavailableText()
{
    return QStringLiteral("Hot keys are unavailable on this desktop: bind \"tavrine-cli command\" in the desktop's own "
                          "keyboard shortcut settings instead.");
}

int LHotKeys::Start()
{
    return Start(ReadHotKeys());
}

int LHotKeys::Start(const std::vector<LHotKey>& keys)
{
    Stop();
    m_keys = keys;
    if (m_pPortal)
        return BindPortal();
    std::vector<LX11HotKeyGrabber::Key> grabs(keys.size());
    for (size_t i = 0; i < keys.size(); ++i) {
        LVirtualKey key;
        // Bits beyond Alt, Ctrl and Shift would be a key we cannot honour:
        // such a value stays inactive rather than grabbing another key.
        if ((keys[i].uValue >> 19) == 0 && FindVirtualKey(static_cast<uint16_t>(keys[i].uValue & 0xFFFF), &key))
            grabs[i] = { key.uKeysym, (keys[i].uValue >> 16) & 7 };
    }
    m_grabbedKeys = m_grabber.Grab(grabs);
    // Events read while grabbing wait in Xlib's queue, where the notifier
    // would not see them.
    QTimer::singleShot(0, this, [this] { m_grabber.Dispatch(); });
    int nGrabbed = 0;
    for (bool bGrabbed : m_grabbedKeys)
        nGrabbed += bGrabbed ? 1 : 0;
    return nGrabbed;
}

void LHotKeys::Stop()
{
    if (IsCommandHeld())
        ReleaseHeld();
    if (m_pPortal)
        m_pPortal->Close();
    m_grabber.Ungrab();
    m_keys.clear();
    m_grabbedKeys.clear();
}

bool LHotKeys::PressHeld(int nIndex)
{
    if (nIndex < 0 || static_cast<size_t>(nIndex) >= m_keys.size()
        || m_keys[nIndex].command == LCommandId::kSetNoAction)
        return false;
    m_held = m_keys[nIndex].command;
    m_nHeldIndex = nIndex;
    m_sink.CommandPress(m_held);
    return true;
}

void LHotKeys::ReleaseHeld()
{
    m_repeatTimer.stop();
    const LCommandId command = m_held;
    m_held = LCommandId::kSetNoAction;
    m_nHeldIndex = -1;
    if (command != LCommandId::kSetNoAction)
        m_sink.CommandReleaseHeld(command, kHoldLimitMs);
}

// Every command stays held until its repeats stop, also those without a
// release: otherwise each repeat of a held "Create New Dictation" key would
// make another dictation.
void LHotKeys::EvHotKey(int nIndex)
{
    if (IsCommandHeld()) {
        m_repeatTimer.start(kRepeatMs);
        return;
    }
    if (PressHeld(nIndex))
        m_repeatTimer.start(kFirstRepeatMs);
}

void LHotKeys::EvHotKeyPress(int nIndex)
{
    // Another hot key while one is held is not handled.
    if (!IsCommandHeld())
        PressHeld(nIndex);
}

void LHotKeys::EvHotKeyRelease(int nIndex)
{
    if (IsCommandHeld() && nIndex == m_nHeldIndex)
        ReleaseHeld();
}
