#include "import/LExternalDecoder.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "import/LFlacStreamInfo.h"

#include <unistd.h>

#include <algorithm>

#include <cerrno>

namespace {

using Kind = LExternalDecoder::Kind;

const LExternalDecoder kDecoders[] = {
    { Kind::Flac, "Loading FLAC file", "Decoding FLAC file", "flac", "flac" },
    { Kind::Ogg, "Loading OGG file", "Decoding Ogg file", "oggdec", "vorbis-tools" },
    { Kind::Aac, "Loading AAC file", "Decoding AAC file", "faad", "faad" },
    { Kind::Wma, "Loading WMA file", "Decoding with ffmpeg", "ffmpeg", "ffmpeg" },
    { Kind::Dss, "Loading DSS file", "Decoding DSS File", "ffmpeg", "ffmpeg" },
    { Kind::Real, "Loading RealAudio file", "Decoding Real Audio", "ffmpeg", "ffmpeg" },
    { Kind::Ffmpeg, "Loading with ffmpeg", "Decoding with ffmpeg", "ffmpeg", "ffmpeg" },
};

const LExternalDecoder& Decoder(Kind kind)
{
    return kDecoders[static_cast<int>(kind)];
}

// Shows the bar creeping toward full while the decoder runs, as nothing says
// how far it is: each slice without an end takes 1% of what is left.
class LCreepingProgress : public LProgressReporter {
public:
    explicit LCreepingProgress(LProgressReporter& inner)
        : m_inner(inner)
    {
    }
    void SetText(const std::string& szText, int nLine) override { m_inner.SetText(szText, nLine); }
    void ShowProgress(double fFraction) override { m_inner.SetProgress(fFraction); }
    void ErrorBox(const std::string& szText) override { m_inner.ErrorBox(szText); }
    bool Pump() override { return m_inner.Pump(); }
    bool WaitTimed(uint32_t ms) override { return m_inner.WaitTimed(ms); }
    int WaitHandle(int fd, uint32_t ms) override
    {
        const int nResult = m_inner.WaitHandle(fd, ms);
        if (nResult == kTimedOut) {
            m_inner.SetProgress(1.0 - m_fLeft);
            m_fLeft *= 0.99;
        }
        return nResult;
    }

private:
    LProgressReporter& m_inner;
    double m_fLeft = 0.99;
};

// A relative path could start with '-' and be taken for an option, and
// ffmpeg reads "name:..." as a protocol: an absolute path is neither.
std::string AbsolutePath(const std::string& path)
{
    if (!path.empty() && path[0] == '/')
        return path;
    char szCwd[4096];
    if (::getcwd(szCwd, sizeof(szCwd)) == nullptr)
        return "./" + path;
    return FilePathCat(szCwd, path);
}

} // namespace

const LExternalDecoder& LExternalDecoder::ForExtension(std::string_view extension)
{
    if (EqualsNoCase(extension, ".flac"))
        return Decoder(Kind::Flac);
    if (EqualsNoCase(extension, ".ogg"))
        return Decoder(Kind::Ogg);
    if (EqualsNoCase(extension, ".aac") || EqualsNoCase(extension, ".m4a"))
        return Decoder(Kind::Aac);
    if (EqualsNoCase(extension, ".wma"))
        return Decoder(Kind::Wma);
    if (EqualsNoCase(extension, ".dss"))
        return Decoder(Kind::Dss);
    if (EqualsNoCase(extension, ".ra") || EqualsNoCase(extension, ".ram") || EqualsNoCase(extension, ".rm"))
        return Decoder(Kind::Real);
    return Decoder(Kind::Ffmpeg);
}

std::vector<std::string> LExternalDecoder::Arguments(const std::string& program, const std::string& input) const
{
    switch (kind) {
    case Kind::Flac:
        return { program, "-d", "-c", input };
    case Kind::Ogg:
        return { program, "-o", "-", input };
    case Kind::Aac:
        return { program, "-w", input };
    default:
        // Only local files are read: a playlist inside a file never makes
        // ffmpeg fetch anything. The first audio stream, as 16-bit PCM.
        return { program, "-nostdin", "-hide_banner", "-loglevel", "error", "-protocol_whitelist", "file", "-i", input,
            "-map", "0:a:0", "-c:a", "pcm_s16le", "-f", "wav", "pipe:1" };
    }
}

