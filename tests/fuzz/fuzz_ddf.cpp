// Loads arbitrary bytes as a dictation header file and saves what loaded.
#include "dictation/LDictation.h"
#include "tests/fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string path = FuzzWrite(FuzzFolder("fuzz-ddf", true) + "/7.ddf", pData, nSize);
    LDictation d(path);
    // A list's row reads its records late: it must come to the same document.
    LDictation row(path, LDictation::Reading::Row);
    if (row.IsValid() != d.IsValid())
        std::abort();
    if (d.IsValid()) {
        if (row.GetTotalSamples() != d.GetTotalSamples() || row.Header().uDuration != d.Header().uDuration
            || row.GetCutList().Count() != d.GetCutList().Count())
            std::abort();
        (void)d.GetNotesLine();
        (void)d.GetTotalSamples();
        if (!d.Save())
            std::abort();
        LDictation again(path);
        if (!again.IsValid() || again.GetNotes() != d.GetNotes()
            || again.GetCutList().Count() != d.GetCutList().Count())
            std::abort();
    }
    return 0;
}
