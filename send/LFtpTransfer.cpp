#include "send/LFtpTransfer.h"

#include "foundation/LFile.h"
#include "foundation/LProgressReporter.h"
#include "platform/LFileTransferProtocol.h"

#include <functional>

namespace {

using Ftp = LFileTransferProtocol;

// Size assumed for progress when the server does not tell it.
constexpr uint64_t kUnknownSize = 1048576;
constexpr unsigned kShareRetryMs = 300;

// Progress from 0.1 to 1 over the transfer, passed on only when it moved
// visibly, and the stop test at every call.
class TransferProgress {
public:
    TransferProgress(LProgressReporter& progress, uint64_t nSize)
        : m_progress(progress)
        , m_nSize(nSize)
    {
    }
    bool operator()(uint64_t nDone, uint64_t nTotal)
    {
        uint64_t nSize = m_nSize ? m_nSize : nTotal ? nTotal : kUnknownSize;
        double f = 0.1 + 0.9 * static_cast<double>(nDone) / static_cast<double>(nSize);
        f = f > 1.0 ? 1.0 : f;
        if (f - m_fShown >= 0.005 || (f == 1.0 && m_fShown < 1.0)) {
            m_progress.SetProgress(f);
            m_fShown = f;
        }
        return m_progress.Pump();
    }

private:
    LProgressReporter& m_progress;
    uint64_t m_nSize;
    double m_fShown = 0.0;
};

JobResult ResultOf(const Ftp& session)
{
    return session.GetLastError() == Ftp::Error::Stopped ? JobResult::kStopped : JobResult::kFailed;
}

} // namespace

JobResult ProcessFtpUpload(LProgressReporter& progress, const std::string& remoteName, const std::string& localPath,
    LFileTransferProtocol& session)
{
    progress.SetText("Uploading...", 0);
    progress.SetText(remoteName, 1);
    if (!session.IsLoggedOn())
        return JobResult::kFailed;
    progress.SetProgress(0.05);
    LFile file;
    if (!OpenFileRetry(file, localPath, LFile::kRead, LFile::kShareRead, kShareRetryMs, LFile::kOpenExisting))
        return JobResult::kFailed;
    uint64_t nSize = file.GetFileSizeBytes();
    progress.SetProgress(0.1);
    uint64_t nRead = 0;
    // A file that ends before its size was read is a failure, never a short upload.
    Ftp::Reader reader = [&](char* pBuf, size_t nBytes) -> ptrdiff_t {
        size_t n = file.Read(pBuf, nBytes);
        nRead += n;
        if (n == 0 && nRead < nSize)
            return -1;
        return static_cast<ptrdiff_t>(n);
    };
    TransferProgress shown(progress, nSize ? nSize : 1);
    return session.Upload(remoteName, nSize, reader, std::ref(shown)) ? JobResult::kDone : ResultOf(session);
}

JobResult ProcessFtpDownload(LProgressReporter& progress, const std::string& remoteName, const std::string& localPath,
    LFileTransferProtocol& session, uint64_t nMaxBytes, uint32_t uTimeLimitMs)
{
    progress.SetText("Downloading", 0);
    progress.SetText(remoteName, 1);
    if (!session.IsLoggedOn())
        return JobResult::kFailed;
    progress.SetProgress(0.05);
    LFile file;
    bool bLocalFailed = false;
    auto open = [&] {
        if (!file.IsOpen() && !bLocalFailed)
            bLocalFailed = !OpenFileRetry(
                file, localPath, LFile::kWrite, LFile::kShareNone, kShareRetryMs, LFile::kCreateAlways);
        return file.IsOpen();
    };
    Ftp::Writer writer = [&](const char* pBuf, size_t nBytes) { return open() && file.Write(pBuf, nBytes); };
    TransferProgress shown(progress, 0);
    if (!session.Download(remoteName, writer, std::ref(shown), nMaxBytes, uTimeLimitMs))
        return ResultOf(session);
    // An empty file sends no byte and is created here.
    return open() ? JobResult::kDone : JobResult::kFailed;
}
