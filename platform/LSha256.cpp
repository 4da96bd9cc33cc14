#include "platform/LSha256.h"

#include <openssl/evp.h>

LSha256::LSha256()
    : m_pContext(EVP_MD_CTX_new())
{
    m_bOk = m_pContext && EVP_DigestInit_ex(m_pContext, EVP_sha256(), nullptr) == 1;
}

LSha256::~LSha256()
{
    EVP_MD_CTX_free(m_pContext);
}

void LSha256::Update(const void* pData, size_t nBytes)
{
    if (m_bOk && nBytes > 0)
        m_bOk = EVP_DigestUpdate(m_pContext, pData, nBytes) == 1;
}

std::string LSha256::FinalHex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int nDigest = 0;
    const bool bOk = m_bOk && EVP_DigestFinal_ex(m_pContext, digest, &nDigest) == 1 && nDigest == 32;
    m_bOk = m_pContext && EVP_DigestInit_ex(m_pContext, EVP_sha256(), nullptr) == 1;
    if (!bOk)
        return {};
    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < nDigest; ++i) {
        hex += kHex[digest[i] >> 4];
        hex += kHex[digest[i] & 15];
    }
    return hex;
}
