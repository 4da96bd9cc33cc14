#include "dictation/LDictationEngineSettings.h"

#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"

#include <dirent.h>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t kMaxFileNumber = 999999;

const char* const kUserDetails[]
    = { "Company", "Phone", "Cell", "Fax", "Address1", "Address2", "Address3", "Address4" };
// The values of a recipient's section besides its IsUsed mark.
const char* const kSendToValues[]
    = { "Name", "SendMethod", "EmailTo", "Folder", "FtpServer", "FtpUserName", "FtpPassword", "FtpDirectory",
          "FtpAllowPlain", "RunCommand", "RunCommandTimeout", "SendFileFormat", "EncryptionKey", "FileNameFormat" };

} // namespace

LDictationEngineSettings::LDictationEngineSettings()
{
    m_working = GetWorkingFolderSetting();
    if (m_working.empty()) {
        std::string data = GetUserDataFolder();
        if (data.empty()) {
            m_error = "No folder for dictations: neither XDG_DATA_HOME nor HOME names one.";
            return;
        }
        m_working = FilePathCat(data, "Tavrine");
        // Kept, so a later change of the data folder does not hide the dictations.
        SetWorkingFolderSetting(m_working);
    }
    m_current = FilePathCat(m_working, "Current");
    m_sent = FilePathCat(m_working, "Send");
    for (const std::string* folder : { &m_working, &m_current, &m_sent }) {
        if (!CreateFolderTree(*folder)) {
            m_error = tplprintf("Cannot create the folder for dictations \"%s\".", *folder);
            return;
        }
    }
    m_bUsable = true;
}

std::string LDictationEngineSettings::GetWorkingFolderSetting()
{
    return GetSettingString("Settings", "WorkingDataFolder", "");
}

bool LDictationEngineSettings::SetWorkingFolderSetting(std::string_view folder)
{
    return SetSettingString("Settings", "WorkingDataFolder", folder);
}

uint32_t LDictationEngineSettings::GetNextFileNumber() const
{
    return TakeNextFileNumber({ m_current, m_sent });
}

bool LDictationEngineSettings::IsFileNumberTaken(const std::string& folder, uint32_t uFileNumber)
{
    std::string base = std::to_string(uFileNumber % 10000000);
    if (FileExists(FilePathCat(folder, base + ".ddf")))
        return true;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return false;
    std::string prefix = base + "_";
    bool bTaken = false;
    while (struct dirent* entry = ::readdir(dir)) {
        std::string_view name(entry->d_name);
        if (name.size() > prefix.size() + 4 && name.starts_with(prefix) && name.ends_with(".dau")) {
            bTaken = true;
            break;
        }
    }
    ::closedir(dir);
    return bTaken;
}

uint32_t LDictationEngineSettings::TakeNextFileNumber(std::initializer_list<std::string> folders)
{
    // Reading the counter and storing the next value is one step for every
    // process of the user (the window, tavrine-cli): a lock of its own beside
    // the settings, never deleted, held exclusively. When it cannot be had
    // the header's exclusive creation still keeps two dictations apart.
    constexpr unsigned kLockTimeoutMs = 2000;
    LFile lock;
    (void)OpenFileRetry(lock, GetUserSettingsPath() + ".FileNumber.lock", LFile::kReadWrite, LFile::kShareNone,
        kLockTimeoutMs, LFile::kOpenAlways, 0600);
    std::vector<std::string> check(folders);
    std::string working = GetWorkingFolderSetting();
    if (!working.empty()) {
        check.push_back(FilePathCat(working, "Current"));
        check.push_back(FilePathCat(working, "Send"));
    }
    int stored = GetSettingInt("Settings", "FileNumber", 1);
    uint32_t number = stored < 0 ? 0 : static_cast<uint32_t>(stored);
    // Every number taken would mean a million dictations: give the next one then.
    for (uint32_t attempt = 0; attempt < kMaxFileNumber; ++attempt) {
        number = (number % kMaxFileNumber) + 1;
        bool bTaken = false;
        for (const std::string& folder : check)
            if (!folder.empty() && IsFileNumberTaken(folder, number)) {
                bTaken = true;
                break;
            }
        if (!bTaken)
            break;
    }
    SetSettingInt("Settings", "FileNumber", static_cast<int>(number));
    return number;
}

