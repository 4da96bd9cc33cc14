#include "send/LSealedFile.h"

#include "foundation/LFile.h"
#include "foundation/LTempFolder.h"
#include "platform/LAgeOpener.h"
#include "platform/LAgeSealer.h"

#include <cerrno>
#include <cstdio>
#include <functional>
#include <unistd.h>

namespace {

constexpr size_t kReadBytes = 256 * 1024;

bool WriteAll(int fd, const std::vector<uint8_t>& data)
{
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

// Puts the finished file in place: a rename where the private folder shares
// the target's file system, else a streamed copy into a partial file beside
// the target, renamed over it once whole.
bool PlaceFile(const std::string& temp, const std::string& output)
{
    if (::rename(temp.c_str(), output.c_str()) == 0) {
        SyncFolderOf(output);
        return true;
    }
    if (errno != EXDEV)
        return false;
    LFile in;
    LFile out;
    const std::string partial = CreatePartialFile(output);
    if (partial.empty())
        return false;
    bool bOk = in.Open(temp, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting)
        && out.Open(partial, LFile::kWrite, LFile::kShareNone, LFile::kOpenExisting);
    std::vector<uint8_t> block(kReadBytes);
    while (bOk) {
        const size_t n = in.Read(block.data(), block.size());
        if (n == 0)
            break;
        bOk = out.Write(block.data(), n);
    }
    const int err = out.LastErrno();
    out.Close();
    if (!bOk) {
        ::unlink(partial.c_str());
        errno = err;
        return false;
    }
    return CommitPartialFile(partial, output);
}

// Reads the input in blocks through pStep, which writes what it made to the
// temporary file; pEnd runs at the end of the input.
LSealedFile::Result Stream(const std::string& input, const std::string& output,
    const std::function<LSealedFile::Result(const uint8_t*, size_t, std::vector<uint8_t>*)>& step,
    const std::function<LSealedFile::Result(std::vector<uint8_t>*)>& end, int* pErrno)
{
    using Result = LSealedFile::Result;
    int nErrno = 0;
    if (!pErrno)
        pErrno = &nErrno;
    *pErrno = 0;
    LFile in;
    if (!in.Open(input, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting))
        return Result::ReadFailed;
    int fd = -1;
    const std::string temp = LTempFolder::CreateFile("seal", ".part", &fd);
    if (temp.empty()) {
        *pErrno = errno;
        return Result::WriteFailed;
    }
    std::vector<uint8_t> block(kReadBytes);
    std::vector<uint8_t> made;
    Result result = Result::Ok;
    for (;;) {
        const size_t n = in.Read(block.data(), block.size());
        if (n == 0 && in.LastErrno() != 0)
            result = Result::ReadFailed;
        made.clear();
        if (result == Result::Ok)
            result = n > 0 ? step(block.data(), n, &made) : end(&made);
        if (result == Result::Ok && !made.empty() && !WriteAll(fd, made)) {
            *pErrno = errno;
            result = Result::WriteFailed;
        }
        if (result != Result::Ok || n == 0)
            break;
    }
    if (result == Result::Ok && ::fsync(fd) != 0) {
        *pErrno = errno;
        result = Result::WriteFailed;
    }
    ::close(fd);
    if (result == Result::Ok && !PlaceFile(temp, output)) {
        *pErrno = errno;
        result = Result::WriteFailed;
    }
    ::unlink(temp.c_str());
    return result;
}

LSealedFile::Result FromOpener(LAgeOpener::Result result)
{
    switch (result) {
    case LAgeOpener::Result::Ok:
        return LSealedFile::Result::Ok;
    case LAgeOpener::Result::NotAge:
        return LSealedFile::Result::NotSealed;
    case LAgeOpener::Result::BadHeader:
        return LSealedFile::Result::BadHeader;
    case LAgeOpener::Result::NoMatch:
        return LSealedFile::Result::NoMatch;
    case LAgeOpener::Result::HeaderChanged:
        return LSealedFile::Result::HeaderChanged;
    case LAgeOpener::Result::PayloadChanged:
        return LSealedFile::Result::PayloadChanged;
    case LAgeOpener::Result::Truncated:
        return LSealedFile::Result::Truncated;
    }
    return LSealedFile::Result::PayloadChanged;
}

} // namespace

LSealedFile::Result LSealedFile::Seal(
    const std::string& input, const std::string& output, const std::vector<LAgeKey32>& recipients, int* pErrno)
{
    LAgeSealer sealer;
    bool bBegun = false;
    auto step = [&](const uint8_t* pData, size_t nData, std::vector<uint8_t>* pOut) {
        if (!bBegun && !(bBegun = sealer.Begin(recipients, pOut)))
            return Result::NoKey;
        return sealer.Write(pData, nData, pOut) ? Result::Ok : Result::WriteFailed;
    };
    auto end = [&](std::vector<uint8_t>* pOut) {
        if (!bBegun && !(bBegun = sealer.Begin(recipients, pOut)))
            return Result::NoKey;
        return sealer.Finish(pOut) ? Result::Ok : Result::WriteFailed;
    };
    if (recipients.empty())
        return Result::NoKey;
    return Stream(input, output, step, end, pErrno);
}

LSealedFile::Result LSealedFile::Unseal(
    const std::string& input, const std::string& output, const std::vector<LAgeKey32>& identities, int* pErrno)
{
    if (identities.empty())
        return Result::NoKey;
    LAgeOpener opener(identities);
    auto step = [&](const uint8_t* pData, size_t nData, std::vector<uint8_t>* pOut) {
        return FromOpener(opener.Feed(pData, nData, pOut));
    };
    auto end = [&](std::vector<uint8_t>* pOut) { return FromOpener(opener.Finish(pOut)); };
    return Stream(input, output, step, end, pErrno);
}

std::string LSealedFile::ResultText(Result result, const std::string& input)
{
    const std::string name = "\"" + input + "\"";
    switch (result) {
    case Result::Ok:
        return {};
    case Result::ReadFailed:
        return "cannot read " + name;
    case Result::WriteFailed:
        return "cannot write the file made from " + name;
    case Result::NoKey:
        return "no usable key was given for " + name;
    case Result::NotSealed:
        return name + " is not a sealed (age) file";
    case Result::BadHeader:
        return name + " is damaged: its header is not a valid age header";
    case Result::NoMatch:
        return name + " was not sealed for this key";
    case Result::HeaderChanged:
        return name + " was changed after it was sealed (its header does not match its MAC)";
    case Result::PayloadChanged:
        return name + " was changed or damaged after it was sealed; nothing of it was kept";
    case Result::Truncated:
        return name + " is incomplete: it ends before its last part; nothing of it was kept";
    }
    return {};
}
