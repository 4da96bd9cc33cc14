// tavrine-cli play: plays a dictation or a sound file on a sound output,
// showing the position and level of what is heard; on a terminal, space
// pauses and resumes, the arrow keys step back and forward, q stops.
#include "app/cli/CliDictationArgs.h"
#include "app/cli/LCliCommand.h"
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "foundation/LQueueMainLoop.h"
#include "sound/LSoundTime.h"
#include "sound/convert/LFactoryPlaySpeed.h"
#include "sound/device/LMixer.h"
#include "sound/device/LSoundPlayer.h"
#include "sound/files/LSoundFileByName.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <optional>

namespace {

int RunPlay(const std::vector<std::string>& args);

const LCliCommand kPlay { "play",
    "play NUMBER|FILE [--speed slow|normal|fast] [--from MS] [--device N]   keys: space pause, left/right 5 s, q stop",
    RunPlay };
LCliRegistrar regPlay(kPlay);

constexpr int32_t kStepMs = 5000;

volatile std::sig_atomic_t g_bInterrupted = 0;

void OnInterrupt(int)
{
    g_bInterrupted = 1;
}

// Reads single key presses from a terminal while it lives, and puts the
// terminal back as it was, also when Ctrl+C ends playing.
class RawKeys {
public:
    RawKeys()
    {
        if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &m_saved) != 0)
            return;
        termios raw = m_saved;
        raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
        raw.c_cc[VMIN] = 0;
        raw.c_cc[VTIME] = 0;
        m_bActive = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
    }
    ~RawKeys()
    {
        if (m_bActive)
            tcsetattr(STDIN_FILENO, TCSANOW, &m_saved);
    }
    RawKeys(const RawKeys&) = delete;
    RawKeys& operator=(const RawKeys&) = delete;

    enum class Key { None, Pause, Back, Forward, Quit };
    Key Next()
    {
        if (!m_bActive)
            return Key::None;
        pollfd p { STDIN_FILENO, POLLIN, 0 };
        if (poll(&p, 1, 0) <= 0)
            return Key::None;
        char buf[8];
        ssize_t n = read(STDIN_FILENO, buf, sizeof(buf));
        if (n <= 0)
            return Key::None;
        if (buf[0] == ' ')
            return Key::Pause;
        if (buf[0] == 'q' || buf[0] == 'Q')
            return Key::Quit;
        if (n >= 3 && buf[0] == '\x1b' && buf[1] == '[') {
            if (buf[2] == 'D')
                return Key::Back;
            if (buf[2] == 'C')
                return Key::Forward;
        }
        return Key::None;
    }

private:
    termios m_saved {};
    bool m_bActive = false;
};

class PlayView : public LSoundPlayerNotify {
public:
    void OnStopped(uint32_t) override { bStopped = true; }
    void OnTime(uint32_t, int32_t nMs) override { nTimeMs = nMs; }
    void OnLevels(uint32_t, const LChannelLevels& levels) override { nLevel = levels.Loudest(); }

    bool bStopped = false;
    int32_t nTimeMs = 0;
    int nLevel = LChannelLevels::kSilence;
};

