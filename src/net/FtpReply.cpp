#include "FtpReply.h"

#include <cctype>

bool TFtpLineReader::NextLine(std::string& Line) {
  size_t end = std::string::npos;
  size_t next = 0;
  if (FAcceptLF) {
    end = FBuffer.find('\n');
    next = end + 1;
  } else {
    end = FBuffer.find("\r\n");
    next = end + 2;
  }
  if (end == std::string::npos) return false;
  Line.assign(FBuffer, 0, end);
  FBuffer.erase(0, next);
  while (!Line.empty() && (Line.back() == '\r' || Line.back() == '\n')) Line.pop_back();
  return true;
}

TFtpReplyLine FtpClassifyReply(const std::string& Line) {
  TFtpReplyLine r;
  size_t i = 0;
  while (i < Line.size() && std::isdigit(static_cast<unsigned char>(Line[i]))) {
    if (r.Code < 100000) r.Code = r.Code * 10 + (Line[i] - '0');
    ++i;
  }
  r.HasCode = i > 0;
  r.Final = r.HasCode && !(i < Line.size() && Line[i] == '-');
  return r;
}

bool FtpParsePasvReply(const std::string& Reply, uint32_t& Ip, uint16_t& Port) {
  const size_t open = Reply.find('(');
  size_t i = open == std::string::npos ? Reply.find_first_of(' ') : open + 1;
  if (i == std::string::npos) return false;
  if (open == std::string::npos) {
    while (i < Reply.size() && !std::isdigit(static_cast<unsigned char>(Reply[i]))) ++i;
  }
  unsigned values[6];
  for (int n = 0; n < 6; ++n) {
    while (i < Reply.size() && Reply[i] == ' ') ++i;
    if (i >= Reply.size() || !std::isdigit(static_cast<unsigned char>(Reply[i]))) return false;
    unsigned v = 0;
    while (i < Reply.size() && std::isdigit(static_cast<unsigned char>(Reply[i]))) {
      v = v * 10 + static_cast<unsigned>(Reply[i] - '0');
      if (v > 255) return false;
      ++i;
    }
    values[n] = v;
    while (i < Reply.size() && Reply[i] == ' ') ++i;
    if (n < 5) {
      if (i >= Reply.size() || Reply[i] != ',') return false;
      ++i;
    }
  }
  Ip = values[0] << 24 | values[1] << 16 | values[2] << 8 | values[3];
  Port = static_cast<uint16_t>(values[4] * 256 + values[5]);
  return true;
}
