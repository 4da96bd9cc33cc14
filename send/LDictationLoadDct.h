// Fills a new dictation from a DCT transfer file: its name, creation time,
// priority, notes, attachments and audio. Every length read is checked
// against what the file still holds, so a truncated or hostile file is
// refused with a message and never read past its end.
#pragma once

#include "foundation/JobResult.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class LDictation;
class LFile;
class LProgressReporter;

class LDictationLoadDct {
public:
    // Returns a JobResult (done: loaded; stopped; failed: refused, with a message
    // to ErrorBox). A cancel notice is refused: it holds no dictation, and
    // loading it as an empty one would send that on. Unless it is done
    // the caller deletes the dictation, which takes the attachment files
    // written so far with it.
    static JobResult Process(LProgressReporter& progress, const std::string& path, LDictation& dictation);

    // Loads the file as a new dictation of the folder, named after the file
    // as the Load command names it. A file refused by its header (a notice
    // among them) creates nothing; a later failure deletes the dictation
    // again, so nothing is left. *pFileNumber gets the new number on 0.
    static JobResult LoadAsNew(
        LProgressReporter& progress, const std::string& path, const std::string& folder, uint32_t* pFileNumber);

    // The file name an attachment gets: the dictation's name (its file
    // number when nothing of the name is left) and the stored extension's
    // last part, both cleaned by the file-name rule, so no name from the file
    // can reach another folder.
    static std::string AttachmentFileName(std::string_view name, uint32_t uFileNumber, std::string_view storedName);
    // Creates that file in the folder without replacing one ("name (2).ext",
    // ...), its path at most nMaxPath bytes (the name's stem is cut); the
    // path, or empty when none could be made. The file stays open in *pFile.
    static std::string CreateNewFile(
        const std::string& folder, const std::string& fileName, size_t nMaxPath, LFile* pFile);

    // The one judgement of a DCT's audio once copied out to a file, for the
    // loader and tavrine-cli's extraction alike: empty when it is a whole WAV
    // file this program reads, else the message that refuses the DCT.
    static std::string CheckAudio(const std::string& wav);
    // Messages tavrine-cli's reader shares, so a file is refused alike there.
    static std::string CancelNoticeMessage(uint32_t uFileNumber, uint32_t uUserID);
    static const char* const kCorrupt;
    static const char* const kNotesTooLong;
};
