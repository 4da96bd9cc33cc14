// Fuzz target of what the typist's side reads from a shared inbox: the bytes
// become a DCT file (its length field mended, so the body is reached), listed
// as a job and extracted with a key whose check byte may match; the same
// bytes as notes give their fields, and as a typist's own status file are
// updated. Extraction writes only inside its folder and never a name the
// file chose; an update always gives whole version-1 records. The bytes as
// they came are also opened as a sealed job.
#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "platform/LAgeKeys.h"
#include "scribe/LScribeJobFile.h"
#include "scribe/LScribeKeys.h"
#include "scribe/LScribeStatusWriter.h"
#include "tests/fuzz/FuzzTempDir.h"

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const std::string& dir = FuzzFolder("fuzz-scribejob", true);
    std::vector<uint8_t> bytes(pData, pData + nSize);
    for (size_t i = 0; i < 4 && bytes.size() >= 6; ++i)
        bytes[2 + i] = static_cast<uint8_t>(bytes.size() >> (8 * i));
    const std::string input = FuzzWrite(dir + "/job.dct", bytes.data(), bytes.size());
    LScribeKeys keys;
    keys.Insert({ std::nullopt, "fuzz" });
    keys.Insert({ 3, std::string(1, static_cast<char>(nSize > 1 ? pData[1] : 0)) });
    LScribeJob job;
    std::string why;
    if (LScribeJobFile::ReadDct(input, keys, &job, &why)) {
        const std::string out = dir + "/out";
        std::filesystem::remove_all(out);
        CreateFolder(out);
        std::vector<std::string> written;
        LScribeJobFile::Extract(input, job, keys, out, &written, &why);
        for (const std::string& path : written)
            if (_GetFolderFromPath(path) != out || !FileExists(path))
                std::abort();
        size_t n = 0;
        for (auto it = std::filesystem::directory_iterator(out); it != std::filesystem::directory_iterator(); ++it)
            ++n;
        if (n != written.size())
            std::abort();
    } else if (why.empty()) {
        std::abort();
    }
    // The bytes as they came, as a sealed job: only a file that opens whole
    // with the typist's identity is read, so one that does not gives a reason
    // and nothing of it.
    static const LAgeKey32 identity
        = *LAgeKeys::ParseIdentity("AGE-SECRET-KEY-1GPWF5RXF4L2LV3QM7V7W2X2UWV0NQ6QJN9KSEDLJCWX270MN9MSQR2QK7M");
    keys.InsertIdentity(identity);
    const std::string sealed = FuzzWrite(dir + "/job.dct.age", pData, nSize);
    LScribeJob sealedJob;
    why.clear();
    if (LScribeJobFile::ReadJob(sealed, "job.dct.age", keys, &sealedJob, &why) ? !sealedJob.bSealed : why.empty())
        std::abort();
    const std::string_view text(reinterpret_cast<const char*>(pData), nSize);
    for (const auto& [tag, value] : LScribeJob::ParseFields(text))
        if (tag.empty() || text.find("<" + tag + ">" + value + "</" + tag + ">") == std::string_view::npos)
            std::abort();
    const std::vector<uint8_t> updated = LScribeStatusWriter::Update(bytes, 7, text.substr(0, 20), 1);
    std::string status;
    uint32_t t = 0;
    if ((updated.size() - 4) % LScribeStatusWriter::kRecordSize != 0
        || !LScribeStatusWriter::Find(updated, 7, &status, &t) || t != 1 || status.size() > 15)
        std::abort();
    return 0;
}
