#include "scribe/LImapPoolSource.h"

#include "foundation/LText.h"
#include "scribe/LScribeStatusWriter.h"
#include "send/LMailMessage.h"
#include "send/LTypistPool.h"

#include <algorithm>
#include <ctime>

namespace {

constexpr const char* kDictation = "dictation";
constexpr uint32_t kSecondsPerDay = 86400;

uint32_t Now()
{
    return static_cast<uint32_t>(std::time(nullptr));
}

} // namespace

LImapPoolSource::LImapPoolSource(std::string name, std::string typist, const LScribeSourceConfig& config)
    : LInboxSource(name, std::move(typist))
    , m_link(name, config)
{
}

std::string LImapPoolSource::AreaOf(LScribeJobState state) const
{
    switch (state) {
    case LScribeJobState::Waiting:
        break;
    case LScribeJobState::Claimed:
        return LTypistPool::Folder(GetPool(), LTypistPool::kClaimed, GetTypist());
    case LScribeJobState::Done:
        return LTypistPool::Folder(GetPool(), LTypistPool::kDone, GetTypist());
    case LScribeJobState::Cancelled:
        return LTypistPool::Folder(GetPool(), LTypistPool::kCancelled);
    }
    return GetPool();
}

bool LImapPoolSource::ListArea(
    LScribeJobState state, std::vector<LScribeJob>* pJobs, std::vector<std::string>* pProblems)
{
    std::vector<LImapClient::MessageSummary> summaries;
    if (!m_link.Client().FetchSummaries(LTypistPool::ListedFields(), &summaries)) {
        pProblems->push_back(m_link.Reason("cannot list \"" + AreaOf(state) + "\""));
        m_link.DropIfBroken();
        return false;
    }
    const size_t nFirst = pJobs->size();
    for (const LImapClient::MessageSummary& summary : summaries) {
        if (!summary.Field(LImapClient::kTicketField).empty())
            continue; // another typist's claim under way
        LTypistPool::Entry entry;
        if (!LImapSourceLink::ReadSummary(summary, &entry)) {
            pProblems->push_back(tplprintf("source %s: skipped message %d of \"%s\": its pool fields cannot be read",
                GetName(), summary.uid, AreaOf(state)));
            continue;
        }
        if (entry.kind != kDictation)
            continue;
        LScribeJob job = LImapSourceLink::JobOf(GetName(), entry, summary.tInternal);
        // A resent dictation keeps its file number: the oldest copy is the job.
        if (std::any_of(pJobs->begin() + static_cast<ptrdiff_t>(nFirst), pJobs->end(),
                [&](const LScribeJob& other) { return other.szId == job.szId; }))
            continue;
        SetState(job, state);
        pJobs->push_back(std::move(job));
    }
    return true;
}

bool LImapPoolSource::ReadStatus(
    uint32_t uUserID, std::vector<uint8_t>* pBytes, std::vector<uint32_t>* pUids, std::string* pWhy)
{
    pBytes->clear();
    pUids->clear();
    const std::string folder = AreaOf(LScribeJobState::Waiting) + "/" + LTypistPool::kStatus;
    bool bMissing = false;
    if (!m_link.Select(folder, false, pWhy, &bMissing))
        return bMissing && m_link.MakeFolder(folder, pWhy) && m_link.Select(folder, false, pWhy);
    LImapClient& client = m_link.Client();
    std::vector<uint32_t> found;
    if (!client.SearchHeaders(
            { { LTypistPool::kKindField, "status" }, { LTypistPool::kAuthorField, std::to_string(uUserID) },
                { LTypistPool::kTypistField, GetTypist() } },
            &found)) {
        *pWhy = m_link.Reason("cannot search the status folder");
        m_link.DropIfBroken();
        return false;
    }
    std::vector<LImapClient::MessageSummary> summaries;
    if (!found.empty() && !client.FetchSummaries(LTypistPool::ListedFields(), &summaries, found)) {
        *pWhy = m_link.Reason("cannot read the status folder");
        m_link.DropIfBroken();
        return false;
    }
    for (const LImapClient::MessageSummary& summary : summaries) {
        LTypistPool::Entry entry;
        if (LImapSourceLink::ReadSummary(summary, &entry) && entry.kind == "status" && entry.uUserID == uUserID
            && entry.typist == GetTypist())
            pUids->push_back(summary.uid);
    }
    std::sort(pUids->begin(), pUids->end());
    if (pUids->empty())
        return true;
    std::string raw;
    if (!client.FetchMessage(pUids->back(), &raw)) {
        *pWhy = m_link.Reason("cannot fetch the status message");
        m_link.DropIfBroken();
        return false;
    }
    LMailMessage message;
    std::string why;
    if (!LMailMessage::Parse(raw, &message, &why)) {
        *pWhy = tplprintf("source %s: the status message cannot be read: %s", GetName(), why);
        return false;
    }
    const std::string name = LScribeStatusWriter::FileName(uUserID, GetTypist());
    for (const LMailAttachment& attachment : message.attachments) {
        if (attachment.fileName == name) {
            pBytes->assign(attachment.data.begin(), attachment.data.end());
            break;
        }
    }
    return true;
}

