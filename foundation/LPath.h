// Path helpers. Paths are UTF-8 text written with '/'; '\\' and '/' are both
// accepted when a path is taken apart (paths that came from other systems).
#pragma once

#include <string>
#include <string_view>

std::string FilePathCat(std::string_view folder, std::string_view name);
std::string FilePathCat(std::string_view folder, std::string_view name, std::string_view extension);
std::string _GetFolderFromPath(std::string_view path);
std::string _GetFileFromPath(std::string_view path);
std::string GetFileTitle(std::string_view path);
std::string GetFileExtension(std::string_view path);
std::string _ApplyNewFileExtension(std::string_view path, std::string_view extension);
// Drops the characters a file name cannot hold; true when something is left.
bool MakeValidFileName(std::string_view text, std::string* pOut);
