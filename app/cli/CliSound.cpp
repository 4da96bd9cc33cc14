// Sound file commands of tavrine-cli: describe a file, and convert between
// WAV, raw, telephony (G.711, Dialogic, GSM), AU and AIFF files and between
// the codecs of the codec table.
#include "app/cli/LCliCommand.h"
#include "app/cli/LTerminalProgress.h"
#include "foundation/LPath.h"
#include "sound/LPRSourceToSink.h"
#include "sound/LSoundTime.h"
#include "sound/codecs/LCodecTable.h"
#include "sound/convert/LSoundAdapter.h"
#include "sound/files/LRawCoding.h"
#include "sound/files/LRawFile.h"
#include "sound/files/LRawSettings.h"
#include "sound/files/LSoundFileByName.h"
#include "sound/files/LWaveFile.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace {

int RunInfo(const std::vector<std::string>& args);
int RunConvert(const std::vector<std::string>& args);

const LCliCommand kInfo { "info", "info FILE", RunInfo };
const LCliCommand kConvert { "convert",
    "convert IN OUT [--rate HZ] [--channels 1|2] [--codec pcm16|pcm8|alaw|ulaw|ima|msadpcm|gsm]", RunConvert };
LCliRegistrar regInfo(kInfo);
LCliRegistrar regConvert(kConvert);

using FileKind = LSoundFileKind;

const std::string kKnownTypes = std::string("use ") + LSoundFileByName::KnownExtensions();

FileKind KindOf(const std::string& path)
{
    return LSoundFileByName::KindOf(path);
}

} // namespace

std::string CliSoundErrorText(const std::string& path, uint8_t uError)
{
    // The terminal can say more than the code about why a file did not open.
    return uError == kSoundErrOpen ? CliOpenFailureText(path) : LSoundError::Text(path, uError);
}

namespace {

std::string ErrorText(const std::string& path, uint8_t uError)
{
    return CliSoundErrorText(path, uError);
}

const char* CodecName(uint16_t wTag)
{
    const LCodecEntry* pEntry = LCodecTable::Find(wTag);
    return pEntry ? pEntry->szName : "unknown";
}

LRawSettings RawSettingsFor(const std::string& path, FileKind kind)
{
    return LSoundFileByName::RawSettingsFor(path, kind);
}

bool IsRawKind(FileKind kind)
{
    return LSoundFileByName::IsRawKind(kind);
}

// The reader chosen by the file's extension.
LSoundSourceRef OpenInput(const std::string& path)
{
    return LSoundFileByName::OpenSource(path);
}

const char* TypeName(FileKind kind)
{
    return LSoundFileByName::Name(kind);
}

void PrintLengths(const LSoundSourceRef& source)
{
    const int64_t nFrames = source->GetLength();
    std::printf("frames: %lld\n", static_cast<long long>(nFrames));
    std::printf("duration: %s\n", LSoundTime::FromSamples(nFrames, source->SampleRate()).ToTextTenths().c_str());
}

int RunInfo(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return CliUsage(kInfo);
    const std::string& path = args[0];
    const FileKind kind = KindOf(path);
    if (kind == FileKind::Unknown)
        return CliError("\"" + path + "\": unknown file type (" + kKnownTypes + ")", 2);
    if (kind == FileKind::Wave) {
        LWaveFileInfo info;
        if (uint8_t uError = LWaveFile::ReadInfo(path, &info))
            return CliError(ErrorText(path, uError));
        LSoundSourceRef source = LWaveFile::OpenSource(path);
        if (!source->IsUsable())
            return CliError(
                ErrorText(path, source->ErrorCode()) + " (format tag " + std::to_string(info.format.wFormatTag) + ")");
        std::printf("type: WAV\n");
        std::printf("format tag: %u (%s)\n", info.format.wFormatTag, CodecName(info.format.wFormatTag));
        std::printf("bits per sample: %u\n", info.format.wBitsPerSample);
        std::printf("rate: %d\n", source->SampleRate());
        std::printf("channels: %u\n", source->NumChannels());
        PrintLengths(source);
        return 0;
    }
    const LRawSettings settings = RawSettingsFor(path, kind);
    LSoundSourceRef source = OpenInput(path);
    if (!source->IsUsable())
        return CliError(ErrorText(path, source->ErrorCode()));
    std::printf("type: %s\n", TypeName(kind));
    if (IsRawKind(kind))
        std::printf("coding: %u (%s)\n", settings.nCodec, kRawCodecNames[settings.nCodec]);
    std::printf("rate: %d\n", source->SampleRate());
    std::printf("channels: %u\n", source->NumChannels());
    PrintLengths(source);
    return 0;
}

std::optional<int> ParseCount(const std::string& text, int nMin, int nMax)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    char* pEnd = nullptr;
    long n = std::strtol(text.c_str(), &pEnd, 10);
    if (*pEnd != '\0' || n < nMin || n > nMax)
        return std::nullopt;
    return static_cast<int>(n);
}

