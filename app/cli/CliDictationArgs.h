// What the tavrine-cli commands that record into a dictation share: the
// record mode and position arguments, finding and opening the numbered
// dictation, and putting it back when a recording fails. Main thread only.
#pragma once

#include "dictation/LDictation.h"

#include <cstdint>
#include <optional>
#include <string>

// A failed step: the message, and the exit status it calls for.
struct CliFailure {
    std::string text;
    int status = 1;
};

// "end", "insert" or "overwrite".
std::optional<int> ParseCliRecordMode(const std::string& text);

// Milliseconds, or a time such as 1:02:03.5; a negative position is allowed.
std::optional<int32_t> ParseCliPosition(const std::string& text);

// Where a recording goes, from --mode and --at.
struct CliRecordPlace {
    int nMode = kRecordAtEnd;
    std::optional<int32_t> at;

    // Takes --mode or --at; false when arg is neither. A wrong value sets *pFailure.
    bool Take(const std::string& arg, const std::string& value, std::optional<CliFailure>* pFailure);
    // Insert and overwrite need a position; a position needs one of them.
    std::optional<CliFailure> Check() const;
};

// Opens the dictation of that number from Current, or, when bSentToo, from
// Send; otherwise says why it cannot.
std::optional<CliFailure> OpenCliDictation(
    const std::string& numberText, bool bSentToo, std::optional<LDictation>* pDictation);

// Why OpenSink gave no sink: a full disk, or no free cut number or file.
CliFailure CliRecordStartFailure(const LDictation& d);

// Undoes the recording the last OpenSink started, with the cut it wrote.
void UndoFailedRecording(LDictation& d);

// A level meter of 24 steps of 2 dB from -36 to +12 dB, as the window shows it.
std::string CliLevelMeter(int nLevelDb);
