#include "send/LDctReader.h"

#include "send/LBlowFish.h"
#include "send/LDictationSaveAsDct.h"

#include <algorithm>

namespace {

uint64_t RoundUp8(uint64_t n)
{
    return (n + 7) & ~static_cast<uint64_t>(7);
}

} // namespace

bool LDctReader::Open(const std::string& path)
{
    m_nPos = 0;
    m_nSize = 0;
    if (!OpenFileRetry(m_file, path, LFile::kRead, LFile::kShareRead, 200, LFile::kOpenExisting))
        return false;
    m_nSize = m_file.GetFileSizeBytes();
    return true;
}

bool LDctReader::Bytes(void* pOut, uint64_t nBytes)
{
    if (nBytes > Remaining())
        return false;
    if (m_file.Read(pOut, static_cast<size_t>(nBytes)) != nBytes)
        return false;
    m_nPos += nBytes;
    return true;
}

bool LDctReader::U8(uint8_t* pOut)
{
    return Bytes(pOut, 1);
}

bool LDctReader::U32(uint32_t* pOut)
{
    uint8_t b[4];
    if (!Bytes(b, 4))
        return false;
    *pOut = b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<uint32_t>(b[3]) << 24);
    return true;
}

bool LDctReader::ShortString(std::string* pOut)
{
    uint8_t n = 0;
    if (!U8(&n))
        return false;
    std::string text(n, '\0');
    if (!Bytes(text.data(), n))
        return false;
    *pOut = std::move(text);
    return true;
}

bool LDctReader::Skip(uint64_t nBytes)
{
    if (nBytes > Remaining() || !m_file.Seek(m_nPos + nBytes))
        return false;
    m_nPos += nBytes;
    return true;
}

LDctReader::Result LDctReader::ReadHeader(LDctHeader* pHeader)
{
    uint8_t b[kDctHeaderBytes];
    if (!m_file.Seek(0) || (m_nPos = 0, !Bytes(b, sizeof b)))
        return Result::ReadFailed;
    auto u32 = [&b](size_t at) {
        return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
    };
    pHeader->uVersion = static_cast<uint16_t>(b[0] | (b[1] << 8));
    pHeader->uFileLength = u32(2);
    pHeader->uFlags = u32(6);
    pHeader->uUserID = u32(10);
    pHeader->uFileNumber = u32(14);
    if (pHeader->uVersion >= 3)
        return Result::BadVersion;
    if (m_nSize != pHeader->uFileLength)
        return Result::LengthMismatch;
    return Result::Ok;
}

LDctReader::Result LDctReader::ReadBody(const LDctHeader& header, const LBlowFish* pCipher, LDctContents* pContents)
{
    LDctContents c;
    c.header = header;
    const bool bEncrypted = (header.uFlags & kDctFlagEncrypted) != 0;
    // A stored piece: its real length, then as many bytes, or whole blocks of them when encrypted.
    auto piece = [&](uint32_t nReal, LDctPiece* pPiece) {
        pPiece->nOffset = m_nPos;
        pPiece->nReal = nReal;
        pPiece->nStored = bEncrypted ? RoundUp8(nReal) : nReal;
        return pPiece->nStored <= Remaining();
    };
    if (!m_file.Seek(kDctHeaderBytes))
        return Result::Corrupt;
    m_nPos = kDctHeaderBytes;
    if (bEncrypted && !U8(&c.uKeyCheck))
        return Result::Corrupt;
    if (!U32(&c.tCreated) || !ShortString(&c.szName) || !ShortString(&c.szUserName) || !ShortString(&c.szUserEmail))
        return Result::Corrupt;
    c.details.resize(8);
    for (std::string& detail : c.details)
        if (!ShortString(&detail))
            return Result::Corrupt;
    uint32_t nNotes = 0;
    LDctPiece notes;
    if (!U8(&c.uPriority) || !U32(&nNotes))
        return Result::Corrupt;
    if (nNotes > kDctMaxNotesBytes)
        return Result::NotesTooLong;
    if (!piece(nNotes, &notes))
        return Result::Corrupt;
    c.notes.resize(static_cast<size_t>(notes.nStored));
    if (!Bytes(c.notes.data(), notes.nStored))
        return Result::Corrupt;
    if (bEncrypted && pCipher)
        pCipher->Decrypt(reinterpret_cast<uint8_t*>(c.notes.data()), c.notes.size());
    c.notes.resize(nNotes);
    if (header.uFlags & kDctFlagAttachments) {
        uint8_t nCount = 0;
        if (!U8(&nCount))
            return Result::Corrupt;
        for (unsigned i = 0; i < nCount; ++i) {
            LDctAttachment attachment;
            uint32_t nSize = 0;
            if (!ShortString(&attachment.szName) || !U32(&nSize) || !piece(nSize, &attachment.data)
                || !Skip(attachment.data.nStored))
                return Result::Corrupt;
            c.attachments.push_back(std::move(attachment));
        }
    }
    if (header.uVersion != 0) {
        uint8_t bAudio = 0;
        uint32_t nAudio = 0;
        if (!U8(&bAudio) || bAudio == 0 || !U32(&nAudio) || !piece(nAudio, &c.audio))
            return Result::Corrupt;
    } else {
        // Without a length the audio is the rest of the file.
        c.audio.nOffset = m_nPos;
        c.audio.nStored = Remaining();
        if (Remaining() > UINT32_MAX)
            return Result::Corrupt;
        c.audio.nReal = static_cast<uint32_t>(Remaining());
    }
    *pContents = std::move(c);
    return Result::Ok;
}

bool LDctReader::CopyPiece(
    const LDctPiece& piece, const LBlowFish* pCipher, LFile& out, bool (*pAbort)(void*), void* pContext)
{
    if (piece.nOffset > m_nSize || piece.nStored > m_nSize - piece.nOffset || piece.nReal > piece.nStored
        || !m_file.Seek(piece.nOffset))
        return false;
    m_nPos = piece.nOffset;
    std::vector<uint8_t> block(kDctBlockBytes);
    uint64_t nLeft = piece.nReal;
    for (uint64_t nStoredLeft = piece.nStored; nStoredLeft > 0;) {
        if (pAbort && pAbort(pContext))
            return false;
        const size_t n = static_cast<size_t>(std::min<uint64_t>(kDctBlockBytes, nStoredLeft));
        if (!Bytes(block.data(), n))
            return false;
        if (pCipher)
            pCipher->Decrypt(block.data(), n);
        const size_t nKeep = static_cast<size_t>(std::min<uint64_t>(n, nLeft));
        if (nKeep > 0 && !out.Write(block.data(), nKeep))
            return false;
        nLeft -= nKeep;
        nStoredLeft -= n;
    }
    return true;
}