std::string LExternalDecoder::FailureMessage(const std::string& input) const
{
    switch (kind) {
    case Kind::Wma:
        return tplprintf("Cannot open file \"%s\". It is possible that the file does not exist, it is corrupt or the "
                         "file is protected with Digital Rights Management (DRM) which limits the recording to limited "
                         "players.",
            input);
    case Kind::Dss:
        return tplprintf("Unable to open DSS file \"%s\".\r\nThis means the file might not be a true DSS file or the "
                         "file is corrupt. Only DSS SP files can be read here; DSS Pro files cannot.",
            input);
    case Kind::Real:
        return tplprintf("Unable to open the file \"%s\" with ffmpeg.\n\nThis might mean that ffmpeg has no decoder "
                         "for its codec.\n\nTo find out, try to play the file with ffplay.",
            input);
    case Kind::Ffmpeg: {
        const std::string ext = GetFileExtension(input);
        if (EqualsNoCase(ext, ".msv") || EqualsNoCase(ext, ".dvf"))
            return tplprintf("Cannot open the file \"%s\" because its codec is not installed.\n\nNo decoder on this "
                             "system reads MSV and DVF recordings; convert the file to WAV with the recorder "
                             "maker's software, then load the WAV file.",
                input);
        return tplprintf("Cannot open the file \"%s\" as audio. It may not be an audio file, or no decoder installed "
                         "here reads its format.\n\nThe formats that can be read are those that \"ffmpeg -formats\" "
                         "lists as decodable.",
            input);
    }
    default:
        return tplprintf("Cannot open the file \"%s\" because it is corrupt.", input);
    }
}

std::string LExternalDecoder::StreamFailure(const std::string& input, const LDecoderPipeSource& source) const
{
    return FailureMessage(input) + "\n\n" + tplprintf("%s %s.", szProgram, source.Reason());
}

JobResult LExternalDecoder::Open(LProgressReporter& progress, const std::string& input,
    LSoundRef<LDecoderPipeSource>* pSource, std::string* pMessage, uint32_t uTimeoutMs, uint64_t nMaxBytes) const
{
    progress.SetText(szText, 0);
    progress.SetText(_GetFileFromPath(input), 1);
    progress.SetProgress(0.0);
    const std::string program = LProcessRunner::FindProgram(szProgram);
    const std::string missing
        = tplprintf("Cannot open the file \"%s\" because the program \"%s\" that decodes it is not installed.\n\n"
                    "Install the Debian package \"%s\" (for example with \"sudo apt install %s\"), then load the "
                    "file again.",
            input, szProgram, szPackage, szPackage);
    if (program.empty()) {
        *pMessage = missing;
        return JobResult::kFailed;
    }
    if (nMaxBytes == 0)
        nMaxBytes = std::clamp(GetFileSizeBytes(input) * kMaxExpansion, kMinMaxBytes, kMaxMaxBytes);
    // 16-bit FLAC is the dictation's own sample format: decoded later,
    // straight into it.
    LFlacStreamInfo stream;
    if (kind == Kind::Flac && LFlacStreamInfo::Read(input, &stream) && stream.uBitsPerSample == 16) {
        *pSource = LDecoderPipeSource::Direct(
            { program, "-d", "-c", "--force-raw-format", "--endian=little", "--sign=signed", AbsolutePath(input) },
            stream, uTimeoutMs, nMaxBytes);
        return JobResult::kDone;
    }
    LCreepingProgress creeping(progress);
    std::string reason;
    LDecoderPipeSource::State state = LDecoderPipeSource::State::Failed;
    *pSource = LDecoderPipeSource::Start(
        Arguments(program, AbsolutePath(input)), uTimeoutMs, nMaxBytes, creeping, &reason, &state);
    if (state == LDecoderPipeSource::State::Reading)
        return JobResult::kDone;
    if (state == LDecoderPipeSource::State::Stopped)
        return JobResult::kStopped;
    if (state == LDecoderPipeSource::State::NotStarted) {
        *pMessage = missing;
        return JobResult::kFailed;
    }
    *pMessage = FailureMessage(input) + "\n\n" + reason;
    return JobResult::kFailed;
}
