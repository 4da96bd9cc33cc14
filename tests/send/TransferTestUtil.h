// Helpers of the transfer-file tests: an isolated working folder, dictations
// recorded from a known signal, and recipients in the settings.
#pragma once

#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "tests/support/Audio.h"
#include "tests/support/LTestProgress.h"

#include <memory>

namespace transfertest {

struct Workspace {
    test::IsolatedEnvironment env;
    std::unique_ptr<LDictationEngineSettings> engine = std::make_unique<LDictationEngineSettings>();

    // A new dictation in Current holding the signal (in the internal form).
    std::unique_ptr<LDictation> Dictation(const std::string& name, const std::vector<int32_t>& signal)
    {
        auto d = std::make_unique<LDictation>(engine->GetCurrentFolder(), name);
        if (LSoundSinkRef sink = signal.empty() ? LSoundSinkRef() : d->OpenSink(kRecordAtEnd, false, 0))
            test::WriteAll(*sink, signal);
        d->UpdateDuration();
        return d;
    }
    uint8_t Recipient(const std::vector<std::pair<std::string, std::string>>& values = {})
    {
        uint8_t n = kNoRecipient;
        EXPECT_EQ(LDictationEngineSettings::AddSendTo("Typist", values, &n),
            LDictationEngineSettings::AddSendToResult::Added);
        return n;
    }
};

} // namespace transfertest
