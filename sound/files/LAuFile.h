// Opens Sun/NeXT AU files (".au"): a big-endian header of at least 24 bytes
// (".snd", data offset, data size, encoding, rate, channels), then the
// samples. Stateless factory, any thread; the source belongs to one thread at
// a time.
#pragma once

#include "sound/LSoundSourceBase.h"

#include <string>

class LAuFile {
public:
    // AU encodings this reader takes.
    enum Encoding : uint32_t { kMuLaw8 = 1, kLinear8 = 2, kLinear16 = 3, kALaw8 = 27 };

    // Never empty: a file that cannot be opened gives a placeholder with
    // error 4, a bad header (short, not ".snd", data offset inside the header
    // or past the end, channels outside 1..255, rate outside 1..196000) error
    // 3, another encoding error 5. A data size of 0xFFFFFFFF runs to the end
    // of the file.
    static LSoundSourceRef OpenSource(const std::string& path);
};
