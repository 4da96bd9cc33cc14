#include "dictation/LDictationEngineSettings.h"

#include "dictation/LDictationKeys.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LSecrets.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "platform/LAgeKeys.h"

#include <dirent.h>
#include <string_view>
#include <vector>

namespace {

constexpr uint32_t kMaxFileNumber = 999999;

using namespace DictationKeys;

// A recipient's section "SendTo<n+1>": its values, and IsUsed, the mark that
// SaveSendTo and RemoveSendTo keep.
constexpr const char* kSendToSection = "SendTo%d";
constexpr const char* kIsUsed = "IsUsed";
constexpr const char* kName = LDictationEngineSettings::kSendToName;
constexpr const char* kSendMethod = "SendMethod";
constexpr const char* kEmailTo = "EmailTo";
constexpr const char* kFolder = "Folder";
constexpr const char* kFtpServer = "FtpServer";
constexpr const char* kFtpUserName = "FtpUserName";
constexpr const char* kFtpPassword = "FtpPassword";
constexpr const char* kFtpDirectory = "FtpDirectory";
constexpr const char* kFtpAllowPlain = "FtpAllowPlain";
constexpr const char* kPoolServer = "PoolServer";
constexpr const char* kPoolUserName = "PoolUserName";
constexpr const char* kPoolPassword = "PoolPassword";
constexpr const char* kPoolFolder = "PoolFolder";
constexpr const char* kPoolAllowPlain = "PoolAllowPlain";
constexpr const char* kRunCommand = "RunCommand";
constexpr const char* kRunCommandTimeout = "RunCommandTimeout";
constexpr const char* kSendFileFormat = "SendFileFormat";
constexpr const char* kEncryptionKey = "EncryptionKey";
constexpr const char* kFileNameFormat = "FileNameFormat";
constexpr const char* kSealTo = "SealTo";
const char* const kSendToValues[] = { kName, kSendMethod, kEmailTo, kFolder, kFtpServer, kFtpUserName, kFtpPassword,
    kFtpDirectory, kFtpAllowPlain, kRunCommand, kRunCommandTimeout, kSendFileFormat, kEncryptionKey, kFileNameFormat,
    kSealTo, kPoolServer, kPoolUserName, kPoolPassword, kPoolFolder, kPoolAllowPlain };
// Kept through the keyring rather than in the recipient's section.
const char* const kSecretValues[] = { kFtpPassword, kEncryptionKey, kPoolPassword };

// What a recipient's properties store at once, in the order the file has
// always had them; the time-out, the sealing keys and the pool are left
// alone (see SetRecipient).
std::vector<std::pair<std::string, std::string>> StoredValues(const LRecipient& r)
{
    return { { kSendMethod, std::to_string(static_cast<int>(r.method)) }, { kName, r.name }, { kEmailTo, r.emailTo },
        { kFolder, r.folder }, { kFtpServer, r.ftpServer }, { kFtpUserName, r.ftpUserName },
        { kFtpPassword, r.ftpPassword }, { kFtpDirectory, r.ftpDirectory },
        { kFtpAllowPlain, r.bFtpAllowPlain ? "1" : "0" }, { kRunCommand, r.runCommand },
        { kSendFileFormat, std::to_string(static_cast<int>(r.format)) }, { kEncryptionKey, r.encryptionKey },
        { kFileNameFormat, r.fileNameFormat } };
}

// Written only for a recipient that has or had a pool, so others keep the
// section they always had.
std::vector<std::pair<std::string, std::string>> PoolValues(const LRecipient& r)
{
    return { { kPoolServer, r.poolServer }, { kPoolUserName, r.poolUserName }, { kPoolPassword, r.poolPassword },
        { kPoolFolder, r.poolFolder }, { kPoolAllowPlain, r.bPoolAllowPlain ? "1" : "0" } };
}

bool HasPool(const LRecipient& r)
{
    return r.method == SendMethod::Pool || !r.poolServer.empty() || !r.poolUserName.empty() || !r.poolPassword.empty()
        || !r.poolFolder.empty() || r.bPoolAllowPlain;
}

bool IsSecretValue(std::string_view name)
{
    for (const char* szSecret : kSecretValues)
        if (name == szSecret)
            return true;
    return false;
}

// The recipient's secrets, kept through the keyring rather than in its section.
LSecretPlace SecretPlace(const std::string& section, const std::string& name, const char* szValue)
{
    const std::string_view value(szValue);
    return { value == kFtpPassword   ? "ftp-password"
            : value == kPoolPassword ? "pool-password"
                                     : "encryption-key",
        name, section, szValue };
}

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
    return kWorkingDataFolder.Get();
}