struct CodecChoice {
    const char* szName;
    uint16_t wTag; // 1 with bits for PCM
    int nBits;
    int nRawCodec; // -1: no raw coding
};

const CodecChoice kCodecs[] = {
    { "pcm16", kWaveFormatPCM, 16, kRawPCM16LE },
    { "pcm8", kWaveFormatPCM, 8, kRawPCM8Unsigned },
    { "alaw", kWaveFormatALaw, 8, kRawALaw },
    { "ulaw", kWaveFormatMuLaw, 8, kRawMuLaw },
    { "ima", kWaveFormatImaAdpcm, 4, -1 },
    { "msadpcm", kWaveFormatMsAdpcm, 4, -1 },
    { "gsm", kWaveFormatGSM610, 0, -1 },
};

// The one coding a kind of file holds, as a --codec's tag; kAnyCoding when
// --codec chooses it.
constexpr uint32_t kAnyCoding = UINT32_MAX;
uint32_t OnlyCodingOf(FileKind kind)
{
    switch (kind) {
    case FileKind::MuLaw:
        return kWaveFormatMuLaw;
    case FileKind::ALaw:
        return kWaveFormatALaw;
    case FileKind::Gsm:
        return kWaveFormatGSM610;
    case FileKind::Aiff:
        return kWaveFormatPCM; // 16-bit only
    default:
        return kAnyCoding;
    }
}

// Kinds that hold only 8000 Hz mono.
bool IsMonoAt8000(FileKind kind)
{
    return kind == FileKind::MuLaw || kind == FileKind::ALaw || kind == FileKind::Gsm;
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa, sb;
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev
        && sa.st_ino == sb.st_ino;
}

