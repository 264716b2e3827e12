#pragma once
// The update server's directory listing (a Unix-style long listing, as LIST
// gives it) turned into the files the update run may fetch.

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
// ends in ".idx", ".120" or ".240" (exactly so) and its name, the text after
// its last space, is a plain file name; its size is the token that ends 14
// characters before that space (the 12-character date of a long listing and
// its spaces lie between). Raises EConvertError when that token is no
// number.
std::vector<TRemoteFile> ParseServerListing(const std::string& Listing);

// The entry of Name (compared without regard to case), or null.
const TRemoteFile* FindRemoteFile(const std::vector<TRemoteFile>& Files, const std::string& Name);
