#pragma once
// Writes that fail for want of room: the disk is full (ENOSPC), the file
// would outgrow what the file system or the process's file-size limit
// allows (EFBIG), or the user's quota is used up (EDQUOT). Every writer of
// the program reports them with one message that says so and names the file.

#include <string>

bool IsDiskFullError(int Errno);

// The disk is full: "FileName" could not be written.
std::string DiskFullMessage(const std::string& FileName);

// DiskFullMessage(FileName) when Errno means a full disk, else Otherwise.
std::string WriteErrorMessage(int Errno, const std::string& FileName, const std::string& Otherwise);
