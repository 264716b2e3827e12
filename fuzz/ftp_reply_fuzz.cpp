// Arbitrary bytes as FTP control replies for the line engine, the reply
// classification and the PASV decoder.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "FtpReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size == 0) return 0;
  TFtpLineReader reader;
  reader.SetAcceptLF(Data[0] & 1);
  // Reads of varying size, never more than the room left, as the client does.
  size_t at = 1;
  size_t chunk = (Data[0] >> 1) % 61 + 1;
  std::string line;
  while (at < Size) {
    const size_t n = std::min({chunk, Size - at, reader.Room()});
    if (n == 0) break;
    reader.Append(reinterpret_cast<const char*>(Data + at), n);
    at += n;
    while (reader.NextLine(line)) {
      const TFtpReplyLine r = FtpClassifyReply(line);
      if (r.Final && !r.HasCode) std::abort();
      uint32_t ip = 0;
      uint16_t port = 0;
      FtpParsePasvReply(line, ip, port);
    }
    if (reader.Overflow()) reader.Clear();
  }
  return 0;
}
