// Where the mail method finds its settings (machine-wide section "Email"),
// named once for the delivery and the settings dialog, and the check that the
// desktop's mail program can take a mail. Any thread.
#pragma once

#include "foundation/LSettingKey.h"

#include <string>

class LProgressReporter;

namespace MailKeys {
inline constexpr const char* kSection = "Email";
// True (the default): hand the mail to the desktop's mail program; false: SMTP.
inline const LSettingKey<bool> kUseMailProgram { true, kSection, "UseMAPI", true };
// The host alone; an old "host:user:password" is still read, and its logon
// moved to the user (LMailCredentials.h).
inline constexpr LTextKey kSmtpHost { true, kSection, "MailSMTPHost", "" };
// The user's own logon, in the per-user file only: the machine-wide one is
// readable by every account.
inline constexpr LTextKey kSmtpUser { false, kSection, "MailSMTPUser", "" };
inline constexpr LTextKey kSmtpPassword { false, kSection, "MailSMTPPassword", "" };
inline constexpr LSettingKey<int> kSmtpPort { true, kSection, "MailSMTPPort", 25 };
inline const LSettingKey<bool> kAllowPlainPassword { true, kSection, "AllowPlainPassword", false };
// Where typists download their player; named in every mail's body when set.
inline constexpr LTextKey kDownloadAddress { true, kSection, "DownloadAddress", "" };
// The user's own address, asked for with SMTP.
inline constexpr LTextKey kReplyTo { true, kSection, "ReplyToEmail", "" };
} // namespace MailKeys

// Whether the desktop's mail program can take a mail: xdg-email on the PATH
// and, when xdg-mime can tell, a default mailto handler.
enum class LMailProgramCheck { Ready, NoXdgEmail, NoMailHandler, Stopped };
LMailProgramCheck CheckMailProgram(LProgressReporter* pProgress);
// The reason as a sentence, for Ready and Stopped empty.
std::string MailProgramProblemText(LMailProgramCheck check);
