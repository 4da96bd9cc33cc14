// The fixed 222-byte header at the start of a dictation's .ddf file, with its
// little-endian packing. Plain data, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kDictationHeaderBytes = 222;
inline constexpr uint32_t kDictationMagic = 0x0FF04020;
inline constexpr uint8_t kNoRecipient = 0xFF;
inline constexpr uint8_t kPriorityHigh = 100;
inline constexpr uint8_t kPriorityNormal = 50;
inline constexpr uint8_t kPriorityLow = 20;

struct DictationHeader {
    uint32_t uVersion = 0; // 0 marks an invalid document
    uint32_t uUserID = 0;
    uint32_t uFileNumber = 0;
    uint32_t tCreated = 0;
    uint32_t tRecorded = 0;
    uint32_t tSent = 0;
    char szName[96] = {};
    uint32_t uStatusTime = 0;
    char szSendStatus[64] = {};
    uint8_t uSendTo = kNoRecipient;
    uint8_t uPriority = kPriorityNormal;
    uint8_t uChannels = 1;
    uint8_t nAttachments = 0;
    uint16_t uDuration = 0;
    uint32_t uSampleRate = 0;
    uint32_t uNotesLength = 0;
    uint8_t reserved[16] = {};
    uint32_t uMagic = 0;

    void ToBytes(uint8_t* pOut) const;
    // Fills every field from 222 bytes; no field is checked here.
    void FromBytes(const uint8_t* pIn);
};

// "High", "Normal" or "Low", as the dictation list shows a priority.
const char* PriorityText(uint8_t uPriority);
