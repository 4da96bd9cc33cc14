// What the fuzz targets share: one private folder per run under $TMPDIR, removed when the run ends (long
// fuzzing sessions leave nothing behind), the input written into it, and a source read every way.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

// The run's one private folder; with bHome the settings and data of the run live in it too.
inline const std::string& FuzzFolder(const char* szName, bool bHome = false)
{
    struct Folder {
        std::string path;
        ~Folder()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    };
    static const Folder folder = [&] {
        const char* szTmp = std::getenv("TMPDIR");
        std::string pattern = std::string(szTmp && *szTmp ? szTmp : "/tmp") + "/" + szName + ".XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort(); // never fall back to a shared folder
        if (bHome) {
            setenv("XDG_CONFIG_HOME", (pattern + "/config").c_str(), 1);
            setenv("XDG_DATA_HOME", (pattern + "/data").c_str(), 1);
            setenv("TAVRINE_MACHINE_CONFIG", (pattern + "/machine.conf").c_str(), 1);
        }
        return Folder { pattern };
    }();
    return folder.path;
}

inline std::string FuzzWrite(const std::string& path, const uint8_t* pData, size_t nSize)
{
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || (nSize && std::fwrite(pData, 1, nSize, f) != nSize))
        std::abort();
    std::fclose(f);
    return path;
}

inline uint32_t FuzzLe32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Reads a source whole (its stated length capped at nCap), in odd pieces and after seeks. No coding gives
// more than 5 frames a byte: a longer length came from a header's size, which must be capped at the file.
template <class Source> void FuzzReadSource(Source& source, size_t nFileBytes, int64_t nCap)
{
    if (source.GetLength() > static_cast<int64_t>(nFileBytes) * 8 + 4096)
        std::abort();
    const int64_t nLength = std::min<int64_t>(source.GetLength(), nCap);
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