bool LDictationEngineSettings::SetWorkingFolderSetting(std::string_view folder)
{
    return kWorkingDataFolder.Set(folder);
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
    int stored = kFileNumber.Get();
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
    kFileNumber.Set(static_cast<int>(number));
    return number;
}

uint32_t LDictationEngineSettings::GetUserID()
{
    // Stored as unsigned decimal text, so every 32-bit ID reads back; a
    // signed form (as an integer setting writes it) is taken as its bits.
    std::string text = kUserID.Get();
    if (!text.empty() && text.size() <= 10 && text.find_first_not_of("0123456789") == std::string::npos) {
        uint64_t value = std::stoull(text);
        if (value <= 0xFFFFFFFFu)
            return static_cast<uint32_t>(value);
    }
    return static_cast<uint32_t>(LSettingKey<int> { false, kUserSection, kUserID.szName, 0 }.Get());
}

std::string LDictationEngineSettings::GetUserName()
{
    return kUserName.Get();
}

std::string LDictationEngineSettings::GetUserEmail()
{
    return kUserEmail.Get();
}

bool LDictationEngineSettings::IsUserNameStored()
{
    std::string ignored;
    return kUserName.Read(&ignored);
}

bool LDictationEngineSettings::SetUserID(uint32_t uUserID)
{
    return kUserID.Set(std::to_string(uUserID));
}

bool LDictationEngineSettings::SetUserName(std::string_view name)
{
    return kUserName.Set(name);
}

bool LDictationEngineSettings::SetUserEmail(std::string_view email)
{
    return kUserEmail.Set(email);
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
    return GetSettingString(kUserSection, name, {});
}

bool LDictationEngineSettings::SetUserDetail(std::string_view name, std::string_view value)
{
    return IsUserDetailName(name) && SetSettingString(kUserSection, name, value);
}

std::string LDictationEngineSettings::GetSendToUserSettingSection(uint8_t uSendTo)
{
    return tplprintf(kSendToSection, static_cast<int32_t>(uSendTo % 256 + 1));
}

bool LDictationEngineSettings::IsSendToUsed(uint8_t uSendTo)
{
    return uSendTo < kSendToCount && GetSettingBool(GetSendToUserSettingSection(uSendTo), kIsUsed, false);
}

std::string LDictationEngineSettings::GetSendToName(uint8_t uSendTo)
{
    return GetSettingString(GetSendToUserSettingSection(uSendTo), kName, "");
}

bool LDictationEngineSettings::GetSendToDisplayText(uint8_t uSendTo, std::string* pText)
{
    const LRecipient r = GetRecipient(uSendTo);
    struct Method {
        const char* szFormat;
        const std::string& value;
        size_t nCut;
    };
    const Method kMethods[] = {
        { "Email (%s)", r.emailTo, 248 },
        { "Folder (%s)", r.folder, 248 },
        { "Upload FTP (%s)", r.ftpServer, 244 },
        { "Run Command (%s)", r.runCommand, 244 },
        { "Typist Pool (%s)", r.poolServer, 244 },
    };
    if (r.method == SendMethod::None)
        return false;
    const Method& m = kMethods[static_cast<int>(r.method) - 1];
    *pText = tplprintf(m.szFormat, std::string(CutUtf8(m.value, m.nCut)));
    return true;
}

