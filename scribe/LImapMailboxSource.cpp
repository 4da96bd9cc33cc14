#include "scribe/LImapMailboxSource.h"

#include "foundation/LFile.h"
#include "foundation/LText.h"

#include <algorithm>

namespace {

std::string_view Trimmed(std::string_view s)
{
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
        s.remove_suffix(1);
    return s;
}

} // namespace

LImapMailboxSource::LImapMailboxSource(std::string name, std::string typist, const LScribeSourceConfig& config)
    : LInboxSource(name, std::move(typist))
    , m_link(name, config)
{
}

std::string LImapMailboxSource::AreaOf(LScribeJobState state) const
{
    switch (state) {
    case LScribeJobState::Claimed:
        return kTakenFolder;
    case LScribeJobState::Done:
        return kDoneFolder;
    default:
        return GetMailbox();
    }
}

bool LImapMailboxSource::ListArea(LScribeJobState state, std::vector<LScribeJob>* pJobs, std::vector<uint32_t>* pUids,
    std::vector<std::string>* pProblems)
{
    LImapClient& client = m_link.Client();
    std::vector<std::string> fields = LTypistPool::ListedFields();
    fields.emplace_back("Subject");
    std::vector<LImapClient::MessageSummary> summaries;
    if (!client.FetchSummaries(fields, &summaries)) {
        pProblems->push_back(m_link.Reason("cannot list \"" + AreaOf(state) + "\""));
        m_link.DropIfBroken();
        return false;
    }
    const uint32_t uValidity = client.GetUidValidity();
    size_t nFetches = 0;
    for (const LImapClient::MessageSummary& summary : summaries) {
        LTypistPool::Entry entry;
        LScribeJob job;
        if (LImapSourceLink::ReadSummary(summary, &entry)) {
            if (entry.kind != "dictation")
                continue;
            job = LImapSourceLink::JobOf(GetName(), entry, summary.tInternal);
        } else {
            // Mail from before the fields, or any other mail in the folder.
            if (!EqualsNoCase(Trimmed(summary.Field("Subject")), kMailSubject))
                continue;
            const Known key { AreaOf(state), uValidity, summary.uid };
            auto known = m_known.find(key);
            if (known == m_known.end()) {
                if (summary.nSize > kMaxMailBytes) {
                    pProblems->push_back(tplprintf(
                        "source %s: skipped message %d: it is too large for a dictation", GetName(), summary.uid));
                    continue;
                }
                if (nFetches == kMaxFetchesPerList)
                    continue;
                ++nFetches;
                LScribeJob read;
                read.szSource = GetName();
                read.tCreated
                    = static_cast<uint32_t>(std::clamp<int64_t>(summary.tInternal, 0, int64_t { UINT32_MAX }));
                std::string path, why;
                if (m_link.FetchAttachment(summary.uid, m_keys, &read, &path, &why)) {
                    DeleteFileAt(path);
                    read.szFileName = read.uUserID || read.uFileNumber
                        ? LImapSourceLink::JobFileName(read.uUserID, read.uFileNumber)
                        : "mail-" + std::to_string(summary.uid);
                    read.szId = GetName() + ":" + read.szFileName;
                } else {
                    pProblems->push_back(tplprintf("source %s: skipped message %d: %s", GetName(), summary.uid, why));
                    if (!client.IsLoggedOn())
                        return false;
                    read.szId.clear();
                }
                known = m_known.emplace(key, std::move(read)).first;
            }
            if (known->second.szId.empty())
                continue;
            job = known->second;
        }
        SetState(job, state);
        pJobs->push_back(std::move(job));
        pUids->push_back(summary.uid);
    }
    return true;
}

bool LImapMailboxSource::ListJobs(
    const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs, std::vector<std::string>* pProblems)
{
    m_keys = keys;
    std::vector<LScribeJobState> states { LScribeJobState::Waiting, LScribeJobState::Claimed };
    if (bAll)
        states.push_back(LScribeJobState::Done);
    for (LScribeJobState state : states) {
        std::string why;
        bool bMissing = false;
        std::vector<uint32_t> uids;
        if (!m_link.Select(AreaOf(state), true, &why, &bMissing)) {
            // "Tavrine/..." is made on the first take.
            if (bMissing && state != LScribeJobState::Waiting)
                continue;
            pProblems->push_back(why);
            if (state == LScribeJobState::Waiting)
                return false;
            continue;
        }
        if (!ListArea(state, pJobs, &uids, pProblems) && state == LScribeJobState::Waiting)
            return false;
    }
    return true;
}

