// The settings the dictation store rests on: the working data folder with its
// Current and Send folders, the file-number counter, the user's identity and
// the numbered recipients. One object per process, built at start; recipient
// data is not cached, so any thread may read it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

class LDictationEngineSettings {
public:
    // Reads or fills in the working data folder and creates it with its
    // subfolders. Check IsUsable: without a folder nothing can be stored.
    LDictationEngineSettings();

    bool IsUsable() const { return m_bUsable; }
    // Why the folders are not usable, for the caller to show.
    const std::string& GetError() const { return m_error; }
    const std::string& GetWorkingFolder() const { return m_working; }
    const std::string& GetCurrentFolder() const { return m_current; }
    const std::string& GetSentFolder() const { return m_sent; }

    // Gives out the next file number and stores it (see TakeNextFileNumber).
    uint32_t GetNextFileNumber() const;
    // The counter rule: (FileNumber mod 999999) + 1, skipping numbers whose
    // .ddf or cut files exist in the given folders or in Current and Send, so
    // a reset or wrapped counter never reuses another dictation's files.
    static uint32_t TakeNextFileNumber(std::initializer_list<std::string> folders);
    // True when a .ddf file or a cut file of that number is in the folder.
    static bool IsFileNumberTaken(const std::string& folder, uint32_t uFileNumber);

    static uint32_t GetUserID();
    static std::string GetUserName();
    static std::string GetUserEmail();

private:
    bool m_bUsable = false;
    std::string m_error;
    std::string m_working;
    std::string m_current;
    std::string m_sent;
};
