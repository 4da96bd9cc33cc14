#include "scribe/LScribeStatusWriter.h"

#include "dictation/LStatusFile.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "foundation/LText.h"

#include <cerrno>
#include <cstring>

namespace {

uint32_t Get32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void Put32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

struct Record {
    uint32_t uFileNumber;
    char text[16];
    uint32_t tStatus;
};

// The whole records of version 0 or 1; anything else reads as none, so a
// damaged file of this typist's is replaced rather than kept.
std::vector<Record> Records(const std::vector<uint8_t>& bytes)
{
    std::vector<Record> records;
    if (bytes.size() < 4)
        return records;
    uint32_t version = Get32(bytes.data());
    if (version > 1)
        return records;
    size_t size = LStatusFile::RecordSize(version);
    for (size_t at = 4; at + size <= bytes.size(); at += size) {
        Record r {};
        r.uFileNumber = Get32(&bytes[at]);
        std::memcpy(r.text, &bytes[at + 4], 16);
        r.text[15] = '\0';
        r.tStatus = version == 1 ? Get32(&bytes[at + 20]) : 0;
        records.push_back(r);
    }
    return records;
}

} // namespace

std::string LScribeStatusWriter::FileName(uint32_t uUserID, std::string_view typist)
{
    return tplprintf("s%.7d-%s.sta", uUserID, std::string(typist));
}

std::vector<uint8_t> LScribeStatusWriter::Update(
    const std::vector<uint8_t>& existing, uint32_t uFileNumber, std::string_view text, uint32_t tStatus)
{
    std::vector<Record> records = Records(existing);
    Record mine {};
    mine.uFileNumber = uFileNumber;
    CopyToField(mine.text, sizeof mine.text, text);
    mine.tStatus = tStatus;
    bool replaced = false;
    for (Record& r : records) {
        if (r.uFileNumber == uFileNumber) {
            r = mine;
            replaced = true;
        }
    }
    if (!replaced)
        records.push_back(mine);
    std::vector<uint8_t> out;
    out.reserve(4 + records.size() * kRecordSize);
    Put32(out, kVersion);
    for (const Record& r : records) {
        Put32(out, r.uFileNumber);
        out.insert(out.end(), r.text, r.text + 16);
        Put32(out, r.tStatus);
    }
    return out;
}

bool LScribeStatusWriter::Find(
    const std::vector<uint8_t>& bytes, uint32_t uFileNumber, std::string* pText, uint32_t* pTime)
{
    bool found = false;
    for (const Record& r : Records(bytes)) {
        if (r.uFileNumber == uFileNumber) {
            *pText = std::string(FieldText(r.text, sizeof r.text));
            *pTime = r.tStatus;
            found = true;
        }
    }
    return found;
}

bool LScribeStatusWriter::WriteInFolder(const std::string& folder, uint32_t uUserID, std::string_view typist,
    uint32_t uFileNumber, std::string_view text, uint32_t tStatus, std::string* pWhy)
{
    std::string path = FilePathCat(folder, FileName(uUserID, typist));
    std::vector<uint8_t> existing;
    LFile file;
    if (OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, 1000, LFile::kOpenExisting)) {
        uint64_t size = file.GetFileSizeBytes();
        // A typist's file holds one record per job ever held; anything far
        // larger is not ours to keep.
        if (size <= (uint64_t(24) << 20) + 4) {
            existing.resize(static_cast<size_t>(size));
            existing.resize(file.Read(existing.data(), existing.size()));
        }
        file.Close();
    }
    std::vector<uint8_t> bytes = Update(existing, uFileNumber, text, tStatus);
    if (!WriteFileAtomic(path, bytes.data(), bytes.size(), 0644)) {
        *pWhy = tplprintf("cannot write the status file \"%s\": %s", path, std::string(std::strerror(errno)));
        return false;
    }
    return true;
}
