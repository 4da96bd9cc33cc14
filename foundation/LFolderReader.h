// The names of one folder read in large batches straight from the kernel:
// a Current folder can hold millions of cut files beside its headers, and
// the list skips those by name, so each entry costs no allocation and no
// stat. Used by one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LFolderReader {
public:
    struct Entry {
        std::string_view name; // ends in a NUL in place; valid until the next call of Next
        unsigned char type; // DT_REG, DT_DIR, ...; DT_UNKNOWN where the file system does not say
    };

    explicit LFolderReader(const std::string& folder);
    ~LFolderReader();
    LFolderReader(const LFolderReader&) = delete;
    LFolderReader& operator=(const LFolderReader&) = delete;

    bool IsOpen() const { return m_fd >= 0; }
    // The folder's descriptor, for calls relative to it (fstatat, unlinkat).
    int Fd() const { return m_fd; }
    // The next entry other than "." and ".."; false at the end or on an error.
    bool Next(Entry* pEntry);

private:
    int m_fd = -1;
    std::vector<std::byte> m_buffer;
    size_t m_nAt = 0;
    size_t m_nEnd = 0;
};
