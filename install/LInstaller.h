// Installing the program from its setup file and removing it again: where
// the files, links and desktop entries go for root or for one user, the
// install process (checksum first, then each file under a temporary name
// renamed into place), and the uninstall process driven by the manifest the
// install wrote. The bodies run on the thread that owns the progress
// reporter; no Qt here, the dialogs are the desktop program's.
#pragma once

#include <string>
#include <vector>

class LProgressReporter;

// Texts the installer and the program's start share.
inline constexpr const char* kInstallErrorCaption = "Install Error";
inline constexpr const char* kInstallCorruptText
    = "Installation file corrupt.\n\nA checksum error was detected in your "
      "install file, please redownload file and install again.";
inline constexpr const char* kInstallNoAdminText
    = "To install software you must be logged on as this computer's Administrator. If you are not able to do "
      "this, ask your computer Administrator to log in and run the setup file again.";

struct LInstallLayout {
    bool bSystem = false; // installed by root for every user
    std::string programFolder; // /opt/Orvane/Tavrine or $XDG_DATA_HOME/Orvane/Tavrine
    std::string binFolder; // links to the programs: /usr/local/bin or ~/.local/bin
    std::string applicationsFolder; // desktop entries: /usr/local/share/applications or $XDG_DATA_HOME/applications
    std::string desktopFolder; // the user's desktop (xdg-user-dir DESKTOP); empty: none
    std::string udevFolder; // /etc/udev/rules.d for root; empty for a user, who is told how to add the rule
};

// The layout for root (bSystem) or for the calling user, from $HOME and
// $XDG_DATA_HOME; the desktop folder is asked of xdg-user-dir when it is
// installed and kept only when it exists. Empty program folder: no home.
LInstallLayout GetInstallLayout(bool bSystem);
// The layout for whoever runs the process (root or not).
LInstallLayout GetInstallLayout();

// Makes the program folder and its parents (0755, owned by the caller,
// never writable by others; an existing one that others may write is made
// private). False with kInstallNoAdminText when it does not exist afterwards.
bool CreateProgramFolder(const LInstallLayout& layout, std::string* pError);
// The machine-wide "Folders" values "ProgramFiles" and "DataFiles" (the
// program folder, which holds the shipped, read-only data such as Test.wav).
bool WriteFolderSettings(const LInstallLayout& layout);

// The list of everything an install wrote, in the program folder.
std::string GetManifestPath(const LInstallLayout& layout);

struct LInstallResult {
    bool bOk = false;
    bool bCancelled = false;
    std::string error; // for the user: kInstallCorruptText on a checksum error
    std::string notice; // for the user after success (how to add the udev rule per user), may be empty
    std::string program; // the installed program, to start afterwards
    std::string uninstaller;
};

// Checks the setup file's whole checksum, then copies each entry of the file
// table into the program folder (4096-byte blocks, progress after each, a
// cancel ends at a block's end and removes the file being written, keeping
// the ones already complete); then finalizes: the program and "uninst" with
// their markers, links, desktop entries, the udev rule as root, the
// manifest. Calls CreateProgramFolder itself. pProgress may be null.
LInstallResult Install(const std::string& setupFile, const LInstallLayout& layout, LProgressReporter* pProgress);

struct LUninstallResult {
    bool bOk = false;
    std::string error; // for the user
    std::string dataFolder; // where the dictations stay (never removed)
    std::vector<std::string> failed; // paths that could not be removed
};

// Removes what the manifest lists (entries pointing outside the layout's
// folders are refused), the program folder when empty afterwards, and the
// settings (the user's "Orvane/Tavrine" settings folder, the machine-wide
// file when it can be written, then "Orvane" when empty). The working data
// folder, and anything holding it, is never removed.
LUninstallResult Uninstall(const LInstallLayout& layout, LProgressReporter* pProgress);

// The installed uninstaller cannot remove itself while it runs: this copies
// it into a new private folder (mode 0700 under $XDG_RUNTIME_DIR, else the
// process's temporary folder's parent) that outlives the caller, and returns
// the copy's path (empty, with *pError, on failure). The copy started with
// "/uninstall" calls RemoveUninstallerCopy on its own path when done.
std::string CopyUninstallerToPrivateFolder(const std::string& uninstaller, std::string* pError);
// Deletes such a copy and its folder; does nothing for any other path.
void RemoveUninstallerCopy(const std::string& copyPath);
