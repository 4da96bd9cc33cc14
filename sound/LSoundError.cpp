#include "sound/LSoundError.h"

std::string LSoundError::Text(const std::string& path, uint8_t uCode)
{
    switch (uCode) {
    case kSoundErrOpen:
        return "cannot open \"" + path + "\"";
    case kSoundErrFormat:
        return "\"" + path + "\" is not a sound file that can be read (bad or unsupported header)";
    case kSoundErrCodec:
        return "\"" + path + "\" uses a format that no codec here reads";
    case kSoundErrPlaceholder:
        return "\"" + path + "\": the raw coding in the settings is not supported";
    default:
        return "\"" + path + "\" cannot be read";
    }
}
