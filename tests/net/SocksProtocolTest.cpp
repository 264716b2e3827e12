#include <gtest/gtest.h>

#include "SocksProtocol.h"
#include "WSocketErrors.h"

namespace {

struct ReplyCase {
  const char* Name;
  std::vector<uint8_t> Bytes;
  TSocksReply::TKind Kind;
  int Error;
  const char* Text;
  size_t Length;
};

TSocksReply Check4(const std::vector<uint8_t>& b) {
  return SocksCheckReply4(b.data(), b.size());
}
TSocksReply Check5(const std::vector<uint8_t>& b) {
  return SocksCheckReply5(b.data(), b.size());
}

void ExpectReply(const ReplyCase& c, const TSocksReply& r) {
  SCOPED_TRACE(c.Name);
  EXPECT_EQ(r.Kind, c.Kind);
  if (c.Kind == TSocksReply::Failed) {
    EXPECT_EQ(r.Error, c.Error);
    EXPECT_EQ(r.Text, c.Text);
  }
  if (c.Kind == TSocksReply::Complete) {
    EXPECT_EQ(r.Length, c.Length);
  }
}

}  // namespace

TEST(SocksProtocol, Reply4Codes) {
  const ReplyCase cases[] = {
      {"short", {0, 90, 0, 0}, TSocksReply::NeedMore, 0, "", 0},
      {"granted", {0, 90, 0, 21, 127, 0, 0, 1}, TSocksReply::Complete, 0, "", 8},
      {"granted with app bytes", {0, 90, 0, 0, 0, 0, 0, 0, 'x'}, TSocksReply::Complete, 0, "", 8},
      {"91",
       {0, 91, 0, 0, 0, 0, 0, 0},
       TSocksReply::Failed,
       20016,
       "request rejected or failed",
       0},
      {"92", {0, 92, 0, 0, 0, 0, 0, 0}, TSocksReply::Failed, 20008, "connection refused", 0},
      {"93", {0, 93, 0, 0, 0, 0, 0, 0}, TSocksReply::Failed, 20015, "authentification failed", 0},
      {"other", {0, 17, 0, 0, 0, 0, 0, 0}, TSocksReply::Failed, 20012, "unassigned error #17", 0},
      {"version", {4, 90, 0, 0, 0, 0, 0, 0}, TSocksReply::Failed, 20002, "socks version error", 0},
  };
  for (const auto& c : cases) ExpectReply(c, Check4(c.Bytes));
}

TEST(SocksProtocol, Reply5CodesAndAddressTypes) {
  const ReplyCase cases[] = {
      {"one byte", {5}, TSocksReply::NeedMore, 0, "", 0},
      {"version", {4, 0, 0, 1}, TSocksReply::Failed, 20002, "socks version error", 0},
      {"1", {5, 1}, TSocksReply::Failed, 20004, "general SOCKS server failure", 0},
      {"2", {5, 2}, TSocksReply::Failed, 20005, "connection not allowed by ruleset", 0},
      {"3", {5, 3}, TSocksReply::Failed, 20006, "network unreachable", 0},
      {"4", {5, 4}, TSocksReply::Failed, 20007, "host unreachable", 0},
      {"5", {5, 5}, TSocksReply::Failed, 20008, "connection refused", 0},
      {"6", {5, 6}, TSocksReply::Failed, 20009, "time to live expired", 0},
      {"7", {5, 7}, TSocksReply::Failed, 20010, "command not supported", 0},
      {"8", {5, 8}, TSocksReply::Failed, 20011, "address type not supported", 0},
      {"9", {5, 9}, TSocksReply::Failed, 20012, "unassigned error #9", 0},
      {"header only", {5, 0, 0, 1}, TSocksReply::NeedMore, 0, "", 0},
      {"type 1 short", {5, 0, 0, 1, 127, 0, 0, 1, 0}, TSocksReply::NeedMore, 0, "", 0},
      {"type 1", {5, 0, 0, 1, 127, 0, 0, 1, 0, 21}, TSocksReply::Complete, 0, "", 10},
      {"type 3", {5, 0, 0, 3, 2, 'a', 'b', 1, 0, 'X'}, TSocksReply::Complete, 0, "", 9},
      {"type 3 short", {5, 0, 0, 3, 2, 'a', 'b', 1}, TSocksReply::NeedMore, 0, "", 0},
      {"type 4", {5, 0, 0, 4, 0}, TSocksReply::Failed, 20011, "address type not supported", 0},
  };
  for (const auto& c : cases) ExpectReply(c, Check5(c.Bytes));
  const std::vector<uint8_t> named = {5, 0, 0, 3, 2, 'a', 'b', 1, 0};
  const TSocksReply r = Check5(named);
  EXPECT_EQ(r.BoundAddr, "ab");
  EXPECT_EQ(r.BoundPort, "256");
}

