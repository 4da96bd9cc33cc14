#include "scribe/LImapSourceLink.h"

#include "foundation/LFile.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "scribe/LScribeJobFile.h"
#include "send/LMailMessage.h"
#include "send/LTypistPool.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <fcntl.h>
#include <unistd.h>

namespace {

// ".dct", ".wav", ".dct.age": the part of an attachment's name our own name
// keeps, so the job's reader knows its kind; empty when it is no job.
std::string JobSuffix(const std::string& name)
{
    if (!LScribeJobFile::IsSafeName(name))
        return {};
    const LScribeJobFile::NameKind kind = LScribeJobFile::KindOfName(name);
    if (kind != LScribeJobFile::NameKind::Dct && kind != LScribeJobFile::NameKind::Audio)
        return {};
    std::string lower;
    for (char c : name)
        lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    std::string sealed;
    if (lower.size() > 4 && lower.ends_with(".age")) {
        sealed = ".age";
        lower.resize(lower.size() - 4);
    }
    const size_t dot = lower.rfind('.');
    if (dot == std::string::npos || lower.size() - dot > 6)
        return {};
    const std::string ext = lower.substr(dot);
    if (!std::all_of(ext.begin() + 1, ext.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)); }))
        return {};
    return ext + sealed;
}

} // namespace

bool LImapSourceLink::ReadSummary(const LImapClient::MessageSummary& summary, LTypistPool::Entry* pEntry)
{
    std::vector<std::pair<std::string, std::string>> fields;
    for (const LImapClient::HeaderField& field : summary.fields)
        fields.emplace_back(field.name, field.value);
    return LTypistPool::ReadEntry(fields, pEntry);
}

std::string LImapSourceLink::JobFileName(uint32_t uUserID, uint32_t uFileNumber)
{
    return std::to_string(uUserID) + "-" + std::to_string(uFileNumber);
}

bool LImapSourceLink::ParseJobFileName(std::string_view name, uint32_t* pUserID, uint32_t* pFileNumber)
{
    const size_t dash = name.find('-');
    if (dash == std::string_view::npos)
        return false;
    auto number = [](std::string_view s, uint32_t* p) {
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), *p);
        return !s.empty() && ec == std::errc() && end == s.data() + s.size();
    };
    return number(name.substr(0, dash), pUserID) && number(name.substr(dash + 1), pFileNumber);
}

LScribeJob LImapSourceLink::JobOf(const std::string& source, const LTypistPool::Entry& entry, int64_t tInternal)
{
    LScribeJob job;
    job.szSource = source;
    job.szFileName = JobFileName(entry.uUserID, entry.uFileNumber);
    job.szId = source + ":" + job.szFileName;
    job.kind = LScribeJobKind::Dct;
    job.uUserID = entry.uUserID;
    job.uFileNumber = entry.uFileNumber;
    job.szName = entry.name.empty() ? tplprintf("Dictation %d-%d", entry.uUserID, entry.uFileNumber) : entry.name;
    job.szUserName = entry.userName;
    job.uPriority = entry.uPriority;
    job.notes = entry.notes;
    job.fields = LScribeJob::ParseFields(entry.notes);
    job.nDurationMs = entry.nLengthMs;
    job.tCreated = entry.tCreated ? entry.tCreated
                                  : static_cast<uint32_t>(std::clamp<int64_t>(tInternal, 0, int64_t { UINT32_MAX }));
    // Sealed dictations carry no name, author name or notes in clear on the server.
    job.bSealed = entry.name.empty() && entry.userName.empty();
    return job;
}

