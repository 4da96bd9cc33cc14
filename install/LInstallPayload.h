// The self-installing program file: the payload files back to back from
// offset 0 (the first is the program itself), then one 32-bit little-endian
// size per entry of the file table, the sum of every payload byte modulo 2^32,
// and a marker saying what the file is. The table comes from outside (a
// download), so it is checked whole before a byte of it is trusted.
// Stateless functions, callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class LProgressReporter;

inline constexpr uint32_t kInstallMarker = 0x0F0FF0F0u;
inline constexpr uint32_t kUninstallMarker = 0xF0F00F0Fu;
inline constexpr size_t kMaxInstallEntries = 128;

// The names the payload's entries are installed under, in table order; the
// first is the program.
const std::vector<std::string>& GetInstallFileTable();

// The last 4 bytes of a file as a little-endian number; false when the file
// cannot be read or is shorter than 4 bytes.
bool ReadInstallMarker(const std::string& path, uint32_t* pMarker);

struct LInstallTable {
    std::vector<int32_t> sizes; // as stored, one per entry; <= 0: the entry is absent
    uint32_t uChecksum = 0;
    uint64_t nPayloadBytes = 0; // the sum of the positive sizes
};

// Takes the table apart from the last (nEntries + 2) * 4 bytes of a file of
// fileSize bytes. Refuses (false, with a sentence in *pError) a marker other
// than kInstallMarker, more than kMaxInstallEntries entries, a file too short
// to hold the table, and sizes whose sum is not exactly the bytes before it.
bool ParseInstallTable(
    const uint8_t* pTail, size_t nTail, uint64_t fileSize, size_t nEntries, LInstallTable* pTable, std::string* pError);
// The same, read from a file.
bool ReadInstallTable(const std::string& path, size_t nEntries, LInstallTable* pTable, std::string* pError);

// Adds up the payload bytes of the file and compares with the table's sum;
// false with *pError on a mismatch or a read error. pProgress (may be null)
// can stop it (*pbCancelled then true).
bool VerifyInstallChecksum(const std::string& path, const LInstallTable& table, LProgressReporter* pProgress,
    bool* pbCancelled, std::string* pError);

// Writes a setup file: the inputs back to back in order ("" is an absent
// entry, size 0), the table, the sum and kInstallMarker. The output appears
// whole or not at all, executable (0755). False with *pError when an input
// cannot be read, is larger than 2^31 - 1 bytes, or there are more than
// kMaxInstallEntries.
bool PackSetupFile(const std::vector<std::string>& inputs, const std::string& output, std::string* pError);
