#include "import/LDecoderPipeSource.h"

#include "foundation/LPath.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSignalObject.h"
#include "foundation/LText.h"
#include "import/LFlacStreamInfo.h"
#include "sound/codecs/LSampleConvert.h"
#include "sound/files/LRawCoding.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace {

constexpr uint32_t kSliceMs = 200;
// The header with every chunk a decoder puts before the data (ffmpeg's
// LIST, an extensible fmt) fits well within this.
constexpr size_t kMaxHeaderBytes = 65536;
constexpr size_t kReadBytes = 65536;
// A decoder fills a pipe this large before either side wakes the other, and
// each move into the sink takes up to this much.
constexpr int kPipeBytes = 1 << 20;
constexpr uint32_t kFillPauseMs = 2;

// Lets the process runner's sliced wait see our stop signal, so ending the
// decoder stays the runner's one way (SIGTERM, grace, SIGKILL, reap).
class LStopWaiter : public LProgressReporter {
public:
    explicit LStopWaiter(const LSignalObject& stop)
        : m_stop(stop)
    {
    }
    void SetText(const std::string&, int) override { }
    void ShowProgress(double) override { }
    void ErrorBox(const std::string&) override { }
    bool Pump() override { return m_stop.IsSet(); }
    bool WaitTimed(uint32_t ms) override { return m_stop.Wait(ms); }
    int WaitHandle(int fd, uint32_t ms) override
    {
        const int n = m_stop.WaitSignalDual(fd, ms);
        return n == LSignalObject::kSignalSet ? kCancelled : n == LSignalObject::kTimedOut ? kTimedOut : kSignalled;
    }

private:
    const LSignalObject& m_stop;
};

// While a decoder writes straight into the file, its progress is what the
// file holds of the size the stream stated, and a file past the bound stops
// it (the size limit set on the child is set only once it runs).
class LGrowthProgress : public LProgressReporter {
public:
    LGrowthProgress(LProgressReporter& inner, int nFd, uint64_t nFrom, uint64_t nExpected, uint64_t nLimit)
        : m_inner(inner)
        , m_nFd(nFd)
        , m_nFrom(nFrom)
        , m_nExpected(nExpected)
        , m_nLimit(nLimit)
    {
    }
    void SetText(const std::string& szText, int nLine) override { m_inner.SetText(szText, nLine); }
    void ShowProgress(double fFraction) override { m_inner.SetProgress(fFraction); }
    void ErrorBox(const std::string& szText) override { m_inner.ErrorBox(szText); }
    bool Pump() override
    {
        struct stat st;
        const uint64_t nWritten = ::fstat(m_nFd, &st) == 0 && static_cast<uint64_t>(st.st_size) > m_nFrom
            ? static_cast<uint64_t>(st.st_size) - m_nFrom
            : 0;
        if (m_nExpected > 0)
            m_inner.SetProgress(static_cast<double>(nWritten) / static_cast<double>(m_nExpected));
        return nWritten > m_nLimit || m_inner.Pump();
    }
    bool WaitTimed(uint32_t ms) override { return Pump() || m_inner.WaitTimed(ms); }
    int WaitHandle(int fd, uint32_t ms) override { return Pump() ? kCancelled : m_inner.WaitHandle(fd, ms); }

private:
    LProgressReporter& m_inner;
    int m_nFd;
    uint64_t m_nFrom;
    uint64_t m_nExpected;
    uint64_t m_nLimit;
};

// "was killed by signal 9", and the decoder's own last line, so the message
// says what it saw; control characters (a hostile file's tags echoed back)
// become blanks.
std::string Said(const LProcessResult& result)
{
    std::string text = result.Describe();
    const std::string& output = result.output;
    const size_t nEnd = output.find_last_not_of("\r\n \t");
    if (nEnd == std::string::npos)
        return text;
    const size_t nNewline = output.find_last_of('\n', nEnd);
    const size_t nStart = nNewline == std::string::npos ? 0 : nNewline + 1;
    std::string line(CutUtf8(std::string_view(output).substr(nStart, nEnd + 1 - nStart), 300));
    for (char& c : line)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    return text + ". It said: " + line;
}

