// Why a sound source is unusable, and the words for it, kept together so
// that a new code cannot be added without its text. Stateless, any thread.
#pragma once

#include <cstdint>
#include <string>

// ErrorCode values: 0 is usable, anything else is a reason it is not.
enum : uint8_t {
    kSoundOk = 0,
    kSoundErrPlaceholder = 1, // no real source: a silent stand-in
    kSoundErrWrapped = 2, // the wrapped source was already in error
    kSoundErrFormat = 3, // a bad format parameter (corrected, or refused)
    kSoundErrOpen = 4, // the file cannot be opened
    kSoundErrCodec = 5, // the codec cannot be opened or sized
};

class LSoundError {
public:
    // One line naming the file, for a message or a terminal.
    static std::string Text(const std::string& path, uint8_t uCode);
};
