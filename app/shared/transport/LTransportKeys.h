// The transport's settings: play speed, default record mode, devices,
// levels and tones. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace TransportKeys {

// Transport: speeds 0 slow, 1 normal, 2 fast; record modes as LDictation's.
inline constexpr LSettingKey<int> kPlaySpeed { false, "Settings", "PlaySpeed", 1 };
inline constexpr LSettingKey<int> kRecordMode { false, "Settings", "RecordMode", 2 };
inline constexpr LSettingKey<int> kPlayDevice { true, "Settings", "PlayDevice", 0 };
inline constexpr LSettingKey<int> kPlayVolume { true, "Settings", "PlayVolume", 0 };
inline constexpr LSettingKey<int> kRecordDevice { true, "Settings", "RecordDevice", 0 };
inline constexpr LSettingKey<int> kRecordChannel { true, "Settings", "RecordChan", -1 };
inline constexpr LSettingKey<int> kRecordVolume { true, "Settings", "RecordVolume", 0 };
inline constexpr LSettingKey<int> kVoiceActivateLevel { true, "Settings", "VoiceActivateLevel", -18 };
inline const LSettingKey<bool> kRecordTone { false, "Settings", "RecordTone", false };
inline const LSettingKey<bool> kStoppedTone { false, "Settings", "StoppedTone", false };
inline const LSettingKey<bool> kStoppedToneRepeat { false, "Settings", "StoppedToneRepeat", false };

} // namespace TransportKeys