bool LImapMailboxSource::Locate(const LScribeJob& job, uint32_t* pUid, std::string* pWhy)
{
    *pUid = 0;
    if (!m_link.Select(AreaOf(job.state), false, pWhy))
        return false;
    std::vector<LScribeJob> jobs;
    std::vector<uint32_t> uids;
    std::vector<std::string> problems;
    if (!ListArea(job.state, &jobs, &uids, &problems)) {
        *pWhy = problems.empty() ? std::string("the folder cannot be listed") : problems.back();
        return false;
    }
    for (size_t i = 0; i < jobs.size(); ++i) {
        if (jobs[i].szId == job.szId) {
            *pUid = uids[i];
            break;
        }
    }
    return true;
}

bool LImapMailboxSource::MoveTo(
    LScribeJob& job, LScribeJobState state, LImapClient::MoveResult* pResult, std::string* pWhy)
{
    *pResult = LImapClient::MoveResult::Failed;
    const std::string folder = AreaOf(state);
    uint32_t uid = 0;
    if (!m_link.MakeFolder(folder, pWhy) || !Locate(job, &uid, pWhy))
        return false;
    if (uid == 0) {
        *pResult = LImapClient::MoveResult::Gone;
        *pWhy = tplprintf("%s is no longer in \"%s\"", job.szId, AreaOf(job.state));
        return false;
    }
    LImapClient& client = m_link.Client();
    const Known from { AreaOf(job.state), client.GetUidValidity(), uid };
    uint32_t uNewUid = 0;
    *pResult = client.Move(uid, folder, &uNewUid);
    if (*pResult == LImapClient::MoveResult::Failed) {
        *pWhy = client.GetLastError() == LImapClient::Error::NoMove
            ? tplprintf("source %s: the mail server \"%s\" lacks the MOVE capability (RFC 6851) that taking a "
                        "mailed dictation needs",
                GetName(), GetServer())
            : m_link.Reason("cannot move " + job.szId + " to \"" + folder + "\"");
        m_link.DropIfBroken();
        return false;
    }
    if (*pResult == LImapClient::MoveResult::Gone) {
        *pWhy = tplprintf("%s is no longer in \"%s\"", job.szId, AreaOf(job.state));
        return false;
    }
    // What was read of a mail without the fields is not read again after the move.
    if (auto known = m_known.find(from); known != m_known.end()) {
        LScribeJob read = std::move(known->second);
        m_known.erase(known);
        if (uNewUid != 0 && m_link.Select(folder, true, pWhy))
            m_known[{ folder, client.GetUidValidity(), uNewUid }] = std::move(read);
    }
    SetState(job, state);
    return true;
}

LClaimResult LImapMailboxSource::Claim(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Waiting) {
        *pWhy = tplprintf("%s is not waiting: it is %s", job.szId, job.szStatus);
        return LClaimResult::Failed;
    }
    LImapClient::MoveResult result;
    if (MoveTo(job, LScribeJobState::Claimed, &result, pWhy))
        return LClaimResult::Claimed;
    if (result == LImapClient::MoveResult::Gone) {
        *pWhy = (job.szName.empty() ? job.szId : job.szName) + ": it left the mailbox before it was taken";
        return LClaimResult::Lost;
    }
    return LClaimResult::Failed;
}

bool LImapMailboxSource::WriteStatus(const LScribeJob&, std::string_view, uint32_t, std::string*)
{
    // The mail method has no way back to the author: a status would go
    // nowhere the dictator's program looks, so there is nothing to write.
    return true;
}

bool LImapMailboxSource::MarkDone(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Claimed) {
        *pWhy = tplprintf("%s is not held by %s", job.szId, GetTypist());
        return false;
    }
    LImapClient::MoveResult result;
    return MoveTo(job, LScribeJobState::Done, &result, pWhy);
}

void LImapMailboxSource::HandleCancels(std::vector<std::string>*)
{
    // The mail method's cancel notice is a mail to the typist, who acts on it.
}

void LImapMailboxSource::ExpireDone(unsigned, uint32_t, std::vector<std::string>*)
{
    // The typist's own mailbox: what is kept there is theirs to keep.
}

bool LImapMailboxSource::FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy)
{
    *pTemporary = true;
    if (job.state != LScribeJobState::Claimed && job.state != LScribeJobState::Done) {
        *pWhy = tplprintf("%s is not taken by %s; take it first", job.szId, GetTypist());
        return false;
    }
    uint32_t uid = 0;
    if (!Locate(job, &uid, pWhy))
        return false;
    if (uid == 0) {
        *pWhy = tplprintf("%s is no longer in \"%s\"", job.szId, AreaOf(job.state));
        return false;
    }
    LScribeJob copy = job;
    return m_link.FetchAttachment(uid, m_keys, &copy, pPath, pWhy);
}
