#pragma once
// What the user is told when the conversation with the update server
// fails, and where the wizard takes them then; and the size texts of the
// download progress.

#include <cstdint>
#include <string>

// The page the wizard shows after a failure.
enum class TNextPage { Summary, Proxy };

struct TFailureReport {
  std::string Text;  // for an error box
  TNextPage Page;
};

// Error: the number the client's request ended with; Message: the client's
// error message; ViaProxy: the connection goes through a proxy; LoggingIn:
// the failure came before the login was done. The proxy page follows a
// failure on the way to the server, the summary one of the server's own
// (a file it refuses) or of this computer (a file it cannot write).
TFailureReport DescribeDownloadFailure(int Error, const std::string& Message, bool ViaProxy,
                                       bool LoggingIn);

// "512 bytes" below 1024 bytes, else "1,50 kB": kilobytes with two decimals
// and the user's decimal separator.
std::string DownloadSizeText(int64_t Bytes, const std::string& DecimalSeparator);
