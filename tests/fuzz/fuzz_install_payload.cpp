// Reads arbitrary bytes as a downloaded setup file: the table is either
// refused or describes the file exactly, the checksum agrees with a sum taken
// here, and a file passes the whole check only when its program is there and
// every entry's SHA-256 is the one its digest list names. The bytes are also
// read as a digest list, which is accepted only in the one form it is written.
#include "install/LInstallPayload.h"
#include "platform/LSha256.h"
#include "tests/fuzz/FuzzTempDir.h"

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
    std::string error;
    bool bCancelled = true;
    const bool bOk = CheckSetupFile(path, names, nullptr, &bCancelled, &table, &error);
    if (bCancelled || bOk != error.empty())
        std::abort();
    if (!bOk)
        return;
    if (table.sizes.size() != names.size() + 1 || table.sizes[0] < 1 || table.digests.size() != names.size())
        std::abort();
    uint32_t sum = 0;
    for (size_t i = 0; i < table.nPayloadBytes; ++i)
        sum += pData[i];
    if (sum != FuzzLe32(pData + nSize - 8))
        std::abort();
    // The list is the last entry, and names each present entry's own digest.
    std::string list;
    size_t offset = 0;
    for (size_t i = 0; i < names.size(); ++i) {
        if (table.sizes[i] < 1)
            continue;
        LSha256 sha;
        sha.Update(pData + offset, size_t(table.sizes[i]));
        list += sha.FinalHex() + "  " + names[i] + "\n";
        offset += size_t(table.sizes[i]);
    }
    if (std::string_view(reinterpret_cast<const char*>(pData) + offset, table.nPayloadBytes - offset) != list)
        std::abort();
}

static void CheckDigestList(const uint8_t* pData, size_t nSize)
{
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    // The names the whole lines carry, so that a well-formed list can pass.
    std::vector<std::string> names;
    for (size_t pos = 0, end; (end = text.find('\n', pos)) != std::string_view::npos;) {
        names.emplace_back(end - pos > 66 ? text.substr(pos + 66, end - pos - 66) : std::string_view());
        pos = end + 1;
    }
    std::vector<std::string> digests;
    if (!ParseInstallDigestList(text, names, &digests))
        return;
    std::string again;
    for (size_t i = 0; i < names.size(); ++i)
        again += digests.at(i) + "  " + names[i] + "\n";
    if (again != text)
        std::abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = FuzzWrite(FuzzFolder("fuzz-install") + "/tavrine-setup", pData, nSize);
    CheckTable(path, pData, nSize, GetInstallEntryCount());
    // Any table length, including too many entries.
    if (nSize > 0)
        CheckTable(path, pData, nSize, pData[0] % 131);
    CheckWhole(path, pData, nSize);
    CheckDigestList(pData, nSize);
    return 0;
}
