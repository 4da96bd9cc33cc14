// One MPEG audio Layer III frame header (MPEG-1, MPEG-2 LSF, MPEG-2.5) and the
// sizes that follow from it. Plain data, any thread.
#pragma once

#include <cstddef>
#include <cstdint>

struct MP3Header {
    static constexpr size_t kBytes = 4;

    uint8_t nVersion = 0; // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
    bool bNoCrc = true;
    int32_t nBitrate = 0; // bits per second
    uint8_t nSampleIndex = 0; // 0..2
    uint8_t nPadding = 0;
    uint8_t nMode = 0; // 0 stereo, 1 joint stereo, 2 dual channel, 3 single channel
    uint8_t nModeExt = 0;

    // Fills the header from 4 bytes; false (header unchanged) when they are not
    // a Layer III header this decoder takes: sync, version, layer, bitrate index
    // 1..14 and sampling index 0..2.
    bool Parse(const uint8_t* pBytes);
    static bool IsHeader(const uint8_t* pBytes)
    {
        MP3Header h;
        return h.Parse(pBytes);
    }

    int32_t SampleRate() const;
    // Index 0..8 into the band tables: version × 3 + sampling index.
    unsigned RateIndex() const { return nVersion * 3u + nSampleIndex; }
    unsigned Channels() const { return nMode == 3 ? 1 : 2; }
    unsigned Granules() const { return nVersion == 0 ? 2 : 1; }
    unsigned SamplesPerFrame() const { return nVersion == 0 ? 1152 : 576; }
    // The whole frame, header included.
    size_t FrameBytes() const;
    size_t SideInfoBytes() const;
    size_t CrcBytes() const { return bNoCrc ? 0 : 2; }
    // Frames of one stream agree in version, rate and mono versus stereo.
    bool Matches(const MP3Header& other) const
    {
        return nVersion == other.nVersion && nSampleIndex == other.nSampleIndex && (nMode == 3) == (other.nMode == 3);
    }
};