TEST(SocksProtocol, MethodAndAuthReplies) {
  const ReplyCase methods[] = {
      {"none", {5, 0}, TSocksReply::Complete, 0, "", 2},
      {"usercode", {5, 2}, TSocksReply::Complete, 0, "", 2},
      {"refused",
       {5, 255},
       TSocksReply::Failed,
       20003,
       "authentification method not acceptable",
       0},
      {"version", {4, 0}, TSocksReply::Failed, 20002, "socks version error", 0},
      {"short", {5}, TSocksReply::NeedMore, 0, "", 0},
  };
  for (const auto& c : methods)
    ExpectReply(c, SocksCheckMethodReply(c.Bytes.data(), c.Bytes.size()));
  const ReplyCase auth[] = {
      {"ok", {1, 0}, TSocksReply::Complete, 0, "", 2},
      {"failed", {1, 1}, TSocksReply::Failed, 20015, "socks authentication failed", 0},
      {"version", {5, 0}, TSocksReply::Failed, 20002, "socks version error", 0},
      {"too much", {1, 0, 0}, TSocksReply::Failed, 20001, "too much data availaible", 0},
  };
  for (const auto& c : auth) ExpectReply(c, SocksCheckAuthReply(c.Bytes.data(), c.Bytes.size()));
}

TEST(SocksProtocol, RequestBytes) {
  EXPECT_EQ(SocksGreeting(true), (TSocksBytes{5, 1, 2}));
  EXPECT_EQ(SocksGreeting(false), (TSocksBytes{5, 1, 0}));
  EXPECT_EQ(SocksAuthRequest("ab", "c"), (TSocksBytes{1, 2, 'a', 'b', 1, 'c'}));
  EXPECT_EQ(SocksAuthRequest(std::string(300, 'u'), "").size(), 1u + 1 + 255 + 1);
  EXPECT_EQ(SocksRequest4(21, 0x7F000001, "me"),
            (TSocksBytes{4, 1, 0, 21, 127, 0, 0, 1, 'm', 'e', 0}));
  EXPECT_EQ(SocksRequest4A(5001, "", "h.x"),
            (TSocksBytes{4, 1, 0x13, 0x89, 0, 0, 0, 1, 0, 'h', '.', 'x', 0}));
  EXPECT_EQ(SocksRequest5("10.1.2.3", 21),
            (TSocksBytes{5, 1, 0, 3, 8, '1', '0', '.', '1', '.', '2', '.', '3', 0, 21}));
}

TEST(SocksProtocol, ErrorTexts) {
  EXPECT_EQ(WSocketErrorDesc(10061), "Connection refused");
  EXPECT_EQ(WSocketErrorDesc(11001), "Host not found");
  EXPECT_EQ(WSocketErrorDesc(0), "No Error");
  EXPECT_EQ(WSocketErrorDesc(20015), "Not a WinSock error");
  EXPECT_EQ(WSocketErrorText(10061, "Connect"),
            "Error 10061 in function Connect\r\nConnection refused");
  EXPECT_EQ(WSocketErrnoToError(ECONNREFUSED), 10061);
  EXPECT_EQ(WSocketErrnoToError(ETIMEDOUT), 10060);
  EXPECT_EQ(WSocketErrnoToError(ECONNRESET), 10054);
  EXPECT_EQ(WSocketErrnoToError(EAGAIN), 10035);
}
