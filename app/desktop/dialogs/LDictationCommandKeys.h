// The settings of the dictation commands that the Options page, the dock
// and the attachment list also read. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace DictationCommandKeys {

// Warn before recording when the data folder's disk has less free space
// (value names compare without case, so "WarnBelowMb" is the same value).
inline constexpr LSettingKey<int> kWarnBelowMB { true, "Settings", "WarnBelowMB", 32 };
// The number shown in a new dictation's name, 1 to 999 in turn.
inline constexpr LSettingKey<int> kDisplayFileNumber { false, "Settings", "DisplayFileNumber", 0 };
// Open the default note template in a new dictation.
inline const LSettingKey<bool> kDefaultNote { false, "Settings", "DefaultNote", false };
// The folders the attach command and the attachment list's Add button start in.
inline constexpr LTextKey kAttachFolder { false, "Settings", "AddAttachmentFolder", "" };
inline constexpr LTextKey kAttachListFolder { false, "Settings", "AddAttachmentDir", "" };

} // namespace DictationCommandKeys
