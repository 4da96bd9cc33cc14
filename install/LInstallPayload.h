// The self-installing program file: the payload files back to back from
// offset 0 (the first is the program itself), then one 32-bit little-endian
// size per entry, the sum of every payload byte modulo 2^32, and a marker
// saying what the file is. The entries are the file table's, then a list of
// their SHA-256 digests: a byte sum cannot tell a moved entry boundary from
// the packed files, a digest per entry can. The file comes from outside (a
// download), so it is checked whole before a byte of it is trusted.
// Stateless functions, callable from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LProgressReporter;

inline constexpr uint32_t kInstallMarker = 0x0F0FF0F0u;
inline constexpr uint32_t kUninstallMarker = 0xF0F00F0Fu;
inline constexpr size_t kMaxInstallEntries = 128;
// The last entry: one line "<64 lowercase hex digits><2 spaces><name>\n" per
// present entry of the file table, in table order, as sha256sum writes them.
inline constexpr const char* kInstallDigestListName = "SHA256SUMS";
inline constexpr size_t kMaxInstallDigestListBytes = 65536;

// The names the payload's entries are installed under, in table order; the
// first is the program.
const std::vector<std::string>& GetInstallFileTable();
// The entries of a setup file: the file table's, then the digest list.
size_t GetInstallEntryCount();

// The last 4 bytes of a file as a little-endian number; false when the file
// cannot be read or is shorter than 4 bytes.
bool ReadInstallMarker(const std::string& path, uint32_t* pMarker);

struct LInstallTable {
    std::vector<int32_t> sizes; // as stored, one per entry; <= 0: the entry is absent
    uint32_t uChecksum = 0;
    uint64_t nPayloadBytes = 0; // the sum of the positive sizes
    // After CheckSetupFile: the checked digest of each entry of the file
    // table, empty for an absent one.
    std::vector<std::string> digests;
};

// Takes the table apart from the last (nEntries + 2) * 4 bytes of a file of
// fileSize bytes. Refuses (false, with a sentence in *pError) a marker other
// than kInstallMarker, more than kMaxInstallEntries entries, a file too short
// to hold the table, and sizes whose sum is not exactly the bytes before it.
bool ParseInstallTable(
    const uint8_t* pTail, size_t nTail, uint64_t fileSize, size_t nEntries, LInstallTable* pTable, std::string* pError);
// The same, read from a file.
bool ReadInstallTable(const std::string& path, size_t nEntries, LInstallTable* pTable, std::string* pError);

// Takes apart a digest list that must name exactly the given entries, in
// their order; *pDigests gets one digest per name.
bool ParseInstallDigestList(
    std::string_view text, const std::vector<std::string>& names, std::vector<std::string>* pDigests);

// Everything that can be known of a setup file before installing from it:
// the table of the file table's entries and the digest list, the program's
// entry present, the sum of every payload byte, and each present entry's
// SHA-256 against the list. False with *pError on any disagreement or a
// read error. pProgress (may be null) can stop it (*pbCancelled then true).
bool CheckSetupFile(const std::string& path, const std::vector<std::string>& names, LProgressReporter* pProgress,
    bool* pbCancelled, LInstallTable* pTable, std::string* pError);

// Writes a setup file: one input per entry of the file table, back to back
// in order ("" is an absent entry, size 0), their digest list, the table,
// the sum and kInstallMarker. The output appears whole or not at all,
// executable (0755). False with *pError when an input cannot be read or is
// larger than 2^31 - 1 bytes, or the inputs do not match the file table.
bool PackSetupFile(const std::vector<std::string>& inputs, const std::string& output, std::string* pError);
