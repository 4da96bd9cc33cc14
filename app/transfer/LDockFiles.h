// The audio-file dock: loading the files a portable recorder left in a
// folder (and two levels of its subfolders) as new dictations, optionally
// only those newer than the last dock, deleting and sending them. One walk
// for the window's dock command and tavrine-cli dock; what loading and
// sending mean is the caller's (LDockFileHost). Runs on the caller's thread.
#pragma once

#include "foundation/JobResult.h"
#include "foundation/LSettingKey.h"

#include <cstdint>
#include <string>
#include <vector>

// The settings of the dock, section "Dock" of the machine-wide scope.
namespace DockKeys {
inline constexpr const char* kSection = "Dock";
// The method used last: -1 none yet, 0 audio cable, 1 audio files.
inline constexpr LSettingKey<int> kMethod { true, kSection, "Method", -1 };
inline constexpr LTextKey kFolder { true, kSection, "Folder", "" };
inline const LSettingKey<bool> kDeleteFiles { true, kSection, "DeleteFiles", false };
inline const LSettingKey<bool> kOnlyNewFiles { true, kSection, "OnlyNewFiles", true };
inline const LSettingKey<bool> kAutoSend { true, kSection, "AutoSend", false };
// The newest file time loaded so far: seconds since 1970 of the file's
// modification time as local wall-clock time.
inline constexpr LSettingKey<int> kLastDate { true, kSection, "LastDate", 0 };
// Per user: the files a dock could not load, so that later docks pass them
// over instead of failing on them again. Value name: the file's real path;
// value: its size and modification time (DockRefusedStamp), so that a file
// replaced by another copy is tried again.
inline constexpr const char* kRefusedSection = "DockRefused";
// The audio-cable window's recording. Devices and channels are combo
// indexes (device 0 the default, channel 0 the default input).
inline constexpr LSettingKey<int> kRecordDevice { true, kSection, "RecordDevice", 0 };
inline constexpr LSettingKey<int> kRecordChannel { true, kSection, "RecordChannel", 0 };
inline constexpr LSettingKey<int> kRecordVolume { true, kSection, "RecordVolume", 0 };
inline constexpr LSettingKey<int> kActiveLevel { true, kSection, "ActiveLevel", -15 };
inline const LSettingKey<bool> kHighSpeed { true, kSection, "HighSpeed", false };
inline constexpr LSettingKey<int> kHighSpeedPercent { true, kSection, "HighSpeedPercent", 200 };
} // namespace DockKeys

struct LDockFileOptions {
    std::string folder;
    bool bDeleteFiles = false;
    bool bOnlyNewFiles = true;
    bool bAutoSend = false;

    // The stored options, and storing them (false when the store refused one).
    static LDockFileOptions Read();
    bool Store() const;
};

// What the walk needs of the program that runs it.
class LDockFileHost {
public:
    virtual ~LDockFileHost() = default;
    // Loads one file as a new dictation of the folder given to DockFiles:
    // done with *pNumber set, stopped (the dock ends), or failed (the host
    // has said why). *pbRefused is set when the file itself cannot be loaded
    // (the host may have said why; the walk goes on without it).
    virtual JobResult Load(const std::string& path, uint32_t* pNumber, bool* pbRefused) = 0;
    // Sends a dictation just loaded to the default recipient; false when it
    // was not sent (the host has said why; the dictation stays).
    virtual bool Send(uint32_t uNumber) = 0;
    // A file was loaded as this dictation (after its deletion, when asked).
    virtual void Loaded(const std::string& path, uint32_t uNumber)
    {
        (void)path;
        (void)uNumber;
    }
    // A loaded file could not be deleted.
    virtual void DeleteFailed(const std::string& path) { (void)path; }
};

struct LDockFileResult {
    unsigned nLoaded = 0;
    unsigned nFailed = 0; // loads or sends that failed, each ending its pattern in its folder
    // Files refused for the first time, which later docks pass over; the
    // caller tells the user how to clear them. Counted in nFailed as well.
    std::vector<std::string> refused;
    unsigned nPassedOver = 0; // files refused by an earlier dock and unchanged since
    bool bStopped = false;
    bool bNoFolder = false; // the folder is not there: nothing was done
};

// The extensions loaded, in this order, in each folder.
inline constexpr const char* kDockPatterns[] = { ".wav", ".mp3", ".sri", ".dss", ".wma", ".vox", ".dct" };

// Docks the files of options.folder into the dictation folder `current`:
// for each subfolder S (sorted, not hidden) the files of each subfolder of
// S, then those of S; then those of the folder itself. In each folder the
// patterns go in order, files by name, extensions in any case. With
// "OnlyNewFiles" a file is loaded when its time is after "LastDate" as it
// stood when the dock began. When it ends, "LastDate" becomes the newest time
// loaded, but never the time of a file that a failure left unloaded or later,
// so that the next dock tries that file again. A file that cannot be loaded
// is remembered and passed over, by this dock and the later ones, until it
// changes; what is remembered of files no longer there goes at the end. A
// file is deleted only when the dictation made of it is on the disk (header
// and audio synced).
LDockFileResult DockFiles(LDockFileHost& host, const LDockFileOptions& options, const std::string& current);

// A file's modification time as local wall-clock seconds since 1970; -1 when
// it cannot be read.
int64_t DockFileTime(const std::string& path);

// What a refused file is remembered by: "<size> <seconds>.<nanoseconds>" of
// its modification time; empty when it cannot be read.
std::string DockRefusedStamp(const std::string& path);
