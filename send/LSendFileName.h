// Names a transfer file by the recipient's file-name format: tokens for the
// dictation's fields and creation time, tags taken from its notes, then the
// cleaning that keeps the name safe on every file system a typist may use.
// Stateless; any thread.
#pragma once

#include "dictation/LRecipient.h"

#include <cstdint>
#include <string>
#include <string_view>

class LDictation;

class LSendFileName {
public:
    static constexpr const char* kDefaultFormat = LRecipient::kDefaultFileNameFormat;
    // Longest expansion and cleaned name kept, in bytes.
    static constexpr size_t kMaxChars = 259;
    // A base name is cut to this so that "NAME (999).dct" stays within a
    // file name's 255 bytes.
    static constexpr size_t kMaxBaseName = 240;

    // What the tokens that are not the dictation's own fields give.
    struct Identity {
        std::string userName;
        std::string company;
    };

    // The format expanded for the dictation, not yet cleaned.
    static std::string Expand(std::string_view format, const LDictation& dictation, const Identity& identity);
    // Drops bytes outside 0x20..0x7F and the ten characters " * . / : < > ? \ |.
    static std::string Clean(std::string_view text);
    // The base name for a recipient: its format (or the default) expanded and
    // cleaned, cut to kMaxBaseName; the file number when nothing is left, so
    // no transfer file is ever hidden or nameless.
    static std::string MakeBaseName(const LDictation& dictation, uint8_t uSendTo);
};
