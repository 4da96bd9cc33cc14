#include "send/LProcessListFile.h"

#include "foundation/LPath.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr size_t kRecord = SendJobItem::kSize;
constexpr size_t kHeader = LProcessListHeader::kSize;
// Records read or written per call.
constexpr size_t kChunkRecords = 64;

// Opened under the lock file, so the data file itself takes no lock of its own.
bool OpenData(LFile& file, const std::string& path, LFile::Access access, LFile::Creation creation)
{
    return file.Open(path, access, LFile::kShareReadWrite, creation);
}

LProcessListFile::Status Classify(uint64_t nSize, const uint8_t* pHeader, LProcessListHeader* pOut)
{
    using Status = LProcessListFile::Status;
    if (nSize == 0)
        return Status::Empty;
    if (nSize < kHeader)
        return Status::ShortHeader;
    *pOut = LProcessListHeader::Decode(pHeader);
    if (pOut->uVersion != LProcessListHeader::kVersion)
        return Status::WrongVersion;
    if (pOut->uSizeOfT != kRecord)
        return Status::WrongRecordSize;
    if (nSize > kHeader && nSize < kHeader + kRecord)
        return Status::PartialHead;
    return Status::Ok;
}

// Opens the file for reading and classifies its header.
LProcessListFile::Status OpenAndClassify(
    LFile& file, const std::string& path, LProcessListHeader* pHeader, uint64_t* pSize)
{
    using Status = LProcessListFile::Status;
    if (!OpenData(file, path, LFile::kRead, LFile::kOpenExisting))
        return file.LastError() == LFile::Error::NotFound ? Status::Missing : Status::Unreadable;
    *pSize = file.GetFileSizeBytes();
    uint8_t header[kHeader] = {};
    const size_t nWant = *pSize < kHeader ? static_cast<size_t>(*pSize) : kHeader;
    if (file.Read(header, nWant) != nWant)
        return Status::Unreadable;
    return Classify(*pSize, header, pHeader);
}

} // namespace

void LProcessListHeader::Encode(uint8_t* pOut) const
{
    pOut[0] = static_cast<uint8_t>(uVersion);
    pOut[1] = static_cast<uint8_t>(uVersion >> 8);
    pOut[2] = static_cast<uint8_t>(uFailCount);
    pOut[3] = static_cast<uint8_t>(uFailCount >> 8);
    pOut[4] = static_cast<uint8_t>(uSizeOfT);
    pOut[5] = static_cast<uint8_t>(uSizeOfT >> 8);
    pOut[6] = static_cast<uint8_t>(uSizeOfT >> 16);
    pOut[7] = static_cast<uint8_t>(uSizeOfT >> 24);
}

LProcessListHeader LProcessListHeader::Decode(const uint8_t* pIn)
{
    LProcessListHeader header;
    header.uVersion = static_cast<uint16_t>(pIn[0] | (pIn[1] << 8));
    header.uFailCount = static_cast<uint16_t>(pIn[2] | (pIn[3] << 8));
    header.uSizeOfT = pIn[4] | (pIn[5] << 8) | (pIn[6] << 16) | (static_cast<uint32_t>(pIn[7]) << 24);
    return header;
}

const char* LProcessListFile::StatusText(Status status)
{
    switch (status) {
    case Status::Ok:
        return "ok";
    case Status::Missing:
        return "the queue file does not exist";
    case Status::Empty:
        return "the queue is empty";
    case Status::ShortHeader:
        return "the queue file is shorter than its header";
    case Status::WrongVersion:
        return "the queue file has another version";
    case Status::WrongRecordSize:
        return "the queue file's records have another size";
    case Status::PartialHead:
        return "the queue file's first job is cut short";
    case Status::Unreadable:
        return "the queue file cannot be read";
    }
    return "unknown";
}

bool LProcessListFile::Lock::Take(const std::string& queuePath, bool bExclusive, unsigned timeoutMs)
{
    const std::string path = LockPathFor(queuePath);
    // Readers share the lock; writers hold it alone. The file is only ever
    // locked, never renamed or deleted by the queue, so every holder locks the
    // same file. Should something else have deleted it, the path no longer
    // names the file locked, and the lock is taken again on the new one.
    if (!m_file.OpenLock(path, bExclusive, timeoutMs, 0644))
        return false;
    // Keeps a folder clean-up by age from taking a lock file in use.
    if (bExclusive)
        ::futimens(m_file.Fd(), nullptr);
    return true;
}

LProcessListFile::Status LProcessListFile::ReadHead(
    const std::string& path, LProcessListHeader* pHeader, SendJobItem* pHead, uint64_t* pRecords)
{
    *pRecords = 0;
    LFile file;
    uint64_t nSize = 0;
    Status status = OpenAndClassify(file, path, pHeader, &nSize);
    if (status != Status::Ok)
        return status;
    *pRecords = (nSize - kHeader) / kRecord;
    if (*pRecords > 0) {
        uint8_t record[kRecord];
        if (file.Read(record, kRecord) != kRecord)
            return Status::Unreadable;
        *pHead = SendJobItem::Decode(record);
    }
    return Status::Ok;
}

