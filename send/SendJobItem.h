// One job of the send queue as it lies in the queue file: a send job names a
// dictation's header file; a job with an empty path is a cancel-and-recover
// notice for a dictation given by user ID and file number. A plain value,
// copied freely between threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct SendJobItem {
    static constexpr size_t kPathSize = 260;
    // Bytes of one record in the file: the path, the recipient, the two numbers.
    static constexpr size_t kSize = kPathSize + 1 + 4 + 4;
    // The recipient is taken from the dictation itself.
    static constexpr uint8_t kSendToDictation = 0xFF;

    char szDictationPath[kPathSize] = {};
    uint8_t uSendTo = kSendToDictation;
    uint32_t uUserID = 0;
    uint32_t uFileNumber = 0;

    // A send job for the dictation's header file; false when the path does not
    // fit the record (a cut path would name another file).
    static bool MakeSendJob(std::string_view path, SendJobItem* pItem);
    static SendJobItem MakeNotice(uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber);

    bool IsNotice() const { return szDictationPath[0] == '\0'; }
    // The path up to its terminator, never past the field.
    std::string_view DictationPath() const;

    // Little-endian, no padding: exactly kSize bytes.
    void Encode(uint8_t* pOut) const;
    // Any bytes make a record; the path is ended within its field.
    static SendJobItem Decode(const uint8_t* pIn);

    // The queue's equality, from the stored record's side: a send job matches
    // by path, byte for byte; a notice by user ID and file number.
    bool Matches(const SendJobItem& other) const;
};
