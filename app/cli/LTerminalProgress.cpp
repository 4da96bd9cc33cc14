#include "app/cli/LTerminalProgress.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <iterator>
#include <poll.h>
#include <unistd.h>

namespace {

constexpr int kBarWidth = 30;
constexpr int kSliceMs = 50;
constexpr size_t kCaptionMax = 40;

volatile std::sig_atomic_t g_bStopRequested = 0;
// A logout (SIGHUP) or a kill (SIGTERM) asks the work to stop as Ctrl+C does,
// so a decoder or command that runs for the work is ended and reaped rather
// than left behind in its own process group.
constexpr int kStopSignals[] = { SIGINT, SIGTERM, SIGHUP };
struct sigaction g_oldActions[std::size(kStopSignals)];
int g_nInstalled = 0;

void OnInterrupt(int)
{
    g_bStopRequested = 1;
}

void InstallHandler()
{
    if (g_nInstalled++ > 0)
        return;
    g_bStopRequested = 0;
    struct sigaction action = {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    // The first signal asks politely; its handler then goes, so a second one
    // ends the program at once.
    action.sa_flags = SA_RESETHAND;
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &action, &g_oldActions[i]);
}

void RemoveHandler()
{
    if (--g_nInstalled > 0)
        return;
    for (size_t i = 0; i < std::size(kStopSignals); ++i)
        sigaction(kStopSignals[i], &g_oldActions[i], nullptr);
}

bool StopWanted()
{
    return g_bStopRequested != 0;
}

} // namespace

LTerminalProgress::LTerminalProgress(FILE* pOut)
    : LTerminalProgress(pOut, ::isatty(::fileno(pOut)) == 1 ? Mode::Bar : Mode::Lines, 1000)
{
}

LTerminalProgress::LTerminalProgress(FILE* pOut, Mode mode, uint32_t uLinesAfterMs)
    : m_pOut(pOut)
    , m_mode(mode)
    , m_linesFrom(std::chrono::steady_clock::now() + std::chrono::milliseconds(uLinesAfterMs))
{
    InstallHandler();
}

LTerminalProgress::~LTerminalProgress()
{
    Finish();
    RemoveHandler();
}

void LTerminalProgress::RequestStop()
{
    g_bStopRequested = 1;
}

void LTerminalProgress::SetText(const std::string& szText, int nLine)
{
    if (nLine != 0 && nLine != 1)
        return;
    m_szLines[nLine] = szText;
    Draw();
}

void LTerminalProgress::ShowProgress(double fFraction)
{
    m_nPercent = static_cast<int>(std::clamp(fFraction, 0.0, 1.0) * 100);
    Draw();
}

void LTerminalProgress::ErrorBox(const std::string& szText)
{
    EndLine();
    std::fprintf(m_pOut, "tavrine-cli: %s\n", szText.c_str());
    std::fflush(m_pOut);
}

bool LTerminalProgress::Pump()
{
    return StopWanted();
}

bool LTerminalProgress::WaitTimed(uint32_t ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (StopWanted())
            return true;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        ::usleep(static_cast<useconds_t>(std::min<int64_t>(left.count(), kSliceMs)) * 1000);
    }
}

int LTerminalProgress::WaitHandle(int fd, uint32_t ms)
{
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (StopWanted())
            return kCancelled;
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return kTimedOut;
        struct pollfd pfd = { fd, POLLIN, 0 };
        int n = ::poll(&pfd, 1, static_cast<int>(std::min<int64_t>(left.count(), kSliceMs)));
        if (n < 0 && errno != EINTR)
            return kTimedOut; // not waitable: the caller ends the child itself
        if (n > 0) {
            // A descriptor that is not open cannot say the child ended.
            if (pfd.revents & POLLNVAL)
                return kTimedOut;
            return kSignalled;
        }
    }
}

std::string LTerminalProgress::Caption() const
{
    std::string caption = m_szLines[0];
    if (!m_szLines[1].empty())
        caption += (caption.empty() ? "" : " ") + m_szLines[1];
    for (char& c : caption)
        if (static_cast<unsigned char>(c) < 32 || c == 127)
            c = ' ';
    return caption;
}

void LTerminalProgress::Draw()
{
    std::string caption = Caption();
    if (m_nPercent < 0)
        return; // nothing to show until the work begins
    if (m_mode == Mode::Lines) {
        const int nTenth = m_nPercent / 10 * 10;
        if (std::chrono::steady_clock::now() < m_linesFrom)
            return;
        if (nTenth == m_nShownPercent && caption == m_szShownCaption)
            return;
        std::fprintf(m_pOut, "%s: %d%%\n", caption.c_str(), nTenth);
        std::fflush(m_pOut);
        m_nShownPercent = nTenth;
        m_szShownCaption = caption;
        return;
    }
    if (m_nPercent == m_nShownPercent && caption == m_szShownCaption)
        return;
    // Bytes of a UTF-8 character are kept together when the caption is cut.
    std::string shown = caption;
    if (shown.size() > kCaptionMax) {
        size_t n = kCaptionMax;
        while (n > 0 && (static_cast<unsigned char>(shown[n]) & 0xC0) == 0x80)
            --n;
        shown.resize(n);
    }
    const int nFilled = m_nPercent * kBarWidth / 100;
    std::string bar(static_cast<size_t>(nFilled), '#');
    bar.append(static_cast<size_t>(kBarWidth - nFilled), '.');
    std::fprintf(m_pOut, "\r%s [%s] %3d%%\x1b[K", shown.c_str(), bar.c_str(), m_nPercent);
    std::fflush(m_pOut);
    m_nShownPercent = m_nPercent;
    m_szShownCaption = caption;
    m_bLineOpen = true;
}

void LTerminalProgress::Finish()
{
    EndLine();
    RestartProgress();
}

void LTerminalProgress::EndLine()
{
    if (m_bLineOpen) {
        std::fprintf(m_pOut, "\n");
        std::fflush(m_pOut);
        m_bLineOpen = false;
    }
}
