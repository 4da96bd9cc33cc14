#include "sound/files/LGSMWaveSink.h"

#include "sound/files/LWaveHeader.h"

namespace {

std::string PathIfMono(const std::string& path, uint8_t nChannels)
{
    return nChannels == 1 ? path : std::string();
}

} // namespace

LGSMWaveSink::LGSMWaveSink(const std::string& path, int32_t nSampleRate, uint8_t nChannels)
    : LGSMSinkBase(PathIfMono(path, nChannels), nSampleRate, LGSMFrame::kWavBlockBytes, LGSMFrame::kWavBlockSamples)
{
    Start();
}

LGSMWaveSink::~LGSMWaveSink()
{
    Finish();
}

LWaveFormat LGSMWaveSink::Format(int32_t nSampleRate)
{
    LWaveFormat format;
    format.wFormatTag = kWaveFormatGSM610;
    format.nChannels = 1;
    format.nSamplesPerSec = static_cast<uint32_t>(nSampleRate);
    format.nAvgBytesPerSec = static_cast<uint32_t>(
        static_cast<uint64_t>(format.nSamplesPerSec) * LGSMFrame::kWavBlockBytes / LGSMFrame::kWavBlockSamples);
    format.nBlockAlign = LGSMFrame::kWavBlockBytes;
    format.wBitsPerSample = 0;
    format.extra = { static_cast<uint8_t>(LGSMFrame::kWavBlockSamples & 0xFF),
        static_cast<uint8_t>(LGSMFrame::kWavBlockSamples >> 8) };
    return format;
}

bool LGSMWaveSink::WriteHeader(LFile& file, uint64_t nDataBytes, bool bFinal)
{
    const std::vector<uint8_t> header = MakeWaveHeader(Format(SampleRate()), nDataBytes, bFinal);
    return file.Write(header.data(), header.size());
}
