// Recording a portable recorder that plays at a higher (or lower) speed: the
// returned sink takes the capture at 44100 Hz (22050 for sinks below
// 11026 Hz) and hands it to a rate converter that treats it as audio of the
// original speed, so the sink receives it at normal speed and pitch. Used by
// the recording thread that writes it.
#pragma once

#include "sound/LSoundSinkBase.h"

class LRecordSpeed : public LSoundSinkBase {
public:
    // The sink itself for 100 % and for the invalid 0 % (and below).
    static LSoundSinkRef OpenSink(int nPercent, const LSoundSinkRef& sink);

    void Write(const int32_t* pBuffer, int32_t nFrames) override;
    // Frames of the capture rate; the converter takes them to the sink's.
    void Seek(int64_t nFrame) override;

private:
    LRecordSpeed(int32_t nCaptureRate, const LSoundSinkRef& target, uint8_t nChannels);

    LSoundSinkRef m_target;
};
