// SHA-256 through OpenSSL, so that the layers above can tell whether bytes
// are the ones that were packed without linking OpenSSL themselves. One
// object per stream; any thread.
#pragma once

#include <cstddef>
#include <string>

struct evp_md_ctx_st;

class LSha256 {
public:
    LSha256();
    ~LSha256();
    LSha256(const LSha256&) = delete;
    LSha256& operator=(const LSha256&) = delete;

    void Update(const void* pData, size_t nBytes);
    // The digest as 64 lowercase hexadecimal digits, then starts afresh.
    // Empty when OpenSSL failed at any step: such a digest matches nothing.
    std::string FinalHex();

private:
    evp_md_ctx_st* m_pContext = nullptr;
    bool m_bOk = false;
};