void LImapPoolSource::ApplyStatus(std::vector<LScribeJob>& jobs, size_t nFirst)
{
    std::map<uint32_t, std::vector<uint8_t>> files;
    for (size_t i = nFirst; i < jobs.size(); ++i) {
        LScribeJob& job = jobs[i];
        if (job.state != LScribeJobState::Claimed)
            continue;
        if (!files.count(job.uUserID)) {
            std::vector<uint32_t> uids;
            std::string why;
            ReadStatus(job.uUserID, &files[job.uUserID], &uids, &why);
        }
        uint32_t t = 0;
        LScribeStatusWriter::Find(files[job.uUserID], job.uFileNumber, &job.szStatus, &t);
    }
}

bool LImapPoolSource::ListJobs(
    const LScribeKeys& keys, bool bAll, std::vector<LScribeJob>* pJobs, std::vector<std::string>* pProblems)
{
    m_keys = keys;
    std::vector<LScribeJobState> states { LScribeJobState::Waiting, LScribeJobState::Claimed };
    if (bAll)
        states.push_back(LScribeJobState::Done);
    const size_t nFirst = pJobs->size();
    for (LScribeJobState state : states) {
        std::string why;
        bool bMissing = false;
        if (!m_link.Select(AreaOf(state), true, &why, &bMissing)) {
            // A typist's folders are made on their first claim.
            if (bMissing && state != LScribeJobState::Waiting)
                continue;
            pProblems->push_back(why);
            if (state == LScribeJobState::Waiting)
                return false;
            continue;
        }
        if (!ListArea(state, pJobs, pProblems) && state == LScribeJobState::Waiting)
            return false;
    }
    ApplyStatus(*pJobs, nFirst);
    return true;
}

bool LImapPoolSource::FindJob(const std::string& fileName, const LScribeKeys& keys, LScribeJob* pJob)
{
    m_keys = keys;
    uint32_t uUserID = 0, uFileNumber = 0;
    if (!LImapSourceLink::ParseJobFileName(fileName, &uUserID, &uFileNumber))
        return false;
    for (LScribeJobState state : { LScribeJobState::Waiting, LScribeJobState::Claimed, LScribeJobState::Done }) {
        std::string why;
        std::vector<uint32_t> uids;
        if (!m_link.Select(AreaOf(state), true, &why) || !m_link.FindDictations(uUserID, uFileNumber, &uids, &why)
            || uids.empty())
            continue;
        std::vector<LScribeJob> jobs;
        std::vector<std::string> problems;
        if (!ListArea(state, &jobs, &problems))
            return false;
        for (LScribeJob& job : jobs) {
            if (job.szFileName == fileName) {
                std::vector<LScribeJob> one { std::move(job) };
                ApplyStatus(one, 0);
                *pJob = std::move(one[0]);
                return true;
            }
        }
    }
    return false;
}

bool LImapPoolSource::Locate(const LScribeJob& job, uint32_t* pUid, std::string* pWhy)
{
    *pUid = 0;
    std::vector<uint32_t> uids;
    if (!m_link.Select(AreaOf(job.state), false, pWhy)
        || !m_link.FindDictations(job.uUserID, job.uFileNumber, &uids, pWhy))
        return false;
    if (!uids.empty())
        *pUid = uids.front();
    return true;
}