LRecipient LDictationEngineSettings::GetRecipient(uint8_t uSendTo)
{
    const std::string section = GetSendToUserSettingSection(uSendTo);
    auto text
        = [&](const char* szName, const char* szDefault = "") { return GetSettingString(section, szName, szDefault); };
    LRecipient r;
    r.name = text(kName);
    const int nMethod = GetSettingInt(section, kSendMethod, 0);
    r.method = nMethod >= 1 && nMethod <= static_cast<int>(SendMethod::Pool) ? static_cast<SendMethod>(nMethod)
                                                                             : SendMethod::None;
    r.format = GetSettingInt(section, kSendFileFormat, 0) == static_cast<int>(TransferFormat::Wav)
        ? TransferFormat::Wav
        : TransferFormat::Dct;
    r.emailTo = text(kEmailTo);
    r.folder = text(kFolder);
    r.ftpServer = text(kFtpServer);
    r.ftpUserName = text(kFtpUserName);
    LSecrets::Read(SecretPlace(section, r.name, kFtpPassword), &r.ftpPassword, nullptr);
    r.ftpDirectory = text(kFtpDirectory);
    r.bFtpAllowPlain = GetSettingBool(section, kFtpAllowPlain, false);
    r.poolServer = text(kPoolServer);
    r.poolUserName = text(kPoolUserName);
    LSecrets::Read(SecretPlace(section, r.name, kPoolPassword), &r.poolPassword, nullptr);
    r.poolFolder = text(kPoolFolder);
    r.bPoolAllowPlain = GetSettingBool(section, kPoolAllowPlain, false);
    r.runCommand = text(kRunCommand);
    const int nSeconds = GetSettingInt(section, kRunCommandTimeout, LRecipient::kDefaultCommandTimeoutSeconds);
    if (nSeconds > 0 && nSeconds <= LRecipient::kMaxCommandTimeoutSeconds)
        r.nRunCommandTimeoutSeconds = nSeconds;
    LSecrets::Read(SecretPlace(section, r.name, kEncryptionKey), &r.encryptionKey, nullptr);
    r.fileNameFormat = text(kFileNameFormat, LRecipient::kDefaultFileNameFormat);
    r.sealTo = text(kSealTo);
    return r;
}

const char* LDictationEngineSettings::FindTooLongValue(const LRecipient& recipient)
{
    if (recipient.sealTo.size() > kMaxSettingChars)
        return kSealTo;
    std::vector<std::pair<std::string, std::string>> values = StoredValues(recipient);
    for (auto& value : PoolValues(recipient))
        values.push_back(std::move(value));
    for (const auto& [name, value] : values)
        if (value.size() > kMaxSettingChars)
            for (const char* szName : kSendToValues)
                if (name == szName)
                    return szName;
    return nullptr;
}

bool LDictationEngineSettings::SetRecipient(uint8_t uSendTo, const LRecipient& recipient)
{
    if (uSendTo >= kSendToCount)
        return false;
    const std::string section = GetSendToUserSettingSection(uSendTo);
    const LRecipient stored = GetRecipient(uSendTo);
    // Without a keyring the section is written as it always was, secrets included.
    const bool bKeyring = LSecrets::HasKeyring();
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::pair<std::string, std::string>> secrets;
    auto add = [&](std::pair<std::string, std::string> value) {
        if (IsSecretValue(value.first))
            secrets.push_back(value);
        if (!bKeyring || !IsSecretValue(value.first))
            values.push_back(std::move(value));
    };
    for (auto& value : StoredValues(recipient))
        add(std::move(value));
    if (HasPool(recipient) || HasPool(stored))
        for (auto& value : PoolValues(recipient))
            add(std::move(value));
    if (recipient.nRunCommandTimeoutSeconds != stored.nRunCommandTimeoutSeconds)
        values.emplace_back(kRunCommandTimeout, std::to_string(recipient.nRunCommandTimeoutSeconds));
    // A recipient that never sealed keeps the section it always had.
    if (!recipient.sealTo.empty() || !stored.sealTo.empty())
        values.emplace_back(kSealTo, recipient.sealTo);
    if (!SetSettingStrings(section, values))
        return false;
    for (const auto& [name, secret] : secrets) {
        const LSecretPlace place = SecretPlace(section, recipient.name, name.c_str());
        if (!bKeyring)
            LSecrets::KeptInFile(place, secret);
        else if (!LSecrets::Write(place, secret, nullptr))
            return false;
    }
    return SaveSendTo(uSendTo);
}

bool LDictationEngineSettings::CheckRecipientSecrets(uint8_t uSendTo, std::string* pWhy)
{
    const std::string section = GetSendToUserSettingSection(uSendTo);
    const std::string name = GetSendToName(uSendTo);
    std::string secret;
    for (const char* szValue : kSecretValues)
        if (LSecrets::Read(SecretPlace(section, name, szValue), &secret, pWhy) != LSecretRead::Found)
            return false;
    return true;
}

