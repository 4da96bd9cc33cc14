// Helpers of the transfer-file tests: an isolated working folder with a
// dictation recorded from a known signal, and recipients in the settings.
#pragma once

#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "tests/sound/SoundTestUtil.h"
#include "tests/support/LTestProgress.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace transfertest {

struct Workspace {
    test::IsolatedEnvironment env;
    std::unique_ptr<LDictationEngineSettings> engine = std::make_unique<LDictationEngineSettings>();

    // A new dictation in Current holding the signal (16-bit values × 16).
    std::unique_ptr<LDictation> Dictation(const std::string& name, const std::vector<int32_t>& signal)
    {
        auto d = std::make_unique<LDictation>(engine->GetCurrentFolder(), name);
        EXPECT_TRUE(d->IsValid());
        if (!signal.empty()) {
            LSoundSinkRef sink = d->OpenSink(kRecordAtEnd, false, 0);
            EXPECT_TRUE(sink);
            soundtest::WriteAll(*sink, signal);
            sink.Reset();
            d->UpdateDuration();
        }
        return d;
    }

    // A recipient with the given values; its number.
    uint8_t Recipient(const std::vector<std::pair<std::string, std::string>>& values = {})
    {
        uint8_t n = kNoRecipient;
        EXPECT_EQ(LDictationEngineSettings::AddSendTo("Typist", values, &n),
            LDictationEngineSettings::AddSendToResult::Added);
        return n;
    }
};

} // namespace transfertest
