// Reads arbitrary bytes as a downloaded setup file: the table is either
// refused or describes the file exactly, the checksum agrees with a sum taken
// here, and a file passes the whole check only when its program is there and
// its digest list is the one written from its entries.
#include "install/LInstallPayload.h"
#include "platform/LSha256.h"
#include "tests/fuzz/FuzzTempDir.h"

#include <numeric>

static void CheckTable(const std::string& path, const uint8_t* pData, size_t nSize, size_t nEntries)
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
}

static void CheckWhole(const std::string& path, const uint8_t* pData, size_t nSize)
{
    const std::vector<std::string>& names = GetInstallFileTable();
    LInstallTable table;
    std::string error, list;
    bool bCancelled = true;
    const bool bOk = CheckSetupFile(path, names, nullptr, &bCancelled, &table, &error);
    if (bCancelled || bOk == !error.empty()
        || (bOk
            && (table.sizes[0] < 1
                || std::accumulate(pData, pData + table.nPayloadBytes, 0u) != FuzzLe32(pData + nSize - 8))))
        std::abort();
    for (size_t i = 0, offset = 0; bOk && i <= names.size(); offset += size_t(std::max(table.sizes[i++], 0))) {
        const std::string_view entry(
            reinterpret_cast<const char*>(pData) + offset, size_t(std::max(table.sizes[i], 0)));
        if (i == names.size() && entry != list) // the list names each present entry's own digest
            std::abort();
        LSha256 sha;
        sha.Update(entry.data(), entry.size());
        if (!entry.empty() && i < names.size())
            list += sha.FinalHex() + "  " + names[i] + "\n";
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = FuzzWrite(FuzzFolder("fuzz-install") + "/tavrine-setup", pData, nSize);
    CheckTable(path, pData, nSize, GetInstallEntryCount());
    // Any table length, including too many entries.
    if (nSize > 0)
        CheckTable(path, pData, nSize, pData[0] % 131);
    CheckWhole(path, pData, nSize);
    return 0;
}
