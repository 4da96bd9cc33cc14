// Arbitrary bytes from a HID device: as a report descriptor, as the reads of
// a foot pedal (the first byte of each piece its length) and as the key
// reports of the Voice Input Station, each checked against the rules.
#include "platform/LControllerDevice.h"
#include "platform/LHidPedal.h"
#include "platform/LVoiceStation.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    LHidDescriptorInfo info = ParseHidDescriptor(pData, nSize);
    if (!info.bFound && (info.uUsage || info.uUsagePage))
        std::abort();

    LPedalStride stride;
    for (size_t nAt = 0; nAt < nSize;) {
        const size_t nPiece = std::min<size_t>(pData[nAt] % 49, nSize - nAt - 1);
        const uint8_t* pPiece = pData + nAt + 1;
        const uint8_t uBefore = stride.Last();
        const int nKnown = stride.Stride();
        const uint8_t uNow = stride.Take(pPiece, nPiece);
        const int s = stride.Stride();
        if ((nKnown && s != nKnown) || (s != 0 && s != 2 && s != 3))
            std::abort();
        if (uNow != uBefore && (s == 0 || nPiece < size_t(s) || uNow != pPiece[nPiece - size_t(s) + 1]))
            std::abort();
        nAt += 1 + nPiece;
    }

    LVoiceStationKeys keys;
    uint8_t uPrevious = 0;
    for (size_t i = 0; i < nSize; ++i) {
        uint8_t uKeys = 0;
        if (!LVoiceStation::KeyBits(pData + i, nSize - i, (pData[0] & 1) != 0, &uKeys))
            break;
        int codes[2];
        const int nCodes = keys.Take(uKeys, codes);
        if (nCodes < 0 || nCodes > 2 || (uKeys == uPrevious && nCodes != 0))
            std::abort();
        for (int c = 0; c < nCodes; ++c)
            if (codes[c] < 0 || codes[c] > 7 || codes[c] == 6 || (codes[c] == 7 && c != nCodes - 1))
                std::abort();
        uPrevious = uKeys;
    }
    return 0;
}
