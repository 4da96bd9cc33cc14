// The text header of an age file: the version line, recipient stanzas and
// the MAC line, read from untrusted bytes and written back in the one
// canonical form. Holds no key; the opener and sealer own the crypto.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LAgeStanza {
    std::string type;
    std::vector<std::string> args;
    std::vector<uint8_t> body;
};

class LAgeHeader {
public:
    enum class Parse { Ok, NeedMore, NotAge, Bad };
    // Longest header read; far beyond any real list of recipients, it bounds
    // what a hostile file can make us hold.
    static constexpr size_t kMaxBytes = 64 * 1024;

    // Reads a header from the start of pData. Ok sets *pHeaderBytes to the
    // length of the whole header (its last line included) and *pMacOffset to
    // the length of the part the MAC covers ("---" included). NeedMore when
    // the bytes end inside a header shorter than kMaxBytes.
    static Parse Read(const uint8_t* pData, size_t nData, std::vector<LAgeStanza>* pStanzas, std::vector<uint8_t>* pMac,
        size_t* pMacOffset, size_t* pHeaderBytes);

    // The header up to and including "---", which the MAC covers.
    static std::string WriteUntilMac(const std::vector<LAgeStanza>& stanzas);
    // " <mac>\n", which completes it.
    static std::string WriteMacLine(const uint8_t* pMac, size_t nMac);

    static constexpr const char* kVersionLine = "age-encryption.org/v1";
};
