// Hostile cut lists (from a .ddf file, which anyone can hand us) driven
// through the dictation audio source and the record, undo and redo edits.
// Input: a channel byte, a record count byte, that many 10-byte cut records,
// then 5-byte actions (a code and a little-endian 32-bit argument).
#include "dictation/LDictation.h"
#include "dictation/LDictationAudioSource.h"
#include "sound/files/LCutFile.h"
#include "tests/fuzz/FuzzTempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < 2)
        return 0;
    // Every edit saves the header with fsync: TMPDIR on a memory file system makes runs far faster.
    static const std::string folder = [] {
        std::filesystem::create_directories(FuzzFolder("fuzz-cutlist", true) + "/work");
        return FuzzFolder("fuzz-cutlist") + "/work";
    }();
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        std::filesystem::remove(entry.path());

    DictationHeader header;
    header.uVersion = 1;
    header.uFileNumber = 9;
    header.uSampleRate = 8000;
    header.uChannels = (pData[0] & 1) ? 2 : 1;
    header.uMagic = kDictationMagic;
    std::vector<uint8_t> ddf(kDictationHeaderBytes);
    header.ToBytes(ddf.data());
    size_t nRecords = pData[1];
    size_t at = 2;
    for (size_t i = 0; i < nRecords && at + kCutRecordBytes <= nSize; ++i, at += kCutRecordBytes)
        ddf.insert(ddf.end(), pData + at, pData + at + kCutRecordBytes);
    FuzzWrite(folder + "/9.ddf", ddf.data(), ddf.size());
    // Cut files of odd sizes: a torn frame, an empty file, a missing one (3).
    const std::vector<uint8_t> cut(2001, 0x41);
    FuzzWrite(folder + "/9_0.dau", cut.data(), cut.size());
    FuzzWrite(folder + "/9_1.dau", cut.data(), 74);
    FuzzWrite(folder + "/9_2.dau", cut.data(), 0);

    LDictation d(folder + "/9.ddf");
    if (!d.IsValid())
        std::abort();
    // A record's stated end never reaches beyond its cut file once loaded
    // (file 3 is missing: its records stay as they are).
    for (const CutRecord& cut : d.GetCutList())
        if (cut.uCutNumber <= 2
            && d.GetCutLength(cut) > LCutFile::FrameCount(d.GetCutFileName(cut.uCutNumber), d.Header().uChannels))
            std::abort();
    auto source = LDictationAudioSource::Make(d);
    std::vector<int32_t> buffer;
    int32_t block[64] = {};
    for (; at + 5 <= nSize; at += 5) {
        const int32_t arg = static_cast<int32_t>(FuzzLe32(pData + at + 1));
        switch (pData[at] % 7) {
        case 0:
            source->Seek(arg);
            if (source->GetPosition() != arg)
                std::abort();
            break;
        case 1: {
            const int32_t n = static_cast<int32_t>(static_cast<uint32_t>(arg) % 5000);
            const int64_t before = source->GetPosition();
            buffer.assign(static_cast<size_t>(n) * source->NumChannels(), 0);
            source->Read(buffer.data(), n);
            if (source->GetPosition() != before + n)
                std::abort();
            break;
        }
        case 2:
        case 3: {
            LSoundSinkRef sink = d.OpenSink(pData[at] % 7 == 2 ? kRecordInsert : kRecordOverwrite, true, arg);
            if (sink)
                sink->Write(block, static_cast<int32_t>(64 / d.Header().uChannels));
            break;
        }
        case 4:
            d.Undo();
            break;
        case 5:
            d.Redo();
            break;
        default:
            source = LDictationAudioSource::Make(d);
            if (source->GetLength() != static_cast<int64_t>(d.GetTotalSamples()))
                std::abort();
            break;
        }
    }
    // What loads again is what was saved.
    LDictation again(folder + "/9.ddf");
    if (again.GetCutList().Count() != d.GetCutList().Count())
        std::abort();
    return 0;
}
