#pragma once
// Names the program compares without regard to letter case: chart names
// and the names built from them (installed bitmaps, update files), the
// update archive and index, the navigation program's files. A CD, a disk
// or a server made on a system that ignores case may spell them in any
// case; this file system tells case apart. So such a name is looked up
// among the real entries of its folder, and the file is opened and
// rewritten by its real name. A name is never lowered to open a file.

#include <string>

// Folder (ending in "/", or empty for the current folder) + the real name of
// the file whose name equals Name without regard to ASCII case: the exact
// spelling when it exists, otherwise the first match in byte order. Empty
// when there is none. Folders do not count as files.
std::string FindFileNoCase(const std::string& Folder, const std::string& Name);

// The name to write the file of Name in Folder under: the one it already
// has, or Folder + Name when it does not exist yet.
std::string ExistingFileName(const std::string& Folder, const std::string& Name);
