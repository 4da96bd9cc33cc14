#include "app/cli/LCliCommand.h"

#include "foundation/LFile.h"
#include "foundation/LPath.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

static std::vector<LCliCommand>& Commands()
{
    static std::vector<LCliCommand> commands;
    return commands;
}

LCliRegistrar::LCliRegistrar(const LCliCommand& command)
{
    Commands().push_back(command);
}

const std::vector<LCliCommand>& GetCliCommands()
{
    return Commands();
}

namespace {

// Length of the UTF-8 sequence at p (at most n bytes) and its code point;
// 0 when the bytes are not one well-formed sequence.
size_t Utf8Sequence(const unsigned char* p, size_t n, uint32_t* pCode)
{
    const unsigned char c = p[0];
    size_t len = c < 0x80        ? 1
        : c >= 0xC2 && c <= 0xDF ? 2
        : c >= 0xE0 && c <= 0xEF ? 3
        : c >= 0xF0 && c <= 0xF4 ? 4
                                 : 0;
    if (len == 0 || len > n)
        return 0;
    uint32_t code = len == 1 ? c : c & (0x7F >> len);
    for (size_t i = 1; i < len; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0;
        code = (code << 6) | (p[i] & 0x3F);
    }
    static const uint32_t kMin[] = { 0, 0, 0x80, 0x800, 0x10000 };
    if (code < kMin[len] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    *pCode = code;
    return len;
}

bool IsControl(uint32_t code)
{
    return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F);
}

template <class Replace> std::string MakeSafe(std::string_view text, Replace replace)
{
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    for (size_t i = 0; i < text.size();) {
        uint32_t code = 0;
        const size_t len = Utf8Sequence(p + i, text.size() - i, &code);
        if (len == 0 || IsControl(code)) {
            const size_t n = len == 0 ? 1 : len;
            for (size_t k = 0; k < n; ++k)
                replace(out, static_cast<unsigned char>(p[i + k]), code);
            i += n;
        } else {
            out.append(text.substr(i, len));
            i += len;
        }
    }
    return out;
}

} // namespace

std::string CliPrintable(std::string_view text, bool bKeepLines)
{
    return MakeSafe(text, [bKeepLines](std::string& out, unsigned char c, uint32_t) {
        if (bKeepLines && (c == '\n' || c == '\t')) {
            out += static_cast<char>(c);
            return;
        }
        static const char kHex[] = "0123456789ABCDEF";
        out += "\\x";
        out += kHex[c >> 4];
        out += kHex[c & 15];
    });
}

std::string CliField(std::string_view text)
{
    // One blank for a whole control character, so a C1 control is not two.
    return MakeSafe(text, [](std::string& out, unsigned char c, uint32_t code) {
        if (code < 0x80 || (c & 0xC0) != 0x80)
            out += ' ';
    });
}

int CliError(const std::string& text, int status)
{
    std::fprintf(stderr, "tavrine-cli: %s\n", CliPrintable(text, true).c_str());
    return status;
}

int CliUsage(const LCliCommand& command)
{
    std::fprintf(stderr, "usage: tavrine-cli %s\n", command.szUsage);
    return 2;
}

int CliHelp(const LCliCommand& command)
{
    std::printf("usage: tavrine-cli %s\n", command.szUsage);
    return std::fflush(stdout) == 0 ? 0 : 1;
}

std::optional<uint32_t> ParseFileNumber(const std::string& text)
{
    if (text.empty() || text.size() > 7)
        return std::nullopt;
    uint32_t n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + static_cast<uint32_t>(c - '0');
    }
    if (n < 1 || n > 999999)
        return std::nullopt;
    return n;
}

std::optional<CliArgs> SplitCliArgs(const std::vector<std::string>& args)
{
    CliArgs split;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--", 0) != 0) {
            split.words.push_back(args[i]);
            continue;
        }
        if (i + 1 >= args.size())
            return std::nullopt;
        split.options.emplace_back(args[i], args[i + 1]);
        ++i;
    }
    return split;
}

std::string CliOpenFailureText(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return "cannot open \"" + path + "\"" + (errno == ENOENT ? ": there is no such file" : "");
    if (S_ISDIR(st.st_mode))
        return "\"" + path + "\" is a folder";
    if (!S_ISREG(st.st_mode))
        return "\"" + path + "\" is not a regular file";
    return "cannot open \"" + path + "\"" + (::access(path.c_str(), R_OK) != 0 ? ": no permission to read it" : "");
}

std::string CliDiskFullText(const std::string& folder, int nErrno)
{
    if (!IsDiskFullError(nErrno))
        return {};
    return ": the disk holding \"" + (folder.empty() ? std::string(".") : folder) + "\" is full";
}

std::string CliWriteFailureText(const std::string& path, int nErrno)
{
    const std::string folder = _GetFolderFromPath(path);
    const std::string shown = folder.empty() ? std::string(".") : folder;
    struct stat st;
    if (IsDiskFullError(nErrno))
        return "cannot write \"" + path + "\"" + CliDiskFullText(folder, nErrno);
    if (::stat(shown.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return "cannot write \"" + path + "\": the folder \"" + shown + "\" does not exist";
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return "cannot write \"" + path + "\": it is a folder";
    if (::stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
        return "cannot write \"" + path + "\": it is not a regular file";
    if (nErrno == EACCES || nErrno == EPERM || nErrno == EROFS || ::access(shown.c_str(), W_OK) != 0)
        return "cannot write \"" + path + "\": no permission to write into \"" + shown + "\"";
    return {};
}
