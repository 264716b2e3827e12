// The encrypting servers of the tests, checked with curl as the independent
// client: vsftpd and pyftpdlib serve an update tree in TLS to a client that
// trusts the test authority (the data connections too, and vsftpd only
// with the control connection's session reused), plain text only where TLS
// is not required, and curl refuses each bad certificate for its reason.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "FtpTestSupport.h"
#include "TlsPeers.h"

namespace {

std::string Q(const std::string& Text) {
  return ShellQuote(Text);
}

size_t Count(const std::string& Text, const std::string& Part) {
  size_t n = 0;
  for (size_t at = Text.find(Part); at != std::string::npos; at = Text.find(Part, at + 1)) ++n;
  return n;
}

class TlsPeersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Authority.Error(), "");
    ::chmod(FRoot.Path().c_str(), 0755);  // vsftpd serves it as the user ftp
    std::filesystem::create_directories(FRoot / "pub/baz/2003");
    WriteFileText(FRoot / "pub/baz/2003/baz.idx", "1801A.240 17\r\n1803B.120 4\r\n");
    WriteFileBytes(FRoot / "pub/baz/2003/1801A.240", PatternBytes(300000, 5));
  }

  // update_ftp_server.py with TLS offered, or required.
  void StartPyftpdlib(TPeerProcess& Server, TServerCertificate Which, bool Required,
                      const std::string& Log = "") {
    std::vector<std::string> argv = {"/usr/bin/python3",
                                     TestSourceDir() + "/../updatewizard/update_ftp_server.py",
                                     FRoot.Path(),
                                     "--tls",
                                     Authority.CertFile(Which),
                                     Authority.KeyFile(Which)};
    if (Required) argv.push_back("--tls-required");
    if (!Log.empty()) argv.insert(argv.end(), {"--log", Log});
    ASSERT_TRUE(Server.Start(argv));
  }

  std::string Url(const std::string& Port, const std::string& Path,
                  const std::string& Host = "127.0.0.1") const {
    return "ftp://" + Host + ":" + Port + "/pub/baz/2003/" + Path;
  }

  // curl in TLS, trusting the test authority: the index, the update file
  // and the listing over one control connection, and the index again by
  // the name localhost.
  void ExpectTlsFetch(const std::string& Port) {
    const std::string out = FOut.Path() + "/";
    std::string said;
    ASSERT_EQ(RunShellCommand("curl -sS --ssl-reqd --cacert " + Q(Authority.CaFile()) + " " +
                                  Q(Url(Port, "baz.idx")) + " -o " + Q(out + "baz.idx") + " " +
                                  Q(Url(Port, "1801A.240")) + " -o " + Q(out + "1801A.240") + " " +
                                  Q(Url(Port, "")) + " -o " + Q(out + "listing"),
                              &said),
              0)
        << said;
    for (const char* name : {"baz.idx", "1801A.240"})
      EXPECT_EQ(ReadFileBytes(out + name), ReadFileBytes(FRoot / "pub/baz/2003/" + name)) << name;
    EXPECT_NE(ReadFileText(out + "listing").find(" 1801A.240"), std::string::npos);
    ASSERT_EQ(RunShellCommand("curl -sS --ssl-reqd --cacert " + Q(Authority.CaFile()) +
                                  " --resolve localhost:" + Port + ":127.0.0.1 " +
                                  Q(Url(Port, "baz.idx", "localhost")),
                              &said),
              0)
        << said;
    EXPECT_EQ(said, ReadFileText(FRoot / "pub/baz/2003/baz.idx"));
  }

  // curl's exit status for the index with the login and the data in plain
  // text, and with the login in TLS and the data in plain text.
  std::pair<int, int> PlainFetches(const std::string& Port) const {
    std::string said;
    const std::string fetch = " -sS -o /dev/null " + Q(Url(Port, "baz.idx"));
    return {
        RunShellCommand("curl" + fetch, &said),
        RunShellCommand("curl --ftp-ssl-control --cacert " + Q(Authority.CaFile()) + fetch, &said)};
  }

  const TTestAuthority& Authority = TTestAuthority::Get();
  TempDir FRoot;
  TempDir FOut;
};

}  // namespace

