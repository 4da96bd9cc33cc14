// The windowed-sinc polyphase table shared by the rate converters: a phase
// count P and step S that approximate the rate ratio, and P rows of taps in
// Q16. Built once at construction of a converter and read only afterwards.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class LPolyphaseFilter {
public:
    static constexpr int kMaxPhases = 255;
    static constexpr int kOne = 65536; // Q16

    // Designs the table from nInputRate to nOutputRate with nTaps taps per
    // row; a pre-stage (the first of two down-sampling stages) gets the wider
    // transition band. Rates below 1 count as 1.
    LPolyphaseFilter(int32_t nInputRate, int32_t nOutputRate, bool bPreStage, int nTaps);

    int Phases() const { return m_nPhases; }
    int Step() const { return m_nStep; }
    int Taps() const { return m_nTaps; }
    // Rows are padded with zero taps to a multiple of 4, so that a dot product
    // runs in whole vectors; a caller keeps RowStride() samples readable.
    int RowStride() const { return m_nRowStride; }
    double Cutoff() const { return m_fCutoff; }
    const int32_t* Row(int nPhase) const { return m_coefficients.data() + static_cast<size_t>(nPhase) * m_nRowStride; }

    // Output frames for nInputFrames input frames: floor(n × P / S), without
    // overflow for long inputs.
    int64_t ToOutputFrames(int64_t nInputFrames) const;

    // Σ row[k] × x[k × nStride] over the taps, in 64 bits, rounded back from
    // Q16. The unscaled samples keep every bit; 64 bits hold 63 products of
    // any 32-bit sample.
    static int32_t Convolve(const int32_t* pRow, const int32_t* pX, int nTaps, int nStride);

private:
    int m_nPhases = 1;
    int m_nStep = 1;
    int m_nTaps;
    int m_nRowStride;
    double m_fCutoff = 1.0;
    std::vector<int32_t> m_coefficients;
};
