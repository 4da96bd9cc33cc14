// Opens headerless sample files as sources and sinks in the coding their raw
// settings give. Stateless factories, any thread.
#pragma once

#include "sound/LSoundSinkBase.h"
#include "sound/LSoundSourceBase.h"
#include "sound/files/LRawSettings.h"

#include <string>

class LRawFile {
public:
    // Never empty: an unsupported coding gives a silent placeholder with
    // error 1; a file that cannot be opened a reader with error 4.
    static LSoundSourceRef OpenSource(const std::string& path, const LRawSettings& settings);
    // The file is created afresh; an unsupported coding gives an empty reference.
    static LSoundSinkRef OpenSink(const std::string& path, const LRawSettings& settings);
    // Whether this build reads and writes the coding.
    static bool IsCodecSupported(uint32_t nCodec);
};