int RunConvert(const std::vector<std::string>& args)
{
    std::optional<int> rate, channels;
    const CodecChoice* pCodec = nullptr;
    const std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split)
        return CliUsage(kConvert);
    for (const auto& [arg, value] : split->options) {
        if (arg == "--rate") {
            if (!(rate = ParseCount(value, 6000, 196000)))
                return CliError("--rate must be a sample rate from 6000 to 196000", 2);
        } else if (arg == "--channels") {
            if (!(channels = ParseCount(value, 1, 2)))
                return CliError("--channels must be 1 or 2", 2);
        } else if (arg == "--codec") {
            for (const CodecChoice& choice : kCodecs)
                if (value == choice.szName)
                    pCodec = &choice;
            if (!pCodec)
                return CliError("unknown codec \"" + value + "\"", 2);
        } else {
            return CliUsage(kConvert);
        }
    }
    if (split->words.size() != 2)
        return CliUsage(kConvert);
    const std::string& in = split->words[0];
    const std::string& out = split->words[1];
    const FileKind inKind = KindOf(in);
    const FileKind outKind = KindOf(out);
    if (inKind == FileKind::Unknown)
        return CliError("\"" + in + "\": unknown file type (" + kKnownTypes + ")", 2);
    if (outKind == FileKind::Unknown)
        return CliError("\"" + out + "\": unknown file type (" + kKnownTypes + ")", 2);
    if (!LSoundFileByName::IsWritable(outKind)) {
        const std::string name = LSoundFileByName::Name(outKind);
        return CliError(
            "\"" + out + "\": writing " + name + " files is not available (" + name + " files are read only)");
    }
    if (SameFile(in, out))
        return CliError("the output would overwrite the input \"" + in + "\"");

    LSoundSourceRef source = OpenInput(in);
    if (!source->IsUsable())
        return CliError(ErrorText(in, source->ErrorCode()));

    // The format written: what the options ask for, else the input's, within
    // what the output can hold.
    int32_t nRate = rate ? *rate : source->SampleRate();
    uint8_t nChannels = static_cast<uint8_t>(channels ? *channels : source->NumChannels());
    if (IsMonoAt8000(outKind)) {
        if ((rate && *rate != 8000) || (channels && *channels != 1))
            return CliError("\"" + out + "\" holds 8000 Hz mono; --rate and --channels cannot change that", 2);
        nRate = 8000;
        nChannels = 1;
    }
    if (IsRawKind(outKind) && !IsMonoAt8000(outKind)
        && LRawSettings::Load(LRawSettings::SectionForPath(out)).nCodec == kRawDialogicAdpcm
        && (!pCodec || pCodec->nRawCodec == kRawDialogicAdpcm)) {
        if (channels && *channels != 1)
            return CliError("Dialogic ADPCM holds one channel; --channels cannot change that", 2);
        nChannels = 1;
    }
    if (nChannels > 2 && nChannels != source->NumChannels())
        return CliError("only mono and stereo convert to another channel count", 2);
    if (nRate != source->SampleRate() || nChannels != source->NumChannels()) {
        // Channels, then rate, then the limiter that keeps the filter's
        // overshoot from wrapping in a 16-bit file.
        source = LSoundAdapter::Adapt(source, nChannels, nRate);
        if (!source->IsUsable())
            return CliError("cannot convert \"" + in + "\" to " + std::to_string(nRate) + " Hz, "
                + std::to_string(nChannels) + " channel(s)");
    }

    LSoundSinkRef sink;
    if (uint32_t nOnly = OnlyCodingOf(outKind);
        pCodec && nOnly != kAnyCoding && (pCodec->wTag != nOnly || (outKind == FileKind::Aiff && pCodec->nBits != 16)))
        return CliError("\"" + out + "\" can hold only one coding; --codec " + pCodec->szName + " does not fit it", 2);
    // Kinds of one coding, and a WAV file without --codec: the plain form.
    if (outKind == FileKind::Gsm || outKind == FileKind::Aiff || outKind == FileKind::MuLaw || outKind == FileKind::ALaw
        || (outKind == FileKind::Wave && !pCodec)) {
        sink = LSoundFileByName::OpenSink(out, source->SampleRate(), source->NumChannels());
    } else if (outKind == FileKind::Wave) {
        const CodecChoice& codec = *pCodec;
        if (codec.wTag == kWaveFormatPCM) {
            sink = LWaveFile::OpenSinkPCM(out, source->SampleRate(), 0, codec.nBits, source->NumChannels());
        } else {
            LWaveFormat format;
            format.wFormatTag = codec.wTag;
            format.nChannels = source->NumChannels();
            format.nSamplesPerSec = static_cast<uint32_t>(source->SampleRate());
            if (!LCodecTable::Find(codec.wTag))
                return CliError(std::string("the codec \"") + codec.szName + "\" is not available");
            sink = LWaveFile::OpenSink(out, format);
        }
    } else {
        LRawSettings settings = LRawSettings::Load(LRawSettings::SectionForPath(out));
        if (pCodec) {
            if (pCodec->nRawCodec < 0)
                return CliError(std::string("raw files cannot hold \"") + pCodec->szName + "\"", 2);
            settings.nCodec = static_cast<uint32_t>(pCodec->nRawCodec);
        }
        if (!LRawFile::IsCodecSupported(settings.nCodec))
            return CliError("the raw coding " + std::to_string(settings.nCodec) + " is not supported yet");
        if (settings.nCodec == kRawDialogicAdpcm && source->NumChannels() != 1)
            return CliError("Dialogic ADPCM holds one channel", 2);
        // A raw file keeps the input's rate and channels; only the coding comes from the settings.
        settings.nSampleRate = source->SampleRate();
        settings.nChannels = source->NumChannels();
        sink = LRawFile::OpenSink(out, settings);
    }
    if (!sink || !sink->IsUsable()) {
        // The folder, the disk or the name is the usual reason, not the format.
        const std::string why = CliWriteFailureText(out, sink ? sink->SystemError() : 0);
        if (!why.empty())
            return CliError(why);
        return CliError("cannot write \"" + out + "\" in that format at " + std::to_string(source->SampleRate())
            + " Hz, " + std::to_string(source->NumChannels()) + " channel(s)");
    }

    JobResult nResult = JobResult::kFailed;
    {
        LTerminalProgress progress;
        nResult = LPRSourceToSink::Process(progress, "converting", source, sink);
    }
    const bool bWritten = sink->IsUsable();
    const int nErrno = sink->SystemError();
    sink.Reset(); // the last reference finishes the file's header
    if (nResult == JobResult::kStopped)
        return CliError(
            "converting \"" + in + "\" to \"" + out + "\" was stopped; the output holds what was done", 130);
    if (nResult != JobResult::kDone || !bWritten)
        return CliError(
            "converting \"" + in + "\" to \"" + out + "\" failed" + CliDiskFullText(_GetFolderFromPath(out), nErrno));
    return 0;
}

} // namespace