TEST_F(TlsPeersTest, VsftpdServesInTlsOnly) {
  TVsftpdPeer server;
  const std::string why = server.Start(FRoot.Path());
  if (!why.empty()) GTEST_SKIP() << why;  // CI runs as root
  ExpectTlsFetch(server.PortText());
  std::string log = server.Log();
  EXPECT_NE(log.find("\"234 Proceed with negotiation.\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"200 PROT now Private.\""), std::string::npos) << log;
  // Two control connections and four data connections, each in TLS 1.2
  // or newer; the data connections on the control connection's session.
  EXPECT_EQ(Count(log, "\"SSL version: TLSv1.3") + Count(log, "\"SSL version: TLSv1.2"), 6u) << log;
  EXPECT_EQ(Count(log, ", reused, no cert\""), 4u) << log;

  // Login denied (530); data connection refused (522).
  EXPECT_EQ(PlainFetches(server.PortText()), std::make_pair(67, 19));
  // A data connection on a session of its own: refused.
  std::string said;
  EXPECT_NE(RunShellCommand("curl -sS --ssl-reqd --no-sessionid --cacert " + Q(Authority.CaFile()) +
                                " " + Q(Url(server.PortText(), "baz.idx")),
                            &said),
            0);
  const std::vector<std::string> refusals = {
      "\"530 Anonymous sessions must use encryption.\"",
      "\"522 Data connections must be encrypted.\"",
      "\"522 SSL connection failed: session reuse required\""};
  log = server.LogOnceItHolds(refusals);
  for (const std::string& refusal : refusals)
    EXPECT_NE(log.find(refusal), std::string::npos) << refusal << "\n" << log;
}

TEST_F(TlsPeersTest, PyftpdlibOffersOrRequiresTls) {
  for (const bool required : {false, true}) {
    SCOPED_TRACE(required ? "--tls-required" : "--tls");
    const std::string log = FOut / (required ? "required.log" : "offered.log");
    TPeerProcess server;
    StartPyftpdlib(server, TServerCertificate::Good, required, log);
    ExpectTlsFetch(server.PortText());
    // Where TLS is required, USER (550) and PASV (550) are refused in
    // plain text.
    EXPECT_EQ(PlainFetches(server.PortText()),
              required ? std::make_pair(67, 13) : std::make_pair(0, 0));
    const std::string commands = ReadFileText(log);
    EXPECT_EQ(Count(commands, "PROT P\n"), 2u) << commands;
  }
}

// Each bad certificate fails curl's verification for its own reason, and
// for that reason alone: openssl verify accepts it once the one fault is
// taken away (the other name, the clock, its authority).
TEST_F(TlsPeersTest, CurlRefusesEachBadCertificate) {
  const struct {
    TServerCertificate Which;
    std::string Reason;
    std::string VerifyOptions;
  } cases[] = {
      {TServerCertificate::OtherHost,
       "no alternative certificate subject name matches target host name '127.0.0.1'",
       "-CAfile " + Q(Authority.CaFile()) + " -verify_hostname chartserver.invalid"},
      {TServerCertificate::Expired, "certificate has expired",
       "-CAfile " + Q(Authority.CaFile()) + " -no_check_time"},
      {TServerCertificate::Stranger, "unable to get local issuer certificate",
       "-CAfile " + Q(Authority.StrangerCaFile())},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Reason);
    TPeerProcess server;
    StartPyftpdlib(server, c.Which, true);
    std::string said;
    EXPECT_EQ(RunShellCommand("curl -sS --ssl-reqd --cacert " + Q(Authority.CaFile()) + " " +
                                  Q(Url(server.PortText(), "baz.idx")),
                              &said),
              60)  // the peer's certificate could not be verified
        << said;
    EXPECT_NE(said.find(c.Reason), std::string::npos) << said;
    EXPECT_EQ(
        RunShellCommand("openssl verify " + c.VerifyOptions + " " + Q(Authority.CertFile(c.Which)),
                        &said),
        0)
        << said;
  }
}
