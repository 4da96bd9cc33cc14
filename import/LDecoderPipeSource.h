// The audio of an external decoder read from its standard output as it
// comes, so no decoded copy of the file is ever written: a thread of its own
// runs the decoder through the one process runner (its time-out, its
// SIGTERM-then-SIGKILL end, always reaped), and this source reads the WAV it
// writes. The decoder's exit status is known only at the end of the stream;
// a decoder that then fails, dies, is cut off by the bound on its output or
// ends short of the size it stated leaves a source in error, never a short
// dictation. Used by the thread running the import.
//
// A FLAC file of 16-bit samples whose stream information was read takes a
// shorter way (Direct): nothing runs until MoveInto, which has the decoder
// write raw samples, the dictation's own format, straight into the sink's
// file, bounded by its size limit; such a source is never Read.
#pragma once

#include "foundation/JobResult.h"
#include "foundation/LProcessRunner.h"
#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"
#include "sound/files/LWaveFile.h"

#include <memory>
#include <string>
#include <vector>

class LProgressReporter;
struct LFlacStreamInfo;

class LDecoderPipeSource final : public LSoundSourceBase {
public:
    enum class State { Reading, Done, Stopped, Failed, NotStarted }; // NotStarted: no such program

    // Starts the decoder and reads up to its WAV header, waiting through
    // pProgress (whose Cancel stops it). Reading: the source is ready; any
    // other state: *pReason (Failed) says why.
    static LSoundRef<LDecoderPipeSource> Start(const std::vector<std::string>& args, uint32_t uTimeoutMs,
        uint64_t nMaxBytes, LProgressReporter& progress, std::string* pReason, State* pState);
    // args writes raw 16-bit little-endian samples to standard output.
    static LSoundRef<LDecoderPipeSource> Direct(
        std::vector<std::string> args, const LFlacStreamInfo& info, uint32_t uTimeoutMs, uint64_t nMaxBytes);
    ~LDecoderPipeSource() override;

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    // The size the decoder stated, or while an open-ended stream runs, the
    // bound; at the end, the frames that came.
    int64_t GetLength() override;
    // The stream cannot go back; a seek only moves the position.
    void Seek(int64_t nFrame) override { m_nPosition = nFrame; }

    // 16-bit samples can go into a sink as they come, without conversion.
    bool IsPcm16() const { return m_info.format.wBitsPerSample == 16; }
    bool IsDirect() const { return !m_directArgs.empty(); }
    // For a sink that takes 16-bit bytes in this source's format: moves the
    // audio from the pipe straight into it under the same bound and end as
    // Read's, waiting through progress (whose Cancel stops the decoder). The
    // source is then at its end; End() and GetState() say how it went.
    JobResult MoveInto(LSoundSinkBase& sink, LProgressReporter& progress);

    // Waits on the pipe go through this reporter from now on (its Cancel
    // stops the decoder); null: plain sliced waits.
    void SetReporter(LProgressReporter* pProgress) { m_pProgress = pProgress; }
    State GetState() const { return m_state; }
    // After the copy took all the audio: waits for the decoder's end (what
    // it writes beyond is counted against the bound) and gives the state.
    State End()
    {
        Drain();
        return m_state;
    }
    // Why the decode failed, for the message.
    const std::string& Reason() const { return m_reason; }

    struct Runner;
    LDecoderPipeSource(std::unique_ptr<Runner> runner, const LWaveFileInfo& info, uint64_t nMaxBytes);

private:
    JobResult DecodeInto(LSoundSinkBase& sink, LProgressReporter& progress);
    bool Fill(size_t nWanted);
    void Drain();
    // Counts what one read of the pipe gave; its end or a stop ends the stream.
    void Took(ssize_t n);
    void Finish(State state, const std::string& reason);

    std::unique_ptr<Runner> m_runner;
    LWaveFileInfo m_info;
    uint32_t m_nFrameBytes;
    uint64_t m_nMaxBytes; // all the decoder may write
    uint64_t m_nDataBytes; // of it audio: the stated size, or all
    uint64_t m_nBytesIn = 0; // data bytes taken from the pipe
    std::vector<uint8_t> m_pending; // [m_nPendingAt, m_nPendingEnd): read, not yet decoded
    size_t m_nPendingAt = 0;
    size_t m_nPendingEnd = 0;
    int64_t m_nPosition = 0;
    int64_t m_nDelivered = 0; // frames handed out in order
    State m_state = State::Reading;
    std::string m_name; // of the program, for the reason
    std::string m_reason;
    LProgressReporter* m_pProgress = nullptr;
    std::vector<std::string> m_directArgs;
    uint32_t m_uTimeoutMs = 0;
};
