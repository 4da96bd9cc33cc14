// Reads the structure of a DCT transfer file through a bounds-checked cursor:
// every length is checked against the bytes that remain, and a short read is
// a corrupt file, never data left from an earlier read. Attachments and the
// audio are located, not loaded, so a hostile size costs nothing. Used by the
// loader and by tavrine-cli's reader; one thread at a time.
#pragma once

#include "foundation/LFile.h"

#include <cstdint>
#include <string>
#include <vector>

class LBlowFish;

struct LDctHeader {
    uint16_t uVersion = 0;
    uint32_t uFileLength = 0;
    uint32_t uFlags = 0;
    uint32_t uUserID = 0;
    uint32_t uFileNumber = 0;
};

// A piece of the file: where its stored bytes begin, how many are stored
// (rounded up to whole blocks when encrypted) and how many are real.
struct LDctPiece {
    uint64_t nOffset = 0;
    uint64_t nStored = 0;
    uint32_t nReal = 0;
};

struct LDctAttachment {
    std::string szName; // the stored extension (with its dot) or, from version 3 on, file name
    LDctPiece data;
};

struct LDctContents {
    LDctHeader header;
    uint8_t uKeyCheck = 0; // encrypted files only
    uint32_t tCreated = 0;
    std::string szName;
    std::string szUserName;
    std::string szUserEmail;
    std::vector<std::string> details; // Company, Phone, Cell, Fax, Address1 to Address4
    uint8_t uPriority = 0;
    std::string notes; // decrypted when a key was given, else as stored (cut to its length)
    std::vector<LDctAttachment> attachments;
    LDctPiece audio;
};

class LDctReader {
public:
    enum class Result {
        Ok,
        ReadFailed, // shorter than its header, or unreadable
        BadVersion, // version 3 or above
        LengthMismatch, // the file's size is not the header's file length
        Corrupt, // a length beyond what remains, or a short read
        NotesTooLong, // notes over kDctMaxNotesBytes
    };

    // Opens for reading (shared); false when the file cannot be opened.
    bool Open(const std::string& path);
    // The 18-byte header, its version and the file length checked.
    Result ReadHeader(LDctHeader* pHeader);
    // Everything after the header. An encrypted file's notes are decrypted
    // with pCipher when given.
    Result ReadBody(const LDctHeader& header, const LBlowFish* pCipher, LDctContents* pContents);

    // Copies a piece's real bytes to the file in blocks, decrypting with
    // pCipher when given; pAbort is asked between blocks. False on a read
    // or write error or an abort.
    bool CopyPiece(const LDctPiece& piece, const LBlowFish* pCipher, LFile& out, bool (*pAbort)(void*) = nullptr,
        void* pContext = nullptr);

    uint64_t FileSize() const { return m_nSize; }

private:
    bool Bytes(void* pOut, uint64_t nBytes);
    bool U8(uint8_t* pOut);
    bool U32(uint32_t* pOut);
    bool ShortString(std::string* pOut);
    bool Skip(uint64_t nBytes);
    uint64_t Remaining() const { return m_nSize - m_nPos; }

    LFile m_file;
    uint64_t m_nSize = 0;
    uint64_t m_nPos = 0;
};
