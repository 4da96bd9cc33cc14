// tavrine-cli capture: records from a sound input into a dictation through
// its record sink, as the Record command does, showing the recorded time and
// the input level until the time is up or Enter or Ctrl+C is pressed. Ctrl+C
// stops cleanly and keeps what was recorded.
#include "app/cli/CliDictationArgs.h"
#include "app/cli/LCliCommand.h"
#include "foundation/LQueueMainLoop.h"
#include "sound/LSoundTime.h"
#include "sound/device/LMixer.h"
#include "sound/device/LSoundRecorder.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int RunCapture(const std::vector<std::string>& args);

const LCliCommand kCapture { "capture",
    "capture NUMBER [--seconds S] [--mode end|insert|overwrite] [--at MS] [--voice-level DB] [--device N]   "
    "Enter or Ctrl+C stops",
    RunCapture };
LCliRegistrar regCapture(kCapture);

// As the Record command: quiet longer than this pauses a voice-activated recording.
constexpr int32_t kHangTimeMs = 4000;
constexpr double kMaxSeconds = 4 * 3600;

volatile std::sig_atomic_t g_bInterrupted = 0;

void OnInterrupt(int)
{
    g_bInterrupted = 1;
}

struct CaptureView : LSoundRecorderNotify {
    void OnRecording(uint32_t) override { bWaiting = false; }
    void OnWaiting(uint32_t) override { bWaiting = true; }
    void OnStopped(uint32_t) override { bStopped = true; }
    void OnTime(uint32_t, int32_t nMs) override { nTimeMs = nMs; }
    void OnLevels(uint32_t, const LChannelLevels& levels) override { nLevel = levels.Loudest(); }

    bool bStopped = false;
    bool bWaiting = false;
    int32_t nTimeMs = 0;
    int nLevel = LChannelLevels::kSilence;
};

// Enter on standard input, from a terminal or a pipe. At the end of the
// input it stops looking, so a closed input does not stop the recording.
class EnterWatch {
public:
    bool Pressed()
    {
        if (!m_bOpen)
            return false;
        pollfd p { STDIN_FILENO, POLLIN, 0 };
        if (poll(&p, 1, 0) <= 0)
            return false;
        char buf[64];
        const ssize_t n = read(STDIN_FILENO, buf, sizeof(buf));
        if (n <= 0) {
            m_bOpen = false;
            return false;
        }
        return std::memchr(buf, '\n', size_t(n)) != nullptr;
    }

private:
    bool m_bOpen = true;
};

// Ctrl+C sets a flag for the loop instead of ending the program, while it lives.
class InterruptGuard {
public:
    InterruptGuard()
    {
        g_bInterrupted = 0;
        struct sigaction action { };
        action.sa_handler = OnInterrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
    }
    ~InterruptGuard() { sigaction(SIGINT, &m_previous, nullptr); }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
    struct sigaction m_previous { };
};

std::optional<double> ParseSeconds(const std::string& text)
{
    char* pEnd = nullptr;
    const double f = std::strtod(text.c_str(), &pEnd);
    if (text.empty() || *pEnd != '\0' || !(f > 0) || f > kMaxSeconds)
        return std::nullopt;
    return f;
}

std::optional<long> ParseInt(const std::string& text, long nMin, long nMax)
{
    char* pEnd = nullptr;
    const long n = std::strtol(text.c_str(), &pEnd, 10);
    if (text.empty() || *pEnd != '\0' || n < nMin || n > nMax)
        return std::nullopt;
    return n;
}

