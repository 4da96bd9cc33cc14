// Feeds arbitrary bytes to the settings-file reader. Whatever it understood
// must survive a write and a second read unchanged, and edits must hold; the
// boolean readers agree on every value.
#include "foundation/LSettings.h"
#include "foundation/LSettingsFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string_view input(reinterpret_cast<const char*>(pData), nSize);
    LSettingsFile file;
    file.Parse(input);
    std::string text = file.Serialise();

    LSettingsFile again;
    if (again.Parse(text) != 0 || again.Serialise() != text)
        std::abort();

    // Edits keyed by the first bytes of the input reach what the parse produced.
    std::string_view key = input.substr(0, nSize < 8 ? nSize : 8);
    std::string name(key.begin(), key.end());
    if (LSettingsFile::IsValidName(name)) {
        if (!again.Set(name, name, input.substr(0, 300)) && input.substr(0, 300).find('\0') == std::string_view::npos)
            std::abort();
        const std::string* pValue = again.Find(LSettingsFile::FoldCase(name), name);
        if (pValue && *pValue != input.substr(0, 300))
            std::abort();
        LSettingsFile third;
        if (third.Parse(again.Serialise()) != 0 || third.Serialise() != again.Serialise())
            std::abort();
        if (pValue && (!third.Remove(name, name) || third.Find(name, name)))
            std::abort();
    }

    // A word `settings set` takes as a boolean reads back as that boolean,
    // whatever the default.
    const std::string_view value = input.substr(0, 300);
    bool bWord = false;
    if (ParseBoolWord(value, &bWord)
        && (ParseSettingBool(value, true) != bWord || ParseSettingBool(value, false) != bWord))
        std::abort();
    return 0;
}
