// Sending from tavrine-cli: "send" queues dictations for a recipient as the
// window's Send does, and "queue work" works the queue in this process, the
// same job as the window's queue thread, unless another process works it.
#include "app/cli/CliSendQueue.h"
#include "app/cli/LCliCommand.h"
#include "app/cli/LTerminalProgress.h"
#include "app/transfer/LLoadFile.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LSettings.h"
#include "foundation/LText.h"
#include "send/LDictationSend.h"
#include "send/LProcessListThread.h"
#include "send/ProcessSendDictation.h"

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

namespace {

int RunSend(const std::vector<std::string>& args);

const LCliCommand kSend { "send",
    "send NUMBER... [--to RECIPIENT]   queues the dictations for the recipient (default: Send/Default, else the first "
    "one); 'queue work' or the window sends them",
    RunSend };
LCliRegistrar regSend(kSend);

using Engine = LDictationEngineSettings;

int RunSend(const std::vector<std::string>& args)
{
    std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split || split->words.empty())
        return CliUsage(kSend);
    std::optional<uint8_t> uSendTo;
    for (const auto& [name, value] : split->options) {
        if (name != "--to" || uSendTo)
            return CliUsage(kSend);
        if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos
            || std::stoi(value) >= static_cast<int>(Engine::kSendToCount))
            return CliError("RECIPIENT must be a recipient number from 0 to 254 (see 'tavrine-cli recipients')", 2);
        uSendTo = static_cast<uint8_t>(std::stoi(value));
        if (!Engine::IsSendToUsed(*uSendTo))
            return CliError(
                tplprintf("no recipient %d (see 'tavrine-cli recipients')", static_cast<uint32_t>(*uSendTo)));
    }
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    if (!uSendTo)
        uSendTo = DefaultRecipient();
    if (!uSendTo)
        return CliError(
            "no recipient is set up; add one with 'tavrine-cli recipient add NAME SendMethod=2 Folder=DIR'");
    // Every number is checked before the first is sent.
    std::vector<std::string> paths;
    for (const std::string& word : split->words) {
        std::optional<uint32_t> number = ParseFileNumber(word);
        if (!number)
            return CliError("NUMBER must be a file number from 1 to 999999", 2);
        const std::string name = std::to_string(*number) + ".ddf";
        if (FileExists(FilePathCat(engine.GetCurrentFolder(), name)))
            paths.push_back(FilePathCat(engine.GetCurrentFolder(), name));
        else if (FileExists(FilePathCat(engine.GetSentFolder(), name)))
            return CliError(tplprintf("dictation %d has been sent already", *number));
        else
            return CliError(tplprintf("no dictation %d", *number));
    }
    LProcessListThread queue;
    CliOpenQueue(queue, engine.GetSentFolder());
    LTerminalProgress progress;
    for (const std::string& path : paths) {
        LDictation dictation(path);
        if (!dictation.IsValid())
            return CliError(tplprintf("\"%s\" is not a readable dictation", path));
        if (LDictationSend::Process(progress, dictation, *uSendTo, queue, 0) != JobResult::kDone)
            return 1;
        progress.Finish();
        SendJobItem job;
        SendJobItem::MakeSendJob(dictation.GetPath(), &job);
        const std::string line = CliJobLine(job, engine.GetSentFolder());
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    return std::fflush(stdout) == 0 ? 0 : CliError("cannot write to the standard output");
}

// Passes the job's progress to the queue's status block, but keeps every
// message: the block holds only the first, and each is printed here.
class CollectingReporter : public LProgressReporter {
public:
    CollectingReporter(LThreadStatus& status, std::mutex& lock, std::vector<std::string>& messages)
        : m_status(status)
        , m_lock(lock)
        , m_messages(messages)
    {
    }
    void SetText(const std::string& szText, int nLine) override { m_status.SetText(szText, nLine); }
    void ShowProgress(double fFraction) override { m_status.SetProgress(fFraction); }
    void ErrorBox(const std::string& szText) override
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_messages.push_back(szText);
    }
    bool Pump() override { return m_status.Pump(); }
    bool WaitTimed(uint32_t ms) override { return m_status.WaitTimed(ms); }
    int WaitHandle(int fd, uint32_t ms) override { return m_status.WaitHandle(fd, ms); }

private:
    LThreadStatus& m_status;
    std::mutex& m_lock;
    std::vector<std::string>& m_messages;
};

} // namespace

void CliOpenQueue(LProcessListThread& queue, const std::string& sentFolder)
{
    queue.SetListFilePath(FilePathCat(sentFolder, "sending.dat"));
    if (const std::optional<std::string> error = queue.Status().TakeSnapshot().error)
        CliError(*error);
}

int RunQueueWork(const std::vector<std::string>&)
{
    LDictationEngineSettings engine;
    if (!engine.IsUsable())
        return CliError(engine.GetError());
    std::mutex lock;
    std::vector<std::string> messages;
    uint32_t nReturned = 0;
    LProcessListThread queue;
    queue.SetWhenWorkedElsewhere(LProcessListThread::WhenWorkedElsewhere::Leave);
    queue.SetJobRunner([&](LProcessListThread& q, const SendJobItem& item) {
        CollectingReporter reporter(q.Status(), lock, messages);
        if (item.IsNotice())
            return ProcessSendDictation(q, item);
        std::unique_ptr<LDictation> pReturned;
        const JobResult nResult
            = ProcessSendDictation(reporter, item, _GetFolderFromPath(q.GetListFilePath()), &pReturned);
        if (pReturned) {
            std::lock_guard<std::mutex> guard(lock);
            ++nReturned;
        }
        return nResult;
    });
    LTerminalProgress progress;
    uint32_t nErrors = 0;
    bool bStopped = false;
    bool bBegun = false;
    auto show = [&]() {
        LThreadStatus::Snapshot snapshot = queue.Status().TakeSnapshot();
        std::vector<std::string> taken;
        {
            std::lock_guard<std::mutex> guard(lock);
            taken.swap(messages);
        }
        if (snapshot.error)
            taken.insert(taken.begin(), *snapshot.error);
        for (const std::string& message : taken)
            progress.ErrorBox(message);
        nErrors += static_cast<uint32_t>(taken.size());
        if (!snapshot.szText[0].empty()) {
            progress.SetText(snapshot.szText[0], 0);
            progress.SetText(snapshot.szText[1], 1);
            bBegun = true;
        }
        // A finished job clears its caption; the run's end still shows 100 %.
        if (bBegun)
            progress.SetProgress(snapshot.fProgress);
    };
    queue.SetListFilePath(FilePathCat(engine.GetSentFolder(), "sending.dat"));
    while (queue.IsRunning()) {
        show();
        if (progress.WaitTimed(100) && !bStopped) {
            bStopped = true;
            progress.ErrorBox("stopping; the job being sent stays queued");
            queue.StopThreadTimed(LProcessListThread::kStopTimeoutMs);
        }
    }
    show();
    progress.Finish();
    if (queue.WasLeftToAnotherProcess())
        return CliError("another program is working the send queue; the jobs are left to it", 3);
    if (bStopped)
        return 1;
    return nErrors > 0 || nReturned > 0 ? 1 : 0;
}