LImapSourceLink::LImapSourceLink(std::string sourceName, const LScribeSourceConfig& config)
    : m_sourceName(std::move(sourceName))
    , m_server(config.Get("ImapServer"))
    , m_userName(config.Get("ImapUserName"))
    , m_password(config.Get("ImapPassword"))
    , m_folder(config.Get("ImapFolder", "INBOX"))
{
    const std::string plain = config.Get("ImapAllowPlain");
    m_bAllowPlain = plain == "1" || EqualsNoCase(plain, "true");
    LImapClient::Options options;
    options.maxMessageBytes = kMaxMessageBytes;
    m_client.SetOptions(options);
}

std::string LImapSourceLink::Reason(const std::string& what)
{
    std::string text = m_client.GetLastErrorText();
    if (text.empty())
        text = "the server refused";
    return tplprintf("source %s: %s on \"%s\": %s", m_sourceName, what, m_server, text);
}

void LImapSourceLink::DropIfBroken()
{
    switch (m_client.GetLastError()) {
    case LImapClient::Error::Failed:
    case LImapClient::Error::TimedOut:
    case LImapClient::Error::TooLarge:
    case LImapClient::Error::BadReply:
    case LImapClient::Error::Stopped:
        m_client.LogOut();
        m_made.clear();
        break;
    default:
        break;
    }
}

bool LImapSourceLink::Connect(std::string* pWhy)
{
    if (m_client.IsLoggedOn())
        return true;
    m_made.clear();
    m_client.SetAllowPlain(m_bAllowPlain);
    if (!m_client.LogOn(m_server, m_userName, m_password)) {
        *pWhy = Reason("cannot log on");
        return false;
    }
    return true;
}

bool LImapSourceLink::Watched::Open(LImapClient& client, std::string* pWhy) const
{
    client.SetAllowPlain(bAllowPlain);
    if (!client.LogOn(server, userName, password) || !client.Select(folder, true)) {
        *pWhy = tplprintf(
            "source %s: cannot watch \"%s\" on \"%s\": %s", sourceName, folder, server, client.GetLastErrorText());
        client.LogOut();
        return false;
    }
    return true;
}

bool LImapSourceLink::Select(const std::string& folder, bool bReadOnly, std::string* pWhy, bool* pMissing)
{
    if (pMissing)
        *pMissing = false;
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (!Connect(pWhy))
            return false;
        if (m_client.Select(folder, bReadOnly))
            return true;
        if (m_client.GetLastError() == LImapClient::Error::NoFolder) {
            if (pMissing)
                *pMissing = true;
            *pWhy = tplprintf("source %s: there is no folder \"%s\" on \"%s\"", m_sourceName, folder, m_server);
            return false;
        }
        *pWhy = Reason("cannot open the folder \"" + folder + "\"");
        // A session the server closed while we were away is opened again once.
        const bool bBroken = m_client.GetLastError() == LImapClient::Error::Failed
            || m_client.GetLastError() == LImapClient::Error::NotConnected;
        if (!bBroken)
            return false;
        m_client.LogOut();
    }
    return false;
}

bool LImapSourceLink::MakeFolder(const std::string& folder, std::string* pWhy)
{
    if (std::find(m_made.begin(), m_made.end(), folder) != m_made.end())
        return true;
    if (!Connect(pWhy))
        return false;
    if (!m_client.CreateFolder(folder)) {
        *pWhy = Reason("cannot make the folder \"" + folder + "\"");
        DropIfBroken();
        return false;
    }
    m_made.push_back(folder);
    return true;
}

bool LImapSourceLink::FindDictations(
    uint32_t uUserID, uint32_t uFileNumber, std::vector<uint32_t>* pUids, std::string* pWhy)
{
    pUids->clear();
    std::vector<uint32_t> found;
    if (!m_client.SearchHeaders({ { LTypistPool::kAuthorField, std::to_string(uUserID) },
                                    { LTypistPool::kFileNumberField, std::to_string(uFileNumber) } },
            &found)) {
        *pWhy = Reason("cannot search the folder");
        DropIfBroken();
        return false;
    }
    if (found.empty())
        return true;
    std::vector<LImapClient::MessageSummary> summaries;
    if (!m_client.FetchSummaries(LTypistPool::ListedFields(), &summaries, found)) {
        *pWhy = Reason("cannot read the folder's headers");
        DropIfBroken();
        return false;
    }
    for (const LImapClient::MessageSummary& summary : summaries) {
        LTypistPool::Entry entry;
        if (ReadSummary(summary, &entry) && entry.kind == "dictation" && entry.uUserID == uUserID
            && entry.uFileNumber == uFileNumber)
            pUids->push_back(summary.uid);
    }
    std::sort(pUids->begin(), pUids->end());
    return true;
}

