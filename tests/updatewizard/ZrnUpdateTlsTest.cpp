// zrnupdate download-apply in TLS, as a user runs it, against servers and
// proxies started here on 127.0.0.1 and a certificate authority of the
// test's own (trusted through SSL_CERT_FILE, as by any OpenSSL program): an
// encrypted run says so and gives the charts a plain run gives; a server
// that cannot be verified, or refuses TLS where it is required, ends the
// run with the reason and changes nothing.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "DownloadTestSupport.h"
#include "TlsPeers.h"

namespace fs = std::filesystem;

namespace {

const std::string Encrypted = "connection encrypted (TLS 1.3), certificate of 127.0.0.1 verified";
const std::string NotOffered = "connection not encrypted: the server does not offer TLS (500 ";

size_t Count(const std::string& Text, const std::string& Part) {
  size_t n = 0;
  for (size_t at = Text.find(Part); at != std::string::npos; at = Text.find(Part, at + 1)) ++n;
  return n;
}

class ZrnUpdateTls : public TDownloadFixture {
 protected:
  void SetUp() override {
    TDownloadFixture::SetUp();
    ASSERT_EQ(Authority.Error(), "");
    ::chmod(FTemp.Path().c_str(), 0755);  // the proxies drop their privileges
    Install({"1801", "1803"});
    FBefore = Bitmaps();
    FBeforeHive = HiveText();
  }
  // pyftpdlib serving the demo, offering TLS with the certificate Which.
  // Its log starts empty.
  void StartTlsServer(TServerCertificate Which = TServerCertificate::Good) {
    FServer.Stop();
    fs::remove(FTemp / "ftp.log");
    StartServer({"--tls", Authority.CertFile(Which), Authority.KeyFile(Which)});
  }
  // zrnupdate download-apply with Options against the server at Port (the
  // test server's by default): its exit status; its output in Out.
  int Run(const std::string& Options, std::string& Out, const std::string& Port = "") const {
    return RunShellCommand(
        "env ZARNAVIS_HOME=" + Q(FTemp / "home") + " XDG_RUNTIME_DIR=" + Q(FTemp / "runtime") +
            " SSL_CERT_FILE=" + Q(Authority.CaFile()) + " " +
            Q(BuildDir() + "/src/updatewizard/zrnupdate") +
            " --server 127.0.0.1:" + (Port.empty() ? FServer.PortText() : Port) + " " + Options +
            " download-apply " + Q(Cd()) + " " + Q(FInstalled) + " </dev/null",
        &Out);
  }
  // A run that said Said about the connection and updated every chart the
  // server has an update for; the charts are installed afresh after it.
  // Returns how many charts it updated.
  size_t ExpectUpdated(const std::string& Options, const std::string& Said,
                       const std::string& Port = "") {
    std::string out;
    EXPECT_EQ(Run(Options, out, Port), 0) << out;
    EXPECT_EQ(out.rfind(Said, 0), 0u) << out;  // before any result line
    const std::set<std::string> updated = ServerUpdates();
    EXPECT_FALSE(updated.empty());
    EXPECT_EQ(CheckUpdated({updated.begin(), updated.end()}), "ok\n");
    fs::remove_all(FInstalled);
    fs::create_directories(FInstalled);
    Install({"1801", "1803"});
    FBefore = Bitmaps();
    FBeforeHive = HiveText();
    return updated.size();
  }
  // A run that failed with Why and changed neither a chart nor a setting.
  void ExpectRefused(const std::string& Options, const std::string& Why,
                     const std::string& Port = "") {
    std::string out;
    EXPECT_EQ(Run(Options, out, Port), 1) << out;
    EXPECT_NE(out.find(Why), std::string::npos) << out;
    EXPECT_EQ(out.find("connection encrypted"), std::string::npos) << out;
    EXPECT_EQ(Bitmaps(), FBefore);
    EXPECT_EQ(HiveText(), FBeforeHive);
  }
  std::string ServerLogText() const { return ReadFileText(FTemp / "ftp.log"); }

