// The TLS endpoint over memory, against openssl s_server on 127.0.0.1 with
// the certificates of the test authority (trusted through SSL_CERT_FILE):
// each bad certificate fails for its reason, a good one carries text both
// ways, a second connection resumes the first one's session, and only the
// close notice ends a stream without a failure, also for the socket's TLS
// layer above it.

#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>

#include "NetTestSupport.h"
#include "TlsPeers.h"
#include "TlsSession.h"
#include "WSocket.h"

namespace {

// A blocking loopback connection that carries the session's ciphertext.
class TCipherPipe {
 public:
  explicit TCipherPipe(int Port) {
    FFd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(uint16_t(Port));
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(FFd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
      ::close(FFd);
      FFd = -1;
    }
  }
  ~TCipherPipe() {
    if (FFd >= 0) ::close(FFd);
  }
  bool Open() const { return FFd >= 0; }

  void Flush(TTlsSession& Session) {
    char buffer[16384];
    while (size_t n = Session.TakeCiphertext(buffer, sizeof buffer))
      ASSERT_EQ(::send(FFd, buffer, n, MSG_NOSIGNAL), ssize_t(n));
  }

  // Hands the session what arrives within five seconds; false when nothing did.
  bool Feed(TTlsSession& Session) {
    pollfd p{FFd, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1) return false;
    char buffer[16384];
    const ssize_t n = ::recv(FFd, buffer, sizeof buffer, 0);
    if (n <= 0)
      Session.PutEndOfStream();
    else
      Session.PutCiphertext(buffer, size_t(n));
    return true;
  }

  TTlsProgress Handshake(TTlsSession& Session) {
    for (;;) {
      const TTlsProgress progress = Session.Handshake();
      Flush(Session);
      if (progress != TTlsProgress::Working || !Feed(Session)) return progress;
    }
  }

  // Sends Line and reads the server's answer up to its line end.
  std::string Exchange(TTlsSession& Session, const std::string& Line) {
    EXPECT_TRUE(Session.Write(Line.data(), Line.size()));
    Flush(Session);
    std::string answer;
    char buffer[256];
    while (answer.find('\n') == std::string::npos) {
      const int n = Session.Read(buffer, sizeof buffer);
      Flush(Session);
      if (n > 0)
        answer.append(buffer, size_t(n));
      else if (n < 0 || !Feed(Session))
        break;
    }
    return answer;
  }

 private:
  int FFd = -1;
};

class TlsSessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Authority.Error(), "");
    ::setenv("SSL_CERT_FILE", Authority.CaFile().c_str(), 1);
    std::string error;
    Context = TTlsContext::Make(error);
    ASSERT_TRUE(Context) << error;
  }
  void TearDown() override { ::unsetenv("SSL_CERT_FILE"); }

  // s_server answers each line with the line reversed.
  void StartServer(TPeerProcess& Server, TServerCertificate Which,
                   std::vector<std::string> Extra = {}) {
    const int port = FreePort();
    std::vector<std::string> argv = {"/usr/bin/openssl",
                                     "s_server",
                                     "-quiet",
                                     "-rev",
                                     "-accept",
                                     "127.0.0.1:" + std::to_string(port),
                                     "-cert",
                                     Authority.CertFile(Which),
                                     "-key",
                                     Authority.KeyFile(Which)};
    argv.insert(argv.end(), Extra.begin(), Extra.end());
    ASSERT_TRUE(Server.Start(argv, port));
  }

  const TTestAuthority& Authority = TTestAuthority::Get();
  std::shared_ptr<TTlsContext> Context;
};

TEST_F(TlsSessionTest, VerifiesTheServerAndResumesItsSession) {
  const struct {
    TServerCertificate Which;
    std::string Host;
    std::vector<std::string> Server;
    std::string Outcome;  // the version, or why the certificate was refused
  } cases[] = {
      {TServerCertificate::Good, "127.0.0.1", {}, "TLS 1.3"},
      {TServerCertificate::Good, "localhost", {"-tls1_2"}, "TLS 1.2"},
      {TServerCertificate::OtherHost, "127.0.0.1", {}, "certificate is for another host name"},
      {TServerCertificate::OtherHost, "localhost", {}, "certificate is for another host name"},
      {TServerCertificate::Expired, "localhost", {}, "certificate has expired"},
      {TServerCertificate::Stranger, "127.0.0.1", {}, "certificate issuer unknown"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Host + ": " + c.Outcome);
    TPeerProcess server;
    StartServer(server, c.Which, c.Server);
    TTlsSavedSession saved;
    for (const bool again : {false, true}) {
      TCipherPipe pipe(server.Port());
      ASSERT_TRUE(pipe.Open());
      TTlsSession session(Context, c.Host, saved);
      const TTlsProgress progress = pipe.Handshake(session);
      if (c.Outcome.rfind("TLS ", 0) != 0) {
        EXPECT_EQ(progress, TTlsProgress::Failed);
        EXPECT_TRUE(session.CertificateRejected());
        EXPECT_EQ(session.Error(), c.Outcome);
        EXPECT_EQ(session.Read(nullptr, 0), -1);
        EXPECT_FALSE(session.Write("x", 1));
        break;
      }
      ASSERT_EQ(progress, TTlsProgress::Done) << session.Error();
      EXPECT_EQ(session.Version(), c.Outcome);
      EXPECT_FALSE(session.Cipher().empty());
      EXPECT_EQ(session.Reused(), again);
      // The answer also brings TLS 1.3's session tickets.
      EXPECT_EQ(pipe.Exchange(session, "chart 1801\n"), "1081 trahc\n");
      saved = session.SavedSession();
      ASSERT_TRUE(saved);
      session.Close();
      pipe.Flush(session);
    }
  }
}

