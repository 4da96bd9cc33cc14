#include "sound/codecs/LMP3Dsp.h"

#include "sound/codecs/LMP3DspKernels.h"
#include "sound/codecs/LMP3Tables.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace mp3 {

#if defined(TAVRINE_MP3_AVX2)
extern const DspKernels kAvx2Kernels; // LMP3DspAvx2.cpp
#endif

namespace dsp {

namespace {

constexpr double kPi = 3.14159265358979323846;

struct BuiltTables : Tables {
    BuiltTables()
    {
        std::memset(static_cast<Tables*>(this), 0, sizeof(Tables));
        for (unsigned r = 0; r < 18; ++r) {
            unsigned i = r < 9 ? r : r + 9;
            for (unsigned k = 0; k < 18; ++k)
                imdctLong[k][r] = static_cast<float>(std::cos(kPi / 72.0 * (2 * i + 19) * (2 * k + 1)));
        }
        for (unsigned i = 0; i < 12; ++i) {
            for (unsigned k = 0; k < 6; ++k)
                imdctShort[i][k] = static_cast<float>(std::cos(kPi / 24.0 * (2 * i + 7) * (2 * k + 1)));
            windowShort[i] = static_cast<float>(std::sin(kPi / 12.0 * (i + 0.5)));
        }
        for (unsigned i = 0; i < 36; ++i) {
            float fLong = static_cast<float>(std::sin(kPi / 36.0 * (i + 0.5)));
            window[0][i] = fLong;
            // Start block: long rise, flat, short fall, zeros.
            if (i < 18)
                window[1][i] = fLong;
            else if (i < 24)
                window[1][i] = 1.0f;
            else if (i < 30)
                window[1][i] = static_cast<float>(std::sin(kPi / 12.0 * (i - 18 + 0.5)));
            // Stop block: the mirror image.
            if (i >= 6 && i < 12)
                window[3][i] = static_cast<float>(std::sin(kPi / 12.0 * (i - 6 + 0.5)));
            else if (i >= 12 && i < 18)
                window[3][i] = 1.0f;
            else if (i >= 18)
                window[3][i] = fLong;
        }
        for (unsigned nLevel = 0, n = 32; n >= 2; ++nLevel, n /= 2)
            for (unsigned k = 0; k < n / 2; ++k)
                dct[nLevel][k] = static_cast<float>(0.5 / std::cos((2 * k + 1) * kPi / (2.0 * n)));
        // D[512 - i] mirrors D[i], negated except at multiples of 64; scaled
        // to the internal sample form.
        double d[512];
        for (unsigned i = 0; i <= 256; ++i)
            d[i] = kSynthesisWindowHalf[i];
        for (unsigned i = 1; i < 256; ++i)
            d[512 - i] = (i % 64 == 0) ? d[i] : -d[i];
        // The V vector of a slot from its DCT output x: V[n] = x[16 + n] for
        // n < 16, V[16] = 0, V[n] = -x[48 - n] for 17 <= n < 48 and
        // V[n] = -x[n - 48] from 48; output n takes V[n] and V[32 + n].
        for (unsigned n = 0; n < 32; ++n) {
            const double fSignA = n < 16 ? 1.0 : (n == 16 ? 0.0 : -1.0);
            kA[n] = static_cast<uint8_t>(n < 16 ? 16 + n : (n == 16 ? 0 : 48 - n));
            kB[n] = static_cast<uint8_t>(n < 16 ? 16 - n : n - 16);
            for (unsigned i = 0; i < 8; ++i) {
                synthA[n][i] = static_cast<float>(fSignA * d[64 * i + n] * 32768.0 * 16.0);
                synthB[n][i] = static_cast<float>(-d[64 * i + 32 + n] * 32768.0 * 16.0);
            }
        }
    }
};

} // namespace

const Tables& GetTables()
{
    static const BuiltTables tables;
    return tables;
}

} // namespace dsp

namespace {

const DspKernels kPortable = { DspPath::Portable, "portable", &Imdct<float>, &Synthesize<float, float> };
#if defined(__SSE2__)
const DspKernels kSse2 = { DspPath::Sse2, "sse2", &Imdct<Float4>, &Synthesize<Float4, Float4> };
#endif

} // namespace

const DspKernels* DspKernelsFor(DspPath path)
{
    switch (path) {
    case DspPath::Portable:
        return &kPortable;
    case DspPath::Sse2:
#if defined(__SSE2__)
        return &kSse2;
#else
        return nullptr;
#endif
    case DspPath::Avx2:
#if defined(TAVRINE_MP3_AVX2)
        __builtin_cpu_init();
        if (__builtin_cpu_supports("avx2"))
            return &kAvx2Kernels;
#endif
        return nullptr;
    }
    return nullptr;
}

const char* DspPathName(DspPath path)
{
    static const char* const kNames[kDspPathCount] = { "portable", "sse2", "avx2" };
    return kNames[static_cast<unsigned>(path) % kDspPathCount];
}

const DspKernels& ChosenDspKernels()
{
    if (const char* p = std::getenv("TAVRINE_MP3_PATH"); p && *p) {
        for (unsigned i = 0; i < kDspPathCount; ++i) {
            const DspPath path = static_cast<DspPath>(i);
            if (std::strcmp(p, DspPathName(path)) == 0)
                if (const DspKernels* k = DspKernelsFor(path))
                    return *k;
        }
    }
    for (unsigned i = kDspPathCount; i-- > 0;)
        if (const DspKernels* k = DspKernelsFor(static_cast<DspPath>(i)))
            return *k;
    return kPortable;
}

} // namespace mp3
