#include "install/LInstaller.h"

#include "dictation/LDictationEngineSettings.h"
#include "foundation/LFile.h"
#include "foundation/LFolders.h"
#include "foundation/LPath.h"
#include "foundation/LProcessRunner.h"
#include "foundation/LProgressReporter.h"
#include "foundation/LSettingKey.h"
#include "foundation/LSettings.h"
#include "foundation/LTempFolder.h"
#include "foundation/LText.h"
#include "install/LInstallPayload.h"
#include "platform/LSha256.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Where the program and its shipped data were installed, machine-wide.
constexpr LTextKey kProgramFilesKey { true, "Folders", "ProgramFiles", "" };
constexpr LTextKey kDataFilesKey { true, "Folders", "DataFiles", "" };

constexpr size_t kBlock = 4096;
constexpr const char* kUninstallerName = "uninst";
constexpr const char* kManifestName = "install-manifest";
constexpr const char* kProgramEntry = "org.orvane.Tavrine.desktop";
constexpr const char* kManualEntry = "org.orvane.Tavrine.Manual.desktop";
constexpr const char* kUninstallEntry = "org.orvane.Tavrine.Uninstall.desktop";
constexpr const char* kScribeEntry = "org.orvane.TavrineScribe.desktop";
// The typist's program and its icon in the file table.
constexpr size_t kScribeIndex = 5;
constexpr size_t kScribeIconIndex = 6;
constexpr const char* kCopyFolderPrefix = "tavrine-uninst-";

// Entries of the file table that are programs (executable once installed)
// and that get a link on the PATH.
bool IsProgramName(const std::string& name)
{
    return name == "tavrine" || name == "tavrine-cli" || name == "tavrine-scribe";
}

const std::string& ProgramName()
{
    return GetInstallFileTable()[0];
}

std::string Env(const char* name)
{
    const char* sz = std::getenv(name);
    return sz ? std::string(sz) : std::string();
}