// How a stream ends: the peer's close notice ends it cleanly; a stream cut
// in the middle, or a record that was not sealed with the session's key,
// fails (a client must never take either for the end of a file).
TEST_F(TlsSessionTest, OnlyTheCloseNoticeEndsAStreamCleanly) {
  TPeerProcess server;
  StartServer(server, TServerCertificate::Good);
  // An application-data record of 32 bytes.
  const std::string forged(
      "\x17\x03\x03\x00\x20"
      "0123456789abcdef0123456789abcdef",
      37);
  for (const std::string& end : {std::string("CLOSE\n"), std::string(), forged}) {
    SCOPED_TRACE(end.empty() ? "cut" : end == forged ? "forged" : "closed");
    TCipherPipe pipe(server.Port());
    ASSERT_TRUE(pipe.Open());
    TTlsSession session(Context, "localhost");
    ASSERT_EQ(pipe.Handshake(session), TTlsProgress::Done) << session.Error();
    ASSERT_EQ(pipe.Exchange(session, "ok\n"), "ko\n");
    if (end.empty())
      session.PutEndOfStream();
    else if (end == forged)
      session.PutCiphertext(end.data(), end.size());
    else
      ASSERT_TRUE(session.Write(end.data(), end.size()));
    pipe.Flush(session);
    char buffer[64];
    int n = 0;
    while ((n = session.Read(buffer, sizeof buffer)) >= 0 && pipe.Feed(session)) {
    }
    EXPECT_EQ(n, -1);
    EXPECT_EQ(session.PeerClosed(), end == "CLOSE\n");
    EXPECT_EQ(session.Failed(), !session.PeerClosed()) << session.Error();
    EXPECT_FALSE(session.CertificateRejected());
  }
}

// The socket's TLS layer: plain text both ways; the server's close notice
// closes the socket cleanly, a server that vanishes without it (its TCP
// connection ended by the system) closes it as an aborted connection.
TEST_F(TlsSessionTest, TheSocketTellsACleanEndFromACut) {
  for (const bool clean : {true, false}) {
    SCOPED_TRACE(clean ? "close notice" : "cut");
    TPeerProcess server;
    StartServer(server, TServerCertificate::Good);
    TestApp();
    TWSocket socket;
    std::string received;
    int handshake = -1, closed = -1;
    socket.OnSessionConnected = [&](TCustomWSocket*, uint16_t Error) {
      if (Error == 0) socket.StartTls(Context, "127.0.0.1");
    };
    socket.OnTlsDone = [&](TCustomWSocket*, uint16_t Error) {
      handshake = Error;
      if (Error == 0) socket.SendStr("chart 1803\n");
    };
    socket.OnDataAvailable = [&](TCustomWSocket*, uint16_t) {
      char buffer[256];
      for (int n; (n = socket.Receive(buffer, sizeof buffer)) > 0;) received.append(buffer, n);
    };
    socket.OnSessionClosed = [&](TCustomWSocket*, uint16_t Error) { closed = Error; };
    socket.SetAddr("127.0.0.1");
    socket.SetPort(server.PortText());
    socket.SetProto("tcp");
    socket.Connect();
    ASSERT_TRUE(RunUntil([&] { return received == "3081 trahc\n"; })) << received;
    EXPECT_EQ(handshake, 0);
    if (clean)
      socket.SendStr("CLOSE\n");
    else
      server.Stop();
    ASSERT_TRUE(RunUntil([&] { return closed >= 0; }));
    EXPECT_EQ(closed, clean ? 0 : WSAECONNABORTED);
  }
}

}  // namespace
