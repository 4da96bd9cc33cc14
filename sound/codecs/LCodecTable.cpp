#include "sound/codecs/LCodecTable.h"

#include "sound/codecs/LG711Codec.h"
#include "sound/codecs/LGSMWaveDecoder.h"
#include "sound/codecs/LGSMWaveEncoder.h"
#include "sound/codecs/LImaAdpcmCodec.h"
#include "sound/codecs/LMsAdpcmCodec.h"
#include "sound/codecs/LPcmCodec.h"

namespace {

const LCodecEntry kEntries[] = {
    { kWaveFormatPCM, "PCM", &LPcmCodec::CreateDecoder, &LPcmCodec::CreateEncoder },
    { kWaveFormatMsAdpcm, "Microsoft ADPCM", &LMsAdpcmCodec::CreateDecoder, &LMsAdpcmCodec::CreateEncoder },
    { kWaveFormatALaw, "CCITT A-Law", &LG711Codec::CreateALawDecoder, &LG711Codec::CreateALawEncoder },
    { kWaveFormatMuLaw, "CCITT u-Law", &LG711Codec::CreateMuLawDecoder, &LG711Codec::CreateMuLawEncoder },
    { kWaveFormatImaAdpcm, "IMA ADPCM", &LImaAdpcmCodec::CreateDecoder, &LImaAdpcmCodec::CreateEncoder },
    { kWaveFormatGSM610, "GSM 6.10", &LGSMWaveDecoder::Create, &LGSMWaveEncoder::Create },
};

} // namespace

std::span<const LCodecEntry> LCodecTable::Entries()
{
    return kEntries;
}

const LCodecEntry* LCodecTable::Find(uint16_t wFormatTag)
{
    for (const LCodecEntry& entry : kEntries)
        if (entry.wFormatTag == wFormatTag)
            return &entry;
    return nullptr;
}