int32_t DecodeSample(const uint8_t* p, uint16_t nBits)
{
    if (nBits <= 8)
        return S16ToInternal(static_cast<int16_t>((p[0] - 128) * 256));
    // Wider samples keep their top 16 bits, as a 16-bit dictation holds.
    const uint32_t nBytes = (nBits + 7u) / 8u;
    return S16ToInternal(static_cast<int16_t>(p[nBytes - 2] | (p[nBytes - 1] << 8)));
}

} // namespace

struct LDecoderPipeSource::Runner {
    int nReadFd = -1;
    LSignalObject stop;
    LProcessResult result;
    std::thread thread;

    ~Runner()
    {
        stop.Set();
        if (nReadFd >= 0)
            ::close(nReadFd); // a decoder blocked on a full pipe gets EPIPE
        if (thread.joinable())
            thread.join();
    }
    bool Begin(const std::vector<std::string>& args, uint32_t uTimeoutMs)
    {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return false;
        nReadFd = fds[0];
        // Larger than the 64 KiB default where the system allows it: fewer
        // wake-ups for both sides. Failing that, the default serves.
        (void)::fcntl(fds[1], F_SETPIPE_SZ, kPipeBytes);
        LProcessRunner::Options options;
        options.timeoutMs = uTimeoutMs;
        options.stdoutFd = fds[1];
        thread = std::thread([this, args, options] {
            LStopWaiter waiter(stop);
            result = LProcessRunner::Run(args, options, &waiter);
            // Only now does the reader see the end: the status is then known.
            ::close(options.stdoutFd);
        });
        return true;
    }
    // Waits until the pipe has bytes or its end; false on a stop request.
    bool WaitReadable(LProgressReporter* pProgress)
    {
        for (;;) {
            if (pProgress) {
                const int n = pProgress->WaitHandle(nReadFd, kSliceMs);
                if (n == LProgressReporter::kCancelled)
                    return false;
                if (n == LProgressReporter::kSignalled)
                    return true;
                continue;
            }
            pollfd p { nReadFd, POLLIN, 0 };
            if (::poll(&p, 1, static_cast<int>(kSliceMs)) > 0)
                return true;
        }
    }
    // What came through the pipe; 0 at its end, -1 on a stop request.
    ssize_t ReadSome(uint8_t* p, size_t n, LProgressReporter* pProgress)
    {
        for (;;) {
            if (!WaitReadable(pProgress))
                return -1;
            const ssize_t nRead = ::read(nReadFd, p, n);
            if (nRead >= 0)
                return nRead;
            if (errno != EINTR && errno != EAGAIN)
                return 0;
        }
    }
    // After the end of the stream: the decoder's own end.
    const LProcessResult& Join()
    {
        if (thread.joinable())
            thread.join();
        return result;
    }
};

LSoundRef<LDecoderPipeSource> LDecoderPipeSource::Start(const std::vector<std::string>& args, uint32_t uTimeoutMs,
    uint64_t nMaxBytes, LProgressReporter& progress, std::string* pReason, State* pState)
{
    auto runner = std::make_unique<Runner>();
    *pState = State::Failed;
    if (!runner->Begin(args, uTimeoutMs)) {
        *pReason = tplprintf("%s could not be started: %s", _GetFileFromPath(args[0]), std::strerror(errno));
        return {};
    }
    std::vector<uint8_t> head;
    LWaveFileInfo info;
    for (;;) {
        uint8_t buffer[4096];
        const ssize_t n = runner->ReadSome(buffer, sizeof(buffer), &progress);
        if (n < 0) {
            *pState = State::Stopped;
            return {};
        }
        head.insert(head.end(), buffer, buffer + n);
        if (LWaveFile::ParseStreamHeader(head.data(), head.size(), &info) == kSoundOk)
            break;
        if (n == 0 || head.size() >= kMaxHeaderBytes) {
            if (n != 0)
                runner->stop.Set();
            const LProcessResult& result = runner->Join();
            const std::string name = _GetFileFromPath(args[0]);
            if (result.end == LProcessResult::End::Stopped || result.Succeeded())
                *pReason = tplprintf("%s did not write a whole PCM WAV stream.", name);
            else
                *pReason = tplprintf("%s %s.", name, Said(result));
            if (result.end == LProcessResult::End::NotStarted && result.nErrno == ENOENT)
                *pState = State::NotStarted;
            return {};
        }
    }
    const LWaveFormat& f = info.format;
    if (f.wFormatTag != kWaveFormatPCM || f.wBitsPerSample == 0 || f.wBitsPerSample > 32
        || f.nBlockAlign != f.nChannels * ((f.wBitsPerSample + 7u) / 8u)) {
        *pReason = tplprintf("%s did not write PCM audio.", _GetFileFromPath(args[0]));
        return {};
    }
    auto source = MakeSoundRef<LDecoderPipeSource>(std::move(runner), info, nMaxBytes);
    // Room for what came with the header and two reads: allocated once, as
    // a growing vector would clear every read's room first.
    const size_t nHeadRest = head.size() - info.nDataStart;
    source->m_pending.resize(nHeadRest + 2 * kReadBytes);
    std::copy(head.begin() + static_cast<std::ptrdiff_t>(info.nDataStart), head.end(), source->m_pending.begin());
    source->m_nPendingEnd = nHeadRest;
    source->m_nBytesIn = nHeadRest;
    source->m_name = _GetFileFromPath(args[0]);
    *pState = State::Reading;
    return source;
}

