// The system's own mail client: delivers a text and its attachments to an
// SMTP server in one dialogue, over TLS whenever the server offers it.
// Runs on the send queue's thread (or under a progress dialog); a stop
// request ends it within a 200 ms slice.
#pragma once

#include "foundation/JobResult.h"

#include <cstdint>
#include <ctime>
#include <string>
#include <utility>
#include <vector>

class LProgressReporter;

struct LEmailRequest {
    // Addresses separated by commas; the To header shows the text as it stands.
    std::string recipients;
    std::string sender;
    std::string subject;
    std::string body;
    std::vector<std::string> attachments;
    // "host", or "host:user:password" to log on (the password may hold colons).
    std::string hostSetting;
    int nPort = 25;
    // TLS from the first byte (port 465), rather than STARTTLS when offered.
    bool bImplicitTls = false;
    // Lets AUTH LOGIN cross a connection without TLS (loopback servers may always).
    bool bAllowPlainPassword = false;
    // The logon when kept apart from the host; a user name here wins over one in hostSetting.
    std::string user {};
    std::string password {};
    // Extra header fields ("X-..."), values UTF-8: what a typist's program
    // lists a mailbox by without fetching the attachment.
    std::vector<std::pair<std::string, std::string>> headers {};
};

struct LSMTPOptions {
    uint32_t connectMs = 10000;
    // Each command, the header block and each piece of an attachment.
    uint32_t lineMs = 20000;
    uint32_t bodyMs = 30000;
    // Each reply, and the TLS handshake.
    uint32_t replyMs = 20000;
    // A server on this machine may take a password without TLS; tests
    // switch this off to see the refusal that a remote server gets.
    bool bTrustLoopback = true;
};

// JobResult: done (sent), stopped (no message), failed (its message given to
// the reporter's ErrorBox). A message that was not wholly sent is never
// ended with the terminator, so the server throws it away.
JobResult EmailSMTPSendProcess(
    LProgressReporter& progress, const LEmailRequest& request, const LSMTPOptions& options = LSMTPOptions());

// The pieces of a comma-separated address list, without the spaces around
// them (which inside "<...>" would make an address no server takes).
std::vector<std::string> SplitEmailAddresses(const std::string& list);

// The Date header's text of a moment in the local zone, with the offset in
// force then (summer time included): "Mon, 07 Dec 2026 16:05:09 +0100".
std::string EmailDateText(time_t tNow);
