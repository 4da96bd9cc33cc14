// Reads arbitrary bytes as a downloaded setup file: the table is either
// refused or describes the file exactly, and the checksum check agrees with
// a sum taken here.
#include "install/LInstallPayload.h"
#include "tests/fuzz/FuzzTempDir.h"

static void Check(const std::string& path, const uint8_t* pData, size_t nSize, size_t nEntries)
{
    LInstallTable table;
    std::string error;
    if (!ReadInstallTable(path, nEntries, &table, &error)) {
        if (error.empty())
            std::abort();
        return;
    }
    const size_t tableBytes = (nEntries + 2) * 4;
    if (nEntries > kMaxInstallEntries || nSize < tableBytes || table.sizes.size() != nEntries
        || FuzzLe32(pData + nSize - 4) != kInstallMarker || table.nPayloadBytes != nSize - tableBytes)
        std::abort();
    uint32_t sum = 0;
    for (size_t i = 0; i < table.nPayloadBytes; ++i)
        sum += pData[i];
    bool bCancelled = true;
    if (VerifyInstallChecksum(path, table, nullptr, &bCancelled, &error) != (sum == FuzzLe32(pData + nSize - 8))
        || bCancelled)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = FuzzWrite(FuzzFolder("fuzz-install") + "/tavrine-setup", pData, nSize);
    Check(path, pData, nSize, GetInstallFileTable().size());
    // Any table length, including too many entries.
    if (nSize > 0)
        Check(path, pData, nSize, pData[0] % 131);
    return 0;
}
