// The virtual-key codes that stored hot keys keep (the first platform's
// numbering, so a stored value keeps its meaning), with the X keysym of each
// and its name. Pure data, any thread.
#pragma once

#include <cstdint>
#include <string>

struct LVirtualKey {
    uint32_t uKeysym = 0;
    // The name of a key that types nothing ("F5", "Page Up", "Num 1"); for a
    // key that types, the character it types on a US layout ("K", ";").
    std::string name;
    // The key types a character, so its name comes from the active layout.
    bool bTypes = false;
};

// False for a code that names no key here.
bool FindVirtualKey(uint16_t uVirtualKey, LVirtualKey* pOut);

// The code of the key that makes this keysym, 0 for none. Letters in either
// case give the letter's code, so a shifted letter still names its key.
uint16_t VirtualKeyOfKeysym(uint32_t uKeysym);

// The key's identifier in desktop shortcut texts, the X keysym name ("k",
// "F5", "KP_1"); empty for a keysym without one.
std::string KeysymName(uint32_t uKeysym);
// The keysym of such an identifier; 0 for a name X does not know.
uint32_t KeysymOfName(const char* szName);
