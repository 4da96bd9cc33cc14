#include "platform/LVirtualKey.h"

#include <X11/XF86keysym.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace {

struct Row {
    uint16_t uVirtualKey;
    uint32_t uKeysym;
    const char* szName;
    bool bTypes;
};

// Names as the first platform's keyboard layout gives them on a US keyboard.
constexpr Row kRows[] = {
    { 0x08, XK_BackSpace, "Backspace", false },
    { 0x09, XK_Tab, "Tab", false },
    { 0x0D, XK_Return, "Enter", false },
    { 0x13, XK_Pause, "Pause", false },
    { 0x14, XK_Caps_Lock, "Caps Lock", false },
    { 0x1B, XK_Escape, "Esc", false },
    { 0x20, XK_space, "Space", false },
    { 0x21, XK_Prior, "Page Up", false },
    { 0x22, XK_Next, "Page Down", false },
    { 0x23, XK_End, "End", false },
    { 0x24, XK_Home, "Home", false },
    { 0x25, XK_Left, "Left", false },
    { 0x26, XK_Up, "Up", false },
    { 0x27, XK_Right, "Right", false },
    { 0x28, XK_Down, "Down", false },
    { 0x2C, XK_Print, "Prnt Scrn", false },
    { 0x2D, XK_Insert, "Insert", false },
    { 0x2E, XK_Delete, "Delete", false },
    { 0x6A, XK_KP_Multiply, "Num *", false },
    { 0x6B, XK_KP_Add, "Num +", false },
    { 0x6D, XK_KP_Subtract, "Num -", false },
    { 0x6E, XK_KP_Decimal, "Num Del", false },
    { 0x6F, XK_KP_Divide, "Num /", false },
    { 0x90, XK_Num_Lock, "Num Lock", false },
    { 0x91, XK_Scroll_Lock, "Scroll Lock", false },
    { 0xAD, XF86XK_AudioMute, "Mute", false },
    { 0xAE, XF86XK_AudioLowerVolume, "Volume Down", false },
    { 0xAF, XF86XK_AudioRaiseVolume, "Volume Up", false },
    { 0xB0, XF86XK_AudioNext, "Next Track", false },
    { 0xB1, XF86XK_AudioPrev, "Previous Track", false },
    { 0xB2, XF86XK_AudioStop, "Stop", false },
    { 0xB3, XF86XK_AudioPlay, "Play/Pause", false },
    { 0xBA, XK_semicolon, ";", true },
    { 0xBB, XK_equal, "=", true },
    { 0xBC, XK_comma, ",", true },
    { 0xBD, XK_minus, "-", true },
    { 0xBE, XK_period, ".", true },
    { 0xBF, XK_slash, "/", true },
    { 0xC0, XK_grave, "`", true },
    { 0xDB, XK_bracketleft, "[", true },
    { 0xDC, XK_backslash, "\\", true },
    { 0xDD, XK_bracketright, "]", true },
    { 0xDE, XK_apostrophe, "'", true },
    { 0xE2, XK_less, "\\", true },
};

} // namespace

bool FindVirtualKey(uint16_t uVirtualKey, LVirtualKey* pOut)
{
    LVirtualKey key;
    if (uVirtualKey >= '0' && uVirtualKey <= '9') {
        key = { XK_0 + (uVirtualKey - 0x30u), std::string(1, static_cast<char>(uVirtualKey)), true };
    } else if (uVirtualKey >= 'A' && uVirtualKey <= 'Z') {
        key = { XK_a + (uVirtualKey - 0x41u), std::string(1, static_cast<char>(uVirtualKey)), true };
    } else if (uVirtualKey >= 0x60 && uVirtualKey <= 0x69) {
        key = { XK_KP_0 + (uVirtualKey - 0x60u), "Num " + std::to_string(uVirtualKey - 0x60), false };
    } else if (uVirtualKey >= 0x70 && uVirtualKey <= 0x87) {
        key = { XK_F1 + (uVirtualKey - 0x70u), "F" + std::to_string(uVirtualKey - 0x70 + 1), false };
    } else {
        const Row* pRow = nullptr;
        for (const Row& row : kRows)
            if (row.uVirtualKey == uVirtualKey)
                pRow = &row;
        if (!pRow)
            return false;
        key = { pRow->uKeysym, pRow->szName, pRow->bTypes };
    }
    if (pOut)
        *pOut = std::move(key);
    return true;
}

uint16_t VirtualKeyOfKeysym(uint32_t uKeysym)
{
    if (uKeysym >= XK_0 && uKeysym <= XK_9)
        return static_cast<uint16_t>('0' + (uKeysym - XK_0));
    if (uKeysym >= XK_a && uKeysym <= XK_z)
        return static_cast<uint16_t>('A' + (uKeysym - XK_a));
    if (uKeysym >= XK_A && uKeysym <= XK_Z)
        return static_cast<uint16_t>(uKeysym);
    if (uKeysym >= XK_KP_0 && uKeysym <= XK_KP_9)
        return static_cast<uint16_t>(0x60 + (uKeysym - XK_KP_0));
    if (uKeysym >= XK_F1 && uKeysym <= XK_F24)
        return static_cast<uint16_t>(0x70 + (uKeysym - XK_F1));
    // The first row wins: both backslash rows name the key of the US layout.
    for (const Row& row : kRows)
        if (row.uKeysym == uKeysym)
            return row.uVirtualKey;
    return 0;
}

std::string KeysymName(uint32_t uKeysym)
{
    // A table lookup in Xlib; no display is needed.
    const char* szName = XKeysymToString(static_cast<KeySym>(uKeysym));
    return szName ? std::string(szName) : std::string();
}

uint32_t KeysymOfName(const char* szName)
{
    const KeySym uKeysym = XStringToKeysym(szName);
    return uKeysym == NoSymbol ? 0 : static_cast<uint32_t>(uKeysym);
}
