#include "import/LExternalDecoder.h"

#include "foundation/LPath.h"
#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "sound/files/LWaveFile.h"

#include <unistd.h>

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

// The decoder's own last line, so the message says what it saw; control
// characters (a hostile file's tags echoed back) become blanks.
std::string LastLine(const std::string& output)
{
    const size_t nEnd = output.find_last_not_of("\r\n \t");
    if (nEnd == std::string::npos)
        return {};
    const size_t nNewline = output.find_last_of('\n', nEnd);
    const size_t nStart = nNewline == std::string::npos ? 0 : nNewline + 1;
    std::string line(CutUtf8(std::string_view(output).substr(nStart, nEnd + 1 - nStart), 300));
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return line;
}

// What came back must be PCM (flac keeps a 24-bit file's depth, the others
// write 16 bits) with its whole data chunk present.
bool IsWholePcmWave(const std::string& path)
{
    LWaveFileInfo info;
    if (LWaveFile::ReadInfo(path, &info) != 0 || info.bStreaming)
        return false;
    if (info.format.wFormatTag != kWaveFormatPCM || info.format.nBlockAlign == 0)
        return false;
    return info.nDataStart + info.nDataBytes <= info.nFileSize && info.nDataBytes % info.format.nBlockAlign == 0;
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

std::vector<std::string> LExternalDecoder::Arguments(
    const std::string& program, const std::string& output, const std::string& input) const
{
    switch (kind) {
    case Kind::Flac:
        return { program, "-d", "-o", output, input };
    case Kind::Ogg:
        return { program, "-o", output, input };
    case Kind::Aac:
        return { program, "-d", "-o", output, input };
    default:
        // Only local files are read: a playlist inside a file never makes
        // ffmpeg fetch anything. The first audio stream, as 16-bit PCM.
        return { program, "-nostdin", "-hide_banner", "-loglevel", "error", "-protocol_whitelist", "file", "-i", input,
            "-map", "0:a:0", "-c:a", "pcm_s16le", "-f", "wav", output };
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

JobResult LExternalDecoder::Process(LProgressReporter& progress, const std::string& input, const std::string& output,
    std::string* pMessage, uint32_t uTimeoutMs) const
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
    LProcessRunner::Options options;
    options.timeoutMs = uTimeoutMs;
    LCreepingProgress creeping(progress);
    const LProcessResult result
        = LProcessRunner::Run(Arguments(program, AbsolutePath(output), AbsolutePath(input)), options, &creeping);
    if (result.end == LProcessResult::End::Stopped)
        return JobResult::kStopped;
    if (result.end == LProcessResult::End::NotStarted && result.nErrno == ENOENT) {
        *pMessage = missing;
        return JobResult::kFailed;
    }
    if (result.Succeeded() && IsWholePcmWave(output)) {
        progress.SetProgress(1.0);
        return JobResult::kDone;
    }
    std::string reason = result.Succeeded() ? tplprintf("%s did not leave a whole PCM WAV file.", szProgram)
                                            : tplprintf("%s %s.", szProgram, result.Describe());
    const std::string last = LastLine(result.output);
    if (!last.empty())
        reason += tplprintf(" It said: %s", last);
    *pMessage = FailureMessage(input) + "\n\n" + reason;
    return JobResult::kFailed;
}
