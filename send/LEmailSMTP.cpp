#include "send/LEmailSMTP.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "platform/LIPSocket.h"
#include "send/LMailCredentials.h"
#include "send/LMailMessage.h"
#include "send/LSMTPReply.h"

#include <unistd.h>

#include <cstdlib>

#ifndef TAVRINE_VERSION
#define TAVRINE_VERSION "0"
#endif

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// Appends the base64 line of up to 57 bytes, with its "\r\n".
void AppendBase64Line(const uint8_t* p, size_t n, std::string* pOut)
{
    for (size_t i = 0; i < n; i += 3) {
        uint32_t v = uint32_t(p[i]) << 16;
        if (i + 1 < n)
            v |= uint32_t(p[i + 1]) << 8;
        if (i + 2 < n)
            v |= p[i + 2];
        pOut->push_back(kBase64[(v >> 18) & 63]);
        pOut->push_back(kBase64[(v >> 12) & 63]);
        pOut->push_back(i + 1 < n ? kBase64[(v >> 6) & 63] : '=');
        pOut->push_back(i + 2 < n ? kBase64[v & 63] : '=');
    }
    pOut->append("\r\n");
}

std::string Base64Line(const std::string& text)
{
    std::string out;
    AppendBase64Line(reinterpret_cast<const uint8_t*>(text.data()), text.size(), &out);
    return out;
}

// Dot-stuffing at every line start, the first included (the body follows the
// headers' empty line), and bare CR or LF made into CRLF: a lone "\n.\r\n"
// must never end the data early on a lenient server.
std::string StuffBody(const std::string& body)
{
    std::string out;
    out.reserve(body.size() + body.size() / 32 + 4);
    bool bLineStart = true;
    for (size_t i = 0; i < body.size(); ++i) {
        char c = body[i];
        if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n')
                ++i;
            out.append("\r\n");
            bLineStart = true;
            continue;
        }
        if (bLineStart && c == '.')
            out.push_back('.');
        out.push_back(c);
        bLineStart = false;
    }
    return out;
}

bool HasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos;
}

bool IsAscii(const std::string& text)
{
    for (unsigned char c : text)
        if (c >= 0x80)
            return false;
    return true;
}

std::string ContentType(const std::string& path)
{
    std::string ext = GetFileExtension(path);
    if (EqualsNoCase(ext, ".wav"))
        return "audio/wav";
    if (EqualsNoCase(ext, ".mp3"))
        return "audio/mpeg";
    return "application/octet-stream";
}

// The text of a quoted MIME parameter.
std::string Quoted(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '"' || c == '\\')
            out.push_back('\\');
        out.push_back(c);
    }
    return out;
}

// What EHLO says of this machine: its host name when that is a plain name.
std::string LocalHostName()
{
    char sz[256] = {};
    if (gethostname(sz, sizeof sz - 1) != 0 || sz[0] == 0)
        return "localhost";
    for (const char* p = sz; *p; ++p) {
        char c = *p;
        bool bOk = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!bOk)
            return "localhost";
    }
    return sz;
}

class SmtpDialogue {
public:
    SmtpDialogue(LProgressReporter& progress, const LEmailRequest& request, const LSMTPOptions& options)
        : m_progress(progress)
        , m_request(request)
        , m_options(options)
        , m_socket([&progress] { return progress.Pump(); })
        , m_stream(m_socket)
    {
    }

    JobResult Run();

private:
    // The result of a step that failed: stopped after a stop, else failed with the message.
    JobResult Failed(JobResult nResult, const std::string& message)
    {
        if (nResult == JobResult::kStopped || m_progress.Pump())
            return JobResult::kStopped;
        m_progress.ErrorBox(message);
        return JobResult::kFailed;
    }
    // Sends a command line and reads the reply: kDone, kStopped or kFailed.
    JobResult Command(const std::string& line, LSMTPReply* pReply)
    {
        JobResult nResult = SocketJobResult(m_socket.ProcessSend(line.data(), line.size(), m_options.lineMs));
        if (nResult != JobResult::kDone) {
            *pReply = LSMTPReply();
            return nResult;
        }
        return ReadSMTPReply(m_stream, m_options.replyMs, pReply);
    }
    JobResult Greet(LSMTPReply* pReply);
    JobResult StartTls(const std::string& host);
    JobResult SendMessage();
    JobResult SendAttachment(const std::string& path, size_t i, size_t n, const std::string& boundary);
    JobResult Send(const std::string& text, uint32_t timeoutMs)
    {
        return SocketJobResult(m_socket.ProcessSend(text.data(), text.size(), timeoutMs));
    }

    LProgressReporter& m_progress;
    const LEmailRequest& m_request;
    LSMTPOptions m_options;
    LIPSocket m_socket;
    LIPSocketStream m_stream;
    std::string m_host;
};

