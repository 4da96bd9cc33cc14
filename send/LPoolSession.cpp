#include "send/LPoolSession.h"

#include "foundation/LFile.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"

#include <algorithm>
#include <map>

namespace {

using Imap = LImapClient;

// More typists than any pool has: a status folder stuffed with messages is not read whole.
constexpr size_t kMaxStatusMessages = 1000;
// A status file is a few records per dictation.
constexpr uint64_t kMaxStatusMessageBytes = 16u << 20;

std::vector<Imap::HeaderField> DictationCriteria(uint32_t uUserID, uint32_t uFileNumber)
{
    return { { LTypistPool::kKindField, "dictation" }, { LTypistPool::kAuthorField, std::to_string(uUserID) },
        { LTypistPool::kFileNumberField, std::to_string(uFileNumber) } };
}

std::vector<std::pair<std::string, std::string>> Fields(const Imap::MessageSummary& summary)
{
    std::vector<std::pair<std::string, std::string>> fields;
    for (const Imap::HeaderField& field : summary.fields)
        fields.emplace_back(field.name, field.value);
    return fields;
}

} // namespace

LPoolSession::LPoolSession(const LRecipient& recipient, LProgressReporter& progress)
    : m_recipient(recipient)
    , m_progress(progress)
{
    m_imap.SetAllowPlain(recipient.bPoolAllowPlain);
    m_imap.SetStopTest([this] { return m_progress.Pump(); });
}

LPoolSession::~LPoolSession()
{
    if (m_imap.IsLoggedOn())
        m_imap.LogOut();
}

std::string LPoolSession::Why(const std::string& doing) const
{
    const std::string& text = m_imap.GetLastErrorText();
    return text.empty() ? doing + "." : tplprintf("%s (%s).", doing, text);
}

bool LPoolSession::LogOn(std::string* pWhy)
{
    const std::string& server = m_recipient.poolServer;
    m_progress.SetText("Connecting to...", 0);
    m_progress.SetText(server, 1);
    if (m_progress.Pump())
        return false;
    if (m_recipient.poolFolder.empty()) {
        *pWhy = tplprintf("The typist pool on \"%s\" has no folder set in the recipient's properties.", server);
        return false;
    }
    if (m_imap.LogOn(server, m_recipient.poolUserName, m_recipient.poolPassword))
        return true;
    switch (m_imap.GetLastError()) {
    case Imap::Error::Stopped:
        break;
    case Imap::Error::BadServerName:
        *pWhy = tplprintf("\"%s\" is not a mail server's name (host or host:port).", server);
        break;
    case Imap::Error::CannotConnect:
        *pWhy = Why(tplprintf("Cannot connect to the mail server \"%s\"", server));
        break;
    case Imap::Error::NoTls:
        *pWhy = tplprintf("The mail server \"%s\" does not offer an encrypted connection (TLS), so the password was "
                          "not sent. To send to this server in plain text, tick \"Allow sending to this server without "
                          "encryption\" in the recipient's properties.",
            server);
        break;
    case Imap::Error::TlsFailed:
        *pWhy = tplprintf("The identity of the mail server \"%s\" could not be verified, so nothing was sent (%s).",
            server, m_imap.GetLastErrorText());
        break;
    case Imap::Error::LogOnDenied:
        *pWhy = tplprintf("Unable to log on to the mail server \"%s\" with user name \"%s\" and the entered password.",
            server, m_recipient.poolUserName);
        break;
    default:
        *pWhy = Why(tplprintf("Unable to log on to the mail server \"%s\"", server));
        break;
    }
    return false;
}

bool LPoolSession::Place(const std::string& message, std::string* pWhy)
{
    const std::string& pool = m_recipient.poolFolder;
    if (m_imap.Append(pool, message))
        return true;
    // A first dictation makes the pool; any other refusal may be a missing folder too.
    const Imap::Error error = m_imap.GetLastError();
    if ((error == Imap::Error::NoFolder || error == Imap::Error::Refused) && m_imap.CreateFolder(pool)
        && m_imap.Append(pool, message))
        return true;
    if (!IsStopped())
        *pWhy = Why(tplprintf(
            "The dictation could not be placed in the typist pool \"%s\" on \"%s\"", pool, m_recipient.poolServer));
    return false;
}

bool LPoolSession::FindDictation(
    uint32_t uUserID, uint32_t uFileNumber, std::vector<uint32_t>* pUids, LTypistPool::Entry* pEntry)
{
    pUids->clear();
    std::vector<uint32_t> candidates;
    if (!m_imap.SearchHeaders(DictationCriteria(uUserID, uFileNumber), &candidates))
        return false;
    if (candidates.empty())
        return true;
    std::vector<Imap::MessageSummary> summaries;
    if (!m_imap.FetchSummaries(LTypistPool::ListedFields(), &summaries, candidates))
        return false;
    for (const Imap::MessageSummary& summary : summaries) {
        LTypistPool::Entry entry;
        if (LTypistPool::ReadEntry(Fields(summary), &entry) && entry.kind == "dictation" && entry.uUserID == uUserID
            && entry.uFileNumber == uFileNumber) {
            pUids->push_back(summary.uid);
            *pEntry = entry;
        }
    }
    return true;
}