LClaimResult LImapPoolSource::Claim(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Waiting) {
        *pWhy = tplprintf("%s is not waiting: it is %s", job.szId, job.szStatus);
        return LClaimResult::Failed;
    }
    const std::string claimed = AreaOf(LScribeJobState::Claimed);
    uint32_t uid = 0;
    if (!m_link.MakeFolder(claimed, pWhy) || !Locate(job, &uid, pWhy))
        return LClaimResult::Failed;
    const std::string lostLine = (job.szName.empty() ? job.szId : job.szName) + ": another typist took it";
    if (uid == 0) {
        *pWhy = lostLine;
        return LClaimResult::Lost;
    }
    LImapClient& client = m_link.Client();
    switch (client.Claim(uid, claimed)) {
    case LImapClient::MoveResult::Moved:
        break;
    case LImapClient::MoveResult::Gone:
        *pWhy = lostLine;
        return LClaimResult::Lost;
    case LImapClient::MoveResult::Failed:
        if (client.GetLastError() == LImapClient::Error::NoMove)
            *pWhy = tplprintf("source %s: the mail server \"%s\" lacks the MOVE capability (RFC 6851); a pool needs "
                              "it, since a claim by copy and delete is not atomic and two typists could take one "
                              "dictation",
                GetName(), GetServer());
        else
            *pWhy = m_link.Reason("cannot claim " + job.szId);
        m_link.DropIfBroken();
        return LClaimResult::Failed;
    }
    SetState(job, LScribeJobState::Claimed);
    std::string why;
    if (!WriteStatus(job, "Typing", Now(), &why))
        *pWhy = why;
    return LClaimResult::Claimed;
}

bool LImapPoolSource::WriteStatus(const LScribeJob& job, std::string_view text, uint32_t tStatus, std::string* pWhy)
{
    if (job.state != LScribeJobState::Claimed && job.state != LScribeJobState::Done) {
        *pWhy = tplprintf("%s is not held by %s; only its holder writes its status", job.szId, GetTypist());
        return false;
    }
    uint32_t uid = 0;
    if (!Locate(job, &uid, pWhy))
        return false;
    if (uid == 0) {
        *pWhy = tplprintf("%s is not held by %s; only its holder writes its status", job.szId, GetTypist());
        return false;
    }
    std::vector<uint8_t> existing;
    std::vector<uint32_t> older;
    if (!ReadStatus(job.uUserID, &existing, &older, pWhy))
        return false;
    const std::vector<uint8_t> bytes = LScribeStatusWriter::Update(existing, job.uFileNumber, text, tStatus);
    LMailAttachment file { LScribeStatusWriter::FileName(job.uUserID, GetTypist()), "application/octet-stream",
        std::string(bytes.begin(), bytes.end()) };
    const std::string folder = AreaOf(LScribeJobState::Waiting) + "/" + LTypistPool::kStatus;
    // The new one first: a reader finds one status message at every moment.
    LImapClient& client = m_link.Client();
    if (!client.Append(folder, LTypistPool::ComposeStatus(job.uUserID, GetTypist(), file))) {
        *pWhy = m_link.Reason("cannot write the status of " + job.szId);
        m_link.DropIfBroken();
        return false;
    }
    if (!older.empty() && !client.Delete(older)) {
        // The newest counts, so an old one left behind is untidy, not wrong.
        m_link.DropIfBroken();
    }
    return true;
}

bool LImapPoolSource::MarkDone(LScribeJob& job, std::string* pWhy)
{
    if (job.state != LScribeJobState::Claimed) {
        *pWhy = tplprintf("%s is not held by %s", job.szId, GetTypist());
        return false;
    }
    if (!WriteStatus(job, "Typed", Now(), pWhy))
        return false;
    const std::string done = AreaOf(LScribeJobState::Done);
    uint32_t uid = 0;
    if (!m_link.MakeFolder(done, pWhy) || !Locate(job, &uid, pWhy))
        return false;
    if (uid == 0 || m_link.Client().Move(uid, done) != LImapClient::MoveResult::Moved) {
        *pWhy = uid == 0 ? tplprintf("%s is no longer held by %s", job.szId, GetTypist())
                         : m_link.Reason("cannot move " + job.szId + " to \"" + done + "\"");
        m_link.DropIfBroken();
        return false;
    }
    job.state = LScribeJobState::Done;
    job.szStatus = "Typed";
    return true;
}

