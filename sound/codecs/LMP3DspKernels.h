// The IMDCT and synthesis kernels written once over a lane type: float for
// the portable path, 4 or 8 floats (GCC and Clang vector extension) for the
// vector paths. A lane never mixes with another, so each sample goes through
// the same operations in the same order whatever the width. Included only by
// the files that instantiate a path; everything here has internal linkage
// (and uses no library templates), so code compiled for AVX2 can never stand
// in for code of the baseline path.
#pragma once

#include "sound/codecs/LMP3Dsp.h"

#include <cstring>

namespace mp3::dsp {

// Constant tables of the kernels, built once (LMP3Dsp.cpp).
struct Tables {
    float imdctLong[18][24]; // [input][output]: outputs 0..8 and 18..26, zero padding
    float imdctShort[12][6];
    float window[4][36];
    float windowShort[12];
    float dct[6][32]; // per recursion level: 1 / (2 cos((2k + 1) pi / 2N))
    // Output n of a time slot sums, for i = 0..7, DCT output kA[n] of the
    // slot 2i back times synthA[n][i] and DCT output kB[n] of the slot
    // 2i + 1 back times synthB[n][i]: the window D with the signs of the
    // symmetric V vector folded in.
    float synthA[32][8];
    float synthB[32][8];
    uint8_t kA[32];
    uint8_t kB[32];
};
const Tables& GetTables();

} // namespace mp3::dsp

