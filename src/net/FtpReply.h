#pragma once
// The line side of the FTP control connection, apart from the commands:
// received bytes become reply lines, a line is classified (code, last line
// of a reply or not), and the PASV reply is decoded.

#include <cstddef>
#include <cstdint>
#include <string>

class TFtpLineReader {
 public:
  // The control buffer: at most BufferSize - 1 bytes of an unterminated line.
  static constexpr size_t BufferSize = 4096;

  // With AcceptLF a line ends at LF (a CR before it is dropped); without it
  // only CR LF ends a line.
  void SetAcceptLF(bool Value) { FAcceptLF = Value; }
  void Clear() { FBuffer.clear(); }
  // Room left for the next read.
  size_t Room() const { return FBuffer.size() < BufferSize ? BufferSize - FBuffer.size() : 0; }
  void Append(const char* Data, size_t Len) { FBuffer.append(Data, Len); }
  // Takes out the next complete line without its line end; false when none.
  bool NextLine(std::string& Line);
  // True when the unterminated rest no longer fits: the server never ends its line.
  bool Overflow() const { return FBuffer.size() >= BufferSize; }

 private:
  std::string FBuffer;
  bool FAcceptLF = true;
};

struct TFtpReplyLine {
  bool HasCode = false;  // starts with a digit
  int Code = 0;          // the leading number
  bool Final = false;    // has a code not followed by "-": the last line of a reply
};

TFtpReplyLine FtpClassifyReply(const std::string& Line);

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the text up to the first
// "(" is skipped. Ip in host byte order; Port = p1 * 256 + p2.
bool FtpParsePasvReply(const std::string& Reply, uint32_t& Ip, uint16_t& Port);
