#include <gtest/gtest.h>

#include "FtpReply.h"

namespace {

std::vector<std::string> Lines(TFtpLineReader& R, const std::string& Bytes) {
  R.Append(Bytes.data(), Bytes.size());
  std::vector<std::string> out;
  std::string line;
  while (R.NextLine(line)) out.push_back(line);
  return out;
}

}  // namespace

TEST(FtpLineReader, LineEnds) {
  struct Case {
    bool AcceptLF;
    std::string Bytes;
    std::vector<std::string> Expected;
  };
  const Case cases[] = {
      {true, "220 a\r\n230 b\n", {"220 a", "230 b"}},
      {true, "220 partial", {}},
      {true, "220 x\r\r\n", {"220 x"}},
      {false, "220 a\n still\r\n", {"220 a\n still"}},
      {false, "220 a\r\n230", {"220 a"}},
  };
  for (const auto& c : cases) {
    TFtpLineReader r;
    r.SetAcceptLF(c.AcceptLF);
    EXPECT_EQ(Lines(r, c.Bytes), c.Expected) << c.Bytes;
  }
}

TEST(FtpLineReader, SplitAcrossReadsAndOverflow) {
  TFtpLineReader r;
  EXPECT_TRUE(Lines(r, "22").empty());
  EXPECT_EQ(Lines(r, "0 ok\r\n2"), std::vector<std::string>{"220 ok"});
  EXPECT_FALSE(r.Overflow());
  Lines(r, std::string(TFtpLineReader::BufferSize - 2, 'x'));
  EXPECT_FALSE(r.Overflow());
  EXPECT_EQ(r.Room(), 1u);
  Lines(r, "y");
  EXPECT_TRUE(r.Overflow());
}

TEST(FtpReply, Classify) {
  struct Case {
    const char* Line;
    bool HasCode;
    int Code;
    bool Final;
  };
  const Case cases[] = {
      {"230-Welcome", true, 230, false},  {"230 Done", true, 230, true},
      {" continuation", false, 0, false}, {"Hello", false, 0, false},
      {"220", true, 220, true},           {"", false, 0, false},
  };
  for (const auto& c : cases) {
    const TFtpReplyLine r = FtpClassifyReply(c.Line);
    EXPECT_EQ(r.HasCode, c.HasCode) << c.Line;
    EXPECT_EQ(r.Code, c.Code) << c.Line;
    EXPECT_EQ(r.Final, c.Final) << c.Line;
  }
}

TEST(FtpReply, PasvReply) {
  struct Case {
    const char* Reply;
    bool Ok;
    uint32_t Ip;
    uint16_t Port;
  };
  const Case cases[] = {
      {"227 Entering Passive Mode (192,168,1,2,19,137)", true, 0xC0A80102, 5001},
      {"227 junk ( 127, 0, 0, 1, 4, 1 ).", true, 0x7F000001, 1025},
      {"227 Entering Passive Mode 127,0,0,1,0,21", true, 0x7F000001, 21},
      {"227 (127,0,0,1,300,1)", false, 0, 0},
      {"227 (127,0,0,1,1)", false, 0, 0},
      {"227 ()", false, 0, 0},
      {"227", false, 0, 0},
  };
  for (const auto& c : cases) {
    uint32_t ip = 0;
    uint16_t port = 0;
    EXPECT_EQ(FtpParsePasvReply(c.Reply, ip, port), c.Ok) << c.Reply;
    if (c.Ok) {
      EXPECT_EQ(ip, c.Ip) << c.Reply;
      EXPECT_EQ(port, c.Port) << c.Reply;
    }
  }
}
