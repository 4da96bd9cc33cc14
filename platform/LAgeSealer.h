// Seals a stream into the age format for one or more X25519 recipients: the
// header first, then the payload in 64 KiB chunks as data arrives, so a long
// recording never has to be held whole. One object per file; one thread.
#pragma once

#include "platform/LAgeCrypto.h"

#include <cstdint>
#include <vector>

class LAgeSealer {
public:
    static constexpr size_t kChunkBytes = 64 * 1024;

    // Makes a fresh file key and appends the header and payload nonce to
    // pOut. False when a recipient cannot be wrapped (a key of low order)
    // or there is none.
    bool Begin(const std::vector<LAgeKey32>& recipients, std::vector<uint8_t>* pOut);
    // Appends every chunk the data completes; the last, possibly partial,
    // chunk waits for Finish, since only it carries the end mark.
    bool Write(const uint8_t* pData, size_t nData, std::vector<uint8_t>* pOut);
    bool Finish(std::vector<uint8_t>* pOut);

private:
    bool SealChunk(bool bLast, std::vector<uint8_t>* pOut);

    LAgeKey32 m_payloadKey {};
    std::vector<uint8_t> m_pending;
    uint64_t m_uCounter = 0;
    bool m_bOk = false;
};