int RunCapture(const std::vector<std::string>& args)
{
    std::optional<double> seconds;
    CliRecordPlace place;
    std::optional<long> voiceLevel;
    long nDevice = 0;
    const std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split)
        return CliUsage(kCapture);
    for (const auto& [arg, value] : split->options) {
        std::optional<CliFailure> failure;
        if (place.Take(arg, value, &failure)) {
            if (failure)
                return CliError(failure->text, failure->status);
        } else if (arg == "--seconds") {
            if (!(seconds = ParseSeconds(value)))
                return CliError("--seconds must be a number of seconds above 0, at most 14400", 2);
        } else if (arg == "--voice-level") {
            if (!(voiceLevel = ParseInt(value, -127, 127)))
                return CliError("--voice-level must be decibels from -127 to 127", 2);
        } else if (arg == "--device") {
            std::optional<long> device = ParseInt(value, 0, 255);
            if (!device)
                return CliError("--device must be a number from 0 to 255 (see tavrine-cli devices)", 2);
            nDevice = *device;
        } else {
            return CliUsage(kCapture);
        }
    }
    if (split->words.size() != 1)
        return CliUsage(kCapture);
    const std::string& number = split->words[0];
    if (std::optional<CliFailure> failure = place.Check())
        return CliError(failure->text, failure->status);

    std::optional<LDictation> d;
    if (std::optional<CliFailure> failure = OpenCliDictation(number, false, &d))
        return CliError(failure->text, failure->status);

    InterruptGuard interrupt;
    LSoundSinkRef sink = d->OpenSink(place.nMode, true, place.at.value_or(0));
    if (!sink) {
        const CliFailure failure = CliRecordStartFailure(*d);
        return CliError(failure.text, failure.status);
    }
    const int32_t nStartMs = LSoundTime::FromSamples(sink->GetPosition(), sink->SampleRate()).Ms();
    const int32_t nMaxTime = seconds ? nStartMs + static_cast<int32_t>(*seconds * 1000) : 0;

    int nStatus = 0;
    {
        LQueueMainLoop loop;
        LSoundRecorder recorder(loop);
        CaptureView view;
        recorder.SetListener(&view, 0);
        recorder.SetRecordDevice(LSoundRecordDevice { static_cast<uint8_t>(nDevice), -1 });
        const uint32_t uFlags = voiceLevel ? 0 : LSoundRecorder::kFlagRecordAtOnce;
        if (!recorder.Start(sink, uFlags, nMaxTime, static_cast<int>(voiceLevel.value_or(-127)), kHangTimeMs)) {
            sink.Reset();
            UndoFailedRecording(*d);
            std::string text = "Unable to start the sound record device. Please check you have selected the correct "
                               "Sound Record Device with Hardware Settings.";
            if (!recorder.GetLastError().empty())
                text += " (" + recorder.GetLastError() + ")";
            return CliError(text);
        }
        // The recorder holds the sink now; its release at stop closes the cut file.
        sink.Reset();

        // The recorder ends itself at the recorded time asked. Wall time too,
        // since with voice activation the recorded time may never get there;
        // without it only a stalled device would, and a second's grace lets a
        // real-time device deliver the last of the time asked.
        const int64_t nWallMs = static_cast<int64_t>(seconds.value_or(0) * 1000) + (voiceLevel ? 0 : 1000);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(nWallMs);
        const bool bTerminal = isatty(STDOUT_FILENO) != 0;
        auto nextLine = std::chrono::steady_clock::now();
        auto draw = [&](bool bFinal) {
            const std::string line = LSoundTime(view.nTimeMs).ToTextTenths()
                + (view.bWaiting && !bFinal ? "  waiting  " : "  ") + LMixer::LevelText(view.nLevel) + " ["
                + CliLevelMeter(view.nLevel) + "]";
            if (bTerminal) {
                std::printf("\r%s\x1b[K", line.c_str());
                std::fflush(stdout);
            } else if (bFinal || std::chrono::steady_clock::now() >= nextLine) {
                // A log gets a line a second, however fast the device delivers.
                nextLine = std::chrono::steady_clock::now() + std::chrono::seconds(1);
                std::printf("%s\n", line.c_str());
            }
        };
        EnterWatch enter;
        while (!view.bStopped) {
            loop.Pump(50);
            if (view.bStopped)
                break;
            if (g_bInterrupted || enter.Pressed() || (seconds && std::chrono::steady_clock::now() >= deadline)) {
                recorder.Stop();
                break;
            }
            draw(false);
        }
        recorder.Stop();
        draw(true);
        if (bTerminal)
            std::printf("\n");
    }
    d->UpdateDuration();
    return nStatus;
}

} // namespace
