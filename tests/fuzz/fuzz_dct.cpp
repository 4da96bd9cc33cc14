// Fuzz target of the DCT reader and loader: the bytes become a DCT file (its
// length field mended, so the body is reached), which the reader walks with
// and without a key and the loader loads as a new dictation. A failed load
// must leave nothing behind; a loaded one must hold files only in its own
// attachment folder.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "send/LBlowFish.h"
#include "send/LDctReader.h"
#include "send/LDictationLoadDct.h"
#include "tests/support/LTestProgress.h"

#include "tests/fuzz/FuzzTempDir.h"
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

struct Setup {
    std::string dir;
    std::string current;
    std::string input;
};

const Setup& Folders()
{
    static const Setup setup = [] {
        static const FuzzTempDir tmp("fuzz-dct");
        Setup s;
        s.dir = tmp.Path();
        setenv("XDG_CONFIG_HOME", (s.dir + "/config").c_str(), 1);
        setenv("XDG_DATA_HOME", (s.dir + "/data").c_str(), 1);
        setenv("TAVRINE_MACHINE_CONFIG", (s.dir + "/machine.conf").c_str(), 1);
        LDictationEngineSettings engine;
        if (!engine.IsUsable())
            std::abort();
        s.current = engine.GetCurrentFolder();
        // Made once, so a load's files are counted alike before and after it.
        CreateFolder(FilePathCat(engine.GetWorkingFolder(), "Attachments"));
        s.input = s.dir + "/input.dct";
        return s;
    }();
    return setup;
}

size_t CountFiles(const std::string& folder)
{
    std::error_code ec;
    size_t n = 0;
    for (auto it = std::filesystem::recursive_directory_iterator(folder, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const Setup& s = Folders();
    std::vector<uint8_t> bytes(pData, pData + nSize);
    if (bytes.size() >= 6)
        for (int i = 0; i < 4; ++i)
            bytes[2 + i] = static_cast<uint8_t>(bytes.size() >> (8 * i));
    FILE* f = std::fopen(s.input.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);

    LBlowFish cipher;
    cipher.SetKey("fuzz");
    const LBlowFish* const kCiphers[] = { nullptr, &cipher };
    for (const LBlowFish* pCipher : kCiphers) {
        LDctReader reader;
        LDctHeader header;
        LDctContents contents;
        if (!reader.Open(s.input) || reader.ReadHeader(&header) != LDctReader::Result::Ok
            || reader.ReadBody(header, pCipher, &contents) != LDctReader::Result::Ok)
            continue;
        LFile sink;
        if (!sink.Open(s.dir + "/piece", LFile::kWrite, LFile::kShareNone, LFile::kCreateAlways))
            std::abort();
        for (const LDctAttachment& attachment : contents.attachments)
            if (!reader.CopyPiece(attachment.data, pCipher, sink))
                std::abort(); // located by the reader, so it must be there
        if (!reader.CopyPiece(contents.audio, pCipher, sink))
            std::abort();
    }

    const size_t nBefore = CountFiles(s.dir + "/data");
    LTestProgress progress;
    uint32_t uNumber = 0;
    const int nResult = LDictationLoadDct::LoadAsNew(progress, s.input, s.current, &uNumber);
    if (nResult != 0) {
        if (CountFiles(s.dir + "/data") != nBefore || progress.errors.size() != 1)
            std::abort();
    } else if (uNumber != 0) {
        LDictation d(FilePathCat(s.current, std::to_string(uNumber) + ".ddf"));
        if (!d.IsValid())
            std::abort();
        for (const std::string& path : d.GetAttachments())
            if (_GetFolderFromPath(path) != d.GetAttachmentFolder() || !FileExists(path))
                std::abort();
        d.Delete();
        if (CountFiles(s.dir + "/data") != nBefore)
            std::abort();
    }
    return 0;
}
