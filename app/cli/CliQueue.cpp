// The send queue of tavrine-cli: lists the jobs waiting in the Send folder's
// queue file, oldest (the one being worked) first.
#include "app/cli/CliSendQueue.h"
#include "app/cli/LCliCommand.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "send/LProcessListFile.h"
#include "send/LProcessListThread.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

int RunQueue(const std::vector<std::string>& args);

const LCliCommand kQueue { "queue",
    "queue [work]   lists the send jobs: kind, dictation, recipient number and name; work sends them in this process",
    RunQueue };
LCliRegistrar regQueue(kQueue);

// More than any real queue holds; a file beyond it is listed in part.
constexpr uint32_t kMaxListed = 100000;

std::string RecipientColumns(uint8_t uSendTo)
{
    if (uSendTo == kNoRecipient)
        return "\t";
    return std::to_string(uSendTo) + "\t" + CliField(LDictationEngineSettings::GetSendToName(uSendTo));
}

} // namespace

// A send job's dictation is read only from the queue's own folder; a path
// naming anything else is shown as it stands.
std::string CliJobLine(const SendJobItem& item, const std::string& sendFolder)
{
    if (item.IsNotice())
        return tplprintf("notice\t%s-%s\t%s\n", std::to_string(item.uUserID), std::to_string(item.uFileNumber),
            RecipientColumns(item.uSendTo));
    const std::string path(item.DictationPath());
    uint8_t uSendTo = item.uSendTo;
    std::string dictation = CliField(path);
    if (_GetFolderFromPath(path) == sendFolder && GetFileExtension(path) == ".ddf") {
        LDictation loaded(path);
        if (loaded.IsValid()) {
            dictation = std::to_string(loaded.GetFileNumber());
            if (uSendTo == SendJobItem::kSendToDictation)
                uSendTo = loaded.Header().uSendTo;
        }
    }
    return "send\t" + dictation + "\t" + RecipientColumns(uSendTo) + "\n";
}

namespace {

int RunQueue(const std::vector<std::string>& args)
{
    if (args.size() == 1 && args[0] == "work")
        return RunQueueWork({});
    if (!args.empty())
        return CliUsage(kQueue);
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    const std::string path = FilePathCat(engine.GetSentFolder(), "sending.dat");
    // Shared with the queue's thread; a folder where the lock file cannot be
    // made is still read, since reading changes nothing.
    LProcessListFile::Lock lock;
    lock.Take(path, false, LProcessListThread::kLockTimeoutMs);
    LProcessListHeader header;
    uint64_t nTrailing = 0, nJobs = 0;
    std::string out;
    // Gathered under the lock and written after it is released: a reader
    // stopped by a full pipe must not hold up the queue.
    const LProcessListFile::Status status = LProcessListFile::Walk(
        path, &header,
        [&](const SendJobItem& item) {
            if (++nJobs > kMaxListed)
                return false;
            out += CliJobLine(item, engine.GetSentFolder());
            return true;
        },
        &nTrailing);
    lock.Release();
    using Status = LProcessListFile::Status;
    if (status == Status::Missing || status == Status::Empty)
        return 0;
    if (status == Status::Unreadable)
        return CliError("\"" + path + "\": " + LProcessListFile::StatusText(status));
    if (status != Status::Ok)
        return CliError("\"" + path + "\": " + LProcessListFile::StatusText(status)
            + "; the next program to take the queue removes it and returns the dictations that waited in it to "
              "Current");
    if (std::fwrite(out.data(), 1, out.size(), stdout) != out.size() || std::fflush(stdout) != 0)
        return CliError("cannot write the list to the standard output");
    if (nJobs > kMaxListed)
        CliError(tplprintf("note: only the first %d jobs are listed", kMaxListed));
    if (header.uFailCount > 0)
        CliError(tplprintf(
            "note: the first job was begun %d time(s) without ending", static_cast<int32_t>(header.uFailCount)));
    if (nTrailing > 0)
        CliError(
            tplprintf("note: %d bytes of a job cut short at the end are ignored", static_cast<uint32_t>(nTrailing)));
    return 0;
}

} // namespace
