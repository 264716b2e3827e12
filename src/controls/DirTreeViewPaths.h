#pragma once
// Path handling of the folder tree and the folder dialog. Folder names end in
// "/"; names are compared with or without regard to case, but files are
// always opened by their real names.

#include <string>
#include <vector>

// The process's current folder, ending in "/".
std::string CurrentFolder();
// Absolute form of Path (relative names are taken from Base, else the current
// folder), with "//", "." and ".." resolved by the text alone. A trailing "/"
// is kept when given.
std::string NormalizePath(const std::string& Path, const std::string& Base = "");
// Whether the folder Root (ending in "/") holds Path (ending in "/").
bool IsPathPrefix(const std::string& Root, const std::string& Path);
bool IsPathPrefixNoCase(const std::string& Root, const std::string& Path);
// The names of a relative folder path, in order.
std::vector<std::string> SplitPath(const std::string& Relative);
// The last name of a path, with or without trailing "/".
std::string LastPathComponent(const std::string& Path);
// The folder holding Path (without trailing "/"; "/" for a top folder, empty
// for "/" itself).
std::string ParentFolder(const std::string& Path);
// A name that one folder can carry: not empty, not "." or "..", no "/".
bool IsValidFolderName(const std::string& Name);
