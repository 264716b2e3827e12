#pragma once
// The update server's directory listing, as LIST gives it (a Unix-style
// long listing, or the MS-DOS style of Windows FTP services), turned into
// the files the update run may fetch.

#include <cstdint>
#include <string>
#include <vector>

#include "Exception.h"

// A number field that is no number.
ZARNAVIS_DECLARE_EXCEPTION(EConvertError, Exception);

struct TRemoteFile {
  std::string Name;
  int64_t Size = 0;  // bytes, as listed
};

// The update files of the listing, in listing order. A line is taken when it
// ends in ".idx", ".120" or ".240" (exactly so) and its name is a plain file
// name. An MS-DOS style line ("12-08-03  07:56AM  2435 180101.120") gives
// the name after its size, and a folder ("<DIR>") is left out. Any other
// line is read as a long listing: the name is the text after its last space,
// the size the token that ends 14 characters before that space (the
// 12-character date and its spaces lie between). Raises EConvertError when
// the size is no 32-bit number.
std::vector<TRemoteFile> ParseServerListing(const std::string& Listing);

// The entry of Name (compared without regard to case), or null.
const TRemoteFile* FindRemoteFile(const std::vector<TRemoteFile>& Files, const std::string& Name);
