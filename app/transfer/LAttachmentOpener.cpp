#include "app/transfer/LAttachmentOpener.h"

#include "foundation/LProcessRunner.h"
#include "foundation/LText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 2> kDesktopExtensions = { "desktop", "kdelnk" };
constexpr std::array<std::string_view, 36> kScriptExtensions = { "sh", "bash", "zsh", "ksh", "csh", "tcsh", "fish",
    "command", "tool", "py", "pyw", "pyc", "pyo", "pyz", "pl", "pm", "cgi", "rb", "php", "lua", "tcl", "awk", "js",
    "jse", "mjs", "vbs", "vbe", "wsf", "wsh", "ps1", "psm1", "bat", "cmd", "hta", "applescript", "scpt" };
constexpr std::array<std::string_view, 21> kProgramExtensions
    = { "exe", "com", "scr", "msi", "msp", "pif", "cpl", "dll", "so", "elf", "run", "appimage", "jar", "jnlp", "class",
          "apk", "deb", "rpm", "snap", "flatpak", "flatpakref" };

std::string LowerExtension(const std::string& path)
{
    size_t nSlash = path.find_last_of('/');
    std::string name = nSlash == std::string::npos ? path : path.substr(nSlash + 1);
    size_t nDot = name.find_last_of('.');
    if (nDot == std::string::npos || nDot + 1 >= name.size())
        return {};
    std::string ext = name.substr(nDot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
        [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
    return ext;
}

template <size_t N> bool IsOneOf(const std::string& ext, const std::array<std::string_view, N>& list)
{
    return std::find(list.begin(), list.end(), ext) != list.end();
}

bool StartsWith(const std::string& data, std::string_view prefix)
{
    return data.size() >= prefix.size() && std::memcmp(data.data(), prefix.data(), prefix.size()) == 0;
}

// A launcher is recognised by content too: the desktop sniffs a file whose
// name says nothing and would run it all the same.
bool IsDesktopEntryText(const std::string& head)
{
    size_t nPos = 0;
    if (StartsWith(head, "\xEF\xBB\xBF"))
        nPos = 3;
    while (nPos < head.size()) {
        size_t nEnd = head.find('\n', nPos);
        std::string_view line(head.data() + nPos, (nEnd == std::string::npos ? head.size() : nEnd) - nPos);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.remove_suffix(1);
        if (!line.empty() && line.front() != '#')
            return line == "[Desktop Entry]" || line == "[KDE Desktop Entry]";
        if (nEnd == std::string::npos)
            break;
        nPos = nEnd + 1;
    }
    return false;
}

bool IsProgramImage(const std::string& head)
{
    static const std::string_view kMagics[] = {
        std::string_view("\x7f"
                         "ELF",
            4),
        std::string_view("MZ", 2), // DOS and Windows programs
        std::string_view("\xFE\xED\xFA\xCE", 4), // Mach-O, both ends and widths
        std::string_view("\xFE\xED\xFA\xCF", 4), std::string_view("\xCE\xFA\xED\xFE", 4),
        std::string_view("\xCF\xFA\xED\xFE", 4),
        std::string_view("\xCA\xFE\xBA\xBE", 4), // Mach-O universal, Java class
    };
    return std::any_of(std::begin(kMagics), std::end(kMagics), [&](std::string_view m) { return StartsWith(head, m); });
}

} // namespace

LAttachmentOpener::LAttachmentOpener(Launcher launcher)
    : m_launcher(std::move(launcher))
{
}

LAttachmentOpener::Kind LAttachmentOpener::Classify(const std::string& path)
{
    if (path.empty() || path.front() != '/')
        return Kind::NotFullPath;
    // The name counts before the content: a launcher or script is refused
    // even when it cannot be read now.
    std::string ext = LowerExtension(path);
    if (IsOneOf(ext, kDesktopExtensions))
        return Kind::DesktopEntry;
    if (IsOneOf(ext, kScriptExtensions))
        return Kind::Script;
    if (IsOneOf(ext, kProgramExtensions))
        return Kind::Program;

    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return Kind::Missing;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return Kind::Missing;
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return Kind::NotAFile;
    }
    std::string head(4096, '\0');
    size_t nHave = 0;
    while (nHave < head.size()) {
        ssize_t n = ::read(fd, head.data() + nHave, head.size() - nHave);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        nHave += static_cast<size_t>(n);
    }
    ::close(fd);
    head.resize(nHave);
    if (StartsWith(head, "#!"))
        return Kind::Script;
    if (IsProgramImage(head))
        return Kind::Program;
    if (IsDesktopEntryText(head))
        return Kind::DesktopEntry;
    return Kind::Viewable;
}

std::string LAttachmentOpener::Reason(Kind kind, const std::string& path)
{
    const char* szWhy = nullptr;
    switch (kind) {
    case Kind::Viewable:
        return {};
    case Kind::Missing:
        szWhy = "the file cannot be found or read.";
        break;
    case Kind::NotAFile:
        szWhy = "it is not a file.";
        break;
    case Kind::NotFullPath:
        szWhy = "the attachment has no full path.";
        break;
    case Kind::DesktopEntry:
        szWhy = "it is a desktop launcher, which would start a program. Attachments are only opened for viewing.";
        break;
    case Kind::Script:
        szWhy = "it is a script, which would run. Attachments are only opened for viewing, never run.";
        break;
    case Kind::Program:
        szWhy = "it is a program, which would run. Attachments are only opened for viewing, never run.";
        break;
    }
    return tplprintf("The attachment \"%s\" was not opened: %s", path, szWhy);
}

bool LAttachmentOpener::Open(const std::string& path, std::string* pWhyNot)
{
    Kind kind = Classify(path);
    if (kind != Kind::Viewable) {
        if (pWhyNot)
            *pWhyNot = Reason(kind, path);
        return false;
    }
    // The path starts with '/', so xdg-open can never take it for an option.
    if (!m_launcher || !m_launcher({ "xdg-open", path })) {
        if (pWhyNot)
            *pWhyNot = tplprintf("The attachment \"%s\" could not be opened: no program to view it was started.", path);
        return false;
    }
    return true;
}

bool LAttachmentOpener::StartDetached(const std::vector<std::string>& args)
{
    return LProcessRunner::StartDetached(args);
}
