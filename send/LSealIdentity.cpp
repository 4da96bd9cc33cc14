#include "send/LSealIdentity.h"

#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "platform/LAgeKeys.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

std::string LSealIdentity::DictatorPath()
{
    return FilePathCat(_GetFolderFromPath(GetUserSettingsPath()), "seal-identity.txt");
}

std::optional<std::vector<LAgeKey32>> LSealIdentity::Load(const std::string& path, std::string* pWhy)
{
    std::string text;
    if (!ReadTextFile(path, &text)) {
        *pWhy = "the identity file \"" + path + "\" cannot be read";
        return std::nullopt;
    }
    std::optional<std::vector<LAgeKey32>> keys = LAgeKeys::ParseIdentityFile(text);
    std::fill(text.begin(), text.end(), '\0');
    if (!keys)
        *pWhy = "\"" + path + "\" holds no age identity (AGE-SECRET-KEY-1...)";
    return keys;
}

std::optional<LAgeKey32> LSealIdentity::LoadOrCreate(const std::string& path, std::string* pWhy)
{
    if (!FileExists(path)) {
        const std::optional<LAgeKey32> secret = LAgeKeys::Generate();
        if (!secret) {
            *pWhy = "no key pair could be made";
            return std::nullopt;
        }
        CreateFolderTree(_GetFolderFromPath(path));
        std::string text = LAgeKeys::IdentityFileText(*secret, CreatedNow());
        const bool bOk = WriteNewFileAtomic(path, text.data(), text.size(), 0600);
        const int nErrno = errno;
        std::fill(text.begin(), text.end(), '\0');
        // Another process making the same file first is as good.
        if (!bOk && nErrno != EEXIST) {
            *pWhy = "the identity file \"" + path + "\" cannot be written: " + std::strerror(nErrno);
            return std::nullopt;
        }
    }
    std::optional<std::vector<LAgeKey32>> keys = Load(path, pWhy);
    if (!keys)
        return std::nullopt;
    return keys->front();
}

std::optional<std::string> LSealIdentity::PublicText(const std::string& path, std::string* pWhy)
{
    const std::optional<LAgeKey32> secret = LoadOrCreate(path, pWhy);
    const std::optional<LAgeKey32> pub = secret ? LAgeKeys::PublicOf(*secret) : std::nullopt;
    if (!pub) {
        if (secret)
            *pWhy = "the identity in \"" + path + "\" has no public key";
        return std::nullopt;
    }
    return LAgeKeys::RecipientText(*pub);
}

std::string LSealIdentity::CreatedNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S", &local);
    std::string text = stamp;
    const long offset = local.tm_gmtoff / 60;
    if (offset == 0)
        return text + "Z";
    char zone[40];
    std::snprintf(
        zone, sizeof zone, "%c%02ld:%02ld", offset < 0 ? '-' : '+', std::labs(offset) / 60, std::labs(offset) % 60);
    return text + zone;
}
