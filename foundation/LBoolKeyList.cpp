#include "foundation/LBoolKeyList.h"

#include "foundation/LText.h"

#include <utility>
#include <vector>

namespace {

// A function's static, so a key in another unit may add itself first.
std::vector<std::pair<const char*, const char*>>& Keys()
{
    static std::vector<std::pair<const char*, const char*>> keys;
    return keys;
}

} // namespace

void LBoolKeyList::Add(const char* szSection, const char* szName)
{
    Keys().emplace_back(szSection, szName);
}

bool LBoolKeyList::Contains(std::string_view section, std::string_view name)
{
    for (const auto& [szSection, szName] : Keys())
        if (EqualsNoCase(section, szSection) && EqualsNoCase(name, szName))
            return true;
    return false;
}
