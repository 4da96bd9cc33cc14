// System-wide hot keys: the stored "Keys" grabbed on the X display, or bound
// as the desktop portal's shortcuts under Wayland, each press and release of
// one turned into the command set's press and release on the sink. Events
// arrive on the GUI thread through a socket notifier on the grabber's own X
// connection, or as the portal's signals. GUI thread.
#pragma once

#include "app/shared/commands/LCommandId.h"
#include "platform/LX11HotKeyGrabber.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <memory>
#include <vector>

class LCommandSink;
class QKeyEvent;
class LPortalShortcuts;
class QSocketNotifier;

// One stored hot key: the value exactly as kept (virtual key in bits 0-15,
// bit 16 Alt, bit 17 Ctrl, bit 18 Shift) and the command of the set it runs.
struct LHotKey {
    uint32_t uValue = 0;
    LCommandId command = LCommandId::kSetNoAction;
};

// "Key0" to "Key<Count - 1>" of the "Keys" section with their commands.
std::vector<LHotKey> ReadHotKeys();

// "Ctrl+Alt+Shift+K": the modifiers, then the key's name, the character of a
// typing key taken from the layout of pLayout's display when it has one.
// Empty for a value that names no key.
QString HotKeyText(uint32_t uValue, const LX11HotKeyGrabber* pLayout = nullptr);

// The stored value of a key press: the key of the event with the Ctrl, Alt and
// Shift held with it; 0 for a key that no stored value names (a modifier
// alone, a key outside the table).
uint32_t HotKeyValueOf(const QKeyEvent& event);

class LHotKeys : public QObject {
    Q_OBJECT
public:
    // A press of a hot key up to this long is a tap (keys and buttons: 500 ms).
    static constexpr int kHoldLimitMs = 820;
    // Where no release arrives, a key counts as up when its repeats stop:
    // 600 ms after the first press, 250 ms after a repeat.
    static constexpr int kFirstRepeatMs = 600;
    static constexpr int kRepeatMs = 250;

    explicit LHotKeys(LCommandSink& sink, QObject* pParent = nullptr);
    ~LHotKeys() override;

    // Connects to the X display (null: $DISPLAY); false when there is none.
    bool Open(const char* szDisplay = nullptr);
    // Under Wayland the portal's shortcuts where the desktop offers them, else
    // (and on X11) the X display; false when there is neither.
    bool OpenForDesktop();
    bool IsAvailable() const { return m_grabber.IsOpen() || m_pPortal; }
    bool UsesPortal() const { return m_pPortal != nullptr; }
    // What the status bar says where no hot key can be grabbed.
    static QString UnavailableText();

    // HotKeysStart: grabs the stored keys (or keys); a key that cannot be
    // grabbed stays inactive and the others work. Returns how many are grabbed.
    int Start();
    int Start(const std::vector<LHotKey>& keys);
    // HotKeysStop: releases every key; a command held is released first.
    void Stop();
    // For each key of the last Start, whether it is grabbed.
    const std::vector<bool>& Grabbed() const { return m_grabbedKeys; }
    QString KeyText(uint32_t uValue) const { return HotKeyText(uValue, &m_grabber); }

    // While a hot key's command is held, the keyboard's key-ups are not handled.
    bool IsCommandHeld() const { return m_held != LCommandId::kSetNoAction; }

    // The portal's id of stored key nIndex: the same for the same key from
    // run to run, new when the key changes, so that its trigger is offered.
    static QString PortalId(int nIndex, uint32_t uValue);

    // A hot-key message of a source that repeats it while the key is down and
    // sends no release: the first press presses, the repeats keep it held.
    void EvHotKey(int nIndex);
    // A source with real releases (the X grabber).
    void EvHotKeyPress(int nIndex);
    void EvHotKeyRelease(int nIndex);

signals:
    // The portal refused the shortcuts: none of them will work.
    void Unavailable();

private:
    bool PressHeld(int nIndex);
    int BindPortal();
    void ReleaseHeld();

    LCommandSink& m_sink;
    LX11HotKeyGrabber m_grabber;
    std::unique_ptr<QSocketNotifier> m_pNotifier;
    std::unique_ptr<LPortalShortcuts> m_pPortal;
    std::vector<int> m_portalKeys; // the stored key of each portal shortcut
    std::vector<LHotKey> m_keys;
    std::vector<bool> m_grabbedKeys;
    LCommandId m_held = LCommandId::kSetNoAction;
    int m_nHeldIndex = -1;
    // Timer 4 of the emulation: the held command is released when it runs out.
    QTimer m_repeatTimer;
};
