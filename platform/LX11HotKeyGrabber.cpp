#include "platform/LX11HotKeyGrabber.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

// Xlib's error handler is one for the whole process, and the toolkit may have
// set its own: it is replaced only around a grab, and errors of any other
// connection go on to the handler that was there.
Display* s_pTrapDisplay = nullptr;
bool s_bTrapFailed = false;
XErrorHandler s_previousHandler = nullptr;

int TrapError(Display* pDisplay, XErrorEvent* pError)
{
    if (pDisplay == s_pTrapDisplay) {
        s_bTrapFailed = true;
        return 0;
    }
    return s_previousHandler ? s_previousHandler(pDisplay, pError) : 0;
}

void AppendUtf8(std::string& text, uint32_t uCode)
{
    if (uCode < 0x80) {
        text += static_cast<char>(uCode);
    } else if (uCode < 0x800) {
        text += static_cast<char>(0xC0 | (uCode >> 6));
        text += static_cast<char>(0x80 | (uCode & 0x3F));
    } else if (uCode < 0x10000) {
        text += static_cast<char>(0xE0 | (uCode >> 12));
        text += static_cast<char>(0x80 | ((uCode >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (uCode & 0x3F));
    } else if (uCode < 0x110000) {
        text += static_cast<char>(0xF0 | (uCode >> 18));
        text += static_cast<char>(0x80 | ((uCode >> 12) & 0x3F));
        text += static_cast<char>(0x80 | ((uCode >> 6) & 0x3F));
        text += static_cast<char>(0x80 | (uCode & 0x3F));
    }
}

} // namespace

LX11HotKeyGrabber::~LX11HotKeyGrabber()
{
    Close();
}

bool LX11HotKeyGrabber::Open(const char* szDisplay)
{
    Close();
    m_pDisplay = XOpenDisplay(szDisplay);
    if (!m_pDisplay)
        return false;
    m_uRoot = DefaultRootWindow(m_pDisplay);
    Bool bSupported = False;
    m_bDetectable = XkbSetDetectableAutoRepeat(m_pDisplay, True, &bSupported) && bSupported;
    FindModifierMasks();
    return true;
}

void LX11HotKeyGrabber::Close()
{
    if (!m_pDisplay)
        return;
    Ungrab();
    XCloseDisplay(m_pDisplay);
    m_pDisplay = nullptr;
}

int LX11HotKeyGrabber::Fd() const
{
    return m_pDisplay ? ConnectionNumber(m_pDisplay) : -1;
}

// Alt and Num Lock sit on whichever of Mod1 to Mod5 the server's map gives them.
void LX11HotKeyGrabber::FindModifierMasks()
{
    m_uAltMask = 0;
    m_uNumLockMask = 0;
    XModifierKeymap* pMap = XGetModifierMapping(m_pDisplay);
    if (pMap) {
        for (int nMod = 3; nMod < 8; ++nMod) {
            for (int k = 0; k < pMap->max_keypermod; ++k) {
                KeyCode keycode = pMap->modifiermap[nMod * pMap->max_keypermod + k];
                if (keycode == 0)
                    continue;
                for (int nLevel = 0; nLevel < 2; ++nLevel) {
                    KeySym keysym = XkbKeycodeToKeysym(m_pDisplay, keycode, 0, nLevel);
                    if (keysym == XK_Num_Lock)
                        m_uNumLockMask |= 1u << nMod;
                    if (keysym == XK_Alt_L || keysym == XK_Alt_R)
                        m_uAltMask |= 1u << nMod;
                }
            }
        }
        XFreeModifiermap(pMap);
    }
    if (m_uAltMask == 0)
        m_uAltMask = Mod1Mask;
}

std::vector<bool> LX11HotKeyGrabber::Grab(const std::vector<Key>& keys)
{
    Ungrab();
    std::vector<bool> result(keys.size(), false);
    if (!m_pDisplay)
        return result;
    const unsigned locks[] = { 0, LockMask, m_uNumLockMask, m_uNumLockMask | LockMask };
    XSync(m_pDisplay, False);
    s_pTrapDisplay = m_pDisplay;
    s_previousHandler = XSetErrorHandler(TrapError);
    for (size_t i = 0; i < keys.size(); ++i) {
        const KeyCode keycode = XKeysymToKeycode(m_pDisplay, keys[i].uKeysym);
        if (keycode == 0)
            continue;
        unsigned uMask = 0;
        if (keys[i].uModifiers & kAlt)
            uMask |= m_uAltMask;
        if (keys[i].uModifiers & kControl)
            uMask |= ControlMask;
        if (keys[i].uModifiers & kShift)
            uMask |= ShiftMask;
        bool bTwice = false;
        for (const Grabbed& grabbed : m_grabbed)
            bTwice |= grabbed.uKeycode == keycode && grabbed.uMask == uMask;
        if (bTwice)
            continue;
        s_bTrapFailed = false;
        for (size_t v = 0; v < 4; ++v)
            if (v < 2 || m_uNumLockMask != 0)
                XGrabKey(m_pDisplay, keycode, uMask | locks[v], m_uRoot, False, GrabModeAsync, GrabModeAsync);
        // The grab's BadAccess arrives asynchronously: wait for it here, so it
        // is known which key it belongs to.
        XSync(m_pDisplay, False);
        const Grabbed grabbed { static_cast<int>(i), keycode, uMask };
        if (s_bTrapFailed) {
            UngrabOne(grabbed);
            continue;
        }
        m_grabbed.push_back(grabbed);
        result[i] = true;
    }
    XSync(m_pDisplay, False);
    XSetErrorHandler(s_previousHandler);
    s_pTrapDisplay = nullptr;
    s_previousHandler = nullptr;
    return result;
}

// Releases only this client's own grabs, so a variant another client holds is left alone.
void LX11HotKeyGrabber::UngrabOne(const Grabbed& grabbed)
{
    const unsigned locks[] = { 0, LockMask, m_uNumLockMask, m_uNumLockMask | LockMask };
    for (unsigned uLock : locks)
        XUngrabKey(m_pDisplay, static_cast<int>(grabbed.uKeycode), grabbed.uMask | uLock, m_uRoot);
}

void LX11HotKeyGrabber::Ungrab()
{
    if (m_pDisplay) {
        for (const Grabbed& grabbed : m_grabbed)
            UngrabOne(grabbed);
        XFlush(m_pDisplay);
    }
    m_grabbed.clear();
    m_nDownIndex = -1;
    m_uDownKeycode = 0;
}

void LX11HotKeyGrabber::Dispatch()
{
    const unsigned uRelevant = ControlMask | ShiftMask | m_uAltMask;
    while (m_pDisplay && XPending(m_pDisplay) > 0) {
        XEvent event;
        XNextEvent(m_pDisplay, &event);
        if (event.type == KeyPress) {
            // A repeat of the key held, or another key pressed meanwhile
            // (the keyboard is ours until the held key goes up).
            if (m_nDownIndex >= 0)
                continue;
            for (const Grabbed& grabbed : m_grabbed) {
                if (grabbed.uKeycode == event.xkey.keycode && (event.xkey.state & uRelevant) == grabbed.uMask) {
                    m_nDownIndex = grabbed.nIndex;
                    m_uDownKeycode = event.xkey.keycode;
                    break;
                }
            }
            if (m_nDownIndex >= 0 && m_callback)
                m_callback(m_nDownIndex, true);
        } else if (event.type == KeyRelease) {
            // The held key's release, whatever modifiers went up before it.
            if (m_nDownIndex < 0 || event.xkey.keycode != m_uDownKeycode)
                continue;
            if (!m_bDetectable && XEventsQueued(m_pDisplay, QueuedAfterReading) > 0) {
                XEvent next;
                XPeekEvent(m_pDisplay, &next);
                if (next.type == KeyPress && next.xkey.keycode == event.xkey.keycode
                    && next.xkey.time == event.xkey.time) {
                    XNextEvent(m_pDisplay, &next);
                    continue;
                }
            }
            const int nIndex = m_nDownIndex;
            m_nDownIndex = -1;
            m_uDownKeycode = 0;
            if (m_callback)
                m_callback(nIndex, false);
        }
    }
}

std::string LX11HotKeyGrabber::KeyCharacter(uint32_t uKeysym) const
{
    std::string text;
    if (!m_pDisplay)
        return text;
    const KeyCode keycode = XKeysymToKeycode(m_pDisplay, uKeysym);
    if (keycode == 0)
        return text;
    XkbStateRec state;
    const unsigned uGroup = XkbGetState(m_pDisplay, XkbUseCoreKbd, &state) == Success ? state.group : 0;
    KeySym keysym = XkbKeycodeToKeysym(m_pDisplay, keycode, static_cast<int>(uGroup), 0);
    if (keysym == NoSymbol)
        keysym = XkbKeycodeToKeysym(m_pDisplay, keycode, 0, 0);
    // Latin-1 keysyms are their own code points; Unicode ones carry it below 0x01000000.
    if ((keysym >= 0x21 && keysym <= 0x7E) || (keysym >= 0xA1 && keysym <= 0xFF))
        AppendUtf8(text, static_cast<uint32_t>(keysym));
    else if ((keysym & 0xFF000000) == 0x01000000)
        AppendUtf8(text, static_cast<uint32_t>(keysym & 0x00FFFFFF));
    return text;
}
