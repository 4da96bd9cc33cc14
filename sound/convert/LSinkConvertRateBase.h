// Converts frames written at one rate into a sink of another rate with a
// 15-tap polyphase filter, a block at a time; what is still held is converted
// when the last reference goes. Used by the recording thread that writes it.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/convert/LPolyphaseFilter.h"

#include <vector>

class LSinkConvertRateBase : public LSoundSinkBase {
public:
    static constexpr int kTaps = 15;
    static constexpr int32_t kBlockFrames = 8192;

    // nInputRate is the rate the written frames are taken to have.
    LSinkConvertRateBase(const LSoundSinkRef& sink, int32_t nInputRate);
    ~LSinkConvertRateBase() override;

    // The sink itself when the rates are equal (or the sink is empty).
    static LSoundSinkRef Open(const LSoundSinkRef& sink, int32_t nInputRate);

    void Write(const int32_t* pBuffer, int32_t nFrames) override;
    // Cuts the input at nFrame and the sink at the matching frame of its rate.
    void Seek(int64_t nFrame) override;

    const LPolyphaseFilter& Filter() const { return m_filter; }

private:
    static constexpr int kCentre = kTaps / 2;

    // Converts every output frame whose taps lie before nAvailable (input
    // frames; beyond the buffer's fill the taps read silence), up to output
    // frame nUpTo.
    void Produce(int64_t nUpTo, int64_t nAvailable);
    // Silence after the filled part, for the taps that reach past the input.
    void PadSilence();
    void DropBefore(int64_t nFrame);

    LSoundSinkRef m_sink;
    LPolyphaseFilter m_filter;
    std::vector<int32_t> m_buffer; // input frames from m_nBufferStart on
    std::vector<int32_t> m_out;
    int64_t m_nBufferStart = -kCentre;
    int64_t m_nBufferFill = kCentre; // the silence before frame 0
    int64_t m_nBufferCapacity; // frames before a block is converted
    int64_t m_nOutput = 0; // output frames produced
    int64_t m_nCentre = 0; // input frame at the centre of the next output
    int64_t m_nPhase = 0;
};
