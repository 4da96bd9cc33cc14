// Reads arbitrary bytes as a typist's status file and checks what came back.
#include "dictation/LStatusFile.h"

#include "tests/fuzz/FuzzTempDir.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string PrivateFolder()
{
    static std::string folder = [] {
        static const FuzzTempDir tmp("fuzz-status");
        return tmp.Path();
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string path = PrivateFolder() + "/s0000001.sta";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(pData, 1, nSize, f);
    std::fclose(f);
    LStatusFile file;
    StatusFileResult result = file.Open(path);
    uint32_t version = nSize >= 4 ? pData[0] | (pData[1] << 8) | (pData[2] << 16) | (uint32_t(pData[3]) << 24) : 0;
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
            uint32_t number = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
            if (record.uFileNumber != number || record.szStatus.size() > 15
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
    unlink(path.c_str());
    return 0;
}