  const TTestAuthority& Authority = TTestAuthority::Get();
  std::map<std::string, std::vector<uint8_t>> FBefore;
  std::string FBeforeHive;
};

TEST_F(ZrnUpdateTls, EncryptedWhereOfferedPlainWhereNotUnlessRequired) {
  StartServer();
  ExpectRefused("--tls require", "TLS is required, but the server refused it: 500 ");
  ExpectUpdated("", NotOffered);

  StartTlsServer();
  ExpectUpdated("", Encrypted);
  ExpectUpdated("--tls require --active", Encrypted);
  std::string log = ServerLogText();
  EXPECT_EQ(Count(log, "AUTH TLS\n"), 2u) << log;
  EXPECT_EQ(Count(log, "PROT P\n"), 2u) << log;
  // --trace: the handshake's outcome within the conversation, the login's
  // password hidden.
  std::string out;
  EXPECT_EQ(Run("--tls require --trace --dry-run", out), 0) << out;
  EXPECT_NE(out.find("\n! TLS: TLS 1.3, TLS_"), std::string::npos) << out;
  EXPECT_NE(out.find("certificate of 127.0.0.1 verified\n"), std::string::npos) << out;
  EXPECT_NE(out.find("> PASS ****\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("@quorvel"), std::string::npos) << out;
  // Off: the plain conversation, not a word of TLS.
  ExpectUpdated("--tls off", "connection not encrypted: TLS is turned off");
  log = ServerLogText();
  EXPECT_EQ(Count(log, "AUTH TLS\n"), 3u) << log;
}

// Each certificate fails for its reason, in either mode, before the login:
// no plain text follows the refused handshake.
TEST_F(ZrnUpdateTls, EachBadCertificateEndsTheRunWithItsReason) {
  const struct {
    TServerCertificate Which;
    std::string Reason;
  } cases[] = {{TServerCertificate::OtherHost, "certificate is for another host name"},
               {TServerCertificate::Expired, "certificate has expired"},
               {TServerCertificate::Stranger, "certificate issuer unknown"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Reason);
    StartTlsServer(c.Which);
    for (const char* mode : {"--tls auto", "--tls require"})
      ExpectRefused(
          mode, "(Error 20102) TLS: the certificate of 127.0.0.1 was not accepted: " + c.Reason);
    const std::string log = ServerLogText();
    EXPECT_EQ(log.find("USER"), std::string::npos) << log;
  }
}

// vsftpd with TLS forced on the anonymous login and every data connection,
// each on the control connection's session (root only: CI runs as root).
TEST_F(ZrnUpdateTls, VsftpdWithForcedTls) {
  TVsftpdPeer server;
  ::chmod(Demo->Path().c_str(), 0755);  // served as the user ftp
  const std::string why = server.Start(Demo->Path());
  if (!why.empty()) GTEST_SKIP() << why;
  const size_t files = ExpectUpdated("", Encrypted, server.PortText());
  const std::string log = server.Log();
  EXPECT_NE(log.find("\"234 Proceed with negotiation.\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"230 Login successful.\""), std::string::npos) << log;
  EXPECT_NE(log.find("\"200 PROT now Private.\""), std::string::npos) << log;
  // The listing, the index and the files, each on the resumed session.
  EXPECT_EQ(Count(log, ", reused, no cert\""), files + 2) << log;
}

// SOCKS 5 (microsocks) and SOCKS 4 (danted) carry TLS unchanged; an FTP
// proxy of the USER@site kind takes AUTH itself and refuses it.
TEST_F(ZrnUpdateTls, ThroughEveryKindOfProxy) {
  StartTlsServer();
  TPeerProcess socks5, socks4, gate;
  const int port5 = FreePort();
  ASSERT_TRUE(
      socks5.Start({"/usr/bin/microsocks", "-i", "127.0.0.1", "-p", std::to_string(port5)}, port5));
  ExpectUpdated("--socks5 127.0.0.1:" + socks5.PortText(), Encrypted);

  ASSERT_TRUE(StartDanted(socks4, FTemp.Path()));
  ExpectUpdated("--socks4 127.0.0.1:" + socks4.PortText(), Encrypted);

  const int portGate = FreePort();
  WriteFileText(FTemp / "ftp-proxy.conf",
                "[-Global-]\nListen 127.0.0.1\nPort " + std::to_string(portGate) +
                    "\nServerType standalone\nAllowMagicUser yes\nUser nobody\nGroup nogroup\n");
  ASSERT_TRUE(
      gate.Start({"/usr/sbin/ftp-proxy", "-d", "-n", "-f", FTemp / "ftp-proxy.conf"}, portGate));
  const std::string via = "--ftp-proxy 127.0.0.1:" + gate.PortText();
  ExpectRefused(via + " --tls require", "TLS is required, but the server refused it: 500 ");
  ExpectUpdated(via, "connection not encrypted: the server does not offer TLS (500 'AUTH'");
}

}  // namespace