void LDictationEngineSettings::MoveRecipientSecrets()
{
    for (unsigned u = 0; u < GetSendToLimit(); ++u) {
        const std::string section = GetSendToUserSettingSection(static_cast<uint8_t>(u));
        for (const char* szValue : kSecretValues)
            if (!GetSettingString(section, szValue, "").empty())
                LSecrets::Move(SecretPlace(section, GetSendToName(static_cast<uint8_t>(u)), szValue));
    }
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
    int limit = kSendToLimit.Get();
    if (limit < 0)
        return 0;
    return limit > static_cast<int>(kSendToCount) ? kSendToCount : static_cast<unsigned>(limit);
}

bool LDictationEngineSettings::SaveSendTo(uint8_t uSendTo)
{
    if (uSendTo >= kSendToCount)
        return false;
    if (!SetSettingBool(GetSendToUserSettingSection(uSendTo), kIsUsed, true))
        return false;
    if (GetSendToLimit() <= uSendTo)
        return kSendToLimit.Set(uSendTo + 1);
    return true;
}

bool LDictationEngineSettings::RemoveSendTo(uint8_t uSendTo)
{
    if (uSendTo >= kSendToCount)
        return false;
    if (!DeleteSetting(GetSendToUserSettingSection(uSendTo), kIsUsed))
        return false;
    unsigned limit = GetSendToLimit();
    if (limit != 0 && uSendTo == limit - 1)
        return kSendToLimit.Set(static_cast<int>(limit - 1));
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
        return EqualsNoCase(name, kIsUsed) ? SendToValueProblem::Bookkeeping : SendToValueProblem::NotARecipientValue;
    if (pCanonical)
        *pCanonical = szFound;
    if (value.size() > kMaxSettingChars)
        return SendToValueProblem::TooLong;
    std::string_view canonical(szFound);
    if (canonical == kName && value.empty())
        return SendToValueProblem::Empty;
    int maximum = canonical == kSendMethod ? static_cast<int>(SendMethod::Pool)
        : canonical == kSendFileFormat     ? static_cast<int>(TransferFormat::Wav)
                                           : -1;
    if (canonical == kSealTo && !ParseSealTo(value, nullptr))
        return SendToValueProblem::BadKey;
    if (maximum >= 0) {
        if (value.empty() || value.size() > 9 || value.find_first_not_of("0123456789") != std::string_view::npos)
            return SendToValueProblem::NotANumber;
        if (ParseLeadingInt(value) > maximum)
            return SendToValueProblem::OutOfRange;
    }
    return SendToValueProblem::None;
}

std::optional<std::vector<LAgeKey32>> LDictationEngineSettings::ParseSealTo(std::string_view text, std::string* pBad)
{
    std::vector<LAgeKey32> keys;
    size_t nAt = 0;
    while (nAt < text.size()) {
        size_t nEnd = text.find_first_of(", \t", nAt);
        if (nEnd == std::string_view::npos)
            nEnd = text.size();
        std::string_view word = text.substr(nAt, nEnd - nAt);
        nAt = nEnd + 1;
        if (word.empty())
            continue;
        std::optional<LAgeKey32> key = LAgeKeys::ParseRecipient(word);
        if (!key) {
            if (pBad)
                *pBad = word;
            return std::nullopt;
        }
        keys.push_back(*key);
    }
    return keys;
}

LDictationEngineSettings::AddSendToResult LDictationEngineSettings::AddSendTo(
    std::string_view name, const std::vector<std::pair<std::string, std::string>>& values, uint8_t* pSendTo)
{
    *pSendTo = kNoRecipient;
    std::vector<std::pair<std::string, std::string>> checked;
    checked.reserve(values.size() + 1);
    std::string canonical;
    if (CheckSendToValue(kName, name, &canonical) != SendToValueProblem::None)
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
    for (const char* szValue : kSecretValues)
        LSecrets::Remove(SecretPlace(section, std::string(name), szValue));
    for (const auto& [key, value] : checked) {
        if (IsSecretValue(key) ? !LSecrets::Write(SecretPlace(section, std::string(name), key.c_str()), value, nullptr)
                               : !SetSettingString(section, key, value))
            return AddSendToResult::StoreFailed;
    }
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
