// The settings the dictation store rests on: the working data folder with its
// Current and Send folders, the file-number counter, the user's identity and
// the numbered recipients. One object per process, built at start; recipient
// data is not cached, so any thread may read it.
#pragma once

#include "dictation/LDictationHeader.h"
#include "dictation/LRecipient.h"
#include "platform/LAgeCrypto.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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
    // The data folder as stored, read at start only: a change takes effect the
    // next time the program runs.
    static std::string GetWorkingFolderSetting();
    static bool SetWorkingFolderSetting(std::string_view folder);

    // Gives out the next file number and stores it (see TakeNextFileNumber).
    uint32_t GetNextFileNumber() const;
    // The counter rule: (FileNumber mod 999999) + 1, skipping numbers whose
    // .ddf or cut files exist in the given folders or in Current and Send, so
    // a reset or wrapped counter never reuses another dictation's files.
    static uint32_t TakeNextFileNumber(std::initializer_list<std::string> folders);
    // True when a .ddf file or a cut file of that number is in the folder.
    static bool IsFileNumberTaken(const std::string& folder, uint32_t uFileNumber);

    // The user's identity towards typists, in the UserInfo section.
    static uint32_t GetUserID();
    static std::string GetUserName();
    static std::string GetUserEmail();
    // False when the store cannot hold the value (see SetSettingString).
    static bool SetUserID(uint32_t uUserID);
    static bool SetUserName(std::string_view name);
    static bool SetUserEmail(std::string_view email);
    // True when a name was ever stored, even an empty one.
    static bool IsUserNameStored();
    // The further details: Company, Phone, Cell, Fax, Address1 to Address4.
    static bool IsUserDetailName(std::string_view name);
    static std::string GetUserDetail(std::string_view name);
    // False for a name that is not a detail, or a value the store cannot hold.
    static bool SetUserDetail(std::string_view name, std::string_view value);

    // Recipients: numbers 0 to 254, each with its section "SendTo<n+1>";
    // 255 (kNoRecipient) means none. Nothing is cached.
    static constexpr unsigned kSendToCount = 255;
    static std::string GetSendToUserSettingSection(uint8_t uSendTo);
    static bool IsSendToUsed(uint8_t uSendTo);
    static std::string GetSendToName(uint8_t uSendTo);
    // The text shown for a recipient's send method, e.g. "Folder (/srv/typing)".
    // For a method outside 1 to 4 *pText is left as it was and false comes back.
    static bool GetSendToDisplayText(uint8_t uSendTo, std::string* pText);
    // The recipient as stored; what is missing or out of range reads as its default.
    static LRecipient GetRecipient(uint8_t uSendTo);
    // Stores a recipient's properties in one rewrite and marks the number in
    // use. The command's time-out, which the properties do not show, is written
    // only when it differs from what is stored, so storing what was read
    // leaves the file as it was. False when nothing was stored.
    static bool SetRecipient(uint8_t uSendTo, const LRecipient& recipient);
    // False, with the reason and the fix, when a secret of the recipient is
    // kept only in a keyring that cannot be reached.
    static bool CheckRecipientSecrets(uint8_t uSendTo, std::string* pWhy);
    // Moves recipients' secrets still in the per-user file into the keyring.
    static void MoveRecipientSecrets();
    // The name of the first value too long for the store; null when none is.
    static const char* FindTooLongValue(const LRecipient& recipient);
    // The lowest number whose section is not in use; kNoRecipient when all are.
    static uint8_t GetNextFreeSendToNumber();
    // Settings/nSendTo: iteration looks only at numbers below it.
    static unsigned GetSendToLimit();

    // Marks recipient n in use and raises nSendTo to n + 1 when it is lower.
    static bool SaveSendTo(uint8_t uSendTo);
    // Frees the number (its values stay, for dictations already sent to it);
    // nSendTo drops by one only when n is the highest number below it.
    static bool RemoveSendTo(uint8_t uSendTo);

    // Why a value cannot go into a recipient's section.
    enum class SendToValueProblem {
        None,
        NotARecipientValue, // not one of the section's value names
        Bookkeeping, // IsUsed: kept by SaveSendTo and RemoveSendTo
        TooLong, // more than the store holds (kMaxSettingChars)
        NotANumber, // SendMethod and SendFileFormat are integers
        OutOfRange, // SendMethod 0 to 4, SendFileFormat 0 (DCT) or 1 (WAV)
        Empty, // a recipient needs a name
        BadKey, // SealTo holds something that is not an age public key
    };
    // The value that names a recipient, the one every recipient needs.
    static constexpr const char* kSendToName = "Name";
    // The value names of a recipient's section that callers may set.
    static std::span<const char* const> GetSendToValueNames();
    // Checks a name and value; *pCanonical gets the name as the section spells it.
    static SendToValueProblem CheckSendToValue(
        std::string_view name, std::string_view value, std::string* pCanonical = nullptr);

    // The public keys of a SealTo value: "age1..." keys separated by commas
    // or blanks (none for an empty value). Null when one is not a key; *pBad
    // gets that one.
    static std::optional<std::vector<LAgeKey32>> ParseSealTo(std::string_view text, std::string* pBad);

    enum class AddSendToResult { Added, NoFreeNumber, BadValue, StoreFailed };
    // Takes the next free number, clears what a removed recipient left in its
    // section, stores the name and values, then saves the recipient (so a
    // failure part-way leaves the number free). *pSendTo gets the number.
    static AddSendToResult AddSendTo(
        std::string_view name, const std::vector<std::pair<std::string, std::string>>& values, uint8_t* pSendTo);

    // Walks the recipients in use below nSendTo, in increasing number.
    class SendToIterator {
    public:
        SendToIterator();
        // Moves on; false at the end.
        bool Next();
        bool IsValid() const { return m_uCurrent < kSendToCount; }
        // The current recipient; not to be called at the end.
        uint8_t GetSendTo() const { return static_cast<uint8_t>(m_uCurrent); }

    private:
        void SkipForward();
        unsigned m_uCurrent = 0;
        unsigned m_uLimit = 0;
    };

private:
    bool m_bUsable = false;
    std::string m_error;
    std::string m_working;
    std::string m_current;
    std::string m_sent;
};
