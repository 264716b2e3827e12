#include "TlsSession.h"

#include <arpa/inet.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <algorithm>

namespace {

// An IPv4 or IPv6 literal: checked against the certificate's addresses,
// and never sent as a server name.
bool IsAddressLiteral(const std::string& Host) {
  unsigned char buffer[16];
  return ::inet_pton(AF_INET, Host.c_str(), buffer) == 1 ||
         ::inet_pton(AF_INET6, Host.c_str(), buffer) == 1;
}

// The reasons a user can act on, in words; OpenSSL's own for the rest.
std::string VerifyReason(long Result) {
  switch (Result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "certificate has expired";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return "certificate is for another host name";
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
      return "certificate issuer unknown";
    default:
      return X509_verify_cert_error_string(Result);
  }
}

// The first error OpenSSL queued, as its reason text ("wrong version
// number"); the queue is emptied.
std::string QueuedError() {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return "TLS error";
  const char* reason = ERR_reason_error_string(code);
  return reason ? reason : "TLS error " + std::to_string(ERR_GET_REASON(code));
}

}  // namespace

std::shared_ptr<TTlsContext> TTlsContext::Make(std::string& Error) {
  ERR_clear_error();
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  if (!ctx) {
    Error = QueuedError();
    return nullptr;
  }
  SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  // A store that cannot be read is an empty one: every certificate then
  // fails for its unknown issuer, which says what is wrong.
  SSL_CTX_set_default_verify_paths(ctx);
  ERR_clear_error();
  return std::shared_ptr<TTlsContext>(new TTlsContext(ctx));
}

TTlsContext::~TTlsContext() {
  SSL_CTX_free(FCtx);
}

TTlsSession::TTlsSession(std::shared_ptr<TTlsContext> Context, const std::string& Host,
                         const TTlsSavedSession& Resume)
    : FContext(std::move(Context)), FHost(Host) {
  ERR_clear_error();
  FSsl = SSL_new(FContext->Handle());
  FIn = BIO_new(BIO_s_mem());
  FOut = BIO_new(BIO_s_mem());
  if (!FSsl || !FIn || !FOut) {
    BIO_free(FIn);
    BIO_free(FOut);
    FIn = FOut = nullptr;
    FError = QueuedError();
    return;
  }
  // An empty input asks for more rather than ending the stream.
  BIO_set_mem_eof_return(FIn, -1);
  SSL_set_bio(FSsl, FIn, FOut);
  SSL_set_connect_state(FSsl);
  SSL_set_hostflags(FSsl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  const bool named = IsAddressLiteral(Host)
                         ? X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(FSsl), Host.c_str()) == 1
                         : SSL_set1_host(FSsl, Host.c_str()) == 1 &&
                               SSL_set_tlsext_host_name(FSsl, const_cast<char*>(Host.c_str())) == 1;
  if (!named) FError = "cannot check a certificate for the host name " + Host;
  if (Resume) SSL_set_session(FSsl, Resume.get());
  ERR_clear_error();
}

TTlsSession::~TTlsSession() {
  SSL_free(FSsl);  // and its BIOs
}

void TTlsSession::PutCiphertext(const char* Data, size_t Len) {
  if (FIn && Len > 0) BIO_write(FIn, Data, int(Len));
}

void TTlsSession::PutEndOfStream() {
  if (FIn) BIO_set_mem_eof_return(FIn, 0);
}

size_t TTlsSession::PendingCiphertext() const {
  return FOut ? BIO_ctrl_pending(FOut) : 0;
}

size_t TTlsSession::TakeCiphertext(char* Buffer, size_t Size) {
  if (!FOut || Size == 0) return 0;
  const int n = BIO_read(FOut, Buffer, int(std::min<size_t>(Size, 1 << 30)));
  return n > 0 ? size_t(n) : 0;
}

TTlsProgress TTlsSession::Handshake() {
  if (Failed()) return TTlsProgress::Failed;
  if (FEstablished) return TTlsProgress::Done;
  ERR_clear_error();
  const int r = SSL_do_handshake(FSsl);
  if (r == 1) {
    FEstablished = true;
    return TTlsProgress::Done;
  }
  const int error = SSL_get_error(FSsl, r);
  if (error == SSL_ERROR_WANT_READ) return TTlsProgress::Working;
  Fail(error);
  return TTlsProgress::Failed;
}

bool TTlsSession::Write(const char* Data, size_t Len) {
  if (Failed() || !FEstablished) return false;
  if (Len == 0) return true;
  ERR_clear_error();
  size_t written = 0;
  const int r = SSL_write_ex(FSsl, Data, Len, &written);
  if (r != 1) Fail(SSL_get_error(FSsl, r));
  return r == 1;
}

int TTlsSession::Read(char* Buffer, int Size) {
  if (Failed() || FPeerClosed) return -1;
  if (!FEstablished || Size <= 0) return 0;
  // A record holds at most 16 kB: the buffer takes as many as are there.
  size_t total = 0;
  for (;;) {
    ERR_clear_error();
    size_t got = 0;
    const int r = SSL_read_ex(FSsl, Buffer + total, size_t(Size) - total, &got);
    if (r == 1) {
      total += got;
      if (total < size_t(Size)) continue;
      return int(total);
    }
    // An end or a failure after some text is told at the next read.
    if (total > 0) return int(total);
    const int error = SSL_get_error(FSsl, r);
    if (error == SSL_ERROR_WANT_READ) return 0;
    if (error == SSL_ERROR_ZERO_RETURN) {
      FPeerClosed = true;
      ERR_clear_error();
    } else {
      Fail(error);
    }
    return -1;
  }
}

bool TTlsSession::Buffered() const {
  return FSsl && (SSL_pending(FSsl) > 0 || BIO_ctrl_pending(FIn) > 0);
}

void TTlsSession::Close() {
  if (FEstablished && !Failed()) {
    ERR_clear_error();
    SSL_shutdown(FSsl);
    ERR_clear_error();
  }
}

void TTlsSession::Fail(int SslError) {
  const long verify = SSL_get_verify_result(FSsl);
  if (!FEstablished && verify != X509_V_OK) {
    FCertificateRejected = true;
    FError = VerifyReason(verify);
    ERR_clear_error();
  } else if (SslError == SSL_ERROR_SYSCALL && ERR_peek_error() == 0) {
    FError = "connection ended in the middle of a TLS record";
  } else {
    FError = QueuedError();
  }
}

std::string TTlsSession::Version() const {
  return FEstablished ? TlsVersionText(SSL_get_version(FSsl)) : std::string();
}

std::string TTlsSession::Cipher() const {
  return FEstablished ? SSL_get_cipher_name(FSsl) : "";
}

bool TTlsSession::Reused() const {
  return FEstablished && SSL_session_reused(FSsl) == 1;
}

TTlsSavedSession TTlsSession::SavedSession() const {
  if (!FEstablished) return nullptr;
  SSL_SESSION* session = SSL_get1_session(FSsl);
  if (session && SSL_SESSION_is_resumable(session) != 1) {
    SSL_SESSION_free(session);
    session = nullptr;
  }
  return session ? TTlsSavedSession(session, SSL_SESSION_free) : nullptr;
}

std::string TlsVersionText(const std::string& OpenSslVersion) {
  if (OpenSslVersion.rfind("TLSv", 0) == 0) return "TLS " + OpenSslVersion.substr(4);
  return OpenSslVersion;
}
