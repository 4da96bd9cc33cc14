// A progress reporter for tests: keeps every text, fraction and error it is
// given, and asks the operation to stop at the pump the test chooses.
// Used by the test's own thread only.
#pragma once

#include "foundation/LProgressReporter.h"

#include <poll.h>

#include <cstdint>
#include <string>
#include <vector>

class LTestProgress : public LProgressReporter {
public:
    void SetText(const std::string& szText, int nLine) override
    {
        if (nLine == 0 || nLine == 1) {
            szLines[nLine] = szText;
            texts.push_back(szText);
        }
    }
    void ShowProgress(double fFraction) override { fractions.push_back(fFraction); }
    void ErrorBox(const std::string& szText) override { errors.push_back(szText); }
    bool Pump() override
    {
        ++nPumps;
        return nStopAtPump > 0 && nPumps >= nStopAtPump;
    }
    bool WaitTimed(uint32_t) override { return Pump(); }
    int WaitHandle(int fd, uint32_t ms) override
    {
        if (Pump())
            return kCancelled;
        pollfd p { fd, POLLIN, 0 };
        return ::poll(&p, 1, static_cast<int>(ms)) > 0 ? kSignalled : kTimedOut;
    }
    std::string szLines[2];
    // Every text of either line, in the order given.
    std::vector<std::string> texts;
    std::vector<double> fractions;
    std::vector<std::string> errors;
    int nPumps = 0;
    // The pump (1-based) from which on a stop is asked; 0 never asks.
    int nStopAtPump = 0;
};
