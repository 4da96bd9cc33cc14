// Reader of the status files that a typist's side leaves beside delivered
// dictations. Owned by one thread; the file is opened sharing reading.
//
// Layout, little-endian: a u32 version (0 or 1), then back-to-back records of
// a u32 file number, a 16-byte status text and, in version 1 only, a u32
// status time (20 or 24 bytes a record).
#pragma once

#include "foundation/LFile.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct StatusRecord {
    uint32_t uFileNumber = 0;
    std::string szStatus; // at most 15 bytes: the 16th is always the end
    uint32_t tStatus = 0; // 0 in version 0
};

enum class StatusFileResult {
    Ok,
    NotOpened, // missing, held past the time-out, or not a file
    UnknownVersion, // 2 or more, or no whole version word
    NoRecords, // not one whole record after the version
};

// What applying a status file changed in one dictation.
struct StatusFileUpdate {
    uint32_t uFileNumber = 0;
    std::string szStatus;
};

class LStatusFile {
public:
    // Opens and reads the version; the record count comes from the size the
    // file has now, and reading stops early if it turns out shorter.
    StatusFileResult Open(const std::string& path);
    uint32_t GetVersion() const { return m_uVersion; }
    uint64_t GetRecordCount() const { return m_nRecords; }
    // The next whole record; false after the last one or at a short read.
    bool ReadRecord(StatusRecord* pRecord);

    static size_t RecordSize(uint32_t uVersion) { return uVersion == 1 ? 24 : 20; }

private:
    bool Fill();

    LFile m_file;
    uint32_t m_uVersion = 0;
    uint64_t m_nRecords = 0;
    uint64_t m_nRead = 0;
    std::vector<uint8_t> m_buffer;
    size_t m_nBufferPos = 0;
};