LPoolSession::Taken LPoolSession::TakeBack(uint32_t uUserID, uint32_t uFileNumber, const std::string& from,
    const LMailAttachment& notice, std::string* pTypist, std::string* pWhy)
{
    const std::string& pool = m_recipient.poolFolder;
    auto failed = [&](const std::string& doing) {
        if (IsStopped())
            return Taken::Stopped;
        *pWhy = Why(doing);
        return Taken::Failed;
    };
    std::vector<uint32_t> uids;
    LTypistPool::Entry entry;
    if (!m_imap.Select(pool)) {
        if (m_imap.GetLastError() == Imap::Error::NoFolder)
            return Taken::NotFound;
        return failed(tplprintf("The typist pool \"%s\" could not be opened", pool));
    }
    if (!FindDictation(uUserID, uFileNumber, &uids, &entry))
        return failed(tplprintf("The typist pool \"%s\" could not be searched", pool));
    if (!uids.empty()) {
        const std::string cancelled = LTypistPool::Folder(pool, LTypistPool::kCancelled);
        if (!m_imap.CreateFolder(cancelled))
            return failed(tplprintf("The folder \"%s\" could not be made", cancelled));
        size_t nMoved = 0;
        for (uint32_t uUid : uids) {
            const Imap::MoveResult result = m_imap.Claim(uUid, cancelled);
            if (result == Imap::MoveResult::Failed)
                return failed(tplprintf("The dictation could not be moved to \"%s\"", cancelled));
            nMoved += result == Imap::MoveResult::Moved;
        }
        if (nMoved)
            return Taken::Cancelled;
        // Every copy was claimed between the search and the move.
    }

    // Claimed: the notice goes where that typist's program reads its jobs.
    const std::string claimed = LTypistPool::Folder(pool, LTypistPool::kClaimed);
    std::vector<std::string> folders;
    if (!m_imap.ListFolders(claimed, &folders))
        return failed(tplprintf("The folders of \"%s\" could not be listed", claimed));
    const std::string prefix = claimed + "/";
    for (const std::string& listed : folders) {
        // Only a typist's own folder, one level below.
        const std::string typist = listed.starts_with(prefix) ? listed.substr(prefix.size()) : listed;
        if (typist.empty() || typist.find('/') != std::string::npos)
            continue;
        const std::string folder = prefix + typist;
        if (m_progress.Pump())
            return Taken::Stopped;
        if (!m_imap.Select(folder, true)) {
            if (IsStopped())
                return Taken::Stopped;
            continue;
        }
        if (!FindDictation(uUserID, uFileNumber, &uids, &entry))
            return failed(tplprintf("The folder \"%s\" could not be searched", folder));
        if (uids.empty())
            continue;
        entry.kind = "cancel";
        if (!m_imap.Append(folder, LTypistPool::ComposeCancel(entry, from, notice)))
            return failed(tplprintf("The cancel notice could not be placed in \"%s\"", folder));
        *pTypist = typist;
        return Taken::NoticeLeft;
    }
    return Taken::NotFound;
}

LStatusFileFetch::Summary LPoolSession::FetchStatus(uint32_t uUserID, const std::string& sentFolder)
{
    LStatusFileFetch::Summary summary;
    auto stopped = [&] {
        summary.bStopped = IsStopped();
        return summary;
    };
    if (!m_imap.Select(LTypistPool::Folder(m_recipient.poolFolder, LTypistPool::kStatus), true))
        return stopped();
    const std::string author = std::to_string(uUserID);
    std::vector<uint32_t> uids;
    if (!m_imap.SearchHeaders({ { LTypistPool::kKindField, "status" }, { LTypistPool::kAuthorField, author } }, &uids))
        return stopped();
    // The newest (highest UID) holds what counts; older ones are about to be deleted.
    std::sort(uids.rbegin(), uids.rend());
    if (uids.size() > kMaxStatusMessages)
        uids.resize(kMaxStatusMessages);
    std::vector<LImapClient::MessageSummary> summaries;
    if (!uids.empty()
        && !m_imap.FetchSummaries(
            { LTypistPool::kKindField, LTypistPool::kAuthorField, LTypistPool::kTypistField }, &summaries, uids))
        return stopped();
    std::map<std::string, uint32_t> newest; // typist to UID, in name order as the FTP directory's files
    for (const LImapClient::MessageSummary& message : summaries) {
        LTypistPool::Entry entry;
        if (!LTypistPool::ReadEntry(Fields(message), &entry) || entry.kind != "status" || entry.uUserID != uUserID
            || message.nSize > kMaxStatusMessageBytes)
            continue;
        uint32_t& uUid = newest[entry.typist];
        uUid = std::max(uUid, message.uid);
    }
    for (const auto& [typist, uUid] : newest) {
        if (m_progress.Pump()) {
            summary.bStopped = true;
            return summary;
        }
        std::string raw;
        if (!m_imap.FetchMessage(uUid, &raw)) {
            if (IsStopped())
                return stopped();
            continue; // replaced since the search
        }
        LMailMessage message;
        std::string why;
        if (!LMailMessage::Parse(raw, &message, &why))
            continue;
        for (const LMailAttachment& attachment : message.attachments) {
            if (!attachment.fileName.ends_with(".sta"))
                continue;
            // The loader reads a file: one of the private folder's, never the name the message gives.
            const std::string path = LTempFolder::CreateFile("pool", ".sta");
            if (path.empty())
                break;
            LFile file;
            const bool bWritten = file.Open(path, LFile::kWrite, LFile::kShareNone, LFile::kOpenExisting, 0600)
                && file.Write(attachment.data.data(), attachment.data.size());
            file.Close();
            if (bWritten)
                LStatusFileFetch::ApplyFile(path, sentFolder, &summary);
            DeleteFileAt(path);
            break;
        }
    }
    return summary;
}
