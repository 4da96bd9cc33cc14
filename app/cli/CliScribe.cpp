// The typist's commands of tavrine-cli: Scribe's sources and keys, the inbox,
// claiming, status and done, and extracting a job. The same engine as the
// typist's window, for scripts and headless machines.
#include "app/cli/LCliCommand.h"
#include "foundation/LText.h"
#include "scribe/LScribeInbox.h"
#include "scribe/LScribeJobFile.h"
#include "scribe/LScribeKeys.h"
#include "scribe/LScribeSettings.h"
#include "send/LSealIdentity.h"

#include <charconv>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

int RunScribe(const std::vector<std::string>& args);

const LCliCommand kScribe { "scribe",
    "scribe source add NAME KEY=VALUE... | source remove NAME | sources | key show | key add [--author USERID] KEY|- | "
    "inbox [--all] | claim JOB | claim --next | status JOB TEXT | done JOB | open JOB --extract DIR",
    RunScribe };
LCliRegistrar regScribe(kScribe);

int Print(const std::string& out)
{
    std::fwrite(out.data(), 1, out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : CliError("cannot write to the standard output");
}

// One line of standard input, without its line end: a secret never needs to
// appear in the process list.
bool ReadSecret(std::string* pOut)
{
    if (!std::getline(std::cin, *pOut))
        return false;
    while (!pOut->empty() && (pOut->back() == '\r' || pOut->back() == '\n'))
        pOut->pop_back();
    return true;
}

void PrintLines(const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        std::fprintf(stderr, "tavrine-cli: %s\n", CliPrintable(line).c_str());
}

int SourceAdd(const std::vector<std::string>& args)
{
    if (args.size() < 3)
        return CliUsage(kScribe);
    LScribeSourceConfig config;
    config.name = args[2];
    for (size_t i = 3; i < args.size(); ++i) {
        size_t eq = args[i].find('=');
        if (eq == std::string::npos || eq == 0)
            return CliError(tplprintf("'%s' is not KEY=VALUE", args[i]), 2);
        std::string key = args[i].substr(0, eq);
        std::string value = args[i].substr(eq + 1);
        if (value == "-" && LScribeSettings::IsSecretValue(key) && !ReadSecret(&value))
            return CliError(tplprintf("no value for %s on the standard input", key));
        config.values.emplace_back(key, value);
    }
    std::string why;
    if (!LScribeSettings::SaveSource(config, &why))
        return CliError(why);
    return 0;
}

int Sources()
{
    std::string out;
    for (const LScribeSourceConfig& c : LScribeSettings::LoadSources()) {
        std::string kind = "folder", where = c.Get("Folder");
        if (c.IsFtp()) {
            kind = "ftp";
            where = c.Get("FtpServer") + "/" + c.Get("FtpDirectory");
        } else if (c.IsImap()) {
            kind = c.IsImapPool() ? "imap-pool" : "imap-mailbox";
            where = c.Get("ImapServer") + "/" + c.Get("ImapFolder", c.IsImapPool() ? "" : "INBOX");
        }
        out += tplprintf("%s\t%s\t%s\n", CliField(c.name), kind, CliField(where));
    }
    return Print(out);
}

int KeyAdd(const std::vector<std::string>& args)
{
    LScribeKey key;
    std::vector<std::string> words;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--author" && i + 1 < args.size()) {
            uint32_t id = 0;
            const std::string& s = args[++i];
            auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), id);
            if (s.empty() || ec != std::errc() || end != s.data() + s.size())
                return CliError(tplprintf("'%s' is not a user ID (a decimal number)", s), 2);
            key.author = id;
        } else {
            words.push_back(args[i]);
        }
    }
    if (words.size() != 1)
        return CliUsage(kScribe);
    key.key = words[0];
    if (key.key == "-" && !ReadSecret(&key.key))
        return CliError("no key on the standard input");
    std::string why;
    return LScribeKeys::Add(key, &why) ? 0 : CliError(why);
}

const char* StateWord(LScribeJobState state)
{
    switch (state) {
    case LScribeJobState::Waiting:
        return "waiting";
    case LScribeJobState::Claimed:
        return "held by you";
    case LScribeJobState::Done:
        return "done";
    case LScribeJobState::Cancelled:
        return "cancelled by the author";
    }
    return "";
}

int Inbox(const std::vector<std::string>& args)
{
    bool all = false;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] != "--all")
            return CliUsage(kScribe);
        all = true;
    }
    std::vector<std::string> lines;
    LScribeInbox inbox = LScribeInbox::FromSettings(&lines);
    std::vector<LScribeJob> jobs = inbox.Refresh(all, &lines);
    PrintLines(lines);
    std::string out;
    for (const LScribeJob& job : jobs) {
        out += tplprintf("%s\t%d\t%d\t%s\t%s\t%s\n", CliField(job.szId), job.uUserID, job.uFileNumber,
            CliField(job.szName), job.PriorityText(), CliField(job.szStatus));
    }
    return Print(out);
}