uint32_t LDictationEngineSettings::GetUserID()
{
    // Stored as unsigned decimal text, so every 32-bit ID reads back; a
    // signed form (as an integer setting writes it) is taken as its bits.
    std::string text = GetSettingString("UserInfo", "UserID", "");
    if (!text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos) {
        uint64_t value = std::stoull(text);
        if (value <= 0xFFFFFFFFu)
            return static_cast<uint32_t>(value);
    }
    return static_cast<uint32_t>(GetSettingInt("UserInfo", "UserID", 0));
}

std::string LDictationEngineSettings::GetUserName()
{
    return GetSettingString("UserInfo", "Name", "");
}

std::string LDictationEngineSettings::GetUserEmail()
{
    return GetSettingString("UserInfo", "Email", "");
}

bool LDictationEngineSettings::IsUserNameStored()
{
    std::string ignored;
    return RegGetString(LSettingsScope::User, "UserInfo", "Name", &ignored, "");
}

bool LDictationEngineSettings::SetUserID(uint32_t uUserID)
{
    return SetSettingString("UserInfo", "UserID", std::to_string(uUserID));
}

bool LDictationEngineSettings::SetUserName(std::string_view name)
{
    return SetSettingString("UserInfo", "Name", name);
}

bool LDictationEngineSettings::SetUserEmail(std::string_view email)
{
    return SetSettingString("UserInfo", "Email", email);
}

bool LDictationEngineSettings::IsUserDetailName(std::string_view name)
{
    for (const char* detail : kUserDetails)
        if (EqualsNoCase(name, detail))
            return true;
    return false;
}

std::string LDictationEngineSettings::GetUserDetail(std::string_view name)
{
    if (!IsUserDetailName(name))
        return std::string();
    return GetSettingString("UserInfo", name, "");
}

bool LDictationEngineSettings::SetUserDetail(std::string_view name, std::string_view value)
{
    return IsUserDetailName(name) && SetSettingString("UserInfo", name, value);
}

std::string LDictationEngineSettings::GetSendToUserSettingSection(uint8_t uSendTo)
{
    return tplprintf("SendTo%d", static_cast<int32_t>(uSendTo % 256 + 1));
}

bool LDictationEngineSettings::IsSendToUsed(uint8_t uSendTo)
{
    return uSendTo < kSendToCount && GetSettingBool(GetSendToUserSettingSection(uSendTo), "IsUsed", false);
}

std::string LDictationEngineSettings::GetSendToName(uint8_t uSendTo)
{
    return GetSettingString(GetSendToUserSettingSection(uSendTo), "Name", "");
}

bool LDictationEngineSettings::GetSendToDisplayText(uint8_t uSendTo, std::string* pText)
{
    struct Method {
        const char* szFormat;
        const char* szValue;
        size_t nCut;
    };
    static const Method kMethods[] = {
        { "Email (%s)", "EmailTo", 248 },
        { "Folder (%s)", "Folder", 248 },
        { "Upload FTP (%s)", "FtpServer", 244 },
        { "Run Command (%s)", "RunCommand", 244 },
    };
    std::string section = GetSendToUserSettingSection(uSendTo);
    int method = GetSettingInt(section, "SendMethod", 0);
    if (method < 1 || method > 4)
        return false;
    const Method& m = kMethods[method - 1];
    std::string value = GetSettingString(section, m.szValue, "");
    *pText = tplprintf(m.szFormat, std::string(CutUtf8(value, m.nCut)));
    return true;
}

uint8_t LDictationEngineSettings::GetNextFreeSendToNumber()
{
    for (unsigned n = 0; n < kSendToCount; ++n)
        if (!IsSendToUsed(static_cast<uint8_t>(n)))
            return static_cast<uint8_t>(n);
    return kNoRecipient;
}

unsigned LDictationEngineSettings::GetSendToLimit()
{
    // A hand-edited count beyond the numbers that exist means all of them.
    int limit = GetSettingInt("Settings", "nSendTo", 0);
    if (limit < 0)
        return 0;
    return limit > static_cast<int>(kSendToCount) ? kSendToCount : static_cast<unsigned>(limit);
}

