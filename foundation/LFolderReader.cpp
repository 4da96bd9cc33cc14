#include "foundation/LFolderReader.h"

#include <cstddef>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// A few thousand entries per call: the kernel's work per entry is the same
// at any size, but each call has its own cost.
constexpr size_t kBufferBytes = 256 * 1024;

// The kernel's record, which glibc's dirent does not describe for getdents64.
struct KernelDirent64 {
    uint64_t d_ino;
    int64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[1];
};

} // namespace

LFolderReader::LFolderReader(const std::string& folder)
    : m_fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
{
    if (m_fd >= 0)
        m_buffer.resize(kBufferBytes);
}

LFolderReader::~LFolderReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool LFolderReader::Next(Entry* pEntry)
{
    while (m_fd >= 0) {
        if (m_nAt >= m_nEnd) {
            const long n = ::syscall(SYS_getdents64, m_fd, m_buffer.data(), m_buffer.size());
            if (n <= 0)
                return false;
            m_nAt = 0;
            m_nEnd = static_cast<size_t>(n);
        }
        const auto* p = reinterpret_cast<const KernelDirent64*>(m_buffer.data() + m_nAt);
        const size_t nSpace = m_nEnd - m_nAt;
        if (nSpace <= offsetof(KernelDirent64, d_name) || p->d_reclen <= offsetof(KernelDirent64, d_name)
            || p->d_reclen > nSpace)
            return false;
        m_nAt += p->d_reclen;
        const size_t nMax = p->d_reclen - offsetof(KernelDirent64, d_name);
        const std::string_view name(p->d_name, ::strnlen(p->d_name, nMax));
        if (name == "." || name == "..")
            continue;
        pEntry->name = name;
        pEntry->type = p->d_type;
        return true;
    }
    return false;
}