bool IsFolder(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// True when path is folder or lies below it (both absolute, without "..").
bool IsAtOrBelow(const std::string& path, const std::string& folder)
{
    if (folder.empty())
        return false;
    return path == folder
        || (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/');
}

// Drops a trailing '/' so that folders compare as text.
std::string Canonical(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string DesktopFolderOfUser()
{
    std::string tool = LProcessRunner::FindProgram("xdg-user-dir");
    if (tool.empty())
        return {};
    LProcessRunner::Options options;
    options.timeoutMs = 5000;
    LProcessResult result = LProcessRunner::Run({ tool, "DESKTOP" }, options, nullptr);
    if (!result.Succeeded())
        return {};
    // Its output is mixed with its complaints on standard error: the answer is
    // the line that is a path.
    std::string folder;
    for (size_t pos = 0; pos < result.output.size();) {
        size_t end = std::min(result.output.find('\n', pos), result.output.size());
        if (result.output[pos] == '/')
            folder = Canonical(result.output.substr(pos, end - pos));
        pos = end + 1;
    }
    // The tool answers the home folder itself when no desktop is set up; the
    // entries never go loose into the home folder.
    if (folder.empty() || folder[0] != '/' || folder == Canonical(Env("HOME")) || !IsFolder(folder))
        return {};
    return folder;
}

// Makes each missing folder of the path with mode 0755 (the umask would
// otherwise decide what others may do).
bool MakeFolders(const std::string& path)
{
    if (path.empty() || path[0] != '/')
        return false;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos < path.size() && path[pos] != '/')
            continue;
        std::string part = path.substr(0, pos);
        if (::mkdir(part.c_str(), 0755) == 0)
            ::chmod(part.c_str(), 0755);
        else if (errno != EEXIST)
            return false;
    }
    return IsFolder(path);
}

// A desktop entry's Exec argument: quoted, with the characters the quoting
// reserves escaped, then escaped again as a string value; '%' doubled.
std::string ExecArg(const std::string& arg)
{
    std::string quoted = "\"";
    for (char c : arg) {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    std::string out;
    for (char c : quoted) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out;
}

// A string value of a desktop entry.
std::string EntryString(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

std::string DesktopEntry(const std::string& name, const std::string& comment, const std::vector<std::string>& exec,
    const std::string& tryExec, const std::string& icon, const std::string& categories)
{
    std::string text = "[Desktop Entry]\nType=Application\nName=" + name + "\nComment=" + comment + "\nExec=";
    for (size_t i = 0; i < exec.size(); ++i)
        text += (i ? " " : "") + ExecArg(exec[i]);
    text
        += "\nTryExec=" + EntryString(tryExec) + "\nIcon=" + icon + "\nTerminal=false\nCategories=" + categories + "\n";
    return text;
}

// What an install wrote, one "KIND<TAB>PATH" line each, rewritten before
// each new item appears so that a crash or a cancel never leaves an item
// the uninstaller does not know of.
class LManifest {
public:
    explicit LManifest(std::string path)
        : m_path(std::move(path))
    {
    }
    bool Add(const char* kind, const std::string& itemPath)
    {
        std::string line = std::string(kind) + "\t" + itemPath + "\n";
        if (m_text.find(line) == std::string::npos)
            m_text += line;
        return WriteFileAtomic(m_path, m_text.data(), m_text.size(), 0644);
    }

private:
    std::string m_path;
    std::string m_text;
};

// Copies one payload entry into place: a hidden temporary file beside the
// target, fsync, rename. For the program a second copy becomes the
// uninstaller; each carries its 4 marker bytes (0 for the program).
class LEntryWriter {
public:
    ~LEntryWriter()
    {
        for (Part& part : m_parts)
            if (!part.path.empty())
                DeleteFileAt(part.path);
    }
    bool Add(const std::string& target, unsigned mode, bool bMarker, uint32_t marker)
    {
        Part part;
        part.target = target;
        part.path = CreatePartialFile(target);
        part.mode = mode;
        part.bMarker = bMarker;
        part.marker = marker;
        if (part.path.empty() || !part.file.Open(part.path, LFile::kWrite, LFile::kShareNone, LFile::kOpenExisting))
            return false;
        m_parts.push_back(std::move(part));
        return true;
    }
    bool Write(const uint8_t* p, size_t n)
    {
        for (Part& part : m_parts)
            if (!part.file.Write(p, n))
                return false;
        return true;
    }
    bool Commit(LManifest& manifest)
    {
        for (Part& part : m_parts) {
            if (part.bMarker) {
                uint8_t tail[4] = { uint8_t(part.marker), uint8_t(part.marker >> 8), uint8_t(part.marker >> 16),
                    uint8_t(part.marker >> 24) };
                if (!part.file.Write(tail, 4))
                    return false;
            }
            if (::fchmod(part.file.Fd(), part.mode) != 0)
                return false;
            part.file.Close();
            if (!manifest.Add("file", part.target) || !CommitPartialFile(part.path, part.target))
                return false;
            part.path.clear();
        }
        return true;
    }

private:
    struct Part {
        std::string target;
        std::string path;
        LFile file;
        unsigned mode = 0644;
        bool bMarker = false;
        uint32_t marker = 0;
    };
    std::vector<Part> m_parts;
};

bool WriteItem(LManifest& manifest, const char* kind, const std::string& path, const std::string& text, unsigned mode)
{
    return manifest.Add(kind, path) && WriteFileAtomic(path, text.data(), text.size(), mode);
}

// A symbolic link on the PATH; an existing file that is not a link is left
// alone (another program of that name), and said so.
bool PlaceLink(LManifest& manifest, const std::string& link, const std::string& target, std::string* pNotice)
{
    struct stat st;
    if (::lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        *pNotice += tplprintf("\"%s\" already exists and was left as it is.\n", link);
        return true;
    }
    std::string temp = CreatePartialFile(link);
    if (temp.empty())
        return false;
    ::unlink(temp.c_str());
    if (::symlink(target.c_str(), temp.c_str()) != 0)
        return false;
    if (!manifest.Add("link", link) || ::rename(temp.c_str(), link.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

std::string Failed(const std::string& what)
{
    return tplprintf("Cannot create \"%s\": %s.", what, std::strerror(errno));
}

bool Finalize(
    const LInstallLayout& layout, LManifest& manifest, const std::vector<bool>& present, LInstallResult* pResult)
{
    const std::vector<std::string>& table = GetInstallFileTable();
    const std::string program = FilePathCat(layout.programFolder, ProgramName());
    const std::string uninstaller = FilePathCat(layout.programFolder, kUninstallerName);
    if (!MakeFolders(layout.binFolder)) {
        pResult->error = Failed(layout.binFolder);
        return false;
    }
    for (size_t i = 0; i < table.size(); ++i) {
        if (present[i] && IsProgramName(table[i])
            && !PlaceLink(manifest, FilePathCat(layout.binFolder, table[i]),
                FilePathCat(layout.programFolder, table[i]), &pResult->notice)) {
            pResult->error = Failed(FilePathCat(layout.binFolder, table[i]));
            return false;
        }
    }

    struct Entry {
        std::string folder;
        const char* name;
        std::string text;
    };
    std::vector<Entry> entries;
    const std::string programText = DesktopEntry("Tavrine Dictate", "Record dictations and send them for transcription",
        { program }, program, "audio-input-microphone", "AudioVideo;Audio;Recorder;");
    entries.push_back({ layout.applicationsFolder, kProgramEntry, programText });
    const std::string manual = FilePathCat(layout.programFolder, table[1]);
    if (present[1])
        entries.push_back({ layout.applicationsFolder, kManualEntry,
            DesktopEntry("Tavrine Dictate Help", "The user manual of Tavrine Dictate", { "xdg-open", manual },
                "xdg-open", "help-browser", "AudioVideo;Audio;") });
    if (present[kScribeIndex]) {
        const std::string scribe = FilePathCat(layout.programFolder, table[kScribeIndex]);
        const std::string icon = present[kScribeIconIndex] ? FilePathCat(layout.programFolder, table[kScribeIconIndex])
                                                           : std::string("accessories-text-editor");
        entries.push_back({ layout.applicationsFolder, kScribeEntry,
            DesktopEntry("Tavrine Scribe", "Play received dictations under a foot pedal and send the progress back",
                { scribe }, scribe, icon, "AudioVideo;Audio;Player;Office;") });
    }
    entries.push_back({ layout.applicationsFolder, kUninstallEntry,
        DesktopEntry("Tavrine Dictate Uninstall", "Remove Tavrine Dictate from this computer", { uninstaller },
            uninstaller, "edit-delete", "AudioVideo;Audio;") });
    if (!layout.desktopFolder.empty())
        entries.push_back({ layout.desktopFolder, kProgramEntry, programText });
    if (!MakeFolders(layout.applicationsFolder)) {
        pResult->error = Failed(layout.applicationsFolder);
        return false;
    }
    for (const Entry& entry : entries) {
        // A launcher on the desktop is trusted by file managers only when executable.
        const unsigned mode = entry.folder == layout.desktopFolder ? 0755 : 0644;
        const std::string path = FilePathCat(entry.folder, entry.name);
        if (!WriteItem(manifest, "entry", path, entry.text, mode)) {
            pResult->error = Failed(path);
            return false;
        }
    }

    const std::string rule = table[4];
    if (present[4]) {
        const std::string installed = FilePathCat(layout.programFolder, rule);
        std::string text;
        if (!layout.udevFolder.empty() && ReadTextFile(installed, &text)) {
            const std::string path = FilePathCat(layout.udevFolder, rule);
            if (!MakeFolders(layout.udevFolder) || !WriteItem(manifest, "file", path, text, 0644)) {
                pResult->error = Failed(path);
                return false;
            }
            std::string udevadm = LProcessRunner::FindProgram("udevadm");
            if (!udevadm.empty()) {
                LProcessRunner::Options options;
                options.timeoutMs = 10000;
                LProcessRunner::Run({ udevadm, "control", "--reload" }, options, nullptr);
            }
        } else if (layout.udevFolder.empty()) {
            pResult->notice += tplprintf("Foot pedals and dictation microphones need a rule that only the "
                                         "administrator can add:\n  sudo install -m 644 \"%s\" /etc/udev/rules.d/\n"
                                         "  sudo udevadm control --reload && sudo udevadm trigger\n",
                installed);
        }
    }
    pResult->program = program;
    pResult->uninstaller = uninstaller;
    return true;
}

// Where an uninstall may remove an item of the manifest, by its kind: only
// the names the installer writes, only in the folders it writes them to.
bool IsInstalledItem(const LInstallLayout& layout, const std::string& kind, const std::string& path)
{
    if (path.empty() || path[0] != '/' || path.find("/../") != std::string::npos
        || path.find("/./") != std::string::npos || path.find("//") != std::string::npos)
        return false;
    const std::string folder = Canonical(_GetFolderFromPath(path));
    const std::string name = _GetFileFromPath(path);
    const std::vector<std::string>& table = GetInstallFileTable();
    auto in = [&](const std::string& allowed) { return !allowed.empty() && folder == Canonical(allowed); };
    if (kind == "file") {
        if (in(layout.programFolder))
            return name == kUninstallerName || std::find(table.begin(), table.end(), name) != table.end();
        return in(layout.udevFolder) && name == table[4];
    }
    if (kind == "link")
        return in(layout.binFolder) && IsProgramName(name);
    if (kind == "entry")
        return (in(layout.applicationsFolder)
                   && (name == kProgramEntry || name == kManualEntry || name == kUninstallEntry
                       || name == kScribeEntry))
            || (in(layout.desktopFolder) && name == kProgramEntry);
    return false;
}

// Removes a folder when empty, unless the dictations live in it or below it.
void RemoveEmptyFolder(const std::string& folder, const std::string& dataFolder)
{
    if (!IsAtOrBelow(dataFolder, folder))
        ::rmdir(folder.c_str());
}

void RemoveSettings(const LInstallLayout& layout, const std::string& dataFolder, LUninstallResult* pResult)
{
    // The folder values go wherever they were written, also from a machine
    // file that a user may write but that is not removed for a user install.
    kProgramFilesKey.Delete();
    kDataFilesKey.Delete();
    std::vector<std::string> files = { GetUserSettingsPath(), GetMachineOverlayPath() };
    if (layout.bSystem)
        files.push_back(GetMachineSettingsPath());
    std::vector<std::string> folders;
    for (const std::string& file : files) {
        const std::string folder = Canonical(_GetFolderFromPath(file));
        // Beside each file lie its lock files, "user.conf.lock" and the
        // file number's "user.conf.FileNumber.lock": left, they keep the
        // settings folder from going.
        std::vector<std::string> paths = { file };
        const std::string lockPrefix = _GetFileFromPath(file) + ".";
        if (DIR* pDir = ::opendir(folder.c_str())) {
            while (const struct dirent* pEntry = ::readdir(pDir)) {
                const std::string_view name = pEntry->d_name;
                if (name.starts_with(lockPrefix) && name.ends_with(".lock"))
                    paths.push_back(FilePathCat(folder, std::string(name)));
            }
            ::closedir(pDir);
        }
        for (const std::string& path : paths) {
            struct stat st;
            if (::lstat(path.c_str(), &st) == 0 && ::unlink(path.c_str()) != 0)
                pResult->failed.push_back(path);
        }
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    // The "Orvane/Tavrine" folders, then "Orvane" once nothing else of the maker is left.
    for (const std::string& folder : folders) {
        if (_GetFileFromPath(folder) != "Tavrine")
            continue;
        RemoveEmptyFolder(folder, dataFolder);
        const std::string parent = Canonical(_GetFolderFromPath(folder));
        if (_GetFileFromPath(parent) == "Orvane")
            RemoveEmptyFolder(parent, dataFolder);
    }
}

std::string PrivateBase()
{
    std::string runtime = Canonical(Env("XDG_RUNTIME_DIR"));
    struct stat st;
    if (!runtime.empty() && runtime[0] == '/' && ::lstat(runtime.c_str(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0)
        return runtime;
    const std::string& temp = LTempFolder::Path();
    return temp.empty() ? std::string() : Canonical(_GetFolderFromPath(temp));
}

} // namespace

LInstallLayout GetInstallLayout(bool bSystem)
{
    LInstallLayout layout;
    layout.bSystem = bSystem;
    if (bSystem) {
        layout.programFolder = "/opt/Orvane/Tavrine";
        layout.binFolder = "/usr/local/bin";
        layout.applicationsFolder = "/usr/local/share/applications";
        layout.udevFolder = "/etc/udev/rules.d";
    } else {
        const std::string data = Canonical(GetUserDataFolder());
        const std::string home = Canonical(Env("HOME"));
        if (data.empty() || data[0] != '/' || home.empty() || home[0] != '/')
            return layout;
        layout.programFolder = FilePathCat(FilePathCat(data, "Orvane"), "Tavrine");
        layout.binFolder = FilePathCat(FilePathCat(home, ".local"), "bin");
        layout.applicationsFolder = FilePathCat(data, "applications");
    }
    layout.desktopFolder = DesktopFolderOfUser();
    return layout;
}

LInstallLayout GetInstallLayout()
{
    return GetInstallLayout(::geteuid() == 0);
}

bool CreateProgramFolder(const LInstallLayout& layout, std::string* pError)
{
    const std::string& folder = layout.programFolder;
    struct stat st;
    // An existing folder is used only when it is ours; one that others may
    // write is closed to them, since they could replace the program.
    bool bOk = MakeFolders(folder) && ::lstat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)
        && st.st_uid == ::geteuid() && ((st.st_mode & 022) == 0 || ::chmod(folder.c_str(), 0755) == 0);
    if (!bOk)
        *pError = kInstallNoAdminText;
    return bOk;
}

bool WriteFolderSettings(const LInstallLayout& layout)
{
    // DataFiles names the shipped data (Test.wav, the manual), read-only for
    // the users of a system install; dictations go to each user's own folder.
    bool bOk = kProgramFilesKey.Set(layout.programFolder);
    return kDataFilesKey.Set(layout.programFolder) && bOk;
}

std::string GetManifestPath(const LInstallLayout& layout)
{
    return FilePathCat(layout.programFolder, kManifestName);
}

LInstallResult Install(const std::string& setupFile, const LInstallLayout& layout, LProgressReporter* pProgress)
{
    LInstallResult result;
    auto text = [&](const std::string& line, int n) {
        if (pProgress)
            pProgress->SetText(line, n);
    };
    text("Installing Tavrine Dictate", 0);

    // The whole file is checked before anything is made, so a damaged or
    // doctored download leaves no trace: not even the program folder.
    const std::vector<std::string>& table = GetInstallFileTable();
    LInstallTable sizes;
    std::string detail;
    if (!CheckSetupFile(setupFile, table, pProgress, &result.bCancelled, &sizes, &detail)) {
        if (!result.bCancelled)
            result.error = kInstallCorruptText;
        return result;
    }
    if (!CreateProgramFolder(layout, &result.error))
        return result;
    WriteFolderSettings(layout);

    LFile in;
    if (!in.Open(setupFile, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting)) {
        result.error = tplprintf("Cannot open \"%s\": %s.", setupFile, std::strerror(in.LastErrno()));
        return result;
    }
    LManifest manifest(GetManifestPath(layout));
    std::vector<bool> present(table.size(), false);
    uint64_t copied = 0;
    uint8_t buf[kBlock];
    // The digest list at the end is not installed.
    const uint64_t total = sizes.nPayloadBytes - uint64_t(sizes.sizes.back());
    for (size_t i = 0; i < table.size(); ++i) {
        const int32_t size = sizes.sizes[i];
        if (size < 1)
            continue;
        text(table[i], 1);
        LSha256 sha;
        const std::string target = FilePathCat(layout.programFolder, table[i]);
        LEntryWriter writer;
        bool bOk = writer.Add(target, IsProgramName(table[i]) ? 0755 : 0644, i == 0, 0);
        if (bOk && i == 0)
            bOk = writer.Add(FilePathCat(layout.programFolder, kUninstallerName), 0755, true, kUninstallMarker);
        for (int32_t done = 0; bOk && done < size;) {
            const size_t want = size_t(std::min<int32_t>(int32_t(kBlock), size - done));
            if (in.Read(buf, want) != want) {
                result.error = tplprintf("Cannot read \"%s\".", setupFile);
                return result;
            }
            bOk = writer.Write(buf, want);
            sha.Update(buf, want);
            done += int32_t(want);
            copied += want;
            if (pProgress) {
                pProgress->SetProgress(double(copied) / double(total));
                // The file being written is dropped (the writer deletes it);
                // the ones already in place stay, listed in the manifest.
                if (pProgress->Pump()) {
                    result.bCancelled = true;
                    return result;
                }
            }
        }
        // The file may have changed since it was checked: what goes into
        // place is what was checked.
        if (bOk && sha.FinalHex() != sizes.digests[i]) {
            result.error = kInstallCorruptText;
            return result;
        }
        if (!bOk || !writer.Commit(manifest)) {
            result.error = Failed(target);
            return result;
        }
        present[i] = true;
    }
    in.Close();
    text("Finalizing", 0);
    text("", 1);
    result.bOk = Finalize(layout, manifest, present, &result);
    return result;
}

LUninstallResult Uninstall(const LInstallLayout& layout, LProgressReporter* pProgress)
{
    LUninstallResult result;
    std::string working = LDictationEngineSettings::GetWorkingFolderSetting();
    if (working.empty() && !GetUserDataFolder().empty())
        working = FilePathCat(GetUserDataFolder(), "Tavrine");
    result.dataFolder = Canonical(working);

    const std::string manifestPath = GetManifestPath(layout);
    LFile file;
    std::string text;
    if (file.Open(manifestPath, LFile::kRead, LFile::kShareRead, LFile::kOpenExisting)) {
        const uint64_t size = file.GetFileSizeBytes();
        text.resize(size_t(std::min<uint64_t>(size, 1u << 20)));
        text.resize(file.Read(text.data(), text.size()));
        file.Close();
    } else {
        result.error = tplprintf("Cannot read the list of installed files \"%s\".", manifestPath);
        return result;
    }
    std::vector<std::pair<std::string, std::string>> items;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            continue;
        std::string kind = line.substr(0, tab), path = line.substr(tab + 1);
        if (!IsInstalledItem(layout, kind, path)) {
            result.error = tplprintf("The list of installed files names \"%s\", which the installer never writes; "
                                     "nothing was removed.",
                path);
            return result;
        }
        items.emplace_back(std::move(kind), std::move(path));
    }

    for (size_t i = 0; i < items.size(); ++i) {
        const auto& [kind, path] = items[i];
        if (pProgress) {
            pProgress->SetText(path, 1);
            pProgress->SetProgress(double(i) / double(items.size()));
        }
        struct stat st;
        if (::lstat(path.c_str(), &st) != 0 || path == result.dataFolder)
            continue;
        if (kind == "link") {
            // Only a link that still leads into the program folder is ours.
            char target[kMaxPath + 1];
            const ssize_t n = ::readlink(path.c_str(), target, kMaxPath);
            if (!S_ISLNK(st.st_mode) || n <= 0 || !IsAtOrBelow(std::string(target, size_t(n)), layout.programFolder))
                continue;
        } else if (!S_ISREG(st.st_mode)) {
            continue;
        }
        if (::unlink(path.c_str()) != 0)
            result.failed.push_back(path);
    }
    if (::unlink(manifestPath.c_str()) != 0)
        result.failed.push_back(manifestPath);
    const std::string program = Canonical(layout.programFolder);
    RemoveEmptyFolder(program, result.dataFolder);
    const std::string maker = Canonical(_GetFolderFromPath(program));
    if (_GetFileFromPath(maker) == "Orvane")
        RemoveEmptyFolder(maker, result.dataFolder);
    RemoveSettings(layout, result.dataFolder, &result);
    if (pProgress)
        pProgress->SetProgress(1.0);
    result.bOk = result.failed.empty();
    if (!result.bOk)
        result.error = tplprintf("%d installed files could not be removed.", uint32_t(result.failed.size()));
    return result;
}

std::string CopyUninstallerToPrivateFolder(const std::string& uninstaller, std::string* pError)
{
    const std::string base = PrivateBase();
    std::string folder = FilePathCat(base, std::string(kCopyFolderPrefix) + "XXXXXX");
    if (base.empty() || !::mkdtemp(folder.data())) {
        *pError = tplprintf("Cannot create a private folder for the uninstaller: %s.", std::strerror(errno));
        return {};
    }
    const std::string copy = FilePathCat(folder, kUninstallerName);
    LFile in, out;
    bool bOk = in.Open(uninstaller, LFile::kRead, LFile::kShareReadWrite, LFile::kOpenExisting)
        && out.Open(copy, LFile::kWrite, LFile::kShareNone, LFile::kCreateNew, 0700);
    uint8_t buf[kBlock];
    for (size_t n; bOk && (n = in.Read(buf, sizeof buf)) > 0;)
        bOk = out.Write(buf, n);
    bOk = bOk && in.LastError() == LFile::Error::None && out.Sync();
    out.Close();
    if (!bOk) {
        *pError = tplprintf("Cannot copy the uninstaller \"%s\": %s.", uninstaller, std::strerror(errno));
        DeleteFileAt(copy);
        ::rmdir(folder.c_str());
        return {};
    }
    return copy;
}

void RemoveUninstallerCopy(const std::string& copyPath)
{
    const std::string folder = Canonical(_GetFolderFromPath(copyPath));
    if (_GetFileFromPath(copyPath) != kUninstallerName || !_GetFileFromPath(folder).starts_with(kCopyFolderPrefix)
        || Canonical(_GetFolderFromPath(folder)) != PrivateBase())
        return;
    ::unlink(copyPath.c_str());
    ::rmdir(folder.c_str());
}