void LImapPoolSource::HandleCancels(std::vector<std::string>* pLines)
{
    const std::string claimed = AreaOf(LScribeJobState::Claimed);
    std::string why;
    if (!m_link.Select(claimed, false, &why))
        return;
    LImapClient& client = m_link.Client();
    std::vector<uint32_t> notices;
    if (!client.SearchHeaders({ { LTypistPool::kKindField, "cancel" } }, &notices)) {
        m_link.DropIfBroken();
        return;
    }
    if (notices.empty())
        return;
    std::vector<LImapClient::MessageSummary> summaries;
    if (!client.FetchSummaries(LTypistPool::ListedFields(), &summaries, notices)) {
        m_link.DropIfBroken();
        return;
    }
    const std::string cancelled = AreaOf(LScribeJobState::Cancelled);
    for (const LImapClient::MessageSummary& summary : summaries) {
        LTypistPool::Entry entry;
        if (!LImapSourceLink::ReadSummary(summary, &entry) || entry.kind != "cancel")
            continue;
        LScribeJob job;
        job.szSource = GetName();
        job.szFileName = LImapSourceLink::JobFileName(entry.uUserID, entry.uFileNumber);
        job.szId = GetName() + ":" + job.szFileName;
        job.uUserID = entry.uUserID;
        job.uFileNumber = entry.uFileNumber;
        SetState(job, LScribeJobState::Claimed);
        uint32_t uid = 0;
        if (!Locate(job, &uid, &why) || uid == 0)
            continue;
        WriteStatus(job, "Cancelled", Now(), &why);
        if (!m_link.MakeFolder(cancelled, &why) || !Locate(job, &uid, &why) || uid == 0
            || client.Move(uid, cancelled) != LImapClient::MoveResult::Moved)
            continue;
        pLines->push_back(tplprintf("%s: %s; moved to \"%s\"", job.szId, kCancelledText, cancelled));
        if (!client.Delete({ summary.uid }))
            m_link.DropIfBroken();
    }
}

void LImapPoolSource::ExpireDone(unsigned nDays, uint32_t tNow, std::vector<std::string>* pLines)
{
    std::string why;
    std::vector<LScribeJob> jobs;
    std::vector<std::string> problems;
    if (nDays == 0 || !m_link.Select(AreaOf(LScribeJobState::Done), true, &why)
        || !ListArea(LScribeJobState::Done, &jobs, &problems) || jobs.empty())
        return;
    // The day a job was typed is in this typist's own status record, on this
    // machine's clock; a job without one is kept.
    std::map<uint32_t, std::vector<uint8_t>> files;
    for (LScribeJob& job : jobs) {
        if (!files.count(job.uUserID)) {
            std::vector<uint32_t> uids;
            ReadStatus(job.uUserID, &files[job.uUserID], &uids, &why);
        }
        std::string text;
        uint32_t tTyped = 0;
        if (!LScribeStatusWriter::Find(files[job.uUserID], job.uFileNumber, &text, &tTyped) || tTyped == 0
            || uint64_t { tTyped } + uint64_t { nDays } * kSecondsPerDay > tNow)
            continue;
        std::vector<uint32_t> uids;
        if (!m_link.Select(AreaOf(LScribeJobState::Done), false, &why)
            || !m_link.FindDictations(job.uUserID, job.uFileNumber, &uids, &why) || uids.empty()
            || !m_link.Client().Delete(uids))
            continue;
        pLines->push_back(tplprintf("%s: typed more than %d days ago; deleted from the server", job.szId, nDays));
    }
}

bool LImapPoolSource::FetchLocal(const LScribeJob& job, std::string* pPath, bool* pTemporary, std::string* pWhy)
{
    *pTemporary = true;
    if (job.state != LScribeJobState::Claimed && job.state != LScribeJobState::Done) {
        *pWhy = tplprintf("%s is not held by %s; claim it first", job.szId, GetTypist());
        return false;
    }
    uint32_t uid = 0;
    if (!Locate(job, &uid, pWhy))
        return false;
    if (uid == 0) {
        *pWhy = tplprintf("%s is no longer held by %s", job.szId, GetTypist());
        return false;
    }
    LScribeJob copy = job;
    return m_link.FetchAttachment(uid, m_keys, &copy, pPath, pWhy);
}
