// Reads arbitrary bytes as the send queue's file, checks every record that
// comes back against the bytes, then lets the queue's thread work the file:
// whatever it holds, the thread ends, leaves whole jobs or nothing, and
// writes nothing outside the queue's folder.
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "send/LProcessListFile.h"
#include "send/LProcessListThread.h"
#include "tests/fuzz/FuzzTempDir.h"

#include <chrono>
#include <cstring>
#include <thread>

namespace {

// Entries of the working folder other than the queue's own files.
size_t StrayEntries(const std::string& working)
{
    size_t n = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(working)) {
        const std::string name = entry.path().filename().string();
        if (name == "Send" || name == "Current" || name == "sending.dat" || name == "sending.dat.lock"
            || name == "sending.dat.worker")
            continue;
        ++n;
    }
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    static const std::string working = [] {
        CreateFolder(FuzzFolder("fuzz-queuefile") + "/Send");
        CreateFolder(FuzzFolder("fuzz-queuefile") + "/Current");
        return FuzzFolder("fuzz-queuefile");
    }();
    const std::string path = FuzzWrite(working + "/Send/sending.dat", pData, nSize);

    using Status = LProcessListFile::Status;
    LProcessListHeader header;
    uint64_t nRecords = 0, nTrailing = 0;
    const Status status = LProcessListFile::Walk(
        path, &header,
        [&](const SendJobItem& item) {
            const uint8_t* p = pData + 8 + nRecords * 269;
            const size_t nPath = strnlen(reinterpret_cast<const char*>(p), 259);
            if (item.DictationPath() != std::string_view(reinterpret_cast<const char*>(p), nPath)
                || item.uSendTo != p[260] || item.uUserID != FuzzLe32(p + 261) || item.uFileNumber != FuzzLe32(p + 265))
                std::abort();
            ++nRecords;
            return true;
        },
        &nTrailing);
    const bool bHeaderOk = nSize >= 8 && pData[0] == 1 && pData[1] == 0 && FuzzLe32(pData + 4) == 269;
    const size_t nWhole = nSize >= 8 ? (nSize - 8) / 269 : 0;
    if (nSize == 0) {
        if (status != Status::Empty)
            std::abort();
    } else if (!bHeaderOk || (nSize > 8 && nSize < 8 + 269)) {
        if (status == Status::Ok)
            std::abort();
    } else if (status != Status::Ok || nRecords != nWhole || nTrailing != (nSize - 8) % 269
        || header.uFailCount != (pData[2] | (pData[3] << 8))) {
        std::abort();
    }

    // The thread's turn, on files small enough to work quickly.
    if (nWhole <= 4) {
        size_t nRan = 0;
        {
            LProcessListThread queue;
            queue.SetJobRunner([&](LProcessListThread& q, const SendJobItem&) {
                ++nRan;
                q.SetJobProgress(0.5);
                return JobResult::kDone;
            });
            queue.SetListFilePath(path);
            auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
            while (queue.IsRunning()) {
                if (std::chrono::steady_clock::now() > end)
                    std::abort();
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            }
            const double fProgress = queue.Status().GetProgress();
            if (fProgress < 0 || fProgress > 1)
                std::abort();
        }
        if (nRan > nWhole)
            std::abort();
        const uint64_t nLeft = GetFileSizeBytes(path);
        if (nLeft != 0 && !(nLeft == 8 && nSize == 8 && bHeaderOk))
            std::abort();
        if (StrayEntries(working) != 0)
            std::abort();
    }
    DeleteFileAt(path);
    return 0;
}
