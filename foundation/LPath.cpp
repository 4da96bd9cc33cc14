#include "foundation/LPath.h"

static bool IsSeparator(char c)
{
    return c == '/' || c == '\\';
}

static size_t LastSeparator(std::string_view path)
{
    for (size_t i = path.size(); i > 0; --i)
        if (IsSeparator(path[i - 1]))
            return i - 1;
    return std::string_view::npos;
}

std::string FilePathCat(std::string_view folder, std::string_view name)
{
    std::string out(folder);
    if (!out.empty() && !IsSeparator(out.back()))
        out += '/';
    out += name;
    return out;
}

std::string FilePathCat(std::string_view folder, std::string_view name, std::string_view extension)
{
    std::string out = FilePathCat(folder, name);
    out += extension;
    return out;
}

std::string _GetFolderFromPath(std::string_view path)
{
    size_t sep = LastSeparator(path);
    if (sep == std::string_view::npos)
        return {};
    // The root folder stays "/" rather than becoming empty text.
    if (sep == 0)
        return std::string(path.substr(0, 1));
    return std::string(path.substr(0, sep));
}

std::string _GetFileFromPath(std::string_view path)
{
    size_t sep = LastSeparator(path);
    return std::string(sep == std::string_view::npos ? path : path.substr(sep + 1));
}

// Position of the extension's '.' in the file part, or npos; a leading '.'
// (a hidden file such as ".profile") names no extension.
static size_t ExtensionDot(std::string_view path)
{
    size_t sep = LastSeparator(path);
    size_t start = sep == std::string_view::npos ? 0 : sep + 1;
    size_t dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < start || dot == 0)
        return std::string_view::npos;
    return dot;
}

std::string GetFileTitle(std::string_view path)
{
    std::string file = _GetFileFromPath(path);
    size_t dot = ExtensionDot(file);
    return dot == std::string_view::npos ? file : file.substr(0, dot);
}

std::string GetFileExtension(std::string_view path)
{
    size_t dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot));
}

std::string _ApplyNewFileExtension(std::string_view path, std::string_view extension)
{
    size_t dot = ExtensionDot(path);
    if (dot == std::string_view::npos)
        return std::string(path);
    std::string out(path.substr(0, dot));
    out += extension;
    return out;
}

bool MakeValidFileName(std::string_view text, std::string* pOut)
{
    static constexpr std::string_view kRefused = "\"*./:<>?\\|";
    pOut->clear();
    for (char c : text) {
        auto u = static_cast<unsigned char>(c);
        if (u < 32 || u >= 128 || kRefused.find(c) != std::string_view::npos)
            continue;
        if (pOut->size() >= 259)
            break;
        *pOut += c;
    }
    return !pOut->empty();
}
