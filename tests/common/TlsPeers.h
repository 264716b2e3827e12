#pragma once
// The encrypting peers of the tests: a certificate authority of the test
// program's own, and vsftpd with explicit TLS forced on anonymous logins.
// tls_peer_setup.sh beside this header makes both, so the benchmarks set up
// the same server. pyftpdlib with TLS is update_ftp_server.py --tls.
//
//   const TTestAuthority& ca = TTestAuthority::Get();
//   TVsftpdPeer server;
//   const std::string why = server.Start(Root, TServerCertificate::Good);
//   if (!why.empty()) GTEST_SKIP() << why;   // (vsftpd needs root)
//   ... client on 127.0.0.1:server.Port(), trusting ca.CaFile() ...
//   server.Log()                             // what went in TLS

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "PeerProcess.h"
#include "ShellCommand.h"
#include "TempDir.h"

// The server certificates of the authority. Good holds for localhost and
// 127.0.0.1; each other one fails verification for one reason.
enum class TServerCertificate {
  Good,
  OtherHost,  // for chartserver.invalid only
  Expired,    // valid from two days ago to yesterday
  Stranger,   // from an authority that no trust store holds
};

inline std::string TlsPeerSetupScript() {
  return std::string(ZARNAVIS_COMMON_TEST_DIR) + "/tls_peer_setup.sh";
}

// Made once per test program in a private folder (mkdtemp, 0700), removed
// at its end. The tests point curl's --cacert, or SSL_CERT_FILE, at CaFile().
class TTestAuthority {
 public:
  static const TTestAuthority& Get() {
    static const TTestAuthority authority;
    return authority;
  }
  TTestAuthority(const TTestAuthority&) = delete;
  TTestAuthority& operator=(const TTestAuthority&) = delete;

  // Empty when the certificates are there, otherwise what openssl said.
  const std::string& Error() const { return FError; }

  std::string CaFile() const { return FDir / "ca.pem"; }
  // The authority that signed Stranger: trusting it makes Stranger good.
  std::string StrangerCaFile() const { return FDir / "stranger-ca.pem"; }
  std::string CertFile(TServerCertificate Which) const { return FDir / (Name(Which) + ".pem"); }
  std::string KeyFile(TServerCertificate Which) const { return FDir / (Name(Which) + ".key"); }

 private:
  TTestAuthority() {
    std::string out;
    if (RunShellCommand(ShellQuote(TlsPeerSetupScript()) + " authority " + ShellQuote(FDir.Path()),
                        &out) != 0 ||
        !std::filesystem::exists(CertFile(TServerCertificate::Stranger)))
      FError = "the test authority could not be made: " + out;
  }

  static std::string Name(TServerCertificate Which) {
    switch (Which) {
      case TServerCertificate::Good:
        return "good";
      case TServerCertificate::OtherHost:
        return "otherhost";
      case TServerCertificate::Expired:
        return "expired";
      case TServerCertificate::Stranger:
        return "stranger";
    }
    return "";
  }

  TempDir FDir;
  std::string FError;
};

// vsftpd on 127.0.0.1 at a free port, anonymous and read-only on a folder,
// TLS required for the login and every data connection (each reusing the
// control connection's TLS session), stopped by its PID with the peer.
class TVsftpdPeer {
 public:
  // Serves Root (it, and the folders above it, must be open to the user
  // ftp) with the certificate Which; empty when it runs, otherwise why not.
  std::string Start(const std::string& Root, TServerCertificate Which = TServerCertificate::Good) {
    // Only root can change to the anonymous user and into Root; anyone
    // else would serve the machine's own folders under absolute paths.
    if (::geteuid() != 0)
      return "vsftpd serves an anonymous folder only when started as root (CI runs as root)";
    const TTestAuthority& authority = TTestAuthority::Get();
    if (!authority.Error().empty()) return authority.Error();
    const int port = FreePort();
    std::string out;
    if (RunShellCommand(ShellQuote(TlsPeerSetupScript()) + " vsftpd-conf " +
                            ShellQuote(FDir.Path()) + " " + ShellQuote(Root) + " " +
                            std::to_string(port) + " " + ShellQuote(authority.CertFile(Which)) +
                            " " + ShellQuote(authority.KeyFile(Which)),
                        &out) != 0)
      return "the vsftpd configuration could not be written: " + out;
    if (!FProcess.Start({"/bin/bash", TlsPeerSetupScript(), "vsftpd", FDir.Path()}, port))
      return "vsftpd did not start on 127.0.0.1:" + std::to_string(port) +
             " (is it unpacked? scripts/install-deps) " + Log();
    return "";
  }
  void Stop() { FProcess.Stop(); }

  int Port() const { return FProcess.Port(); }
  std::string PortText() const { return FProcess.PortText(); }

  // Every command and reply, and for each connection a line "SSL version:
  // TLSv1.3, SSL cipher: ..., reused|not reused, no cert" once its
  // handshake is done (a data connection says "reused").
  std::string Log() const { return ReadFileText(FDir / "vsftpd.log"); }

  // The log once it holds every one of Lines, or after ten seconds: a
  // client's exit does not mean the log is done. A data connection without
  // session reuse is shut by vsftpd's TLS process before its session
  // process logs the 522, and a client may end on the closed connection.
  std::string LogOnceItHolds(const std::vector<std::string>& Lines) const {
    std::string log;
    for (int tries = 0; tries < 200; ++tries) {
      log = Log();
      bool all = true;
      for (const std::string& line : Lines) all = all && log.find(line) != std::string::npos;
      if (all) break;
      ::usleep(50 * 1000);
    }
    return log;
  }

 private:
  TempDir FDir;
  TPeerProcess FProcess;
};
