// Progress of tavrine-cli's long work on standard error: a bar on one
// updating line when that is a terminal; otherwise, for work that outlasts a
// moment, plain lines at every tenth, so logs of short runs stay clean.
// Ctrl+C, SIGTERM or SIGHUP asks the work to stop (a second one ends the
// program as usual).
// Used by the main thread only; one at a time.
#pragma once

#include "foundation/LProgressReporter.h"

#include <chrono>
#include <cstdio>
#include <string>

class LTerminalProgress : public LProgressReporter {
public:
    enum class Mode { Bar, Lines };

    // The mode follows whether the stream is a terminal.
    explicit LTerminalProgress(FILE* pOut = stderr);
    LTerminalProgress(FILE* pOut, Mode mode, uint32_t uLinesAfterMs);
    ~LTerminalProgress() override;
    LTerminalProgress(const LTerminalProgress&) = delete;
    LTerminalProgress& operator=(const LTerminalProgress&) = delete;

    void SetText(const std::string& szText, int nLine) override;
    void ErrorBox(const std::string& szText) override;
    bool Pump() override;
    bool WaitTimed(uint32_t ms) override;
    int WaitHandle(int fd, uint32_t ms) override;

    // Ends the bar's line, so what is printed next starts on its own; the
    // next operation counts from 0.
    void Finish();

    // As Ctrl+C does; for tests.
    static void RequestStop();

private:
    void ShowProgress(double fFraction) override;
    void EndLine();
    void Draw();
    std::string Caption() const;

    FILE* m_pOut;
    Mode m_mode;
    std::chrono::steady_clock::time_point m_linesFrom;
    std::string m_szLines[2];
    int m_nPercent = -1;
    int m_nShownPercent = -1;
    std::string m_szShownCaption;
    bool m_bLineOpen = false;
};
