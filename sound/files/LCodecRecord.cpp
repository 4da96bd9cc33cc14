#include "sound/files/LCodecRecord.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"
#include "sound/files/LWaveFile.h"

#include <vector>

std::string LCodecRecord::FileName(int nRecipientIndex)
{
    return "Codec " + std::to_string(static_cast<long long>(nRecipientIndex) + 1) + ".wff";
}

std::string LCodecRecord::PathFor(std::string_view folder, int nRecipientIndex)
{
    return FilePathCat(folder, FileName(nRecipientIndex));
}

LWaveFormat LCodecRecord::DefaultFormat()
{
    LWaveFormat format;
    format.wFormatTag = kWaveFormatGSM610;
    format.nChannels = 1;
    format.nSamplesPerSec = 11025;
    format.nAvgBytesPerSec = 1625;
    format.nBlockAlign = 65;
    format.wBitsPerSample = 0;
    format.extra = { 320 & 0xFF, 320 >> 8 };
    return format;
}

bool LCodecRecord::Load(const std::string& path, LWaveFormat* pFormat)
{
    *pFormat = DefaultFormat();
    LFile file;
    if (!OpenFileRetry(file, path, LFile::kRead, LFile::kShareRead, 200, LFile::kOpenExisting))
        return false;
    std::vector<uint8_t> record(kRecordBytes);
    if (file.Read(record.data(), record.size()) != record.size())
        return false;
    // The extra-byte count is the file's word; FromBytes holds it to the record.
    LWaveFormat format;
    if (!LWaveFormat::FromBytes(record.data(), record.size(), &format))
        return false;
    // A damaged record must not make a writer produce a file of millions of
    // channels or a rate that turns a minute into gigabytes: dictations are
    // mono or stereo, at a rate a WAV file may state.
    if (format.nChannels < 1 || format.nChannels > 2 || format.nSamplesPerSec < 1000
        || format.nSamplesPerSec > kMaxWaveSampleRate)
        return false;
    *pFormat = std::move(format);
    return true;
}

bool LCodecRecord::Save(const std::string& path, const LWaveFormat& format)
{
    std::vector<uint8_t> record = format.ToBytes();
    if (record.size() > kRecordBytes)
        return false;
    record.resize(kRecordBytes, 0);
    return WriteFileAtomic(path, record.data(), record.size());
}
