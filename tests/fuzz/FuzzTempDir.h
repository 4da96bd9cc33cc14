// A private folder for one fuzz run under $TMPDIR, removed when the run ends,
// so that long fuzzing sessions leave nothing behind; and what the targets share.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

class FuzzTempDir {
public:
    explicit FuzzTempDir(const char* szName)
    {
        const char* szTmp = std::getenv("TMPDIR");
        std::string pattern = std::string(szTmp && *szTmp ? szTmp : "/tmp") + "/" + szName + ".XXXXXX";
        if (!mkdtemp(pattern.data()))
            std::abort(); // never fall back to a shared folder
        m_path = pattern;
    }
    ~FuzzTempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    FuzzTempDir(const FuzzTempDir&) = delete;
    FuzzTempDir& operator=(const FuzzTempDir&) = delete;

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

// The run's one private folder; with bHome the settings and data of the run live in it too.
inline const std::string& FuzzFolder(const char* szName, bool bHome = false)
{
    static const FuzzTempDir tmp(szName);
    static const bool bSet = [&] {
        if (bHome) {
            setenv("XDG_CONFIG_HOME", (tmp.Path() + "/config").c_str(), 1);
            setenv("XDG_DATA_HOME", (tmp.Path() + "/data").c_str(), 1);
            setenv("TAVRINE_MACHINE_CONFIG", (tmp.Path() + "/machine.conf").c_str(), 1);
        }
        return true;
    }();
    (void)bSet;
    return tmp.Path();
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
