// What Scribe keeps in the settings store, apart from the dictator's: its own
// section "Scribe" (the typist's name, the keeping time, its data folder),
// one section per inbox source and one of keys, so one person can run both
// programs. Stateless; any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// One inbox source as stored: the recipient's own value names (Folder, or
// FtpServer, FtpUserName, FtpPassword, FtpDirectory, FtpAllowPlain, or
// ImapServer, ImapUserName, ImapPassword, ImapFolder, ImapPool,
// ImapAllowPlain) and PollSeconds for a polled source.
struct LScribeSourceConfig {
    std::string name;
    std::vector<std::pair<std::string, std::string>> values;

    // The value of a name (compared without case), or def.
    std::string Get(std::string_view key, std::string_view def = {}) const;
    bool IsFolder() const { return !Get("Folder").empty(); }
    bool IsFtp() const { return !Get("FtpServer").empty(); }
    bool IsImap() const { return !Get("ImapServer").empty(); }
    // An IMAP typist pool rather than the typist's own mailbox.
    bool IsImapPool() const;
};

class LScribeSettings {
public:
    static constexpr const char* kSection = "Scribe";
    static constexpr const char* kTypistName = "TypistName";
    static constexpr const char* kDoneKeepDays = "DoneKeepDays";
    static constexpr const char* kDataFolder = "DataFolder";
    static constexpr unsigned kDefaultDoneKeepDays = 30;
    static constexpr unsigned kDefaultPollSeconds = 60;

    // The stored typist name, else the login name; never cleaned.
    static std::string GetTypistName();
    // The name as it goes into file and folder names: letters, digits, '-'
    // and '_' only (everything else dropped), at most 64 bytes; "typist" when
    // nothing is left.
    static std::string CleanTypistName(std::string_view name);
    static unsigned GetDoneKeepDays();
    // Scribe's own folder for what it keeps locally (extracted audio of the
    // window, downloads kept between runs): "$XDG_DATA_HOME/Tavrine Scribe".
    static std::string GetDataFolder();

    // Source names: letters, digits, '-' and '_', 1 to 32 characters.
    static bool IsValidSourceName(std::string_view name);
    // The value names a source may hold.
    static const std::vector<const char*>& SourceValueNames();
    static bool IsSecretValue(std::string_view key); // FtpPassword, ImapPassword
    static std::vector<LScribeSourceConfig> LoadSources();
    // Stores a source (replacing one of that name); false with the reason
    // when a name or value is refused or the store cannot be written.
    static bool SaveSource(const LScribeSourceConfig& config, std::string* pWhy);
    static bool RemoveSource(std::string_view name, std::string* pWhy);
};
