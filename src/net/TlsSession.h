#pragma once
// TTlsSession: the client's end of one TLS connection, driven over memory.
// The owner moves ciphertext between it and its own non-blocking socket
// (PutCiphertext what arrived, TakeCiphertext what is to go out), so the
// connection runs unchanged through a SOCKS tunnel or any other byte pipe,
// and no call here ever blocks or touches a descriptor.
//
// The server's certificate chain is verified against the system's trust
// store (OpenSSL's default paths, so SSL_CERT_FILE and SSL_CERT_DIR work as
// they do for other programs), and its name against the host the client
// asked for: a host name (also sent as the server name) or an IP address.
// TLS 1.2 is the oldest version spoken. No key ever leaves the session.

#include <cstddef>
#include <memory>
#include <string>

struct ssl_ctx_st;
struct ssl_st;
struct bio_st;
struct ssl_session_st;

// A session of an earlier connection to the same server, to be resumed
// (the FTP data connections resume the control connection's).
using TTlsSavedSession = std::shared_ptr<ssl_session_st>;

// The rules and the trust store of the connections of one conversation,
// read once when it is made (a trust store of a hundred authorities takes
// milliseconds to load).
class TTlsContext {
 public:
  // Null, with Error set, when OpenSSL could not make one.
  static std::shared_ptr<TTlsContext> Make(std::string& Error);
  ~TTlsContext();
  TTlsContext(const TTlsContext&) = delete;
  TTlsContext& operator=(const TTlsContext&) = delete;

  ssl_ctx_st* Handle() const { return FCtx; }

 private:
  explicit TTlsContext(ssl_ctx_st* Ctx) : FCtx(Ctx) {}
  ssl_ctx_st* FCtx;
};

enum class TTlsProgress { Working, Done, Failed };

class TTlsSession {
 public:
  // Host: the server's name or address as the user gave it (never a
  // proxy's). Resume: a session of an earlier connection, or null.
  TTlsSession(std::shared_ptr<TTlsContext> Context, const std::string& Host,
              const TTlsSavedSession& Resume = {});
  ~TTlsSession();
  TTlsSession(const TTlsSession&) = delete;
  TTlsSession& operator=(const TTlsSession&) = delete;

  // Ciphertext that came from the peer.
  void PutCiphertext(const char* Data, size_t Len);
  // The peer's side of the connection ended (end of stream): a read that
  // needs more then fails, unless the peer closed TLS first.
  void PutEndOfStream();
  // Ciphertext waiting to go to the peer; TakeCiphertext moves up to Size
  // bytes of it into Buffer and returns how many.
  size_t PendingCiphertext() const;
  size_t TakeCiphertext(char* Buffer, size_t Size);

  // Starts the handshake, or takes it on with what arrived since.
  TTlsProgress Handshake();
  bool Established() const { return FEstablished; }

  // Plain text to send (once established): false when the session failed.
  bool Write(const char* Data, size_t Len);
  // Plain text that arrived: up to Size bytes into Buffer (as many records
  // as there are). Returns the count, 0 when more ciphertext is needed
  // first, -1 when the stream has ended: PeerClosed() after the peer's
  // close notice, Failed() otherwise.
  int Read(char* Buffer, int Size);
  // Plain text or ciphertext that arrived and has not been read yet.
  bool Buffered() const;
  // Sends the close notice (the ciphertext then waits to be taken).
  void Close();

  bool PeerClosed() const { return FPeerClosed; }
  bool Failed() const { return !FError.empty(); }
  // Why the session failed: "certificate has expired", "certificate is for
  // another host name", "certificate issuer unknown", OpenSSL's text of any
  // other verification failure, or the TLS error.
  const std::string& Error() const { return FError; }
  // The failure was the server's certificate.
  bool CertificateRejected() const { return FCertificateRejected; }

  const std::string& Host() const { return FHost; }
  // "TLS 1.3", "TLS 1.2" once established.
  std::string Version() const;
  // The cipher suite's name, "TLS_AES_256_GCM_SHA384".
  std::string Cipher() const;
  // The handshake resumed the session it was given.
  bool Reused() const;
  // This connection's session, for the next connection to resume; null
  // when there is none that can be resumed.
  TTlsSavedSession SavedSession() const;

 private:
  void Fail(int SslError);

  std::shared_ptr<TTlsContext> FContext;
  std::string FHost;
  ssl_st* FSsl = nullptr;
  bio_st* FIn = nullptr;   // ciphertext from the peer (owned by FSsl)
  bio_st* FOut = nullptr;  // ciphertext to the peer (owned by FSsl)
  bool FEstablished = false;
  bool FPeerClosed = false;
  bool FCertificateRejected = false;
  std::string FError;
};

// OpenSSL's "TLSv1.3" as a user reads it: "TLS 1.3".
std::string TlsVersionText(const std::string& OpenSslVersion);
