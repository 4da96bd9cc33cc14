// The signal-processing stages of Layer III decoding that dominate its time
// (IMDCT with overlap, polyphase synthesis with its DCT-32), in one portable
// C++ form and vectorised forms for x86-64 (SSE2, the baseline; AVX2, when
// the processor has it). Every form does the same float operations in the
// same order for each sample, so all give the same samples bit for bit; the
// portable one is the reference. A decoder picks its form once, at
// construction. Pure functions over caller-owned state, any thread.
#pragma once

#include <cstdint>

namespace mp3 {

enum class DspPath : unsigned { Portable, Sse2, Avx2 };
constexpr unsigned kDspPathCount = 3;

// IMDCT output by subband, then time slot: 18 slots and zero padding that the
// synthesis may read as vector lanes.
constexpr unsigned kSlotStride = 24;
// Synthesis history by DCT output (32), then time slot: the 16 slots of the
// granule before, this granule's 18, and padding for vector lanes.
constexpr unsigned kHistorySlots = 16;
constexpr unsigned kHistoryStride = 40;

struct DspKernels {
    DspPath path;
    const char* szName;
    // Subbands below nSubbands from pXr (18 lines each; the rest are zero):
    // IMDCT by block type (the two lowest subbands of a mixed block long),
    // overlap-add with pOverlap, which then holds this granule's second half,
    // and frequency inversion, into pOut.
    void (*imdct)(const float* pXr, unsigned nSubbands, unsigned nBlockType, bool bMixed, float (*pOverlap)[18],
        float (*pOut)[kSlotStride]);
    // 18 time slots of 32 subbands from pIn into 576 samples written to
    // pOut[(slot × 32 + n) × nStride], rounded and clipped to ±nClip.
    void (*synthesize)(const float (*pIn)[kSlotStride], float (*pHistory)[kHistoryStride], int32_t nClip,
        unsigned nStride, int32_t* pOut);
};

// The kernels of a path; nullptr when this processor cannot run it.
const DspKernels* DspKernelsFor(DspPath path);
// The path named by $TAVRINE_MP3_PATH ("portable", "sse2", "avx2") when this
// processor runs it, else the fastest one it runs. Read on every call (once
// per decoder), so tests can switch paths between decoders.
const DspKernels& ChosenDspKernels();
const char* DspPathName(DspPath path);

} // namespace mp3