LProcessListFile::Status LProcessListFile::Walk(const std::string& path, LProcessListHeader* pHeader,
    const std::function<bool(const SendJobItem&)>& visit, uint64_t* pTrailing)
{
    if (pTrailing)
        *pTrailing = 0;
    LFile file;
    uint64_t nSize = 0;
    Status status = OpenAndClassify(file, path, pHeader, &nSize);
    if (status != Status::Ok)
        return status;
    const uint64_t nRecords = (nSize - kHeader) / kRecord;
    if (pTrailing)
        *pTrailing = (nSize - kHeader) % kRecord;
    std::vector<uint8_t> chunk(kChunkRecords * kRecord);
    for (uint64_t nDone = 0; nDone < nRecords;) {
        const size_t nCount = static_cast<size_t>(std::min<uint64_t>(kChunkRecords, nRecords - nDone));
        // The size was taken from the open file; a shorter read means it shrank
        // under a writer that ignored the lock.
        if (file.Read(chunk.data(), nCount * kRecord) != nCount * kRecord)
            return Status::Unreadable;
        for (size_t i = 0; i < nCount; ++i)
            if (!visit(SendJobItem::Decode(chunk.data() + i * kRecord)))
                return Status::Ok;
        nDone += nCount;
    }
    return Status::Ok;
}

bool LProcessListFile::Append(const std::string& path, const SendJobItem& item)
{
    LFile file;
    if (!OpenData(file, path, LFile::kReadWrite, LFile::kOpenAlways))
        return false;
    const uint64_t nSize = file.GetFileSizeBytes();
    uint8_t header[kHeader] = {};
    LProcessListHeader current;
    bool bFresh = true;
    uint64_t nPos = 0;
    if (nSize >= kHeader && file.Read(header, kHeader) == kHeader) {
        current = LProcessListHeader::Decode(header);
        if (current.IsValid()) {
            bFresh = false;
            // A partial record at the end (a torn append) is overwritten, so
            // every record stays on its boundary.
            nPos = kHeader + (nSize - kHeader) / kRecord * kRecord;
        }
    }
    uint8_t buffer[kHeader + kRecord];
    size_t nBytes = 0;
    if (bFresh) {
        LProcessListHeader().Encode(buffer);
        nBytes = kHeader;
    }
    item.Encode(buffer + nBytes);
    nBytes += kRecord;
    bool bOk = file.Seek(nPos) && file.Write(buffer, nBytes) && file.Truncate() && file.Sync();
    if (!bOk) {
        // What did not reach the disk whole must not be mistaken for a job.
        if (file.Seek(bFresh ? 0 : nPos) && file.Truncate())
            file.Sync();
        return false;
    }
    // A file that had no valid content may be new: its name must reach the
    // disk too, or the synced record could vanish with it.
    if (bFresh)
        return SyncFolderOf(path);
    return true;
}

bool LProcessListFile::WriteHeader(const std::string& path, const LProcessListHeader& header)
{
    LFile file;
    if (!OpenData(file, path, LFile::kReadWrite, LFile::kOpenExisting))
        return false;
    if (file.GetFileSizeBytes() < kHeader)
        return false;
    uint8_t bytes[kHeader];
    header.Encode(bytes);
    return file.Seek(0) && file.Write(bytes, kHeader) && file.Sync();
}

bool LProcessListFile::Rewrite(const std::string& path, const LProcessListHeader& header,
    const std::function<bool(uint64_t, const SendJobItem&)>& keep, WhenEmpty whenEmpty, uint64_t* pRemoved)
{
    *pRemoved = 0;
    LFile in;
    LProcessListHeader old;
    uint64_t nSize = 0;
    Status status = OpenAndClassify(in, path, &old, &nSize);
    if (status == Status::Missing || status == Status::Empty)
        return true;
    if (status != Status::Ok)
        return false;
    const uint64_t nRecords = (nSize - kHeader) / kRecord;

    // The kept records are few (a queue of dictations), so the new file is
    // built whole and handed to the one atomic writer.
    std::vector<uint8_t> kept(kHeader);
    header.Encode(kept.data());
    std::vector<uint8_t> chunk(kChunkRecords * kRecord);
    for (uint64_t nDone = 0; nDone < nRecords;) {
        const size_t nCount = static_cast<size_t>(std::min<uint64_t>(kChunkRecords, nRecords - nDone));
        if (in.Read(chunk.data(), nCount * kRecord) != nCount * kRecord) {
            *pRemoved = 0;
            return false;
        }
        for (size_t i = 0; i < nCount; ++i) {
            const uint8_t* p = chunk.data() + i * kRecord;
            if (keep(nDone + i, SendJobItem::Decode(p)))
                kept.insert(kept.end(), p, p + kRecord);
            else
                ++*pRemoved;
        }
        nDone += nCount;
    }
    in.Close();
    if (*pRemoved == 0)
        return true;
    if (kept.size() == kHeader && whenEmpty == WhenEmpty::ZeroBytes) {
        // Nothing left: the empty file, cut in one step.
        LFile file;
        return OpenData(file, path, LFile::kWrite, LFile::kOpenExisting) && file.Truncate() && file.Sync();
    }
    if (!WriteFileAtomic(path, kept.data(), kept.size()))
        return false;
    // The rename must be on the disk before anything is appended to the new
    // file, or a power cut could bring back the old one without the append.
    SyncFolderOf(path);
    return true;
}
