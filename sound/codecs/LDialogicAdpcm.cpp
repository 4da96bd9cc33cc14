#include "sound/codecs/LDialogicAdpcm.h"

namespace {

constexpr int32_t kStep[LDialogicAdpcm::kStepCount] = { 16, 17, 19, 21, 23, 25, 28, 31, 34, 37, 41, 45, 50, 55, 60, 66,
    73, 80, 88, 97, 107, 118, 130, 143, 157, 173, 190, 209, 230, 253, 279, 307, 337, 371, 408, 449, 494, 544, 598, 658,
    724, 796, 876, 963, 1060, 1166, 1282, 1411, 1552 };
constexpr int32_t kMultiplier[16]
    = { 16, 48, 80, 112, 144, 176, 208, 240, -16, -48, -80, -112, -144, -176, -208, -240 };
constexpr int kIndexChange[16] = { -1, -1, -1, -1, 2, 4, 6, 8, -1, -1, -1, -1, 2, 4, 6, 8 };

int ClampIndex(int i)
{
    return i < 0 ? 0 : (i >= LDialogicAdpcm::kStepCount ? LDialogicAdpcm::kStepCount - 1 : i);
}

} // namespace

// The leak (V >> 6) keeps V bounded near 64 x the largest step product, far
// inside 32 bits, whatever nibbles arrive.
int32_t LDialogicAdpcm::DecodeNibble(uint8_t n)
{
    n &= 15;
    i = ClampIndex(i);
    V = V + kStep[i] * kMultiplier[n] - (V >> 6);
    i += kIndexChange[n];
    return V;
}

uint8_t LDialogicAdpcm::EncodeSample(int32_t x)
{
    i = ClampIndex(i);
    V = V - (V >> 6);
    // 64-bit difference: x is any 32-bit value a converter may hand over.
    int64_t q = (static_cast<int64_t>(x) - V) / kStep[i];
    uint8_t n = 0;
    if (q < 0) {
        n = 8;
        q = -q;
    }
    if (q >= 132) {
        n |= 4;
        q -= 132;
    }
    if (q >= 66) {
        n |= 2;
        q -= 66;
    }
    if (q >= 33)
        n |= 1;
    V += kStep[i] * kMultiplier[n];
    i += kIndexChange[n];
    return n;
}
