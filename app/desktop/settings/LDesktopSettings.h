// The desktop program's settings, each named once here with its scope,
// section and default, so that a key is never spelt twice and the settings
// pages that come later find every one of them. Any thread.
#pragma once

#include "app/desktop/window/LWindowKeys.h"
#include "app/shared/input/LInputKeys.h"
#include "app/shared/transport/LTransportKeys.h"
#include "app/transfer/LDockFiles.h"
#include "foundation/LSettingKey.h"
#include "foundation/LSettings.h"
#include "send/LMailSettings.h"
#include "send/LSendAutoDelete.h"

#include <string>
#include <string_view>

namespace DesktopSettings {

using IntKey = LSettingKey<int>;
using BoolKey = LSettingKey<bool>;
// The keys of the inputs, the transport and the window live with them.
using namespace InputKeys;
using namespace TransportKeys;
using namespace WindowKeys;

// The sent-work dialog: its placement (machine) and whether it fetches the
// typists' status files each time it opens (user).
inline constexpr IntKey kRecoverX { true, "RecoverDialog", "X", 160 };
inline constexpr IntKey kRecoverY { true, "RecoverDialog", "Y", 80 };
inline constexpr IntKey kRecoverWidth { true, "RecoverDialog", "Width", 700 };
inline constexpr IntKey kRecoverHeight { true, "RecoverDialog", "Height", 500 };
inline constexpr BoolKey kRecoverMaximized { true, "RecoverDialog", "Maximized", false };
inline constexpr BoolKey kUpdateStatusAlways { false, "Settings", "UpdateStatusAlways", true };
// Send, save, load and edit: the last folders of Save As and Load, the
// default recipient (-1 none) and the audio editor (a program given the file).
inline constexpr const char* kSaveFolder = "SaveFolder";
inline constexpr const char* kLoadFolder = "LoadFolder";
inline constexpr const char* kAudioEditor = "AudioEditor";
inline constexpr IntKey kSendDefault { false, "Send", "Default", -1 };

// Dictation commands.
inline constexpr IntKey kWarnBelowMB { true, "Settings", "WarnBelowMB", 32 };
inline constexpr IntKey kDisplayFileNumber { false, "Settings", "DisplayFileNumber", 0 };
inline constexpr BoolKey kDefaultNote { false, "Settings", "DefaultNote", false };
// The section of the program's general settings; in it, the folder the
// attach command and the attachment list's Add button start in.
inline constexpr const char* kSettingsSection = "Settings";
inline constexpr const char* kAttachFolder = "AddAttachmentFolder";
inline constexpr const char* kAttachListFolder = "AddAttachmentDir";

// The dock, machine-wide: the method used last (-1 none, 0 audio cable, 1
// audio files) and the audio-cable window's recording; the audio-file keys
// are DockKeys (app/transfer/LDockFiles.h). Devices and channels are combo
// indexes (device 0 the default, channel 0 the default input).
inline constexpr IntKey kDockMethod { true, DockKeys::kSection, DockKeys::kMethod, -1 };
inline constexpr IntKey kDockRecordDevice { true, DockKeys::kSection, "RecordDevice", 0 };
inline constexpr IntKey kDockRecordChannel { true, DockKeys::kSection, "RecordChannel", 0 };
inline constexpr IntKey kDockRecordVolume { true, DockKeys::kSection, "RecordVolume", 0 };
inline constexpr IntKey kDockActiveLevel { true, DockKeys::kSection, "ActiveLevel", -15 };
inline constexpr BoolKey kDockHighSpeed { true, DockKeys::kSection, "HighSpeed", false };
inline constexpr IntKey kDockHighSpeedPercent { true, DockKeys::kSection, "HighSpeedPercent", 200 };
inline constexpr BoolKey kDockAutoSend { true, DockKeys::kSection, DockKeys::kAutoSend, false };

// The two data prompts of a new dictation: sections "Prompt1" and "Prompt2",
// each with these names, and its recent answers in "Recent<section>Data".
inline constexpr const char* kPromptSections[2] = { "Prompt1", "Prompt2" };
namespace Prompt {
inline constexpr const char* kAsk = "Prompt";
inline constexpr const char* kText = "Text";
inline constexpr const char* kPrevious = "Previous";
inline constexpr const char* kAsName = "DictationName";
inline constexpr const char* kTag = "XMLTag";
inline constexpr const char* kValidateChars = "ValidateChars";
inline constexpr const char* kMinChars = "MinChars";
inline constexpr const char* kMaxChars = "MaxChars";
inline constexpr const char* kNumberOnly = "NumberOnly";
inline constexpr const char* kRecentCount = "Count";
inline constexpr const char* kRecentItem = "Item %d";
} // namespace Prompt
inline std::string RecentPromptSection(std::string_view section)
{
    return "Recent" + std::string(section) + "Data";
}

// The e-mail settings dialog, machine-wide: the mail method's keys
// (send/LMailSettings.h); the host, reply-to and download address are texts
// under MailKeys' names. The WAV transfer's format chooser sets the sample
// rate of new recordings.
inline constexpr BoolKey kUseMailProgram { true, MailKeys::kSection, MailKeys::kUseMailProgram,
    MailKeys::kUseMailProgramDefault };
inline constexpr IntKey kSmtpPort { true, MailKeys::kSection, MailKeys::kSmtpPort, MailKeys::kSmtpPortDefault };
inline constexpr BoolKey kAllowPlainPassword { true, MailKeys::kSection, MailKeys::kAllowPlainPassword, false };
inline constexpr IntKey kSampleRate { false, "Settings", "SampleRate", 11025 };

// First-run wizard: shown once per user.
inline constexpr BoolKey kInstallWizRun { false, "Settings", "InstallWizRun", false };

// The Options page and the prompt validation dialog. The defaults are the
// ones the new-dictation prompt and its check use, so that the page shows
// what is in force; the low-disk threshold is kWarnBelowMB above (value names
// compare without case, so "WarnBelowMb" is the same value).
namespace Prompt {
inline constexpr const char* kTextDefaults[2] = { "Enter case or file no", "Enter client or patient name" };
inline constexpr const char* kTagDefaults[2] = { "fileno", "client" };
inline constexpr int kMinCharsDefault = 2;
inline constexpr int kMaxCharsDefault = 256;
} // namespace Prompt
inline constexpr IntKey kAutoDeleteDays { false, "Settings", "AutoDeleteDays", LSendAutoDelete::kDefaultDays };

} // namespace DesktopSettings
