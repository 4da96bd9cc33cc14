#include "dictation/LDictationHeader.h"

#include <cstring>

namespace {

void Put32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t Get32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

} // namespace

void DictationHeader::ToBytes(uint8_t* p) const
{
    Put32(p + 0, uVersion);
    Put32(p + 4, uUserID);
    Put32(p + 8, uFileNumber);
    Put32(p + 12, tCreated);
    Put32(p + 16, tRecorded);
    Put32(p + 20, tSent);
    std::memcpy(p + 24, szName, 96);
    Put32(p + 120, uStatusTime);
    std::memcpy(p + 124, szSendStatus, 64);
    p[188] = uSendTo;
    p[189] = uPriority;
    p[190] = uChannels;
    p[191] = nAttachments;
    p[192] = static_cast<uint8_t>(uDuration);
    p[193] = static_cast<uint8_t>(uDuration >> 8);
    Put32(p + 194, uSampleRate);
    Put32(p + 198, uNotesLength);
    std::memcpy(p + 202, reserved, 16);
    Put32(p + 218, uMagic);
}

void DictationHeader::FromBytes(const uint8_t* p)
{
    uVersion = Get32(p + 0);
    uUserID = Get32(p + 4);
    uFileNumber = Get32(p + 8);
    tCreated = Get32(p + 12);
    tRecorded = Get32(p + 16);
    tSent = Get32(p + 20);
    std::memcpy(szName, p + 24, 96);
    uStatusTime = Get32(p + 120);
    std::memcpy(szSendStatus, p + 124, 64);
    uSendTo = p[188];
    uPriority = p[189];
    uChannels = p[190];
    nAttachments = p[191];
    uDuration = static_cast<uint16_t>(p[192] | (p[193] << 8));
    uSampleRate = Get32(p + 194);
    uNotesLength = Get32(p + 198);
    std::memcpy(reserved, p + 202, 16);
    uMagic = Get32(p + 218);
}

const char* PriorityText(uint8_t uPriority)
{
    if (uPriority >= 81)
        return "High";
    if (uPriority >= 35)
        return "Normal";
    return "Low";
}
