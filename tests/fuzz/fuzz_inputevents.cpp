// Arbitrary bytes from the kernel's joystick and input-event nodes, cut into
// records in pieces of any size (the first byte gives the piece length): the
// bits and events that come out stay within what the readers promise.
#include "platform/LControllerDevice.h"
#include "platform/LDictationMicrophone.h"
#include "platform/LJoystickReader.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize == 0)
        return 0;
    const size_t nPiece = 1 + pData[0] % 31;
    LRecordSplitter joystick(LJoystickReader::kEventSize), events(LDictationMicrophone::kEventSize);
    uint8_t uButtons = 0;
    size_t nRecords = 0, nEventRecords = 0;
    for (size_t nAt = 1; nAt < nSize; nAt += nPiece) {
        const size_t n = std::min(nPiece, nSize - nAt);
        joystick.Add(pData + nAt, n);
        for (size_t i = 0; i < joystick.Count(); ++i, ++nRecords)
            uButtons = LJoystickReader::ApplyEvent(uButtons, joystick.Record(i));
        joystick.Consume();
        events.Add(pData + nAt, n);
        for (size_t i = 0; i < events.Count(); ++i, ++nEventRecords) {
            const int nEvent = LDictationMicrophone::EventOfRecord(events.Record(i));
            bool bKnown = nEvent == -1;
            for (const auto& entry : LDictationMicrophone::Table())
                bKnown = bKnown || nEvent == entry.nPressed || nEvent == entry.nReleased;
            if (!bKnown)
                std::abort();
        }
        events.Consume();
    }
    if (uButtons > 15 || nRecords != (nSize - 1) / LJoystickReader::kEventSize
        || nEventRecords != (nSize - 1) / LDictationMicrophone::kEventSize)
        std::abort();
    return 0;
}
