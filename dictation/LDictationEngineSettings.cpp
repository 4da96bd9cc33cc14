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

std::string WorkingFolderSetting()
{
    return GetSettingString("Settings", "WorkingDataFolder", "");
}

} // namespace

LDictationEngineSettings::LDictationEngineSettings()
{
    m_working = WorkingFolderSetting();
    if (m_working.empty()) {
        std::string data = GetUserDataFolder();
        if (data.empty()) {
            m_error = "No folder for dictations: neither XDG_DATA_HOME nor HOME names one.";
            return;
        }
        m_working = FilePathCat(data, "Tavrine");
        // Kept, so a later change of the data folder does not hide the dictations.
        SetSettingString("Settings", "WorkingDataFolder", m_working);
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
    std::vector<std::string> check(folders);
    std::string working = WorkingFolderSetting();
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
    int id = GetSettingInt("UserInfo", "UserID", 0);
    return static_cast<uint32_t>(id);
}

std::string LDictationEngineSettings::GetUserName()
{
    return GetSettingString("UserInfo", "Name", "");
}

std::string LDictationEngineSettings::GetUserEmail()
{
    return GetSettingString("UserInfo", "Email", "");
}
