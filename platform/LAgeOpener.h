// Opens an age file sealed to X25519 recipients as its bytes arrive: the
// header is parsed and its MAC checked before any payload is touched, and
// each 64 KiB chunk is handed on only once its tag is verified. What came
// out before a later failure is the caller's to discard. One object per
// file; one thread.
#pragma once

#include "platform/LAgeCrypto.h"

#include <cstdint>
#include <vector>

class LAgeOpener {
public:
    enum class Result {
        Ok,
        NotAge, // not an age file at all
        BadHeader, // an age header that breaks the format's grammar
        NoMatch, // sealed, but to none of the identities given
        HeaderChanged, // the header's MAC does not match: a changed byte
        PayloadChanged, // a chunk fails its tag, or bytes follow the end
        Truncated, // ends before the last chunk
    };

    explicit LAgeOpener(std::vector<LAgeKey32> identities);
    ~LAgeOpener();
    LAgeOpener(const LAgeOpener&) = delete;
    LAgeOpener& operator=(const LAgeOpener&) = delete;

    // Appends the plaintext verified so far to pOut. Ok while all is well;
    // an error is final and every later call returns it.
    Result Feed(const uint8_t* pData, size_t nData, std::vector<uint8_t>* pOut);
    // The input has ended: checks that the last chunk was there.
    Result Finish(std::vector<uint8_t>* pOut);

private:
    enum class Stage { Header, Nonce, Payload, Done };
    Result ReadHeader(bool bEnded);
    bool OpenChunk(const uint8_t* pChunk, size_t nChunk, bool bLast, std::vector<uint8_t>* pOut);
    Result Fail(Result result);

    std::vector<LAgeKey32> m_identities;
    std::vector<uint8_t> m_buffer;
    size_t m_uStart = 0; // bytes of m_buffer already used
    LAgeKey32 m_fileKeyAndPad {};
    LAgeKey32 m_payloadKey {};
    uint64_t m_uCounter = 0;
    bool m_bFullTried = false; // the full chunk waiting failed as one of the middle
    Stage m_stage = Stage::Header;
    Result m_error = Result::Ok;
};
