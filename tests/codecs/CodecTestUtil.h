// Helpers of the codec tests: a minimal WAV reader and writer (only "fmt " and
// "data"), sox as the outside judge, whole-stream encode and decode, and SNR.
#pragma once

#include "sound/codecs/LAudioCodec.h"
#include "sound/codecs/LWaveFormat.h"
#include "tests/support/TestSupport.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace codectest {

struct WavData {
    LWaveFormat format;
    std::vector<uint8_t> data;
};

inline uint32_t Le32(const uint8_t* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

inline bool ParseWav(const std::vector<uint8_t>& file, WavData* pOut)
{
    if (file.size() < 12 || std::memcmp(file.data(), "RIFF", 4) != 0 || std::memcmp(file.data() + 8, "WAVE", 4) != 0)
        return false;
    bool bFormat = false;
    size_t pos = 12;
    while (pos + 8 <= file.size()) {
        const uint8_t* pChunk = file.data() + pos;
        const size_t nSize = Le32(pChunk + 4);
        const size_t nAvail = std::min(nSize, file.size() - pos - 8);
        if (std::memcmp(pChunk, "fmt ", 4) == 0) {
            bFormat = LWaveFormat::FromBytes(pChunk + 8, nAvail, &pOut->format);
            // WAVE_FORMAT_EXTENSIBLE (sox writes it above 16 bits): the real
            // tag opens the sub-format GUID.
            const std::vector<uint8_t>& extra = pOut->format.extra;
            if (bFormat && pOut->format.wFormatTag == 0xFFFE && extra.size() >= 22)
                pOut->format.wFormatTag = static_cast<uint16_t>(extra[6] | (extra[7] << 8));
        } else if (std::memcmp(pChunk, "data", 4) == 0) {
            pOut->data.assign(pChunk + 8, pChunk + 8 + nAvail);
            return bFormat;
        }
        pos += 8 + nSize + (nSize & 1);
    }
    return false;
}

inline void PutLe32(std::vector<uint8_t>& out, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

inline std::vector<uint8_t> MakeWav(const LWaveFormat& format, const std::vector<uint8_t>& data)
{
    const std::vector<uint8_t> fmt = format.ToBytes();
    std::vector<uint8_t> out = { 'R', 'I', 'F', 'F' };
    PutLe32(out, static_cast<uint32_t>(4 + 8 + fmt.size() + 8 + data.size()));
    out.insert(out.end(), { 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ' });
    PutLe32(out, static_cast<uint32_t>(fmt.size()));
    out.insert(out.end(), fmt.begin(), fmt.end());
    out.insert(out.end(), { 'd', 'a', 't', 'a' });
    PutLe32(out, static_cast<uint32_t>(data.size()));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline std::vector<int16_t> BytesToS16(const std::string& bytes)
{
    std::vector<int16_t> samples(bytes.size() / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(uint8_t(bytes[2 * i]) | (uint8_t(bytes[2 * i + 1]) << 8));
    return samples;
}

// The file as sox decodes it to 16-bit little-endian, without dither.
inline std::vector<int16_t> SoxDecode(const std::string& path, int* pStatus = nullptr)
{
    std::string out;
    const int status = test::RunShell("sox -D -V1 " + test::ShellQuote(path) + " -t s16 -L - 2>/dev/null", &out);
    if (pStatus)
        *pStatus = status;
    return BytesToS16(out);
}

inline std::vector<int16_t> DecodeAll(LAudioDecoder& decoder, const std::vector<uint8_t>& data, uint16_t channels)
{
    std::vector<int16_t> out;
    std::vector<int16_t> block(decoder.FramesPerBlock() * channels);
    for (size_t pos = 0; pos < data.size(); pos += decoder.BlockBytes()) {
        const size_t n = std::min(decoder.BlockBytes(), data.size() - pos);
        const size_t frames = decoder.DecodeBlock(data.data() + pos, n, block.data());
        if (frames == 0)
            break;
        out.insert(out.end(), block.begin(), block.begin() + frames * channels);
    }
    return out;
}

inline std::vector<uint8_t> EncodeAll(LAudioEncoder& encoder, const std::vector<int16_t>& samples, uint16_t channels)
{
    std::vector<uint8_t> out;
    std::vector<uint8_t> block(encoder.BlockBytes());
    const size_t total = samples.size() / channels;
    for (size_t frame = 0; frame < total; frame += encoder.FramesPerBlock()) {
        const size_t n = std::min(encoder.FramesPerBlock(), total - frame);
        const size_t bytes = encoder.EncodeBlock(samples.data() + frame * channels, n, block.data());
        out.insert(out.end(), block.begin(), block.begin() + bytes);
    }
    return out;
}

// Signal-to-noise ratio of test against ref over their first n samples, in dB.
inline double SnrDb(const std::vector<int16_t>& ref, const std::vector<int16_t>& test, size_t n)
{
    double signal = 0, noise = 0;
    for (size_t i = 0; i < n; ++i) {
        signal += double(ref[i]) * ref[i];
        noise += (double(ref[i]) - test[i]) * (double(ref[i]) - test[i]);
    }
    return noise == 0 ? 200.0 : 10.0 * std::log10(signal / noise);
}

// Speech-like test material: a rising tone with a vibrato, bursts near full
// scale and a little noise, different in each channel. Deterministic per seed.
inline std::vector<int16_t> TestSignal(size_t frames, uint16_t channels, uint32_t rate, uint32_t seed)
{
    std::vector<int16_t> out(frames * channels);
    uint32_t lcg = seed;
    for (size_t f = 0; f < frames; ++f) {
        const double t = double(f) / rate;
        for (uint16_t c = 0; c < channels; ++c) {
            lcg = lcg * 1664525u + 1013904223u;
            const double noise = (int32_t(lcg >> 16) - 32768) / 32768.0;
            const double freq = 150.0 * (c + 1) + 900.0 * t + 30.0 * std::sin(2 * M_PI * 5 * t);
            const double level = (f / (rate / 4)) % 2 ? 0.95 : 0.3;
            const double v = level * std::sin(2 * M_PI * freq * t) + 0.02 * noise;
            out[f * channels + c] = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
        }
    }
    return out;
}

} // namespace codectest
