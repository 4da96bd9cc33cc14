// The settings of the save, load and edit commands: the last folders of
// Save As and Load, and the audio editor (a program given the file). Any thread.
#pragma once

#include "foundation/LSettingKey.h"

namespace TransferKeys {

inline constexpr LTextKey kSaveFolder { false, "Settings", "SaveFolder", "" };
inline constexpr LTextKey kLoadFolder { false, "Settings", "LoadFolder", "" };
inline constexpr LTextKey kAudioEditor { false, "Settings", "AudioEditor", "" };

} // namespace TransferKeys