JobResult SmtpDialogue::Greet(LSMTPReply* pReply)
{
    // EHLO always, so that the server can offer STARTTLS; HELO for old
    // servers that do not know EHLO.
    std::string name = LocalHostName();
    JobResult nResult = Command("EHLO " + name + "\r\n", pReply);
    if (nResult == JobResult::kDone && pReply->nCode != 250)
        nResult = Command("HELO " + name + "\r\n", pReply);
    if (nResult != JobResult::kDone || pReply->nCode != 250)
        return Failed(nResult, "Mail host server error (HELO not accepted)");
    return JobResult::kDone;
}

JobResult SmtpDialogue::StartTls(const std::string& host)
{
    JobResult nResult = SocketJobResult(m_socket.ProcessStartTls(host, m_options.replyMs));
    if (nResult == JobResult::kDone)
        return JobResult::kDone;
    if (m_socket.CertificateRejected())
        return Failed(nResult,
            tplprintf("Unable to send email because the certificate of the mail server \"%s\" could not be verified "
                      "(%s). The mail was not sent.",
                host, m_socket.LastError()));
    return Failed(nResult,
        tplprintf(
            "Unable to start an encrypted connection with the mail server \"%s\" (%s).", host, m_socket.LastError()));
}

JobResult SmtpDialogue::Run()
{
    m_progress.SetText("Sending Email", 0);
    m_progress.SetProgress(0);

    LMailServer server = SplitMailHostSetting(m_request.hostSetting);
    m_host = server.host;
    if (!m_request.user.empty())
        server.logon = { m_request.user, m_request.password };
    const std::string& user = server.logon.user;
    const std::string& password = server.logon.password;

    // Values from the settings reach the dialogue and the headers: a line
    // break in one would add commands or headers of its own.
    const std::pair<const std::string*, const char*> checks[] = { { &m_request.hostSetting, "mail server setting" },
        { &user, "user name" }, { &password, "password" }, { &m_request.sender, "sender address" },
        { &m_request.recipients, "recipient address" }, { &m_request.subject, "subject" } };
    for (const auto& [pText, szWhat] : checks) {
        if (HasLineBreak(*pText)) {
            m_progress.ErrorBox(tplprintf("Unable to send email because the %s contains a line break.", szWhat));
            return JobResult::kFailed;
        }
    }
    std::vector<std::string> recipients = SplitEmailAddresses(m_request.recipients);
    if (recipients.empty()) {
        m_progress.ErrorBox("Unable to send email because the recipient has no e-mail address.");
        return JobResult::kFailed;
    }
    for (const std::string& address : recipients) {
        if (address.size() > 256) {
            m_progress.ErrorBox(tplprintf("Unable to send email because the address \"%s\" is too long.", address));
            return JobResult::kFailed;
        }
    }
    // A mail without its dictation must not be reported as sent.
    for (const std::string& path : m_request.attachments) {
        LFile file;
        if (HasLineBreak(path)
            || !OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, 1000, LFile::kOpenExisting)) {
            m_progress.ErrorBox(
                tplprintf("Unable to send email because the attachment \"%s\" cannot be opened.", path));
            return JobResult::kFailed;
        }
        if (file.GetFileSizeBytes() == 0) {
            m_progress.ErrorBox(tplprintf("Unable to send email because the attachment \"%s\" is empty.", path));
            return JobResult::kFailed;
        }
    }
    if (m_host.empty()) {
        m_progress.ErrorBox("Unable to send email because you have not entered your SMTP host using Email Settings.");
        return JobResult::kFailed;
    }
    if (m_request.nPort < 1 || m_request.nPort > 65535) {
        m_progress.ErrorBox(tplprintf("Unable to send email because the SMTP port %d is not valid.", m_request.nPort));
        return JobResult::kFailed;
    }

    m_progress.SetText("Connecting to server", 1);
    JobResult nResult = SocketJobResult(
        m_socket.ProcessConnect(m_host, static_cast<uint16_t>(m_request.nPort), m_options.connectMs, false));
    if (nResult != JobResult::kDone)
        return Failed(nResult, "Unable to connect to the mail server");
    if (m_request.bImplicitTls) {
        if (const JobResult n = StartTls(m_host); n != JobResult::kDone)
            return n;
    }

    m_progress.SetProgress(0.1);
    m_progress.SetText("Logon to mail server", 1);
    LSMTPReply reply;
    nResult = ReadSMTPReply(m_stream, m_options.replyMs, &reply);
    if (nResult != JobResult::kDone || reply.nCode != 220)
        return Failed(nResult, "Mail server not responding");
    if (const JobResult n = Greet(&reply); n != JobResult::kDone)
        return n;
    if (!m_socket.IsTls() && reply.Offers("STARTTLS")) {
        nResult = Command("STARTTLS\r\n", &reply);
        if (nResult != JobResult::kDone || reply.nCode != 220)
            return Failed(nResult,
                tplprintf("The mail server \"%s\" offers an encrypted connection but did not start it. The mail was "
                          "not sent.",
                    m_host));
        // Whatever came before the handshake was not protected by it.
        m_stream.DiscardBuffered();
        if (const JobResult n = StartTls(m_host); n != JobResult::kDone)
            return n;
        if (const JobResult n = Greet(&reply); n != JobResult::kDone)
            return n;
    }

    if (!user.empty()) {
        if (!m_socket.IsTls() && !m_request.bAllowPlainPassword
            && !(m_options.bTrustLoopback && m_socket.IsPeerLoopback())) {
            m_progress.ErrorBox(tplprintf(
                "Unable to send email because the mail server \"%s\" offers no encrypted connection, so the password "
                "would cross the network as plain text. In Email Settings, use the server's port for encrypted mail "
                "(587, or 465), or tick \"Allow sending the password without encryption when the server offers no "
                "TLS\".",
                m_host));
            return JobResult::kFailed;
        }
        nResult = Command("AUTH LOGIN\r\n", &reply);
        if (nResult == JobResult::kDone && reply.nCode == 334) {
            nResult = Command(Base64Line(user), &reply);
            if (nResult == JobResult::kDone && reply.nCode == 334) {
                nResult = Command(Base64Line(password), &reply);
                if (nResult != JobResult::kDone || reply.nCode != 235)
                    return Failed(nResult, "Email authentication username or password not accepted");
            }
        }
        if (nResult != JobResult::kDone)
            return Failed(nResult, "Email authentication username or password not accepted");
    }

    nResult = Command("MAIL FROM:<" + m_request.sender + ">\r\n", &reply);
    if (nResult != JobResult::kDone || reply.nCode != 250)
        return Failed(nResult, "Mail host server error (MAIL FROM not accepted)");

    int nAccepted = 0;
    for (const std::string& address : recipients) {
        nResult = Command("RCPT TO:<" + address + ">\r\n", &reply);
        if (nResult != JobResult::kDone)
            break;
        if (reply.nCode == 250 || reply.nCode == 251)
            ++nAccepted;
    }
    if (nAccepted == 0 || nResult != JobResult::kDone)
        return Failed(nResult,
            "Mail send error (RCPT TO not accepted). Your server may required authenticated email. Enter "
            "your user name and password for the server in Email Settings.");

    nResult = Command("DATA\r\n", &reply);
    if (nResult != JobResult::kDone || reply.nCode != 354)
        return Failed(nResult, "Mail host server error (DATA not accepted)");

    if (const JobResult n = SendMessage(); n != JobResult::kDone)
        return n;
    if (m_progress.Pump())
        return JobResult::kStopped;

    nResult = Command("\r\n.\r\n", &reply);
    if (nResult != JobResult::kDone || reply.nCode != 250)
        return Failed(nResult, "Mail host server error (data terminator not accepted)");

    m_progress.SetProgress(0.95);
    m_progress.SetText("Quit", 1);
    Command("QUIT\r\n", &reply);
    return JobResult::kDone;
}

