// The audio of an external decoder read from its standard output as it
// comes, so no decoded copy of the file is ever written: a thread of its own
// runs the decoder through the one process runner (its time-out, its
// SIGTERM-then-SIGKILL end, always reaped), and this source reads the WAV it
// writes. The decoder's exit status is known only at the end of the stream;
// a decoder that then fails, dies, is cut off by the bound on its output or
// ends short of the size it stated leaves a source in error, never a short
// dictation. Used by the thread running the import.
#pragma once

#include "foundation/LProcessRunner.h"
#include "sound/LSoundSourceBase.h"
#include "sound/files/LWaveFile.h"

#include <memory>
#include <string>
#include <vector>

class LProgressReporter;

class LDecoderPipeSource final : public LSoundSourceBase {
public:
    enum class State { Reading, Done, Stopped, Failed, NotStarted }; // NotStarted: no such program

    // Starts the decoder and reads up to its WAV header, waiting through
    // pProgress (whose Cancel stops it). Reading: the source is ready; any
    // other state: *pReason (Failed) says why.
    static LSoundRef<LDecoderPipeSource> Start(const std::vector<std::string>& args, uint32_t uTimeoutMs,
        uint64_t nMaxBytes, LProgressReporter& progress, std::string* pReason, State* pState);
    ~LDecoderPipeSource() override;

    void Read(int32_t* pBuffer, int32_t nFrames) override;
    int64_t GetPosition() override { return m_nPosition; }
    // The size the decoder stated, or while an open-ended stream runs, the
    // bound; at the end, the frames that came.
    int64_t GetLength() override;
    // The stream cannot go back; a seek only moves the position.
    void Seek(int64_t nFrame) override { m_nPosition = nFrame; }

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
};
