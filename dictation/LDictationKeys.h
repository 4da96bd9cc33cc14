// The settings of the dictation store, read by the engine, the new
// dictation and what sends or loads dictations. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace DictationKeys {

// The data folder (empty: the default under the user's data folder) and the
// file-number counter.
inline constexpr LTextKey kWorkingDataFolder { false, "Settings", "WorkingDataFolder", "" };
inline constexpr LSettingKey<int> kFileNumber { false, "Settings", "FileNumber", 1 };
// The sample rate of new recordings; the WAV transfer's format chooser sets it.
inline constexpr LSettingKey<int> kSampleRate { false, "Settings", "SampleRate", 11025 };
// The default recipient (-1 none).
inline constexpr LSettingKey<int> kSendDefault { false, "Send", "Default", -1 };
// Recipients below this number are looked at.
inline constexpr LSettingKey<int> kSendToLimit { false, "Settings", "nSendTo", 0 };

// The user's identity towards typists. The ID is unsigned decimal text.
inline constexpr const char* kUserSection = "UserInfo";
inline constexpr LTextKey kUserID { false, kUserSection, "UserID", "" };
inline constexpr LTextKey kUserName { false, kUserSection, "Name", "" };
inline constexpr LTextKey kUserEmail { false, kUserSection, "Email", "" };
// The further details, in the order a DCT file carries them.
inline constexpr const char* kUserDetails[]
    = { "Company", "Phone", "Cell", "Fax", "Address1", "Address2", "Address3", "Address4" };
inline constexpr LTextKey kUserCompany { false, kUserSection, kUserDetails[0], "" };

} // namespace DictationKeys
