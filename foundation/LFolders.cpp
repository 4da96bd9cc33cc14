#include "foundation/LFolders.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"

#include <cstdlib>

std::string GetUserDataFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // A relative XDG value is invalid by the base-directory rules and ignored.
    if (xdg && xdg[0] == '/')
        return xdg;
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/')
        return FilePathCat(home, ".local/share");
    return {};
}

std::string GetSharedDataFolder()
{
    return "/var/lib";
}

bool CreateFolderTree(const std::string& path)
{
    if (path.empty() || path.size() > kMaxPath)
        return false;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string part = path.substr(0, pos);
            if (!part.empty() && part.back() != '/' && !CreateFolder(part))
                return false;
        }
    }
    return true;
}