// The inbox with the job of an id, or an error status.
int FindJob(const std::string& id, LScribeInbox* pInbox, LScribeJob* pJob)
{
    std::vector<std::string> lines;
    *pInbox = LScribeInbox::FromSettings(&lines);
    bool found = pInbox->LookUp(id, pJob, &lines);
    PrintLines(lines);
    if (!found)
        return CliError(tplprintf("there is no job '%s' in the inbox (see 'tavrine-cli scribe inbox')", id));
    return 0;
}

// Exit status of "claim --next" when no waiting job is left to claim.
constexpr int kNoneLeft = 3;

// Claims the first waiting job in inbox order; a job another typist took
// meanwhile is passed over for the next, so scripts can share a pool.
int ClaimNext()
{
    std::vector<std::string> lines;
    LScribeInbox inbox = LScribeInbox::FromSettings(&lines);
    std::vector<LScribeJob> jobs = inbox.Refresh(false, &lines);
    PrintLines(lines);
    for (LScribeJob& job : jobs) {
        if (job.state != LScribeJobState::Waiting)
            continue;
        std::string why;
        switch (inbox.FindSource(job.szSource)->Claim(job, &why)) {
        case LClaimResult::Claimed:
            if (!why.empty())
                PrintLines({ why });
            return Print(CliField(job.szId) + "\n");
        case LClaimResult::Lost:
            PrintLines({ why });
            continue;
        case LClaimResult::Failed:
            return CliError(why);
        }
    }
    std::fprintf(stderr, "tavrine-cli: no waiting job is left to claim\n");
    return kNoneLeft;
}

int JobCommand(const std::vector<std::string>& args)
{
    const std::string& verb = args[0];
    size_t want = verb == "status" ? 3 : verb == "open" ? 4 : 2;
    if (args.size() != want || (verb == "open" && args[2] != "--extract"))
        return CliUsage(kScribe);
    LScribeInbox inbox;
    LScribeJob found;
    if (int status = FindJob(args[1], &inbox, &found))
        return status;
    LScribeJob* job = &found;
    LInboxSource* source = inbox.FindSource(job->szSource);
    std::string why;
    if (verb == "claim") {
        switch (source->Claim(*job, &why)) {
        case LClaimResult::Claimed:
            if (!why.empty())
                PrintLines({ why });
            return Print(tplprintf("%s: claimed by %s\n", CliField(job->szId), job->szClaimedBy));
        case LClaimResult::Lost:
        case LClaimResult::Failed:
            return CliError(why);
        }
    }
    if (verb == "status") {
        if (job->state != LScribeJobState::Claimed)
            return CliError(tplprintf(
                "%s is %s; only a job you hold takes a status", job->szId, std::string(StateWord(job->state))));
        return source->WriteStatus(*job, args[2], static_cast<uint32_t>(std::time(nullptr)), &why) ? 0 : CliError(why);
    }
    if (verb == "done")
        return source->MarkDone(*job, &why) ? 0 : CliError(why);

    // open JOB --extract DIR
    const std::string& folder = args[3];
    struct stat st { };
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return CliError(tplprintf("\"%s\" is not a folder", folder));
    std::string path;
    bool temporary = false;
    if (!source->FetchLocal(*job, &path, &temporary, &why))
        return CliError(why);
    std::vector<std::string> written;
    bool ok = LScribeJobFile::Extract(path, *job, inbox.GetKeys(), folder, &written, &why);
    if (temporary)
        std::remove(path.c_str());
    if (!ok)
        return CliError(tplprintf("cannot open %s: %s", job->szId, why));
    std::string out;
    for (const std::string& w : written)
        out += CliPrintable(w) + "\n";
    return Print(out);
}

int RunScribe(const std::vector<std::string>& args)
{
    if (args.empty())
        return CliUsage(kScribe);
    const std::string& verb = args[0];
    if (verb == "source" && args.size() >= 2 && args[1] == "add")
        return SourceAdd(args);
    if (verb == "source" && args.size() == 3 && args[1] == "remove") {
        std::string why;
        return LScribeSettings::RemoveSource(args[2], &why) ? 0 : CliError(why);
    }
    if (verb == "sources" && args.size() == 1)
        return Sources();
    if (verb == "key" && args.size() == 2 && args[1] == "show") {
        std::string why;
        const std::optional<std::string> pub = LSealIdentity::PublicText(LScribeKeys::IdentityPath(), &why);
        return pub ? Print(*pub + "\n") : CliError(why);
    }
    if (verb == "key" && args.size() >= 2 && args[1] == "add")
        return KeyAdd(args);
    if (verb == "inbox")
        return Inbox(args);
    if (verb == "claim" && args.size() == 2 && args[1] == "--next")
        return ClaimNext();
    if (verb == "claim" || verb == "status" || verb == "done" || verb == "open")
        return JobCommand(args);
    return CliUsage(kScribe);
}

} // namespace
