// The audio types this program has no reader for are decoded by programs of
// the system (flac, oggdec, faad, ffmpeg) into a PCM WAV file, run
// through the one process runner: an argument list, never a shell; a Cancel
// ends and reaps the decoder. A decoder that fails, dies or leaves less than
// a whole WAV file is a failure, never a short dictation. Stateless; the
// thread running the import.
#pragma once

#include "foundation/JobResult.h"

#include <string>
#include <string_view>
#include <vector>

class LProgressReporter;

struct LExternalDecoder {
    enum class Kind { Flac, Ogg, Aac, Wma, Dss, Real, Ffmpeg };

    Kind kind;
    const char* szTitle; // of the progress-run process
    const char* szText; // its first line while the decoder runs
    const char* szProgram;
    const char* szPackage; // the Debian package that provides the program

    // By the extension (with its '.', compared without case); every type
    // without a decoder of its own goes to ffmpeg.
    static const LExternalDecoder& ForExtension(std::string_view extension);

    // The decoder's command: the program, then its options, the output and the input.
    std::vector<std::string> Arguments(
        const std::string& program, const std::string& output, const std::string& input) const;

    // Decodes the input into the output path, which must not exist yet (flac
    // refuses to write over a file): done with the output a whole WAV file,
    // stopped (the decoder ended and reaped, nothing to say), or failed
    // with the message to show in *pMessage. The time-out ends a hung decoder.
    JobResult Process(LProgressReporter& progress, const std::string& input, const std::string& output,
        std::string* pMessage, uint32_t uTimeoutMs = kTimeoutMs) const;

    // What the user is told when decoding the file failed.
    std::string FailureMessage(const std::string& input) const;

    static constexpr uint32_t kTimeoutMs = 3600000;
};
