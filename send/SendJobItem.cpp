#include "send/SendJobItem.h"

#include <cstring>

bool SendJobItem::MakeSendJob(std::string_view path, SendJobItem* pItem)
{
    *pItem = SendJobItem();
    if (path.empty() || path.size() >= kPathSize || path.find('\0') != std::string_view::npos)
        return false;
    std::memcpy(pItem->szDictationPath, path.data(), path.size());
    return true;
}

SendJobItem SendJobItem::MakeNotice(uint8_t uSendTo, uint32_t uUserID, uint32_t uFileNumber)
{
    SendJobItem item;
    item.uSendTo = uSendTo;
    item.uUserID = uUserID;
    item.uFileNumber = uFileNumber;
    return item;
}

std::string_view SendJobItem::DictationPath() const
{
    const void* pEnd = std::memchr(szDictationPath, 0, kPathSize);
    size_t n = pEnd ? static_cast<size_t>(static_cast<const char*>(pEnd) - szDictationPath) : kPathSize;
    return std::string_view(szDictationPath, n);
}

static void PutU32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

static uint32_t GetU32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void SendJobItem::Encode(uint8_t* pOut) const
{
    std::memcpy(pOut, szDictationPath, kPathSize);
    pOut[kPathSize] = uSendTo;
    PutU32(pOut + kPathSize + 1, uUserID);
    PutU32(pOut + kPathSize + 5, uFileNumber);
}

SendJobItem SendJobItem::Decode(const uint8_t* pIn)
{
    SendJobItem item;
    std::memcpy(item.szDictationPath, pIn, kPathSize);
    item.szDictationPath[kPathSize - 1] = '\0';
    item.uSendTo = pIn[kPathSize];
    item.uUserID = GetU32(pIn + kPathSize + 1);
    item.uFileNumber = GetU32(pIn + kPathSize + 5);
    return item;
}

bool SendJobItem::Matches(const SendJobItem& other) const
{
    if (!IsNotice())
        return DictationPath() == other.DictationPath();
    return uUserID == other.uUserID && uFileNumber == other.uFileNumber;
}
