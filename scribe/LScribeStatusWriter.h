// The typist's side of the status files: each typist keeps one file per
// author, "s%.7d-<typist>.sta" beside the delivered dictations, in version 1
// of the layout dictation/LStatusFile reads (a u32 version, then records of
// file number, 16-byte text and time). A job's record is replaced in place,
// so the file holds the latest status of each job the typist held. Stateless.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LScribeStatusWriter {
public:
    static constexpr uint32_t kVersion = 1;
    static constexpr size_t kRecordSize = 24;
    static constexpr size_t kTextBytes = 16;

    // "s%.7d-<typist>.sta"; typist already cleaned.
    static std::string FileName(uint32_t uUserID, std::string_view typist);
    // The bytes of a status file after setting one job's record: existing
    // records of version 0 or 1 are kept (made version 1, time 0 for
    // version 0), a record of the same file number replaced, else one added.
    // Text over 15 bytes is cut at a character boundary.
    static std::vector<uint8_t> Update(
        const std::vector<uint8_t>& existing, uint32_t uFileNumber, std::string_view text, uint32_t tStatus);
    // The status text of a file number in a status file's bytes; false when absent.
    static bool Find(const std::vector<uint8_t>& bytes, uint32_t uFileNumber, std::string* pText, uint32_t* pTime);
    // Reads, updates and rewrites the file in a folder atomically (a
    // temporary name not matching "s*.sta", then rename).
    static bool WriteInFolder(const std::string& folder, uint32_t uUserID, std::string_view typist,
        uint32_t uFileNumber, std::string_view text, uint32_t tStatus, std::string* pWhy);
};
