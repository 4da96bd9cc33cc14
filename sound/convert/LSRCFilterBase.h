// The common wrapper of the converting sources: holds the inner source,
// inherits its error as error 2, and forwards position, length and seek
// unless a converter keeps its own time base. Used by one thread at a time,
// like the source it wraps.
#pragma once

#include "sound/LSoundSourceBase.h"

class LSRCFilterBase : public LSoundSourceBase {
public:
    // An empty reference is replaced by the silent placeholder (and so is in
    // error).
    LSRCFilterBase(const LSoundSourceRef& inner, int32_t nSampleRate, uint8_t nChannels, int32_t nMaxAmplitude);

    int64_t GetPosition() override { return m_inner->GetPosition(); }
    int64_t GetLength() override { return m_inner->GetLength(); }
    void Seek(int64_t nFrame) override { m_inner->Seek(nFrame); }

    const LSoundSourceRef& Inner() const { return m_inner; }

protected:
    static LSoundSourceRef OrPlaceholder(const LSoundSourceRef& inner);

    LSoundSourceRef m_inner;
};
