#include "install/LInstallPayload.h"

#include "foundation/LFile.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LText.h"
#include "platform/LSha256.h"

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
    static const std::vector<std::string> table = { "tavrine", "tavrine-manual.html", "Test.wav", "tavrine-cli",
        "70-tavrine-dictate.rules", "tavrine-scribe", "tavrine-scribe.svg" };
    return table;
}

size_t GetInstallEntryCount()
{
    return GetInstallFileTable().size() + 1;
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

bool ParseInstallDigestList(
    std::string_view text, const std::vector<std::string>& names, std::vector<std::string>* pDigests)
{
    constexpr size_t kHexDigits = 64;
    std::vector<std::string> digests;
    size_t pos = 0;
    for (const std::string& name : names) {
        const size_t nLine = kHexDigits + 2 + name.size() + 1;
        if (text.size() - pos < nLine)
            return false;
        const std::string_view line = text.substr(pos, nLine);
        const std::string_view hex = line.substr(0, kHexDigits);
        if (hex.find_first_not_of("0123456789abcdef") != std::string_view::npos || line.substr(kHexDigits, 2) != "  "
            || line.substr(kHexDigits + 2, name.size()) != name || line.back() != '\n')
            return false;
        digests.emplace_back(hex);
        pos += nLine;
    }
    if (pos != text.size())
        return false;
    *pDigests = std::move(digests);
    return true;
}

bool CheckSetupFile(const std::string& path, const std::vector<std::string>& names, LProgressReporter* pProgress,
    bool* pbCancelled, LInstallTable* pTable, std::string* pError)
{
    *pbCancelled = false;
    LInstallTable table;
    if (names.empty() || !ReadInstallTable(path, names.size() + 1, &table, pError))
        return false;
    if (table.sizes[0] < 1) {
        *pError = "The setup file holds no program.";
        return false;
    }
    const int32_t nList = table.sizes.back();
    if (nList < 1 || size_t(nList) > kMaxInstallDigestListBytes) {
        *pError = "The setup file carries no list of digests.";
        return false;
    }
    LFile file;
    if (!OpenForReading(file, path, pError))
        return false;
    uint8_t buf[kBlock];
    uint32_t sum = 0;
    std::string list;
    std::vector<std::string> present;
    std::vector<std::string> actual;
    for (size_t i = 0; i < table.sizes.size(); ++i) {
        const int32_t size = table.sizes[i];
        if (size < 1)
            continue;
        LSha256 sha;
        for (int32_t done = 0; done < size;) {
            const size_t want = size_t(std::min<int32_t>(int32_t(kBlock), size - done));
            if (file.Read(buf, want) != want) {
                *pError = tplprintf("Cannot read \"%s\".", path);
                return false;
            }
            sum = AddBytes(sum, buf, want);
            if (i < names.size())
                sha.Update(buf, want);
            else
                list.append(reinterpret_cast<const char*>(buf), want);
            done += int32_t(want);
            if (pProgress && pProgress->Pump()) {
                *pbCancelled = true;
                return false;
            }
        }
        if (i < names.size()) {
            present.push_back(names[i]);
            actual.push_back(sha.FinalHex());
        }
    }
    if (sum != table.uChecksum) {
        *pError = "The bytes of the setup file do not add up to its checksum.";
        return false;
    }
    std::vector<std::string> listed;
    if (!ParseInstallDigestList(list, present, &listed)) {
        *pError = "The setup file's list of digests does not match its table.";
        return false;
    }
    for (size_t i = 0; i < present.size(); ++i) {
        if (actual[i].empty() || actual[i] != listed[i]) {
            *pError = tplprintf("\"%s\" in the setup file is not the file that was packed.", present[i]);
            return false;
        }
    }
    for (size_t i = 0, k = 0; i < names.size(); ++i)
        table.digests.push_back(table.sizes[i] > 0 ? actual[k++] : std::string());
    *pTable = std::move(table);
    return true;
}

bool PackSetupFile(const std::vector<std::string>& inputs, const std::string& output, std::string* pError)
{
    const std::vector<std::string>& names = GetInstallFileTable();
    if (inputs.size() != names.size() || inputs[0].empty()) {
        *pError = tplprintf("A setup file holds the %d files of the table, the program first.", uint32_t(names.size()));
        return false;
    }
    std::string partial = CreatePartialFile(output);
    if (partial.empty()) {
        *pError = tplprintf("Cannot create \"%s\": %s.", output, std::strerror(errno));
        return false;
    }
    LFile out;
    bool bOk = out.Open(partial, LFile::kWrite, LFile::kShareNone, LFile::kOpenExisting);
    std::vector<uint8_t> tail((GetInstallEntryCount() + 2) * 4);
    uint32_t sum = 0;
    uint8_t buf[kBlock];
    std::string list;
    for (size_t i = 0; bOk && i < inputs.size(); ++i) {
        uint64_t size = 0;
        LSha256 sha;
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
                sha.Update(buf, want);
                done += want;
            }
            const std::string digest = sha.FinalHex();
            bOk = bOk && !digest.empty();
            if (!bOk)
                *pError = tplprintf("Cannot copy \"%s\" into \"%s\".", inputs[i], output);
            else if (size > 0)
                list += digest + "  " + names[i] + "\n";
        }
        PutLe32(tail.data() + 4 * i, uint32_t(size));
    }
    if (bOk && !out.Write(list.data(), list.size())) {
        *pError = tplprintf("Cannot write \"%s\".", output);
        bOk = false;
    }
    sum = AddBytes(sum, reinterpret_cast<const uint8_t*>(list.data()), list.size());
    PutLe32(tail.data() + 4 * inputs.size(), uint32_t(list.size()));
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
