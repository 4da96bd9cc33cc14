// One stretch of a cut file in a dictation's timeline, and the undo entries
// that keep whole cut lists. Plain data, owned by the dictation's thread.
#pragma once

#include "foundation/LList.h"

#include <cstdint>
#include <string>

inline constexpr uint32_t kCutToEnd = 0xFFFFFFFF;
inline constexpr size_t kCutRecordBytes = 10;

struct CutRecord {
    uint16_t uCutNumber = 0;
    uint32_t uStart = 0; // first frame in the cut file
    uint32_t uEnd = kCutToEnd; // frame after the last; kCutToEnd: the file's current end
};

struct UndoEntry {
    std::string szLabel;
    LList<CutRecord> cuts;
};
