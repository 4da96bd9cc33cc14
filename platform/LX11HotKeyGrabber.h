// System-wide hot keys on an X display (also XWayland): passive key grabs on
// the root window, through a connection of the grabber's own so that the
// toolkit's connection is never touched. Owned by one thread (the window's):
// it watches Fd() and calls Dispatch() when the descriptor is readable.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct _XDisplay;

class LX11HotKeyGrabber {
public:
    // The modifier bits as a hot-key value keeps them above its key.
    static constexpr unsigned kAlt = 1;
    static constexpr unsigned kControl = 2;
    static constexpr unsigned kShift = 4;

    struct Key {
        uint32_t uKeysym = 0;
        unsigned uModifiers = 0;
    };
    // nIndex is the key's place in the list given to Grab.
    using Callback = std::function<void(int nIndex, bool bPressed)>;

    LX11HotKeyGrabber() = default;
    ~LX11HotKeyGrabber();
    LX11HotKeyGrabber(const LX11HotKeyGrabber&) = delete;
    LX11HotKeyGrabber& operator=(const LX11HotKeyGrabber&) = delete;

    // Connects to the display (null: $DISPLAY); false when there is none.
    bool Open(const char* szDisplay = nullptr);
    void Close();
    bool IsOpen() const { return m_pDisplay != nullptr; }
    // Readable when events may wait; -1 when closed.
    int Fd() const;
    // True when the server sends a release only when a key really goes up
    // (XKB's detectable auto-repeat); otherwise Dispatch pairs up the
    // release and press that auto-repeat makes, which arrive with one time.
    bool DetectableAutoRepeat() const { return m_bDetectable; }
    void SetCallback(Callback callback) { m_callback = std::move(callback); }

    // Grabs every key, releasing those grabbed before, with and without Caps
    // Lock and Num Lock; returns for each key whether it is grabbed. A key
    // that another client holds, that no key of the layout makes, or that
    // comes twice is skipped; the others are grabbed all the same.
    std::vector<bool> Grab(const std::vector<Key>& keys);
    void Ungrab();
    // Handles every waiting event: one press when a grabbed key goes down
    // (repeats while it is held are dropped), one release when it goes up.
    void Dispatch();

    // The character the active layout types with the key that makes uKeysym,
    // without modifiers, in UTF-8; empty when it types none or there is no key.
    std::string KeyCharacter(uint32_t uKeysym) const;

private:
    struct Grabbed {
        int nIndex;
        unsigned uKeycode;
        unsigned uMask;
    };
    void FindModifierMasks();
    void UngrabOne(const Grabbed& grabbed);

    _XDisplay* m_pDisplay = nullptr;
    unsigned long m_uRoot = 0;
    bool m_bDetectable = false;
    unsigned m_uAltMask = 0;
    unsigned m_uNumLockMask = 0;
    std::vector<Grabbed> m_grabbed;
    // The key whose press was delivered and whose release is awaited.
    int m_nDownIndex = -1;
    unsigned m_uDownKeycode = 0;
    Callback m_callback;
};
