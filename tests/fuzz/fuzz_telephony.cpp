// Fuzz target of the telephony and legacy readers. The first byte picks the
// reader (AU, AIFF, Dialogic VOX, raw GSM, GSM WAV through the WAV reader,
// G.711 mu-law or A-law raw); the rest becomes a file, read, seeked in and removed.
#include "sound/files/LAifFile.h"
#include "sound/files/LAuFile.h"
#include "sound/files/LGSMFileSource.h"
#include "sound/files/LRawCoding.h"
#include "sound/files/LRawFile.h"
#include "sound/files/LWaveFile.h"
#include "tests/fuzz/FuzzTempDir.h"

namespace {

LSoundSourceRef Open(uint8_t uKind, const std::string& path)
{
    switch (uKind % 7) {
    case 0:
        return LAuFile::OpenSource(path);
    case 1:
        return LAifFile::OpenSource(path);
    case 2:
        return LRawFile::OpenSource(path, LRawSettings { 8000, 1, kRawDialogicAdpcm });
    case 3:
        return MakeSoundRef<LGSMFileSource>(path);
    case 4:
        return LWaveFile::OpenSource(path);
    case 5:
        return LRawFile::OpenSource(path, LRawSettings { 8000, 2, kRawMuLaw });
    default:
        return LRawFile::OpenSource(path, LRawSettings { 8000, 1, kRawALaw });
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::string path = FuzzWrite(FuzzFolder("fuzz_telephony") + "/input", pData + 1, nSize - 1);
    FuzzReadSource(*Open(pData[0], path), nSize - 1, 30000);
    return 0;
}