int RunPlay(const std::vector<std::string>& args)
{
    int nSpeed = 1;
    int32_t nFromMs = 0;
    int32_t nDevice = 0;
    const std::optional<CliArgs> split = SplitCliArgs(args);
    if (!split)
        return CliUsage(kPlay);
    for (const auto& [arg, value] : split->options) {
        if (arg == "--speed") {
            if (value == "slow")
                nSpeed = 0;
            else if (value == "normal")
                nSpeed = 1;
            else if (value == "fast")
                nSpeed = 2;
            else
                return CliError("--speed must be slow, normal or fast", 2);
        } else if (arg == "--from") {
            const std::optional<int32_t> from = ParseCliPosition(value);
            if (!from || *from < 0)
                return CliError("--from must be a position in milliseconds (or h:mm:ss.mmm)", 2);
            nFromMs = *from;
        } else if (arg == "--device") {
            if (value.empty() || value.size() > 3 || value.find_first_not_of("0123456789") != std::string::npos)
                return CliError("--device must be a device number (see tavrine-cli devices)", 2);
            nDevice = std::stoi(value);
        } else {
            return CliUsage(kPlay);
        }
    }
    if (split->words.size() != 1)
        return CliUsage(kPlay);
    const std::string* what = &split->words[0];

    LSoundSourceRef source;
    std::optional<LDictation> dictation;
    if (what->find_first_not_of("0123456789") == std::string::npos) {
        if (std::optional<CliFailure> failure = OpenCliDictation(*what, true, &dictation))
            return CliError(failure->text, failure->status);
        source = LSoundSourceRef(LDictationAudioSource::Make(*dictation));
    } else {
        if (LSoundFileByName::KindOf(*what) == LSoundFileKind::Unknown)
            return CliError(
                "\"" + *what + "\": unknown file type (use " + LSoundFileByName::KnownExtensions() + ")", 2);
        source = LSoundFileByName::OpenSource(*what);
        if (!source || !source->IsUsable())
            return CliError(CliSoundErrorText(*what, source ? source->ErrorCode() : uint8_t(kSoundErrOpen)));
    }
    const int32_t nRate = source->SampleRate();
    if (nFromMs > 0)
        source->Seek(std::min(LSoundTime(nFromMs).ToSamples(nRate), source->GetLength()));
    if (nSpeed != 1)
        source = LFactoryPlaySpeed::ForSetting(nSpeed).OpenSource(source);
    const int32_t nLengthMs = LSoundTime::FromSamples(source->GetLength(), nRate).Ms();

    LQueueMainLoop loop;
    LSoundPlayer player(loop);
    PlayView view;
    player.SetListener(&view, 0);
    player.SetPlayDevice(LSoundPlayDevice { nDevice });
    if (!player.Start(source))
        return CliError("cannot play: " + player.GetLastError());

    g_bInterrupted = 0;
    struct sigaction action { };
    action.sa_handler = OnInterrupt;
    struct sigaction previous { };
    sigaction(SIGINT, &action, &previous);

    const bool bTerminal = isatty(STDOUT_FILENO) != 0;
    RawKeys keys;
    bool bPaused = false;
    int32_t nShownSecond = -1;
    auto draw = [&](bool bFinal) {
        const std::string line = LSoundTime(view.nTimeMs).ToTextTenths() + " / " + LSoundTime(nLengthMs).ToTextTenths()
            + "  " + LMixer::LevelText(view.nLevel) + " [" + CliLevelMeter(view.nLevel) + "]"
            + (bPaused ? "  paused" : "");
        if (bTerminal) {
            std::printf("\r%s\x1b[K", line.c_str());
            std::fflush(stdout);
        } else if (bFinal || view.nTimeMs / 1000 != nShownSecond) {
            nShownSecond = view.nTimeMs / 1000;
            std::printf("%s\n", line.c_str());
        }
    };
    int nStatus = 0;
    for (;;) {
        loop.Pump(50);
        if (g_bInterrupted)
            break;
        const RawKeys::Key key = keys.Next();
        if (key == RawKeys::Key::Quit)
            break;
        const int64_t nHere = LSoundTime(view.nTimeMs).ToSamples(nRate);
        if (key == RawKeys::Key::Pause) {
            if (!bPaused) {
                bPaused = true;
                player.Stop();
            } else {
                source->Seek(nHere);
                bPaused = false;
                view.bStopped = false;
                if (!player.Start(source)) {
                    nStatus = CliError("cannot play: " + player.GetLastError());
                    break;
                }
            }
        } else if (key == RawKeys::Key::Back || key == RawKeys::Key::Forward) {
            const int32_t nStep = key == RawKeys::Key::Back ? -kStepMs : kStepMs;
            const int32_t nTo = std::clamp(view.nTimeMs + nStep, 0, nLengthMs);
            if (bPaused)
                view.nTimeMs = nTo;
            else
                player.Seek(LSoundTime(nTo).ToSamples(nRate));
        }
        if (view.bStopped && !bPaused)
            break;
        draw(false);
    }
    player.Stop();
    draw(true);
    if (bTerminal)
        std::printf("\n");
    sigaction(SIGINT, &previous, nullptr);
    return nStatus;
}

} // namespace
