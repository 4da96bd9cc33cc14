// Fuzz target of the DCT reader and loader: the bytes become a DCT file (its
// length field mended, so the body is reached), walked by the reader with and
// without a key and loaded as a new dictation. A failed load leaves nothing
// behind; a loaded dictation keeps its files in its own attachment folder;
// notes over the bound and cancel notices are never loaded.
#include "dictation/LDictation.h"
#include "dictation/LDictationEngineSettings.h"
#include "foundation/LPath.h"
#include "send/LBlowFish.h"
#include "send/LDctReader.h"
#include "send/LDictationLoadDct.h"
#include "send/LDictationSaveAsDct.h"
#include "tests/fuzz/FuzzTempDir.h"
#include "tests/support/LTestProgress.h"

namespace {

const std::string& Dir()
{
    static const std::string dir = [] {
        const std::string& path = FuzzFolder("fuzz-dct", true);
        // Made once, so files are counted alike before and after a load.
        CreateFolder(FilePathCat(LDictationEngineSettings().GetWorkingFolder(), "Attachments"));
        return path;
    }();
    return dir;
}

size_t CountFiles()
{
    namespace fs = std::filesystem;
    std::error_code ec;
    size_t n = 0;
    for (auto it = fs::recursive_directory_iterator(Dir() + "/data", ec); !ec && it != fs::end(it); it.increment(ec))
        ++n;
    return n;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    std::vector<uint8_t> bytes(pData, pData + nSize);
    for (size_t i = 0; i < 4 && bytes.size() >= 6; ++i)
        bytes[2 + i] = static_cast<uint8_t>(bytes.size() >> (8 * i));
    const std::string input = FuzzWrite(Dir() + "/input.dct", bytes.data(), bytes.size());
    LBlowFish cipher;
    cipher.SetKey("fuzz");
    for (const LBlowFish* pCipher : { static_cast<LBlowFish*>(nullptr), &cipher }) {
        LDctReader reader;
        LDctHeader header;
        LDctContents contents;
        LFile sink;
        if (!reader.Open(input) || reader.ReadHeader(&header) != LDctReader::Result::Ok
            || reader.ReadBody(header, pCipher, &contents) != LDctReader::Result::Ok
            || !sink.Open(Dir() + "/piece", LFile::kWrite, LFile::kShareNone, LFile::kCreateAlways))
            continue;
        if (contents.notes.size() > kDctMaxNotesBytes)
            std::abort();
        // What the reader located must be there to copy.
        for (const LDctAttachment& attachment : contents.attachments)
            if (!reader.CopyPiece(attachment.data, pCipher, sink))
                std::abort();
        if (!reader.CopyPiece(contents.audio, pCipher, sink))
            std::abort();
    }
    const size_t nBefore = CountFiles();
    LTestProgress progress;
    uint32_t uNumber = 0;
    const std::string current = LDictationEngineSettings().GetCurrentFolder();
    if (LDictationLoadDct::LoadAsNew(progress, input, current, &uNumber) != JobResult::kDone) {
        if (CountFiles() != nBefore || progress.errors.size() != 1)
            std::abort();
        return 0;
    }
    LDictation d(FilePathCat(current, std::to_string(uNumber) + ".ddf"));
    if ((nSize >= kDctHeaderBytes && (pData[6] & kDctFlagCancelNotice)) || d.GetNotes().size() > kDctMaxNotesBytes)
        std::abort();
    for (const std::string& path : d.GetAttachments())
        if (_GetFolderFromPath(path) != d.GetAttachmentFolder() || !FileExists(path))
            std::abort();
    if (!d.Delete() || CountFiles() != nBefore)
        std::abort();
    return 0;
}
