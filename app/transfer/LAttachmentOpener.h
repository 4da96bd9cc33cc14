// Opens a dictation's attachment for viewing with the desktop's default
// program, never running it. Attachments also arrive inside received files,
// so whether a file may be handed on is decided by its type (name and first
// bytes), never by permission bits, which every file on a FAT or network
// share carries. Plain C++, used on the GUI thread.
#pragma once

#include <functional>
#include <string>
#include <vector>

class LAttachmentOpener {
public:
    enum class Kind {
        Viewable,
        Missing, // absent or unreadable
        NotAFile, // a folder, device or pipe
        NotFullPath,
        DesktopEntry, // a launcher: opening it runs its Exec line
        Script, // a "#!" first line or a script's extension
        Program, // an executable format or a program's extension
    };

    // Starts a program from an argument list (never a shell); false when it
    // could not be started.
    using Launcher = std::function<bool(const std::vector<std::string>& args)>;

    // The default launcher is the program's process runner: detached,
    // reaped on a thread of its own.
    explicit LAttachmentOpener(Launcher launcher = StartDetached);

    static Kind Classify(const std::string& path);
    // The text shown when a file of that kind is not opened; empty for Viewable.
    static std::string Reason(Kind kind, const std::string& path);
    // Hands a viewable file to "xdg-open"; otherwise *pWhyNot gets the reason.
    bool Open(const std::string& path, std::string* pWhyNot);

    static bool StartDetached(const std::vector<std::string>& args);

private:
    Launcher m_launcher;
};
