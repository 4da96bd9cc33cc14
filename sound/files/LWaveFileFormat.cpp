#include "sound/files/LWaveFileFormat.h"

#include "sound/codecs/LCodecTable.h"
#include "sound/convert/LSampleRates.h"
#include "sound/files/LWaveFile.h"

namespace {

LWaveFormat Pcm(uint32_t nRate, uint16_t nChannels, uint16_t nBits)
{
    LWaveFormat format;
    format.wFormatTag = kWaveFormatPCM;
    format.nChannels = nChannels;
    format.nSamplesPerSec = nRate;
    format.wBitsPerSample = nBits;
    format.nBlockAlign = static_cast<uint16_t>(nChannels * (nBits / 8));
    format.nAvgBytesPerSec = nRate * format.nBlockAlign;
    return format;
}

} // namespace

bool LWaveFileFormat::TestSupportedRecord(const LWaveFormat& format)
{
    if (format.nChannels < 1 || format.nSamplesPerSec < 1 || format.nSamplesPerSec > kMaxWaveSampleRate)
        return false;
    if (format.wFormatTag == kWaveFormatPCM)
        return format.wBitsPerSample >= 1 && format.wBitsPerSample <= 16;
    const LCodecEntry* pEntry = LCodecTable::Find(format.wFormatTag);
    return pEntry && pEntry->pCreateEncoder
        && pEntry->pCreateEncoder(format.nSamplesPerSec, format.nChannels, nullptr) != nullptr;
}

std::vector<LWaveFormat> LWaveFileFormat::RecordableFormats(uint16_t nChannels)
{
    std::vector<LWaveFormat> out;
    for (const LCodecEntry& entry : LCodecTable::Entries()) {
        // Below 8000 Hz speech loses its consonants; above 48000 Hz a
        // compressed dictation gains nothing.
        for (int32_t nRate : GetSampleRateList()) {
            if (nRate < 8000 || nRate > 48000)
                continue;
            const auto uRate = static_cast<uint32_t>(nRate);
            if (entry.wFormatTag == kWaveFormatPCM) {
                for (uint16_t nBits : { 8, 16 })
                    out.push_back(Pcm(uRate, nChannels, nBits));
                continue;
            }
            if (!entry.pCreateEncoder)
                continue;
            if (auto encoder = entry.pCreateEncoder(uRate, nChannels, nullptr))
                out.push_back(encoder->Format());
        }
    }
    return out;
}
