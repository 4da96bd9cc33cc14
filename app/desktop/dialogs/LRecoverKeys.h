// The sent-work dialog's settings: its placement (machine) and whether it
// fetches the typists' status files each time it opens (user). Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace RecoverKeys {

inline constexpr LSettingKey<int> kRecoverX { true, "RecoverDialog", "X", 160 };
inline constexpr LSettingKey<int> kRecoverY { true, "RecoverDialog", "Y", 80 };
inline constexpr LSettingKey<int> kRecoverWidth { true, "RecoverDialog", "Width", 700 };
inline constexpr LSettingKey<int> kRecoverHeight { true, "RecoverDialog", "Height", 500 };
inline const LSettingKey<bool> kRecoverMaximized { true, "RecoverDialog", "Maximized", false };
inline const LSettingKey<bool> kUpdateStatusAlways { false, "Settings", "UpdateStatusAlways", true };

} // namespace RecoverKeys
