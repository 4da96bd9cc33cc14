#include "sound/convert/LSPConvChannels.h"

#include <algorithm>

LSPConvChannels::LSPConvChannels(const LSoundSourceRef& inner, uint8_t nChannels)
    : LSRCFilterBase(inner, OrPlaceholder(inner)->SampleRate(), nChannels, OrPlaceholder(inner)->MaxAmplitude())
{
    m_work.resize(static_cast<size_t>(kBlockFrames) * m_inner->NumChannels());
}

void LSPConvChannels::Read(int32_t* pBuffer, int32_t nFrames)
{
    const int nIn = m_inner->NumChannels();
    const int nOut = NumChannels();
    // Long reads go through the work buffer a block at a time.
    while (nFrames > 0) {
        const int32_t n = std::min(nFrames, kBlockFrames);
        m_inner->Read(m_work.data(), n);
        const int32_t* pIn = m_work.data();
        if (nIn == 1 && nOut == 2) {
            for (int32_t i = 0; i < n; ++i) {
                pBuffer[2 * i] = pIn[i];
                pBuffer[2 * i + 1] = pIn[i];
            }
        } else if (nOut == 1) {
            for (int32_t i = 0; i < n; ++i)
                pBuffer[i] = pIn[static_cast<ptrdiff_t>(i) * nIn];
        } else {
            // Other pairs keep the channels they share and fill the rest with silence.
            for (int32_t i = 0; i < n; ++i)
                for (int c = 0; c < nOut; ++c)
                    pBuffer[static_cast<ptrdiff_t>(i) * nOut + c]
                        = c < nIn ? pIn[static_cast<ptrdiff_t>(i) * nIn + c] : 0;
        }
        pBuffer += static_cast<ptrdiff_t>(n) * nOut;
        nFrames -= n;
    }
}
