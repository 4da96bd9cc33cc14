// The audio types this program has no reader for are decoded by programs of
// the system (flac, oggdec, faad, ffmpeg), each writing PCM WAV to its
// standard output, which the import reads as it goes (LDecoderPipeSource):
// run through the one process runner, an argument list, never a shell; a
// Cancel ends and reaps the decoder. A decoder that fails, dies, writes
// without end or less than a whole WAV stream is a failure, never a short
// dictation. A FLAC file of 16-bit samples is decoded, once the dictation
// is there, as raw samples straight into it. Stateless; the thread running
// the import.
#pragma once

#include "foundation/JobResult.h"
#include "import/LDecoderPipeSource.h"

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

    // The decoder's command, writing WAV to standard output: the program,
    // then its options and the input.
    std::vector<std::string> Arguments(const std::string& program, const std::string& input) const;

    // Starts the decoder on the input and reads its WAV header: done with
    // *pSource reading the rest as the decoder writes it, stopped (the
    // decoder ended and reaped, nothing to say), or failed with the message
    // to show in *pMessage. The time-out, counted from the start, ends a hung
    // decoder; nMaxBytes (0: by the input's size) bounds what it may write.
    JobResult Open(LProgressReporter& progress, const std::string& input, LSoundRef<LDecoderPipeSource>* pSource,
        std::string* pMessage, uint32_t uTimeoutMs = kTimeoutMs, uint64_t nMaxBytes = 0) const;

    // What the user is told when decoding the file failed.
    std::string FailureMessage(const std::string& input) const;

    // What a decoder fails with mid-stream, in the words Open uses.
    std::string StreamFailure(const std::string& input, const LDecoderPipeSource& source) const;

    static constexpr uint32_t kTimeoutMs = 3600000;
    // A decoder may write this many bytes per byte of its input (the most
    // any codec here expands speech), but never less than the floor nor
    // more than a WAV data chunk holds: a hostile one fills neither disk nor
    // memory.
    static constexpr uint64_t kMaxExpansion = 256;
    static constexpr uint64_t kMinMaxBytes = 64ull << 20;
    static constexpr uint64_t kMaxMaxBytes = 0xFFFFFFFFull;
};
