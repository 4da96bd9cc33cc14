// Where the mail method finds its settings (machine-wide section "Email"),
// named once for the delivery and the settings dialog, and the check that the
// desktop's mail program can take a mail. Any thread.
#pragma once

#include <string>

class LProgressReporter;

namespace MailKeys {
inline constexpr const char* kSection = "Email";
// True (the default): hand the mail to the desktop's mail program; false: SMTP.
inline constexpr const char* kUseMailProgram = "UseMAPI";
inline constexpr bool kUseMailProgramDefault = true;
// "host" or "host:user:password".
inline constexpr const char* kSmtpHost = "MailSMTPHost";
inline constexpr const char* kSmtpPort = "MailSMTPPort";
inline constexpr int kSmtpPortDefault = 25;
inline constexpr const char* kAllowPlainPassword = "AllowPlainPassword";
// Where typists download their player; named in every mail's body when set.
inline constexpr const char* kDownloadAddress = "DownloadAddress";
// The user's own address, asked for with SMTP.
inline constexpr const char* kReplyTo = "ReplyToEmail";
} // namespace MailKeys

// Whether the desktop's mail program can take a mail: xdg-email on the PATH
// and, when xdg-mime can tell, a default mailto handler.
enum class LMailProgramCheck { Ready, NoXdgEmail, NoMailHandler, Stopped };
LMailProgramCheck CheckMailProgram(LProgressReporter* pProgress);
// The reason as a sentence, for Ready and Stopped empty.
std::string MailProgramProblemText(LMailProgramCheck check);
