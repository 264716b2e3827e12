#pragma once
// Folder names and the well-known folders of the program. Folder names always
// end in "/" so that a file name can be appended directly.

#include <string>

std::string IncludeTrailingPathDelimiter(const std::string& Path);
std::string ExcludeTrailingPathDelimiter(const std::string& Path);

// $TMPDIR when set and not empty, else "/tmp"; ends in "/".
std::string GetTempFolder();

// The user's home folder ($HOME, else the password database); ends in "/".
std::string GetHomeFolder();

// Where the settings hives live: $ZARNAVIS_HOME when set, else
// $XDG_CONFIG_HOME/zarnavis, else ~/.config/zarnavis. Ends in "/".
std::string GetSettingsFolder();

// The longest leading part of Path that exists as a folder ("/" at least).
// Relative paths are taken from the current folder.
std::string NearestExistingFolder(const std::string& Path);

// A folder as the user typed it, as a full path ending in "/": a relative
// entry starts at the current folder, "." and ".." are resolved. Empty
// stays empty.
std::string FullFolderName(const std::string& Folder);
