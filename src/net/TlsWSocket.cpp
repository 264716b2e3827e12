// The TLS layer of the socket: the handshake, and plain text in and out
// once it is done, over the connection below (direct or through SOCKS),
// which carries the ciphertext unchanged.

#include <algorithm>

#include "TlsSession.h"
#include "WSocket.h"

namespace {

// Ciphertext is read from the connection in blocks of this size.
constexpr int CipherBlock = 64 * 1024;

}  // namespace

TCustomTlsWSocket::TCustomTlsWSocket() = default;
TCustomTlsWSocket::~TCustomTlsWSocket() = default;

void TCustomTlsWSocket::StartTls(std::shared_ptr<TTlsContext> Context, const std::string& Host,
                                 const TTlsSavedSession& Resume) {
  FTls = std::make_unique<TTlsSession>(std::move(Context), Host, Resume);
  if (!FTls->Failed()) return ContinueHandshake();
  // The outcome always comes after StartTls has returned.
  const TSocketToken connection = Token();
  Post([this, connection] {
    if (connection.Current() && OnTlsDone) OnTlsDone(this, TlsHandshakeFailed);
  });
}

void TCustomTlsWSocket::ContinueHandshake() {
  const TSocketToken connection = Token();
  const TTlsProgress progress = FTls->Handshake();
  PushCiphertext();
  if (!connection.Current() || progress == TTlsProgress::Working) return;
  const uint16_t error = progress == TTlsProgress::Done ? 0
                         : FTls->CertificateRejected()  ? TlsCertificateRejected
                                                        : TlsHandshakeFailed;
  if (OnTlsDone) OnTlsDone(this, error);
}

int TCustomTlsWSocket::PullCiphertext() {
  FCipherIn.resize(CipherBlock);
  const int n = TCustomSocksWSocket::Receive(FCipherIn.data(), CipherBlock);
  if (n > 0)
    FTls->PutCiphertext(FCipherIn.data(), size_t(n));
  else if (n == 0)
    FTls->PutEndOfStream();
  return n;
}

void TCustomTlsWSocket::PushCiphertext() {
  char block[16 * 1024];
  while (const size_t n = FTls->TakeCiphertext(block, sizeof block)) {
    if (State() != wsConnected) return;  // nobody to send it to
    TCustomSocksWSocket::Send(block, int(n));
  }
}

int TCustomTlsWSocket::Send(const void* Data, int Len) {
  if (!FTls) return TCustomSocksWSocket::Send(Data, Len);
  if (Len <= 0) return 0;
  if (!FTls->Established() || !FTls->Write(static_cast<const char*>(Data), size_t(Len))) {
    SetLastError(WSAENOTCONN);
    return -1;
  }
  PushCiphertext();
  return Len;
}

int TCustomTlsWSocket::Receive(void* Buffer, int BufferSize) {
  if (!FTls) return TCustomSocksWSocket::Receive(Buffer, BufferSize);
  if (!TlsCarrying()) return DropCiphertext();
  char* plain = static_cast<char*>(Buffer);
  for (;;) {
    const int n = FTls->Read(plain, BufferSize);
    PushCiphertext();  // what reading made: answers to the peer's key updates
    if (n > 0) return n;
    if (n < 0) return EndOfTls();
    const int got = PullCiphertext();
    if (got < 0) return -1;  // nothing now (LastError tells), or the close follows
  }
}

// The end of the peer's stream: its close notice is answered with ours, and
// the socket sees the end of its input, so the close follows as for a plain
// connection (a server may wait for our notice before it closes). Anything
// else is a broken stream: the connection is shut and its close reports an
// aborted connection.
int TCustomTlsWSocket::EndOfTls() {
  if (FTls->PeerClosed()) {
    FTls->Close();
    PushCiphertext();
    Shutdown(SD_RECEIVE);
    return 0;
  }
  SetLastError(WSAECONNABORTED);
  Shutdown(SD_BOTH);
  return -1;
}

// Nothing for the owner during the handshake (what arrives is the
// handshake's); after the end of the stream what still arrives is read and
// dropped, so that the close can follow.
int TCustomTlsWSocket::DropCiphertext() {
  if (!FTls->Failed() && !FTls->PeerClosed()) {
    SetLastError(WSAEWOULDBLOCK);
    return -1;
  }
  FCipherIn.resize(CipherBlock);
  const int n = TCustomSocksWSocket::Receive(FCipherIn.data(), CipherBlock);
  if (n > 0) SetLastError(WSAEWOULDBLOCK);
  return n > 0 ? -1 : n;
}

// The session is up and the peer has not ended it: plain text may still come.
bool TCustomTlsWSocket::TlsCarrying() const {
  return FTls && FTls->Established() && !FTls->Failed() && !FTls->PeerClosed();
}

int TCustomTlsWSocket::RcvdCount() {
  const int raw = TCustomSocksWSocket::RcvdCount();
  if (TlsCarrying() && FTls->Buffered()) return std::max(raw, 1);
  return raw;
}

void TCustomTlsWSocket::TriggerDataAvailable(uint16_t Error) {
  if (!FTls) return TCustomSocksWSocket::TriggerDataAvailable(Error);
  if (!FTls->Established() && !FTls->Failed()) {
    PullCiphertext();
    return ContinueHandshake();
  }
  const TSocketToken connection = Token();
  TCustomSocksWSocket::TriggerDataAvailable(Error);
  // The owner reads a bounded amount a notice; plain text it left gets a
  // notice of its own, as the socket may have nothing new to report.
  if (!connection.Current() || !FTls || FTlsNoticePosted || RcvdCount() == 0) return;
  FTlsNoticePosted = true;
  Post([this, connection] {
    FTlsNoticePosted = false;
    if (!connection.Current()) return;
    try {
      TriggerDataAvailable(0);
    } catch (const std::exception& e) {
      HandleBackgroundException(e);
    }
  });
}

void TCustomTlsWSocket::TriggerSessionClosed(uint16_t Error) {
  // The peer left (the socket is still open here; a local close has closed
  // it already): only its close notice ends the stream cleanly.
  if (FTls && FTls->Established() && State() != wsClosed) {
    if (!FTls->PeerClosed() && !FTls->Failed()) {
      FTls->PutEndOfStream();
      FCipherIn.resize(CipherBlock);
      while (FTls->Read(FCipherIn.data(), CipherBlock) > 0) {
      }
    }
    if (FTls->Failed() && Error == 0) Error = WSAECONNABORTED;
  }
  TCustomSocksWSocket::TriggerSessionClosed(Error);
}

void TCustomTlsWSocket::AssignDefaultValue() {
  TCustomSocksWSocket::AssignDefaultValue();
  FTls.reset();
}
