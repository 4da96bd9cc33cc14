#include "send/LProcessCopyFile.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"

#include <cstring>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

// A hidden name the typist's program does not list as a dictation; random, so
// two senders into one folder never meet.
bool CreateTemporaryTarget(const std::string& folder, LFile* pFile, std::string* pPath)
{
    std::random_device random;
    for (int attempt = 0; attempt < 16; ++attempt) {
        const std::string name
            = ".tavrine-" + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000) + ".part";
        *pPath = FilePathCat(folder, name);
        if (pFile->Open(*pPath, LFile::kWrite, LFile::kShareNone, LFile::kCreateNew))
            return true;
        if (pFile->LastError() != LFile::Error::Exists)
            return false;
    }
    return false;
}

std::string Reason(const LFile& file)
{
    return file.LastErrno() != 0 ? std::strerror(file.LastErrno()) : "unknown error";
}

} // namespace

std::string LProcessCopyFile::NumberedName(const std::string& target, int n)
{
    if (n <= 1)
        return target;
    const std::string extension = GetFileExtension(target);
    return target.substr(0, target.size() - extension.size()) + " (" + std::to_string(n) + ")" + extension;
}

int LProcessCopyFile::Process(LProgressReporter& progress, const std::string& source, const std::string& target,
    std::string* pDelivered, std::string* pReason)
{
    std::string scratch;
    std::string& reason = pReason ? *pReason : scratch;
    progress.SetText("Copy File", 0);
    progress.SetText(_GetFileFromPath(target), 1);
    progress.SetProgress(0.0);
    LFile in;
    if (!in.Open(source, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting)) {
        reason = Reason(in);
        return 2;
    }
    const std::string folder = _GetFolderFromPath(target);
    LFile out;
    std::string temporary;
    if (!CreateTemporaryTarget(folder, &out, &temporary)) {
        reason = Reason(out);
        return 2;
    }
    auto fail = [&](int nResult, const std::string& why) {
        out.Close();
        DeleteFileAt(temporary);
        reason = why;
        return nResult;
    };
    const uint64_t nSize = in.GetFileSizeBytes();
    const double fStep = static_cast<double>(kBlockBytes) / static_cast<double>(std::max<uint64_t>(nSize, kBlockBytes));
    std::vector<uint8_t> block(kBlockBytes);
    double fDone = 0.0;
    for (;;) {
        if (progress.Pump())
            return fail(1, "stopped");
        const size_t n = in.Read(block.data(), block.size());
        // A short read is the end only when no error came with it (a lost share).
        if (in.LastError() != LFile::Error::None)
            return fail(2, Reason(in));
        if (n == 0)
            break;
        if (!out.Write(block.data(), n))
            return fail(2, Reason(out));
        progress.SetProgress(fDone);
        fDone = std::min(1.0, fDone + fStep);
        if (n < block.size())
            break;
    }
    // On the disk before it gets a name the typist's program looks for.
    if (!out.Sync())
        return fail(2, Reason(out));
    out.Close();
    for (int n = 1; n <= kMaxNumberedNames; ++n) {
        const std::string name = NumberedName(target, n);
        if (MoveFileNoReplace(temporary, name)) {
            SyncFolder(folder);
            if (pDelivered)
                *pDelivered = _GetFileFromPath(name);
            return 0;
        }
        if (!FileExists(name))
            return fail(2, "the file cannot be renamed in the folder");
    }
    return fail(2, "every numbered name is taken");
}
