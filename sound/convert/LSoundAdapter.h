// The chain that brings a source to a target format for saving, importing
// and copying into a sink: channels, then rate, then the peak limiter, so
// that what reaches a 16-bit writer cannot wrap.
#pragma once

#include "sound/LSoundSourceBase.h"

class LSoundAdapter {
public:
    // Each stage is added only when needed, so a source already in the
    // format (and within nLimit) comes back as it is. An inner error shows as
    // error 2 at the top of the chain.
    static LSoundSourceRef Adapt(
        const LSoundSourceRef& source, uint8_t nChannels, int32_t nRate, int32_t nLimit = kMaxAmplitudePCM);
};