LDecoderPipeSource::LDecoderPipeSource(std::unique_ptr<Runner> runner, const LWaveFileInfo& info, uint64_t nMaxBytes)
    : LSoundSourceBase(
        static_cast<int32_t>(info.format.nSamplesPerSec), static_cast<uint8_t>(info.format.nChannels), kMaxAmplitudePCM)
    , m_runner(std::move(runner))
    , m_info(info)
    , m_nFrameBytes(info.format.nBlockAlign)
    , m_nMaxBytes(nMaxBytes - nMaxBytes % info.format.nBlockAlign)
    , m_nDataBytes(info.bOpenEnded ? m_nMaxBytes : std::min<uint64_t>(m_nMaxBytes, info.nDataBytes))
{
}

LSoundRef<LDecoderPipeSource> LDecoderPipeSource::Direct(
    std::vector<std::string> args, const LFlacStreamInfo& stream, uint32_t uTimeoutMs, uint64_t nMaxBytes)
{
    LWaveFileInfo info;
    LWaveFormat& f = info.format;
    f.wFormatTag = kWaveFormatPCM;
    f.nChannels = stream.uChannels;
    f.nSamplesPerSec = stream.uSampleRate;
    f.wBitsPerSample = 16;
    f.nBlockAlign = static_cast<uint16_t>(2 * stream.uChannels);
    f.nAvgBytesPerSec = f.nSamplesPerSec * f.nBlockAlign;
    // Beyond what a WAV stream can state, the bound ends the decoder anyway.
    info.nDataBytes = static_cast<uint32_t>(std::min<uint64_t>(stream.nTotalFrames * f.nBlockAlign, UINT32_MAX));
    auto source = MakeSoundRef<LDecoderPipeSource>(nullptr, info, nMaxBytes);
    source->m_name = _GetFileFromPath(args[0]);
    source->m_directArgs = std::move(args);
    source->m_uTimeoutMs = uTimeoutMs;
    return source;
}

LDecoderPipeSource::~LDecoderPipeSource() = default;

int64_t LDecoderPipeSource::GetLength()
{
    if (m_state != State::Reading)
        return m_nDelivered;
    return static_cast<int64_t>(m_nDataBytes / m_nFrameBytes);
}

void LDecoderPipeSource::Finish(State state, const std::string& why)
{
    const std::string reason = why.empty() ? why : m_name + " " + why;
    if (m_state != State::Reading)
        return;
    m_state = state;
    m_reason = reason;
    if (!m_runner)
        return;
    if (state != State::Done)
        m_runner->stop.Set();
    const LProcessResult& result = m_runner->Join();
    if (state != State::Done)
        return;
    if (result.end == LProcessResult::End::Stopped) {
        m_state = State::Stopped;
    } else if (!result.Succeeded()) {
        m_state = State::Failed;
        m_reason = m_name + " " + Said(result);
    } else if (!m_info.bOpenEnded && m_nBytesIn < m_info.nDataBytes) {
        // less than a whole WAV file
        m_state = State::Failed;
        m_reason = m_name + " ended before the size it stated";
    } else if (m_nBytesIn < m_nFrameBytes) {
        m_state = State::Failed;
        m_reason = m_name + " wrote no audio";
    }
}

