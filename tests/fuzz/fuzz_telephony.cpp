// Fuzz target of the telephony and legacy readers. The first byte picks the
// reader (AU, AIFF, Dialogic VOX, raw GSM, GSM WAV through the WAV reader,
// G.711 mu-law or A-law raw); the rest becomes a file in a private temporary
// folder, which is read whole (stated lengths capped: a hostile header may
// claim gigabytes of silence), in odd pieces, seeked in and removed.
#include "sound/LAifFile.h"
#include "sound/LAuFile.h"
#include "sound/LGSMFileSource.h"
#include "sound/LRawCoding.h"
#include "sound/LRawFile.h"
#include "sound/LWaveFile.h"

#include "tests/fuzz/FuzzTempDir.h"
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

const std::string& TempFolder()
{
    static const std::string folder = [] {
        static const FuzzTempDir tmp("fuzz_telephony");
        return tmp.Path();
    }();
    return folder;
}

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

void Exercise(LSoundSourceBase& source, size_t nFileBytes)
{
    // A stated data size (AU, AIFF) is capped at what the file holds: no
    // coding here gives more than 5 frames a byte.
    if (source.GetLength() > static_cast<int64_t>(nFileBytes) * 8 + 4096)
        std::abort();
    const int64_t nLength = std::min<int64_t>(source.GetLength(), 30000);
    std::vector<int32_t> buffer(size_t { 4096 } * source.NumChannels());
    for (int64_t n = 0; n < nLength; n += 4096)
        source.Read(buffer.data(), 4096);
    for (int64_t nAt : { int64_t { -100 }, nLength / 2, nLength + 5, int64_t { 1 }, nLength - 3 }) {
        source.Seek(nAt);
        source.Read(buffer.data(), 333);
        source.Read(buffer.data(), 1);
    }
    (void)source.GetLength();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 1)
        return 0;
    const std::string path = TempFolder() + "/input";
    FILE* pFile = std::fopen(path.c_str(), "wb");
    if (!pFile)
        return 0;
    std::fwrite(pData + 1, 1, nSize - 1, pFile);
    std::fclose(pFile);
    {
        LSoundSourceRef source = Open(pData[0], path);
        Exercise(*source, nSize - 1);
    }
    ::unlink(path.c_str());
    return 0;
}