namespace {

typedef float Float4 __attribute__((vector_size(16)));
typedef int32_t Int4 __attribute__((vector_size(16)));
typedef float Float8 __attribute__((vector_size(32)));
typedef int32_t Int8 __attribute__((vector_size(32)));

template <class V> struct Lanes;
template <> struct Lanes<float> {
    static constexpr unsigned W = 1;
    typedef int32_t Int;
};
template <> struct Lanes<Float4> {
    static constexpr unsigned W = 4;
    typedef Int4 Int;
};
template <> struct Lanes<Float8> {
    static constexpr unsigned W = 8;
    typedef Int8 Int;
};

template <class V> [[gnu::always_inline]] inline V Load(const float* p)
{
    V v;
    std::memcpy(&v, p, sizeof(v));
    return v;
}

template <class V> [[gnu::always_inline]] inline void Store(float* p, V v)
{
    std::memcpy(p, &v, sizeof(v));
}

// Copies the value into every lane: f - 0 is f for every f, -0 included, so
// the compiler makes it one broadcast.
template <class V> [[gnu::always_inline]] inline V Splat(float f)
{
    if constexpr (Lanes<V>::W == 1)
        return f;
    else
        return f - V {};
}

// Rounds to nearest even by the float adder (exact below 2^22, which the
// clip ensures) and converts: what lrint gives, without a library call.
template <class V> [[gnu::always_inline]] inline typename Lanes<V>::Int ClipRound(V f, float fClip)
{
    constexpr float kRound = 12582912.0f; // 1.5 × 2^23
    if constexpr (Lanes<V>::W == 1) {
        f = f < -fClip ? -fClip : f;
        f = f > fClip ? fClip : f;
        return static_cast<int32_t>((f + kRound) - kRound);
    } else {
        const V lo = Splat<V>(-fClip), hi = Splat<V>(fClip);
        f = f < lo ? lo : f;
        f = f > hi ? hi : f;
        return __builtin_convertvector((f + kRound) - kRound, typename Lanes<V>::Int);
    }
}

// DCT-II, X[m] = sum s[k] cos(pi m (2k + 1) / 2N), by the even/odd split:
// even outputs are the half-size DCT of the folded sum, odd outputs come from
// the half-size DCT of the weighted difference. Destroys pIn. Inlined whole,
// so the recursion costs no calls.
template <unsigned N, class V> [[gnu::always_inline]] inline void Dct(V* pIn, V* pOut, const float (*pWeights)[32])
{
    if constexpr (N == 1) {
        pOut[0] = pIn[0];
    } else {
        constexpr unsigned H = N / 2;
        V a[H], b[H], ea[H], eb[H];
        const float* w = pWeights[0];
        for (unsigned k = 0; k < H; ++k) {
            a[k] = pIn[k] + pIn[N - 1 - k];
            b[k] = (pIn[k] - pIn[N - 1 - k]) * Splat<V>(w[k]);
        }
        Dct<H>(a, ea, pWeights + 1);
        Dct<H>(b, eb, pWeights + 1);
        for (unsigned m = 0; m < H; ++m) {
            pOut[2 * m] = ea[m];
            pOut[2 * m + 1] = (m + 1 < H) ? eb[m] + eb[m + 1] : eb[m];
        }
    }
}

// The DCT-32 of time slots s0 .. s0 + W - 1 side by side, one slot per
// lane, into the history.
template <class V>
[[gnu::always_inline]] inline void DctSlots(const mp3::dsp::Tables& t, const float (*pIn)[mp3::kSlotStride],
    float (*pHistory)[mp3::kHistoryStride], unsigned s0)
{
    V in[32], x[32];
    for (unsigned sb = 0; sb < 32; ++sb)
        in[sb] = Load<V>(&pIn[sb][s0]);
    Dct<32>(in, x, t.dct);
    for (unsigned k = 0; k < 32; ++k)
        Store<V>(&pHistory[k][mp3::kHistorySlots + s0], x[k]);
}

template <class V>
[[gnu::always_inline]] inline void Scatter(
    V acc, float fClip, unsigned s0, unsigned nValid, unsigned n, unsigned nStride, int32_t* pOut)
{
    constexpr unsigned W = Lanes<V>::W;
    const typename Lanes<V>::Int r = ClipRound(acc, fClip);
    if constexpr (W == 1) {
        pOut[(s0 * 32 + n) * nStride] = r;
    } else {
        int32_t lanes[W];
        std::memcpy(lanes, &r, sizeof(lanes));
        for (unsigned l = 0; l < nValid; ++l)
            pOut[((s0 + l) * 32 + n) * nStride] = lanes[l];
    }
}

// The 18 slots of a granule: whole groups of the wide type, the rest in one
// group of the narrow one (its lanes past slot 17 read padding). The window
// sums run output by output over all groups at once, so each coefficient is
// broadcast once per granule and output.
template <class Wide, class Narrow>
void Synthesize(const float (*pIn)[mp3::kSlotStride], float (*pHistory)[mp3::kHistoryStride], int32_t nClip,
    unsigned nStride, int32_t* pOut)
{
    constexpr unsigned WW = Lanes<Wide>::W, WN = Lanes<Narrow>::W;
    constexpr unsigned G = 18 / WW; // wide groups
    constexpr unsigned nTail = 18 - G * WW; // slots left for the narrow group
    static_assert(nTail <= WN);
    const mp3::dsp::Tables& t = mp3::dsp::GetTables();
    const float fClip = static_cast<float>(nClip);
    for (unsigned g = 0; g < G; ++g)
        DctSlots<Wide>(t, pIn, pHistory, g * WW);
    if constexpr (nTail > 0)
        DctSlots<Narrow>(t, pIn, pHistory, G * WW);
    for (unsigned n = 0; n < 32; ++n) {
        const float* pA = &pHistory[t.kA[n]][mp3::kHistorySlots];
        const float* pB = &pHistory[t.kB[n]][mp3::kHistorySlots - 1];
        const float* cA = t.synthA[n];
        const float* cB = t.synthB[n];
        Wide acc[G];
        Narrow accTail;
        {
            const Wide a = Splat<Wide>(cA[0]), b = Splat<Wide>(cB[0]);
            for (unsigned g = 0; g < G; ++g)
                acc[g] = Load<Wide>(pA + g * WW) * a + Load<Wide>(pB + g * WW) * b;
            if constexpr (nTail > 0)
                accTail = Load<Narrow>(pA + G * WW) * Splat<Narrow>(cA[0])
                    + Load<Narrow>(pB + G * WW) * Splat<Narrow>(cB[0]);
        }
        for (unsigned i = 1; i < 8; ++i) {
            const Wide a = Splat<Wide>(cA[i]), b = Splat<Wide>(cB[i]);
            for (unsigned g = 0; g < G; ++g)
                acc[g] += Load<Wide>(pA + g * WW - 2 * i) * a + Load<Wide>(pB + g * WW - 2 * i) * b;
            if constexpr (nTail > 0)
                accTail += Load<Narrow>(pA + G * WW - 2 * i) * Splat<Narrow>(cA[i])
                    + Load<Narrow>(pB + G * WW - 2 * i) * Splat<Narrow>(cB[i]);
        }
        for (unsigned g = 0; g < G; ++g)
            Scatter(acc[g], fClip, g * WW, WW, n, nStride, pOut);
        if constexpr (nTail > 0)
            Scatter(accTail, fClip, G * WW, nTail, n, nStride, pOut);
    }
    // The last 16 slots are the next granule's history.
    for (unsigned k = 0; k < 32; ++k)
        std::memmove(&pHistory[k][0], &pHistory[k][18], mp3::kHistorySlots * sizeof(float));
}

template <class V>
void Imdct(const float* pXr, unsigned nSubbands, unsigned nBlockType, bool bMixed, float (*pOverlap)[18],
    float (*pOut)[mp3::kSlotStride])
{
    constexpr unsigned W = Lanes<V>::W;
    constexpr unsigned nVectors = (18 + W - 1) / W;
    const mp3::dsp::Tables& t = mp3::dsp::GetTables();
    for (unsigned sb = 0; sb < 32; ++sb) {
        float* pOver = pOverlap[sb];
        float z[36];
        if (sb >= nSubbands) {
            for (float& f : z)
                f = 0.0f;
        } else {
            const float* x = pXr + 18 * sb;
            const unsigned nType = (bMixed && sb < 2) ? 0 : nBlockType;
            if (nType != 2) {
                // Input-major: the 18 outputs summed side by side, each in
                // the order of its inputs.
                V acc[nVectors] = {};
                for (unsigned k = 0; k < 18; ++k) {
                    const V xk = Splat<V>(x[k]);
                    for (unsigned v = 0; v < nVectors; ++v)
                        acc[v] += xk * Load<V>(&t.imdctLong[k][v * W]);
                }
                float a[nVectors * W];
                std::memcpy(a, acc, sizeof(a));
                // Outputs 9..17 mirror 0..8 with the sign flipped, 27..35
                // mirror 18..26; windowed as they are placed.
                const float* w = t.window[nType];
                for (unsigned i = 0; i < 9; ++i) {
                    z[i] = a[i] * w[i];
                    z[17 - i] = -a[i] * w[17 - i];
                    z[18 + i] = a[9 + i] * w[18 + i];
                    z[35 - i] = a[9 + i] * w[35 - i];
                }
            } else {
                for (float& f : z)
                    f = 0.0f;
                for (unsigned w = 0; w < 3; ++w) {
                    for (unsigned i = 0; i < 12; ++i) {
                        float sum = 0.0f;
                        for (unsigned k = 0; k < 6; ++k)
                            sum += x[3 * k + w] * t.imdctShort[i][k];
                        z[6 + 6 * w + i] += sum * t.windowShort[i];
                    }
                }
            }
        }
        // Overlap-add, then frequency inversion of odd subbands' odd slots.
        float* pDst = pOut[sb];
        if (sb & 1) {
            for (unsigned i = 0; i < 18; i += 2) {
                pDst[i] = z[i] + pOver[i];
                pDst[i + 1] = -(z[i + 1] + pOver[i + 1]);
            }
        } else {
            for (unsigned i = 0; i < 18; ++i)
                pDst[i] = z[i] + pOver[i];
        }
        for (unsigned i = 0; i < 18; ++i)
            pOver[i] = z[18 + i];
    }
}

} // namespace