JobResult SmtpDialogue::SendMessage()
{
    m_progress.SetProgress(0.2);
    m_progress.SetText("Sending Message Text", 1);
    const std::string& body = m_request.body;
    std::string text = tplprintf("MIME-Version: 1.0\r\nFrom: %s\r\nTo: %s\r\nSubject: %s\r\nDate: %s\r\n",
        m_request.sender, m_request.recipients, m_request.subject, EmailDateText(time(nullptr)));
    text += "X-Mailer: Tavrine Dictate " TAVRINE_VERSION "\r\n";
    for (const auto& [name, value] : m_request.headers)
        text += LMailMessage::ComposeField(name, value);
    std::string boundary;
    if (!m_request.attachments.empty()) {
        for (int n = 0; n <= 99; ++n) {
            boundary = tplprintf("gc0p4Jq0M2Yt08jU534c%d", n);
            if (body.find(boundary) == std::string::npos)
                break;
        }
        text += tplprintf("Content-Type: multipart/mixed; boundary=%s\r\n\r\n--%s\r\n", boundary, boundary);
    }
    // A user name with accents is UTF-8 text, and says so.
    text += IsAscii(body) ? "Content-Type: text/plain\r\n\r\n"
                          : "Content-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n";
    const char* szFailed = "Unable to send email: the connection to the mail server failed while the message was sent "
                           "(%s).";
    JobResult nResult = Send(text, m_options.lineMs);
    if (nResult == JobResult::kDone)
        nResult = Send(StuffBody(body), m_options.bodyMs);
    if (nResult != JobResult::kDone)
        return Failed(nResult, tplprintf(szFailed, m_socket.LastError()));
    if (m_request.attachments.empty())
        return JobResult::kDone;

    m_progress.SetProgress(0.3);
    m_progress.SetText("Sending Message Attachment(s)", 1);
    for (size_t i = 0; i < m_request.attachments.size(); ++i) {
        if (const JobResult n = SendAttachment(m_request.attachments[i], i, m_request.attachments.size(), boundary);
            n != JobResult::kDone)
            return n;
    }
    nResult = Send(tplprintf("\r\n--%s--\r\n", boundary), m_options.lineMs);
    if (nResult != JobResult::kDone)
        return Failed(nResult, tplprintf(szFailed, m_socket.LastError()));
    return JobResult::kDone;
}

