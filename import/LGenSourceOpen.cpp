#include "import/LGenSourceOpen.h"

#include "foundation/LPath.h"
#include "foundation/LText.h"
#include "import/LExternalDecoder.h"
#include "sound/files/LRawFile.h"
#include "sound/files/LSoundFileByName.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string AccessMessage(const std::string& path)
{
    return tplprintf("Cannot open the file \"%s\". Check it exists and you have read access.", path);
}

std::string CorruptMessage(const std::string& path)
{
    return tplprintf("Cannot open the file \"%s\" because it is corrupt.", path);
}

// The message for a reader of this program that could not open the file.
std::string OpenFailureMessage(LSoundFileKind kind, const std::string& path, uint8_t uError)
{
    switch (kind) {
    case LSoundFileKind::Wave:
        if (uError == kSoundErrFormat)
            return CorruptMessage(path);
        if (uError == kSoundErrOpen)
            return AccessMessage(path);
        if (uError == kSoundErrCodec)
            return tplprintf("Cannot open the file \"%s\" because its audio is in a format that no codec on this "
                             "computer reads.\n\nConvert the file to PCM WAV (for example with ffmpeg), then load "
                             "it again.",
                path);
        return tplprintf("Cannot open the file \"%s\".", path);
    case LSoundFileKind::Mp3:
        return uError == kSoundErrOpen
            ? AccessMessage(path)
            : tplprintf(
                "Cannot open the file \"%s\". It is possibly either corrupt or not a true layer-3 MPEG file.", path);
    case LSoundFileKind::Au:
    case LSoundFileKind::Aiff:
        return uError == kSoundErrOpen ? AccessMessage(path) : CorruptMessage(path);
    default:
        return AccessMessage(path);
    }
}

JobResult Fail(bool& bAskUser, LImportHost& host, const std::string& szMessage)
{
    if (bAskUser) {
        bAskUser = false;
        host.ShowError(szMessage);
    }
    return JobResult::kFailed;
}

// A header with nothing after it would load as an empty dictation that
// looks like a success.
JobResult Opened(
    LSoundSourceRef& source, LSoundSourceRef opened, const std::string& path, bool& bAskUser, LImportHost& host)
{
    if (opened->GetLength() <= 0)
        return Fail(bAskUser, host, tplprintf("Cannot open the file \"%s\" because it holds no audio.", path));
    source = std::move(opened);
    return JobResult::kDone;
}

bool IsReadableFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    const bool bFile = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    return bFile;
}

// The decoder writes into a pipe that the copy into the dictation reads as it
// goes: no decoded copy of the file is ever kept.
JobResult OpenDecoded(LSoundSourceRef& source, const std::string& path, bool& bAskUser, LImportHost& host)
{
    const std::string ext = GetFileExtension(path);
    if (EqualsNoCase(ext, ".sri"))
        return Fail(bAskUser, host,
            tplprintf("Cannot open the file \"%s\": VoiceIt (.sri) recordings cannot be read on this system, as it "
                      "has no decoder for them.",
                path));
    if (!IsReadableFile(path))
        return Fail(bAskUser, host, AccessMessage(path));
    const LExternalDecoder& decoder = LExternalDecoder::ForExtension(ext);
    std::string szMessage;
    LSoundRef<LDecoderPipeSource> decoded;
    const JobResult nResult = host.RunProgress(decoder.szTitle,
        [&](LProgressReporter& progress) { return decoder.Open(progress, path, &decoded, &szMessage); });
    if (nResult == JobResult::kStopped)
        return JobResult::kStopped;
    if (nResult != JobResult::kDone)
        return Fail(bAskUser, host, szMessage);
    return Opened(source, LSoundSourceRef(std::move(decoded)), path, bAskUser, host);
}

} // namespace

JobResult LGenSourceOpen(LSoundSourceRef& source, const std::string& path, bool& bAskUser, LImportHost& host)
{
    source.Reset();
    const LSoundFileKind kind = LSoundFileByName::KindOf(path);
    if (kind == LSoundFileKind::Unknown)
        return OpenDecoded(source, path, bAskUser, host);
    LSoundSourceRef opened;
    if (kind == LSoundFileKind::Raw) {
        const std::string section = LRawSettings::SectionForPath(path);
        LRawSettings settings = LRawSettings::Load(section);
        if (bAskUser) {
            const std::optional<bool> confirmed = host.AskRawSettings(path, &settings);
            if (confirmed)
                bAskUser = false;
            if (confirmed && !*confirmed)
                return JobResult::kStopped;
            if (confirmed)
                settings.Save(section);
        }
        opened = LRawFile::OpenSource(path, settings);
    } else {
        opened = LSoundFileByName::OpenSource(path);
    }
    if (!opened || !opened->IsUsable())
        return Fail(
            bAskUser, host, OpenFailureMessage(kind, path, opened ? opened->ErrorCode() : uint8_t { kSoundErrOpen }));
    return Opened(source, std::move(opened), path, bAskUser, host);
}
