// Reading a job's file: the names an inbox takes (whole .dct files and the
// audio types the importer reads, never a hidden or temporary name), a DCT's
// header and notes through send/'s reader without decoding any audio, and
// extracting a job into a folder the typist chose. Stateless; any thread.
#pragma once

#include "scribe/LScribeJob.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class LScribeKeys;

class LScribeJobFile {
public:
    enum class NameKind {
        None, // not a job: hidden, temporary, a status file, another type, or not printable
        Dct,
        Audio,
        CancelNotice, // "dcan%d-%d.dct"
    };
    // What a directory entry's name makes of it (the name alone, no I/O).
    static NameKind KindOfName(std::string_view name);
    // The user ID and file number a cancel notice's name carries.
    static bool ParseCancelName(std::string_view name, uint32_t* pUserID, uint32_t* pFileNumber);
    // A name is shown and used only when it is printable UTF-8 without
    // control characters, '/' or a leading '.'.
    static bool IsSafeName(std::string_view name);

    // Fills a job from a DCT file's header and body (the audio is located,
    // not read, apart from its format header for the duration). An encrypted
    // file's notes are decrypted with the first key whose check matches; with
    // none the job is listed without notes and bKeyFound false. False with a
    // reason for a file that is not a whole DCT or is a cancel notice.
    static bool ReadDct(const std::string& path, const LScribeKeys& keys, LScribeJob* pJob, std::string* pWhy);
    // Fills a job from a directory entry: a DCT or audio file, or one sealed
    // as "<name>.age", which is opened with the typist's identity into the
    // process's private folder first, so a changed byte or a file sealed for
    // others is refused before anything of it is read.
    static bool ReadJob(
        const std::string& path, std::string_view name, const LScribeKeys& keys, LScribeJob* pJob, std::string* pWhy);
    // Fills a job from an audio file's name and size (no decoding).
    static bool ReadAudio(const std::string& path, LScribeJob* pJob, std::string* pWhy);

    // Writes the job's audio as "<name>.wav", its notes as "<name>.txt" and
    // its attachments into the folder (names cleaned, never replacing a file
    // there). An encrypted DCT without a matching key is refused with a clear
    // message and nothing is written. pWritten gets the paths written.
    static bool Extract(const std::string& path, const LScribeJob& job, const LScribeKeys& keys,
        const std::string& folder, std::vector<std::string>* pWritten, std::string* pWhy);
};
