#include "scribe/LScribeSettings.h"

#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSecrets.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace {

// The list of source names, and one section per source.
constexpr const char* kSourcesSection = "ScribeSources";

std::string SourceSection(std::string_view name)
{
    return "ScribeSource " + std::string(name);
}

// A source's FTP or IMAP password, kept through the keyring.
LSecretPlace PasswordPlace(std::string_view name)
{
    return { "scribe-ftp-password", std::string(name), SourceSection(name), "FtpPassword" };
}

LSecretPlace ImapPasswordPlace(std::string_view name)
{
    return { "scribe-imap-password", std::string(name), SourceSection(name), "ImapPassword" };
}

std::string LoginName()
{
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_name && *pw->pw_name)
        return pw->pw_name;
    const char* user = std::getenv("USER");
    return user ? user : "";
}

} // namespace

std::string LScribeSourceConfig::Get(std::string_view key, std::string_view def) const
{
    for (const auto& [name, value] : values) {
        if (EqualsNoCase(name, key))
            return value;
    }
    return std::string(def);
}

bool LScribeSourceConfig::IsImapPool() const
{
    const std::string pool = Get("ImapPool");
    return IsImap() && (pool == "1" || EqualsNoCase(pool, "true"));
}

std::string LScribeSettings::GetTypistName()
{
    std::string name = GetSettingString(kSection, kTypistName, "");
    return name.empty() ? LoginName() : name;
}

std::string LScribeSettings::CleanTypistName(std::string_view name)
{
    std::string out;
    for (char c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_')
            out += c;
        if (out.size() == 64)
            break;
    }
    return out.empty() ? "typist" : out;
}

unsigned LScribeSettings::GetDoneKeepDays()
{
    int days = GetSettingInt(kSection, kDoneKeepDays, static_cast<int>(kDefaultDoneKeepDays));
    return days < 1 ? kDefaultDoneKeepDays : static_cast<unsigned>(days);
}

std::string LScribeSettings::GetDataFolder()
{
    std::string folder = GetSettingString(kSection, kDataFolder, "");
    if (!folder.empty())
        return folder;
    std::string data = GetUserDataFolder();
    return data.empty() ? std::string() : FilePathCat(data, "Tavrine Scribe");
}

bool LScribeSettings::IsValidSourceName(std::string_view name)
{
    if (name.empty() || name.size() > 32)
        return false;
    for (char c : name) {
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    }
    return true;
}

const std::vector<const char*>& LScribeSettings::SourceValueNames()
{
    static const std::vector<const char*> names { "Folder", "FtpServer", "FtpUserName", "FtpPassword", "FtpDirectory",
        "FtpAllowPlain", "PollSeconds", "ImapServer", "ImapUserName", "ImapPassword", "ImapFolder", "ImapPool",
        "ImapAllowPlain" };
    return names;
}

bool LScribeSettings::IsSecretValue(std::string_view key)
{
    return EqualsNoCase(key, "FtpPassword") || EqualsNoCase(key, "ImapPassword");
}

std::vector<LScribeSourceConfig> LScribeSettings::LoadSources()
{
    std::vector<LScribeSourceConfig> sources;
    for (const std::string& name : GetSettingNames(kSourcesSection)) {
        if (!IsValidSourceName(name))
            continue;
        LScribeSourceConfig config;
        config.name = name;
        std::string section = SourceSection(name);
        for (const std::string& key : GetSettingNames(section))
            if (!IsSecretValue(key))
                config.values.emplace_back(key, GetSettingString(section, key, ""));
        std::string password;
        LSecrets::Read(PasswordPlace(name), &password, nullptr);
        if (!password.empty())
            config.values.emplace_back("FtpPassword", password);
        password.clear();
        LSecrets::Read(ImapPasswordPlace(name), &password, nullptr);
        if (!password.empty())
            config.values.emplace_back("ImapPassword", password);
        sources.push_back(std::move(config));
    }
    return sources;
}

bool LScribeSettings::SaveSource(const LScribeSourceConfig& config, std::string* pWhy)
{
    if (!IsValidSourceName(config.name)) {
        *pWhy = tplprintf("'%s' is not a source name: use 1 to 32 letters, digits, '-' or '_'", config.name);
        return false;
    }
    std::vector<std::pair<std::string, std::string>> values;
    for (const auto& [key, value] : config.values) {
        const char* known = nullptr;
        for (const char* name : SourceValueNames()) {
            if (EqualsNoCase(name, key))
                known = name;
        }
        if (!known) {
            std::string names;
            for (const char* name : SourceValueNames())
                names += (names.empty() ? "" : ", ") + std::string(name);
            *pWhy = tplprintf("'%s' is not a source value; the values are %s", key, names);
            return false;
        }
        if (value.size() > kMaxSettingChars) {
            *pWhy = tplprintf("the value of %s is longer than %d characters", known, uint32_t(kMaxSettingChars));
            return false;
        }
        if (!IsSecretValue(known))
            values.emplace_back(known, value);
    }
    if (int(config.IsFolder()) + int(config.IsFtp()) + int(config.IsImap()) != 1) {
        *pWhy = "a source needs one of Folder, FtpServer or ImapServer";
        return false;
    }
    std::string section = SourceSection(config.name);
    for (const std::string& key : GetSettingNames(section))
        DeleteSetting(section, key);
    if (!SetSettingStrings(section, values)
        || !LSecrets::Write(PasswordPlace(config.name), config.Get("FtpPassword"), nullptr)
        || !LSecrets::Write(ImapPasswordPlace(config.name), config.Get("ImapPassword"), nullptr)
        || !SetSettingString(kSourcesSection, config.name, "1")) {
        *pWhy = "the settings cannot be written";
        return false;
    }
    return true;
}

bool LScribeSettings::RemoveSource(std::string_view name, std::string* pWhy)
{
    bool known = false;
    for (const std::string& stored : GetSettingNames(kSourcesSection))
        known = known || EqualsNoCase(stored, name);
    if (!known) {
        *pWhy = tplprintf("there is no source '%s'", std::string(name));
        return false;
    }
    std::string section = SourceSection(name);
    LSecrets::Remove(PasswordPlace(name));
    LSecrets::Remove(ImapPasswordPlace(name));
    for (const std::string& key : GetSettingNames(section))
        DeleteSetting(section, key);
    if (!DeleteSetting(kSourcesSection, name)) {
        *pWhy = "the settings cannot be written";
        return false;
    }
    return true;
}
