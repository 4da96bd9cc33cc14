// The AVX2 kernels: this file alone is compiled for AVX2 on x86-64. Nothing
// in it runs at start-up (the table below is constant data); its functions
// are called only once the processor has reported AVX2.
#include "sound/codecs/LMP3Dsp.h"

#if defined(TAVRINE_MP3_AVX2)
#if !defined(__AVX2__)
#error "LMP3DspAvx2.cpp must be compiled with -mavx2"
#endif
#include "sound/codecs/LMP3DspKernels.h"

namespace mp3 {

extern const DspKernels kAvx2Kernels;
const DspKernels kAvx2Kernels = { DspPath::Avx2, "avx2", &Imdct<Float8>, &Synthesize<Float8, Float4> };

} // namespace mp3
#endif
