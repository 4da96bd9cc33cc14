// The system folders that data lives in: $XDG_DATA_HOME (default
// ~/.local/share) for the user's data, /var/lib for data shared by all users.
#pragma once

#include <string>

// Empty when neither $XDG_DATA_HOME nor $HOME names a folder.
std::string GetUserDataFolder();
std::string GetSharedDataFolder();
// Creates every missing folder of the path (mode 0700); true when it exists afterwards.
bool CreateFolderTree(const std::string& path);
