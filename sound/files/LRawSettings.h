// How a headerless sample file is coded (rate, channels, coding), kept in the
// machine-wide settings per kind of file: ".vox" in "VoxAudio", ".raw" and
// ".snd" in "RawAudio". Plain value; the store calls are safe on any thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

struct LRawSettings {
    int32_t nSampleRate = 44100;
    uint8_t nChannels = 1;
    uint32_t nCodec = 3; // an LRawCodec index

    // The settings section for a path's kind of file (extension compared
    // without case); empty when the file is not a raw kind.
    static std::string SectionForPath(std::string_view path);
    // The defaults of a section: "VoxAudio" 8000 Hz mono Dialogic ADPCM,
    // otherwise 44100 Hz mono 16-bit little-endian.
    static LRawSettings Defaults(std::string_view section);
    // Reads the section; a stored rate outside the accepted range and a
    // channel count other than 1 or 2 fall back to the defaults.
    static LRawSettings Load(std::string_view section);
    bool Save(std::string_view section) const;
};