// Past the data: whatever else the decoder writes is read and dropped until
// it ends, so its exit status still decides, within the bound.
void LDecoderPipeSource::Drain()
{
    if (!m_runner) {
        if (m_state == State::Reading)
            Finish(State::Failed, "was never run");
        return;
    }
    std::vector<uint8_t> scratch(kReadBytes);
    while (m_state == State::Reading) {
        if (m_nBytesIn >= m_nMaxBytes) {
            Finish(State::Failed,
                tplprintf("wrote more than %d MB and was ended", static_cast<int32_t>(m_nMaxBytes >> 20)));
            return;
        }
        Took(m_runner->ReadSome(scratch.data(), scratch.size(), m_pProgress));
    }
}

// Brings at least nWanted bytes (at most kReadBytes) into m_pending, or ends
// the stream.
bool LDecoderPipeSource::Fill(size_t nWanted)
{
    while (m_state == State::Reading && m_nPendingEnd - m_nPendingAt < nWanted) {
        if (m_nBytesIn >= m_nDataBytes) {
            Drain();
            break;
        }
        if (m_nPendingAt > 0) {
            std::memmove(m_pending.data(), m_pending.data() + m_nPendingAt, m_nPendingEnd - m_nPendingAt);
            m_nPendingEnd -= m_nPendingAt;
            m_nPendingAt = 0;
        }
        const size_t nRoom
            = static_cast<size_t>(std::min<uint64_t>(m_pending.size() - m_nPendingEnd, m_nDataBytes - m_nBytesIn));
        const ssize_t n = m_runner->ReadSome(m_pending.data() + m_nPendingEnd, nRoom, m_pProgress);
        if (n > 0)
            m_nPendingEnd += static_cast<size_t>(n);
        Took(n);
    }
    return m_nPendingEnd - m_nPendingAt >= nWanted;
}

void LDecoderPipeSource::Took(ssize_t n)
{
    if (n < 0)
        Finish(State::Stopped, {});
    else if (n == 0)
        Finish(State::Done, {});
    else
        m_nBytesIn += static_cast<uint64_t>(n);
}

void LDecoderPipeSource::Read(int32_t* pBuffer, int32_t nFrames)
{
    if (nFrames <= 0)
        return;
    const size_t nChannels = NumChannels();
    if (!m_runner)
        Finish(State::Failed, "writes only into a dictation");
    // The stream goes one way: frames before what was handed out stay silent.
    int32_t nAt = 0;
    if (m_nPosition >= m_nDelivered) {
        while (nAt < nFrames && (m_state == State::Reading || m_nPendingEnd - m_nPendingAt >= m_nFrameBytes)) {
            const size_t nWant = static_cast<size_t>(nFrames - nAt) * m_nFrameBytes;
            Fill(std::min(nWant, kReadBytes));
            const size_t nGot = std::min(nWant, (m_nPendingEnd - m_nPendingAt) / m_nFrameBytes * m_nFrameBytes);
            if (nGot == 0)
                break;
            const uint8_t* p = m_pending.data() + m_nPendingAt;
            const uint32_t nSampleBytes = m_nFrameBytes / static_cast<uint32_t>(nChannels);
            int32_t* pOut = pBuffer + static_cast<size_t>(nAt) * nChannels;
            if (nSampleBytes == 2) {
                LCodingPCM16LE::Decode(p, pOut, nGot / 2);
            } else {
                for (size_t i = 0; i < nGot / nSampleBytes; ++i)
                    pOut[i] = DecodeSample(p + i * nSampleBytes, m_info.format.wBitsPerSample);
            }
            m_nPendingAt += nGot;
            const int32_t nFramesGot = static_cast<int32_t>(nGot / m_nFrameBytes);
            nAt += nFramesGot;
            m_nDelivered += nFramesGot;
        }
    }
    // Before what was handed out, or past the end: silence.
    std::fill(pBuffer + static_cast<size_t>(nAt) * nChannels, pBuffer + static_cast<size_t>(nFrames) * nChannels, 0);
    m_nPosition += nFrames;
}

