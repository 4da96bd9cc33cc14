// The send queue's file, "sending.dat": an 8-byte header then fixed-size job
// records, oldest first. Every operation runs under one lock file beside it
// that is never renamed, so a writer never appends to a file that a rename
// has replaced; records are appended and synced before an Add succeeds, and
// the file is rewritten only through a temporary file and a rename. Static
// functions, callable from any thread; the caller holds the Lock.
#pragma once

#include "foundation/LFile.h"
#include "send/SendJobItem.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct LProcessListHeader {
    static constexpr size_t kSize = 8;
    static constexpr uint16_t kVersion = 1;

    uint16_t uVersion = kVersion;
    // Times work on the head job began and did not end (see LProcessListThread).
    uint16_t uFailCount = 0;
    uint32_t uSizeOfT = SendJobItem::kSize;

    void Encode(uint8_t* pOut) const;
    static LProcessListHeader Decode(const uint8_t* pIn);
    bool IsValid() const { return uVersion == kVersion && uSizeOfT == SendJobItem::kSize; }
};

class LProcessListFile {
public:
    enum class Status {
        Ok, // header valid; zero or more whole records
        Missing, // no file
        Empty, // zero bytes: the state after the last job
        ShortHeader, // 1 to 7 bytes
        WrongVersion,
        WrongRecordSize,
        PartialHead, // a valid header and 1 to kSize - 1 bytes of a first record
        Unreadable, // cannot be opened or read (permissions, I/O)
    };
    static const char* StatusText(Status status);

    // Held for every operation: exclusive by writers, shared by readers.
    class Lock {
    public:
        Lock() = default;
        Lock(const Lock&) = delete;
        Lock& operator=(const Lock&) = delete;
        // Waits (retrying, as for a shared file) up to the time-out.
        bool Take(const std::string& queuePath, bool bExclusive, unsigned timeoutMs);
        void Release() { m_file.Close(); }
        bool IsHeld() const { return m_file.IsOpen(); }

    private:
        LFile m_file;
    };

    static std::string LockPathFor(const std::string& queuePath) { return queuePath + ".lock"; }

    // The header, the first record when there is one, and the number of whole
    // records (a partial record after whole ones is not counted).
    static Status ReadHead(
        const std::string& path, LProcessListHeader* pHeader, SendJobItem* pHead, uint64_t* pRecords);
    // Every whole record, in order, to the visitor (false from it stops the
    // walk); *pTrailing gets the bytes of a partial record at the end.
    static Status Walk(const std::string& path, LProcessListHeader* pHeader,
        const std::function<bool(const SendJobItem&)>& visit, uint64_t* pTrailing = nullptr);

    // Appends one record and syncs it. An absent, empty or invalid file is
    // started afresh with a new header; a partial record at the end is
    // overwritten. False when it did not reach the disk (nothing is left of it).
    static bool Append(const std::string& path, const SendJobItem& item);
    // Rewrites the header in place (8 bytes at offset 0, within one sector) and syncs it.
    static bool WriteHeader(const std::string& path, const LProcessListHeader& header);
    // Keeps the records that keep() accepts (their bytes unchanged) under the
    // given header, through the temporary file and a rename; with none kept
    // the file is the header alone, or, after the last job finished, zero
    // bytes long. *pRemoved gets the records dropped. Nothing is written when
    // keep() accepts them all.
    enum class WhenEmpty { KeepHeader, ZeroBytes };
    static bool Rewrite(const std::string& path, const LProcessListHeader& header,
        const std::function<bool(uint64_t nIndex, const SendJobItem&)>& keep, WhenEmpty whenEmpty, uint64_t* pRemoved);
};
