// Loads arbitrary bytes as a dictation header file and saves what loaded.
#include "dictation/LDictation.h"

#include "tests/fuzz/FuzzTempDir.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string PrivateFolder()
{
    static std::string folder = [] {
        static const FuzzTempDir tmp("fuzz-ddf");
        std::string dir = tmp.Path();
        // Settings and data of the fuzz run stay inside its own folder.
        setenv("XDG_CONFIG_HOME", (dir + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (dir + "/data").c_str(), 1);
        return dir;
    }();
    return folder;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::string path = PrivateFolder() + "/7.ddf";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(pData, 1, nSize, f);
    std::fclose(f);
    {
        LDictation d(path);
        if (d.IsValid()) {
            (void)d.GetNotesLine();
            (void)d.GetTotalSamples();
            if (!d.Save())
                std::abort();
            LDictation again(path);
            if (!again.IsValid() || again.GetNotes() != d.GetNotes()
                || again.GetCutList().Count() != d.GetCutList().Count())
                std::abort();
        }
    }
    unlink(path.c_str());
    return 0;
}
