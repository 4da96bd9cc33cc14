// Reads arbitrary bytes as a typist's status file and checks what came back.
#include "dictation/LStatusFile.h"
#include "tests/fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = FuzzWrite(FuzzFolder("fuzz-status") + "/s0000001.sta", pData, nSize);
    LStatusFile file;
    StatusFileResult result = file.Open(path);
    uint32_t version = nSize >= 4 ? FuzzLe32(pData) : 0;
    if (nSize < 4 || version >= 2) {
        if (result != StatusFileResult::UnknownVersion)
            std::abort();
    } else {
        size_t recordSize = LStatusFile::RecordSize(version);
        uint64_t expected = (nSize - 4) / recordSize;
        if (result != (expected == 0 ? StatusFileResult::NoRecords : StatusFileResult::Ok))
            std::abort();
        StatusRecord record;
        uint64_t nRead = 0;
        while (file.ReadRecord(&record)) {
            const uint8_t* p = pData + 4 + nRead * recordSize;
            if (record.uFileNumber != FuzzLe32(p) || record.szStatus.size() > 15
                || record.szStatus.find('\0') != std::string::npos
                || record.szStatus.compare(
                       0, std::string::npos, reinterpret_cast<const char*>(p + 4), record.szStatus.size())
                    != 0)
                std::abort();
            // The text ends at the first NUL of its field, or after 15 bytes.
            if (record.szStatus.size() < 15 && p[4 + record.szStatus.size()] != 0)
                std::abort();
            if (version == 0 && record.tStatus != 0)
                std::abort();
            ++nRead;
        }
        if (nRead != expected)
            std::abort();
    }
    return 0;
}