bool LDictationEngineSettings::SaveSendTo(uint8_t uSendTo)
{
    if (uSendTo >= kSendToCount)
        return false;
    if (!SetSettingBool(GetSendToUserSettingSection(uSendTo), "IsUsed", true))
        return false;
    if (GetSendToLimit() <= uSendTo)
        return SetSettingInt("Settings", "nSendTo", uSendTo + 1);
    return true;
}

bool LDictationEngineSettings::RemoveSendTo(uint8_t uSendTo)
{
    if (uSendTo >= kSendToCount)
        return false;
    if (!DeleteSetting(GetSendToUserSettingSection(uSendTo), "IsUsed"))
        return false;
    unsigned limit = GetSendToLimit();
    if (limit != 0 && uSendTo == limit - 1)
        return SetSettingInt("Settings", "nSendTo", static_cast<int>(limit - 1));
    return true;
}

std::span<const char* const> LDictationEngineSettings::GetSendToValueNames()
{
    return kSendToValues;
}

LDictationEngineSettings::SendToValueProblem LDictationEngineSettings::CheckSendToValue(
    std::string_view name, std::string_view value, std::string* pCanonical)
{
    const char* szFound = nullptr;
    for (const char* candidate : kSendToValues)
        if (EqualsNoCase(name, candidate))
            szFound = candidate;
    if (!szFound)
        return EqualsNoCase(name, "IsUsed") ? SendToValueProblem::Bookkeeping : SendToValueProblem::NotARecipientValue;
    if (pCanonical)
        *pCanonical = szFound;
    if (value.size() > kMaxSettingChars)
        return SendToValueProblem::TooLong;
    std::string_view canonical(szFound);
    if (canonical == "Name" && value.empty())
        return SendToValueProblem::Empty;
    int maximum = canonical == "SendMethod" ? 4 : canonical == "SendFileFormat" ? 1 : -1;
    if (maximum >= 0) {
        if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string_view::npos)
            return SendToValueProblem::NotANumber;
        if (ParseLeadingInt(value) > maximum)
            return SendToValueProblem::OutOfRange;
    }
    return SendToValueProblem::None;
}

LDictationEngineSettings::AddSendToResult LDictationEngineSettings::AddSendTo(
    std::string_view name, const std::vector<std::pair<std::string, std::string>>& values, uint8_t* pSendTo)
{
    *pSendTo = kNoRecipient;
    std::vector<std::pair<std::string, std::string>> checked;
    checked.reserve(values.size() + 1);
    std::string canonical;
    if (CheckSendToValue("Name", name, &canonical) != SendToValueProblem::None)
        return AddSendToResult::BadValue;
    checked.emplace_back(canonical, std::string(name));
    for (const auto& [key, value] : values) {
        if (CheckSendToValue(key, value, &canonical) != SendToValueProblem::None)
            return AddSendToResult::BadValue;
        checked.emplace_back(canonical, value);
    }
    uint8_t uSendTo = GetNextFreeSendToNumber();
    if (uSendTo == kNoRecipient)
        return AddSendToResult::NoFreeNumber;
    std::string section = GetSendToUserSettingSection(uSendTo);
    // A freed number keeps its old values (sent dictations still name it);
    // the new recipient must not inherit a password or folder from them.
    for (const char* value : kSendToValues)
        if (!DeleteSetting(section, value))
            return AddSendToResult::StoreFailed;
    for (const auto& [key, value] : checked)
        if (!SetSettingString(section, key, value))
            return AddSendToResult::StoreFailed;
    if (!SaveSendTo(uSendTo))
        return AddSendToResult::StoreFailed;
    *pSendTo = uSendTo;
    return AddSendToResult::Added;
}

LDictationEngineSettings::SendToIterator::SendToIterator()
    : m_uLimit(GetSendToLimit())
{
    SkipForward();
}

void LDictationEngineSettings::SendToIterator::SkipForward()
{
    while (m_uCurrent < m_uLimit && !IsSendToUsed(static_cast<uint8_t>(m_uCurrent)))
        ++m_uCurrent;
    if (m_uCurrent >= m_uLimit)
        m_uCurrent = kSendToCount;
}

bool LDictationEngineSettings::SendToIterator::Next()
{
    if (m_uCurrent >= kSendToCount)
        return false;
    ++m_uCurrent;
    SkipForward();
    return m_uCurrent < kSendToCount;
}