JobResult SmtpDialogue::SendAttachment(const std::string& path, size_t i, size_t n, const std::string& boundary)
{
    LFile file;
    if (!OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, 1000, LFile::kOpenExisting)) {
        m_progress.ErrorBox(tplprintf("Unable to send email because the attachment \"%s\" cannot be opened.", path));
        return JobResult::kFailed;
    }
    uint64_t nSize = file.GetFileSizeBytes();
    if (nSize == 0) {
        m_progress.ErrorBox(tplprintf("Unable to send email because the attachment \"%s\" is empty.", path));
        return JobResult::kFailed;
    }
    std::string name = Quoted(_GetFileFromPath(path));
    std::string text = tplprintf("\r\n--%s\r\nContent-Type: %s; name=\"%s\"\r\nContent-Transfer-Encoding: base64\r\n"
                                 "Content-Disposition: attachment; filename=\"%s\"\r\n\r\n",
        boundary, ContentType(path), name, name);
    JobResult nResult = Send(text, m_options.lineMs);
    // Lines of 57 bytes, encoded a thousand at a time: one send per batch
    // keeps a large file quick, and the stop test between batches comes
    // long before a 200 ms slice is out.
    constexpr size_t kLineBytes = 57;
    constexpr size_t kBatchLines = 1024;
    std::vector<uint8_t> data(kLineBytes * kBatchLines);
    uint64_t nDone = 0;
    while (nResult == JobResult::kDone) {
        size_t nRead = file.Read(data.data(), data.size());
        if (nRead == 0)
            break;
        text.clear();
        for (size_t nAt = 0; nAt < nRead; nAt += kLineBytes)
            AppendBase64Line(data.data() + nAt, nRead - nAt < kLineBytes ? nRead - nAt : kLineBytes, &text);
        nResult = Send(text, m_options.lineMs);
        nDone += nRead;
        m_progress.SetProgress(0.3 + 0.6 * (double(i) + double(nDone) / double(nSize)) / double(n));
        if (nResult == JobResult::kDone && m_progress.Pump())
            return JobResult::kStopped;
    }
    if (nResult != JobResult::kDone)
        return Failed(nResult,
            tplprintf("Unable to send email: the connection to the mail server failed while the message was sent "
                      "(%s).",
                m_socket.LastError()));
    if (nDone < nSize) {
        m_progress.ErrorBox(tplprintf("Unable to send email because the attachment \"%s\" could not be read.", path));
        return JobResult::kFailed;
    }
    return JobResult::kDone;
}

} // namespace

JobResult EmailSMTPSendProcess(LProgressReporter& progress, const LEmailRequest& request, const LSMTPOptions& options)
{
    SmtpDialogue dialogue(progress, request, options);
    return dialogue.Run();
}

std::vector<std::string> SplitEmailAddresses(const std::string& list)
{
    std::vector<std::string> out;
    size_t nStart = 0;
    for (;;) {
        size_t nComma = list.find(',', nStart);
        std::string piece = list.substr(nStart, nComma == std::string::npos ? std::string::npos : nComma - nStart);
        size_t nFirst = piece.find_first_not_of(" \t");
        if (nFirst != std::string::npos)
            out.push_back(piece.substr(nFirst, piece.find_last_not_of(" \t") + 1 - nFirst));
        if (nComma == std::string::npos)
            return out;
        nStart = nComma + 1;
    }
}

std::string EmailDateText(time_t tNow)
{
    static const char* const kDays[] = { "Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat" };
    static const char* const kMonths[]
        = { "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec" };
    tm local {};
    localtime_r(&tNow, &local);
    long nOffset = local.tm_gmtoff;
    const char* szSign = nOffset < 0 ? "-" : "+";
    nOffset = std::labs(nOffset) / 60;
    return tplprintf("%s, %.2d %s 20%.2d %.2d:%.2d:%.2d %s%.2d%.2d", kDays[local.tm_wday], local.tm_mday,
        kMonths[local.tm_mon], local.tm_year % 100, local.tm_hour, local.tm_min, local.tm_sec, szSign,
        static_cast<int32_t>(nOffset / 60), static_cast<int32_t>(nOffset % 60));
}
