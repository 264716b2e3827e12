#pragma once
// Moving a folder to the desktop's trash (the freedesktop.org trash: a
// "files" folder with the trashed items and an "info" folder with one
// ".trashinfo" file each that records where the item came from and when).
// Nothing is ever deleted: when the folder cannot be moved, it stays.

#include <string>

// The home trash: $XDG_DATA_HOME/Trash, else ~/.local/share/Trash; ends in "/".
std::string HomeTrashFolder();

// Moves Folder into the trash: the home trash when it is on the same file
// system, else the trash at the top of the folder's own volume
// ($topdir/.Trash-$uid). Returns false with a reason in Error when the folder
// stayed where it was.
bool MoveFolderToTrash(const std::string& Folder, std::string& Error);

// Percent-encodes a path for the "Path=" line of a trash info file.
std::string TrashInfoEscape(const std::string& Path);
