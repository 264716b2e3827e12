#pragma once
// The file attributes the program uses. Read-only means the owner may not
// write; hidden means the name starts with ".".

#include <string>

// False also when the file does not exist.
bool FileIsReadOnly(const std::string& FileName);
// Read-only removes every write bit; writable gives the owner the write bit
// back. False (errno set) when the mode cannot be changed.
bool FileSetReadOnly(const std::string& FileName, bool ReadOnly);
// By the name alone (the last component of the path).
bool FileIsHidden(const std::string& FileName);
bool FileExists(const std::string& FileName);
bool DirectoryExists(const std::string& Path);