JobResult LDecoderPipeSource::MoveInto(LSoundSinkBase& sink, LProgressReporter& progress)
{
    if (m_state != State::Reading)
        return JobResult::kFailed;
    if (IsDirect())
        return DecodeInto(sink, progress);
    // What came with the header, up to the size the decoder stated.
    const size_t nFirst = static_cast<size_t>(std::min<uint64_t>(m_nPendingEnd - m_nPendingAt, m_nDataBytes));
    if (nFirst > 0 && !sink.WritePcm16Bytes(m_pending.data() + m_nPendingAt, nFirst)) {
        Finish(State::Failed, {});
        return JobResult::kFailed;
    }
    m_nPendingAt = m_nPendingEnd = 0;
    uint64_t nMoved = nFirst;
    JobResult nResult = JobResult::kDone;
    while (m_state == State::Reading && nMoved < m_nDataBytes) {
        if (progress.Pump() || !m_runner->WaitReadable(&progress)) {
            Took(-1);
            nResult = JobResult::kStopped;
            break;
        }
        const size_t nWant = static_cast<size_t>(std::min<uint64_t>(m_nDataBytes - nMoved, kPipeBytes));
        const int64_t n = sink.MovePcm16FromPipe(m_runner->nReadFd, nWant);
        if (n < 0) {
            Finish(State::Failed, {});
            nResult = JobResult::kFailed;
            break;
        }
        // What the header read took is already counted in m_nBytesIn.
        m_nBytesIn += static_cast<uint64_t>(n);
        nMoved += static_cast<uint64_t>(n);
        if (n == 0)
            Finish(State::Done, {});
        progress.SetProgress(static_cast<double>(nMoved) / static_cast<double>(m_nDataBytes));
        // A decoder writes a few kilobytes at a time; moving each as it comes
        // costs both sides a wake-up per write. A pause lets the pipe fill.
        if (n > 0 && n < kPipeBytes / 4 && progress.WaitTimed(kFillPauseMs)) {
            Took(-1);
            nResult = JobResult::kStopped;
        }
    }
    m_nDelivered = static_cast<int64_t>(nMoved / m_nFrameBytes);
    m_nPosition = m_nDelivered;
    return nResult;
}

JobResult LDecoderPipeSource::DecodeInto(LSoundSinkBase& sink, LProgressReporter& progress)
{
    LProcessResult result;
    const int64_t nGained = sink.AppendPcm16With([&](int nFd) {
        const uint64_t nFrom = static_cast<uint64_t>(std::max<off_t>(::lseek(nFd, 0, SEEK_CUR), 0));
        LProcessRunner::Options options;
        options.timeoutMs = m_uTimeoutMs;
        options.stdoutFd = nFd;
        options.maxFileBytes = nFrom + m_nMaxBytes;
        LGrowthProgress growth(progress, nFd, nFrom, m_nDataBytes, m_nMaxBytes);
        result = LProcessRunner::Run(m_directArgs, options, &growth);
    });
    if (nGained < 0) {
        Finish(State::Failed, {});
        return JobResult::kFailed;
    }
    m_nBytesIn = static_cast<uint64_t>(nGained);
    if (m_nBytesIn < m_nMaxBytes && result.end == LProcessResult::End::Stopped) {
        Finish(State::Stopped, {});
        return JobResult::kStopped;
    }
    if (m_nBytesIn >= m_nMaxBytes)
        Finish(
            State::Failed, tplprintf("wrote more than %d MB and was ended", static_cast<int32_t>(m_nMaxBytes >> 20)));
    else if (!result.Succeeded())
        Finish(State::Failed, Said(result));
    else if (m_nBytesIn < m_nDataBytes)
        Finish(State::Failed, "ended before the size it stated");
    else
        Finish(State::Done, {});
    // What goes beyond the size stated is not the file's audio.
    m_nDelivered = static_cast<int64_t>(std::min(m_nBytesIn, m_nDataBytes) / m_nFrameBytes);
    m_nPosition = m_nDelivered;
    if (sink.GetPosition() > m_nDelivered)
        sink.Seek(m_nDelivered);
    progress.SetProgress(1.0);
    return sink.IsUsable() ? JobResult::kDone : JobResult::kFailed;
}