bool LImapSourceLink::FetchAttachment(
    uint32_t uid, const LScribeKeys& keys, LScribeJob* pJob, std::string* pPath, std::string* pWhy)
{
    pPath->clear();
    std::string raw;
    if (!m_client.FetchMessage(uid, &raw)) {
        *pWhy = Reason("cannot fetch the dictation");
        DropIfBroken();
        return false;
    }
    LMailMessage message;
    std::string why;
    LMailMessage::Limits limits;
    limits.maxDecodedBytes = kMaxMessageBytes;
    if (!LMailMessage::Parse(raw, &message, &why, limits)) {
        *pWhy = tplprintf("source %s: the message cannot be read: %s", m_sourceName, why);
        return false;
    }
    raw.clear();
    const LMailAttachment* pFound = nullptr;
    std::string suffix;
    for (const LMailAttachment& attachment : message.attachments) {
        std::string s = JobSuffix(attachment.fileName);
        if (s.empty())
            continue;
        if (pFound) {
            *pWhy = tplprintf("source %s: the message carries more than one dictation", m_sourceName);
            return false;
        }
        pFound = &attachment;
        suffix = s;
    }
    if (!pFound) {
        *pWhy = tplprintf("source %s: the message carries no DCT, audio or sealed attachment", m_sourceName);
        return false;
    }
    // The message's own name never becomes a path: ours keeps only its kind.
    int fd = -1;
    *pPath = LTempFolder::CreateFile("job", suffix, &fd);
    if (pPath->empty()) {
        *pWhy = "no private temporary file can be made";
        return false;
    }
    const std::string& data = pFound->data;
    size_t nAt = 0;
    while (nAt < data.size()) {
        const ssize_t n = ::write(fd, data.data() + nAt, data.size() - nAt);
        if (n <= 0)
            break;
        nAt += static_cast<size_t>(n);
    }
    const bool bWritten = nAt == data.size() && ::close(fd) == 0;
    if (nAt != data.size())
        ::close(fd);
    LScribeJob checked = *pJob;
    if (!bWritten || !LScribeJobFile::ReadJob(*pPath, "job" + suffix, keys, &checked, &why)) {
        *pWhy = bWritten ? tplprintf("source %s: the attachment is no dictation: %s", m_sourceName, why)
                         : std::string("the private temporary file cannot be written");
        DeleteFileAt(*pPath);
        pPath->clear();
        return false;
    }
    // A DCT's own words count over the headers', which only listed it; an
    // audio file has none but its name, which is ours.
    if (checked.kind == LScribeJobKind::Audio) {
        const LScribeJobKind kind = checked.kind;
        const uint32_t nDurationMs = checked.nDurationMs;
        checked = *pJob;
        checked.kind = kind;
        checked.nDurationMs = nDurationMs ? nDurationMs : pJob->nDurationMs;
    }
    if (checked.tCreated == 0)
        checked.tCreated = pJob->tCreated; // an older DCT without its time: the mail's arrival
    checked.szId = pJob->szId;
    checked.szSource = pJob->szSource;
    checked.szFileName = pJob->szFileName;
    checked.state = pJob->state;
    checked.szStatus = pJob->szStatus;
    checked.szClaimedBy = pJob->szClaimedBy;
    *pJob = std::move(checked);
    return true;
}
