#include "install/LInstallPayload.h"

#include "foundation/LFile.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

namespace {

constexpr size_t kBlock = 4096;

uint32_t GetLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void PutLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

uint32_t AddBytes(uint32_t sum, const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        sum += p[i];
    return sum;
}

bool OpenForReading(LFile& file, const std::string& path, std::string* pError)
{
    if (file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting))
        return true;
    *pError = tplprintf("Cannot open \"%s\": %s.", path, std::strerror(file.LastErrno()));
    return false;
}

} // namespace

const std::vector<std::string>& GetInstallFileTable()
{
    static const std::vector<std::string> table
        = { "tavrine", "tavrine-manual.html", "Test.wav", "tavrine-cli", "70-tavrine-dictate.rules" };
    return table;
}

bool ReadInstallMarker(const std::string& path, uint32_t* pMarker)
{
    LFile file;
    if (!file.Open(path, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting))
        return false;
    uint64_t size = file.GetFileSizeBytes();
    uint8_t tail[4];
    if (size < 4 || !file.Seek(size - 4) || file.Read(tail, 4) != 4)
        return false;
    *pMarker = GetLe32(tail);
    return true;
}

bool ParseInstallTable(
    const uint8_t* pTail, size_t nTail, uint64_t fileSize, size_t nEntries, LInstallTable* pTable, std::string* pError)
{
    if (nEntries == 0 || nEntries > kMaxInstallEntries) {
        *pError = tplprintf("A setup file holds 1 to %d entries, not %d.", uint32_t(kMaxInstallEntries),
            uint32_t(nEntries > 0xFFFFFFFFu ? 0xFFFFFFFFu : nEntries));
        return false;
    }
    const size_t tableBytes = (nEntries + 2) * 4;
    if (nTail != tableBytes || fileSize < tableBytes) {
        *pError = "The setup file is too short to hold its table of files.";
        return false;
    }
    if (GetLe32(pTail + tableBytes - 4) != kInstallMarker) {
        *pError = "The file carries no install payload.";
        return false;
    }
    LInstallTable table;
    table.sizes.reserve(nEntries);
    for (size_t i = 0; i < nEntries; ++i) {
        int32_t size = int32_t(GetLe32(pTail + 4 * i));
        table.sizes.push_back(size);
        if (size > 0)
            table.nPayloadBytes += uint64_t(size); // at most 128 * (2^31 - 1): no overflow in 64 bits
    }
    table.uChecksum = GetLe32(pTail + tableBytes - 8);
    // The files lie back to back before the table, so their sizes must add
    // up to exactly that: anything else is a damaged or foreign file.
    if (table.nPayloadBytes != fileSize - tableBytes) {
        *pError = "The sizes in the setup file's table do not match the file.";
        return false;
    }
    *pTable = std::move(table);
    return true;
}

bool ReadInstallTable(const std::string& path, size_t nEntries, LInstallTable* pTable, std::string* pError)
{
    if (nEntries == 0 || nEntries > kMaxInstallEntries)
        return ParseInstallTable(nullptr, 0, 0, nEntries, pTable, pError);
    LFile file;
    if (!OpenForReading(file, path, pError))
        return false;
    const uint64_t size = file.GetFileSizeBytes();
    const size_t tableBytes = (nEntries + 2) * 4;
    std::vector<uint8_t> tail(tableBytes);
    if (size < tableBytes)
        return ParseInstallTable(nullptr, 0, size, nEntries, pTable, pError);
    if (!file.Seek(size - tableBytes) || file.Read(tail.data(), tableBytes) != tableBytes) {
        *pError = tplprintf("Cannot read \"%s\".", path);
        return false;
    }
    return ParseInstallTable(tail.data(), tableBytes, size, nEntries, pTable, pError);
}

bool VerifyInstallChecksum(const std::string& path, const LInstallTable& table, LProgressReporter* pProgress,
    bool* pbCancelled, std::string* pError)
{
    *pbCancelled = false;
    LFile file;
    if (!OpenForReading(file, path, pError))
        return false;
    uint8_t buf[kBlock];
    uint32_t sum = 0;
    for (uint64_t done = 0; done < table.nPayloadBytes;) {
        size_t want = size_t(std::min<uint64_t>(kBlock, table.nPayloadBytes - done));
        if (file.Read(buf, want) != want) {
            *pError = tplprintf("Cannot read \"%s\".", path);
            return false;
        }
        sum = AddBytes(sum, buf, want);
        done += want;
        if (pProgress && pProgress->Pump()) {
            *pbCancelled = true;
            return false;
        }
    }
    if (sum != table.uChecksum) {
        *pError = "The bytes of the setup file do not add up to its checksum.";
        return false;
    }
    return true;
}

bool PackSetupFile(const std::vector<std::string>& inputs, const std::string& output, std::string* pError)
{
    if (inputs.empty() || inputs.size() > kMaxInstallEntries) {
        *pError = tplprintf("A setup file holds 1 to %d entries.", uint32_t(kMaxInstallEntries));
        return false;
    }
    std::string partial = CreatePartialFile(output);
    if (partial.empty()) {
        *pError = tplprintf("Cannot create \"%s\": %s.", output, std::strerror(errno));
        return false;
    }
    LFile out;
    bool bOk = out.Open(partial, LFile::kWrite, LFile::kShareNone, LFile::kOpenExisting);
    std::vector<uint8_t> tail((inputs.size() + 2) * 4);
    uint32_t sum = 0;
    uint8_t buf[kBlock];
    for (size_t i = 0; bOk && i < inputs.size(); ++i) {
        uint64_t size = 0;
        if (!inputs[i].empty()) {
            LFile in;
            if (!OpenForReading(in, inputs[i], pError)) {
                bOk = false;
                break;
            }
            size = in.GetFileSizeBytes();
            if (size > 0x7FFFFFFFu) {
                *pError = tplprintf("\"%s\" is too large for a setup file.", inputs[i]);
                bOk = false;
                break;
            }
            for (uint64_t done = 0; bOk && done < size;) {
                size_t want = size_t(std::min<uint64_t>(kBlock, size - done));
                bOk = in.Read(buf, want) == want && out.Write(buf, want);
                sum = AddBytes(sum, buf, want);
                done += want;
            }
            if (!bOk)
                *pError = tplprintf("Cannot copy \"%s\" into \"%s\".", inputs[i], output);
        }
        PutLe32(tail.data() + 4 * i, uint32_t(size));
    }
    PutLe32(tail.data() + tail.size() - 8, sum);
    PutLe32(tail.data() + tail.size() - 4, kInstallMarker);
    if (bOk && !out.Write(tail.data(), tail.size())) {
        *pError = tplprintf("Cannot write \"%s\".", output);
        bOk = false;
    }
    out.Close();
    if (bOk && (::chmod(partial.c_str(), 0755) != 0 || !CommitPartialFile(partial, output))) {
        *pError = tplprintf("Cannot write \"%s\": %s.", output, std::strerror(errno));
        bOk = false;
    }
    if (!bOk)
        DeleteFileAt(partial);
    return bOk;
}
