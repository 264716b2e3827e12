#pragma once
// The names of update files: the index "baz.idx" and the chart updates
// <chart>.120 and <chart>.240. Names from outside (an update disk, a
// server listing) become local file names only when they are plain names.

#include <string>
#include <vector>

// A name without folders that stays in its folder: no "/" or "\", not "."
// or "..", no control character, not empty, and not hidden (a leading "."
// is the program's own, like the work folder's lock).
bool IsPlainFileName(const std::string& Name);
// A plain name with the extension ".idx" (in any letter case), ".120" or
// ".240".
bool IsUpdateFileName(const std::string& Name);
// The full names of the update files in Folder (ending in "/"), sorted.
std::vector<std::string> UpdateFilesIn(const std::string& Folder);
