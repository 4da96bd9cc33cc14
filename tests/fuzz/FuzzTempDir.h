// A private folder for one fuzz run under $TMPDIR, removed when the run ends,
// so that long fuzzing sessions leave nothing behind.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

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
