// The per-recipient compressed format, kept in the file "Codec %d.wff"
// (recipient index + 1) of the Current folder: exactly 1024 bytes, the wave
// format structure first, the rest without meaning. Stateless, any thread.
#pragma once

#include "sound/codecs/LWaveFormat.h"

#include <string>
#include <string_view>

class LCodecRecord {
public:
    static constexpr size_t kRecordBytes = 1024;

    // "Codec %d.wff" for the recipient at nRecipientIndex (counted from 0).
    static std::string FileName(int nRecipientIndex);
    static std::string PathFor(std::string_view folder, int nRecipientIndex);
    // GSM 06.10, mono, 11025 Hz, 65-byte blocks of 320 samples.
    static LWaveFormat DefaultFormat();
    // The stored format; the default when the file cannot be read in full or
    // does not begin with a format structure. True when it came from the file.
    static bool Load(const std::string& path, LWaveFormat* pFormat);
    // Writes the record atomically; false when the format does not fit.
    static bool Save(const std::string& path, const LWaveFormat& format);
};
