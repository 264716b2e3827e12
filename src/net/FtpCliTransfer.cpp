// The FTP client's data connection: PASV or PORT, the LIST and RETR
// transfers, progress, and the end of a transfer once both the final reply
// and the close of the data connection have arrived.

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include "DiskFull.h"
#include "FtpCli.h"
#include "FtpLocalFile.h"
#include "QvFileIO.h"

const char* const FtpDataConnectionFailed = "Unable to establish data connection";
const char* const FtpOperationAborted = "426 Operation aborted.";

namespace {

// A bulk transfer on a fast link is paced by the passes through the event
// loop: each pass costs a poll, a notifier and a progress event. So a pass
// reads what has arrived, in blocks of DataBufferSize, up to
// MaxBytesPerNotice, after which the window gets its turn again.
constexpr int DataBufferSize = 64 * 1024;
constexpr int64_t MaxBytesPerNotice = 1024 * 1024;

bool IsTransferStart(int Code) {
  return Code == 125 || (Code >= 150 && Code <= 159);
}
bool IsTransferEnd(int Code) {
  return Code == 125 || Code == 226 || Code == 250;
}

}  // namespace

bool TCustomFtpCli::DoPort() {
  if (FPassive) return ExecAsync(ftpPortAsync, "PASV", {200, 227});
  if (!IsReady()) return UsageError("FTP component not ready");
  if (FLink != TFtpLink::Connected) return UsageError("FTP component not connected");
  TWSocket& data = *FDataSocket;
  data.OnSessionClosed = nullptr;
  if (data.State() != wsClosed) data.Close();
  ApplySocks(data);
  data.SetSocksServer("");
  data.SetProto("tcp");
  data.SetAddr("0.0.0.0");
  data.SetPort("0");
  data.SetLingerOnOff(wsLingerOn);
  data.SetLingerTimeout(10);
  data.OnSessionAvailable = [this](TCustomWSocket*, uint16_t e) {
    Guarded([&] { DataSessionAvailable(e); });
  };
  data.Listen();
  std::string addr;
  uint16_t port = 0;
  data.GetSockName(addr, port);
  std::string local;
  uint16_t unused = 0;
  FControlSocket->GetSockName(local, unused);
  if (FControlSocket->Addr() == "127.0.0.1") local = "127.0.0.1";
  for (char& c : local)
    if (c == '.') c = ',';
  FByteCount = 0;
  return ExecAsync(
      ftpPortAsync,
      "PORT " + local + "," + std::to_string(port >> 8) + "," + std::to_string(port & 0xFF),
      {200, 227});
}

bool TCustomFtpCli::DoTransfer(TFtpRequest Rq) {
  const std::string command = Rq == ftpDirAsync ? "LIST" : "RETR";
  if (FLink != TFtpLink::Connected) return UsageError(command + ": not connected");
  if (FLocalFileName.empty() && !FLocalStream && !FDisplayFileFlag)
    return UsageError("LocalFileName empty");
  StartSingle(Rq);
  FDataCommand = command;
  FRequest.Transfer = TFtpTransfer();
  FByteCount = 0;
  FDisplayLine.clear();
  FDataSocket->OnSessionAvailable = [this](TCustomWSocket*, uint16_t e) {
    Guarded([&] { DataSessionAvailable(e); });
  };
  if (!OpenLocalTarget()) return FailLocalTarget();
  FRequest.Transfer.Stage = TFtpTransfer::Requested;
  if (FPassive && !ConnectPassiveData()) return true;
  FOkReplies.clear();
  FRequest.Wait = TFtpWait::Transfer;
  FErrorMessage.clear();
  SetState(ftpsAwaitingReply);
  SendCommand(FHostFileName.empty() ? FDataCommand : FDataCommand + " " + FHostFileName);
  return true;
}

// The data connection goes to the address the control connection reached,
// whatever the reply names: following it would let a server direct our
// connections at third parties. False when the request ended.
bool TCustomFtpCli::ConnectPassiveData() {
  uint32_t offeredIp = 0;
  uint16_t port = 0;
  if (!FtpParsePasvReply(FPasvResponse, offeredIp, port)) {
    FailRequest(550, "550 Invalid passive reply: " + FPasvResponse);
    return false;
  }
  TWSocket& data = *FDataSocket;
  data.OnSessionClosed = nullptr;
  if (data.State() != wsClosed) data.Close();
  ApplySocks(data);
  data.SetAddr(FControlSocket->Addr());
  data.SetPort(std::to_string(port));
  data.SetProto("tcp");
  data.SetLocalAddr(FLocalAddr);
  data.SetLingerOnOff(wsLingerOff);
  data.SetLingerTimeout(0);
  data.SetComponentOptions(wsoNoReceiveLoop);
  data.OnSessionConnected = [this](TCustomWSocket*, uint16_t e) {
    Guarded([&] { DataSessionConnected(e); });
  };
  InstallDataHandlers();
  try {
    data.Connect();
  } catch (const Exception& e) {
    FailRequest(550, std::string("550 ") + e.ClassName() + ": " + e.Message());
    return false;
  }
  return true;
}

// A fresh file, or for a resumed fetch the data received before: the file
// or the caller's stream is cut to ResumeAt bytes and written on from there.
bool TCustomFtpCli::OpenLocalTarget() {
  FLocalFile.reset();
  const int64_t resumeAt = FRequestType == ftpRestGetAsync ? FResumeAt : 0;
  if (FLocalStream) {
    if (resumeAt == 0) return true;
    try {
      if (FLocalStream->GetSize() < resumeAt) return false;
      FLocalStream->SetSize(resumeAt);
      FLocalStream->Seek(resumeAt, soFromBeginning);
    } catch (const std::exception&) {
      return false;
    }
    return true;
  }
  if (FDisplayFileFlag) return true;
  FLocalFile = std::make_unique<TFtpLocalFile>();
  if (resumeAt == 0 ? FLocalFile->Create(FLocalFileName)
                    : FLocalFile->OpenAt(FLocalFileName, resumeAt))
    return true;
  FLocalFile.reset();
  return false;
}

// The request ends before the transfer: the local file cannot be had.
bool TCustomFtpCli::FailLocalTarget() {
  if (FDataSocket->State() != wsClosed) FDataSocket->Close();
  FailRequest(550, "Unable to open local file " + FLocalFileName);
  return true;
}

// The data received before must be there to go on from. It is looked at
// before REST is sent: a server that took REST would apply it to the next
// RETR, also to a fresh fetch from 0.
bool TCustomFtpCli::CanResume() {
  if (FLocalStream) return FLocalStream->GetSize() >= FResumeAt;
  if (FDisplayFileFlag) return true;
  struct stat st {};
  return ::stat(FLocalFileName.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= FResumeAt;
}

bool TCustomFtpCli::DoRest() {
  if (!CanResume()) {
    StartSingle(ftpRestAsync);
    return FailLocalTarget();
  }
  return ExecAsync(ftpRestAsync, "REST " + std::to_string(FResumeAt), {350});
}

void TCustomFtpCli::InstallDataHandlers() {
  FDataSocket->OnDataAvailable = [this](TCustomWSocket*, uint16_t) {
    Guarded([&] { DataDataAvailable(); });
  };
  FDataSocket->OnSessionClosed = [this](TCustomWSocket*, uint16_t e) {
    Guarded([&] { DataSessionClosed(e); });
  };
}

void TCustomFtpCli::DataSessionAvailable(uint16_t Error) {
  TWSocket& data = *FDataSocket;
  if (data.State() != wsListening) return;
  const int handle = data.Accept();
  // Only the server may deliver, as in passive mode, where the client
  // connects to it alone: a connection from any other address (anyone on
  // the network who saw the PORT may try first) is dropped, and the socket
  // goes on listening.
  const std::string peer = handle < 0 ? std::string() : WSocketPeerAddr(handle);
  if (handle >= 0 && peer != FControlSocket->GetPeerAddr()) {
    Trace("! Data connection from " + peer + " refused");
    ::close(handle);
    return;
  }
  data.OnSessionClosed = nullptr;
  data.Close();  // only one data connection per transfer
  if (handle < 0) return;
  data.SetComponentOptions(wsoNoReceiveLoop);
  InstallDataHandlers();
  data.Dup(handle);
  FStartTick = std::chrono::steady_clock::now();
  if (FTlsOutcome.Encrypted) StartDataTls();
}

void TCustomFtpCli::DataSessionConnected(uint16_t Error) {
  if (!FRequest.Transfer.Active()) return;
  if (Error != 0)
    return FailRequest(550,
                       std::string(FtpDataConnectionFailed) + ", error #" + std::to_string(Error));
  FStartTick = std::chrono::steady_clock::now();
  if (FTlsOutcome.Encrypted) StartDataTls();
}

// The replies of LIST and RETR: a preliminary reply, then the final one;
// 226 or 250 alone is a success too.
void TCustomFtpCli::TransferReply() {
  TFtpTransfer& transfer = FRequest.Transfer;
  if (transfer.Stage == TFtpTransfer::Requested && IsTransferStart(FStatusCode)) {
    transfer.Stage = TFtpTransfer::Started;
    return;
  }
  const bool started = transfer.Stage != TFtpTransfer::Requested;
  if (started ? IsTransferEnd(FStatusCode) : FStatusCode == 226 || FStatusCode == 250) {
    transfer.Stage = TFtpTransfer::ReplyDone;
    return CheckTransferDone();
  }
  if (started) Trace("! RETR/LIST/NLST Failed");
  // A transfer we broke off (a failed write, an abort) draws the server's
  // 426, which may come before the close of our own data connection: the
  // request ends with the cause on our side either way.
  const std::string fault = transfer.FaultReply();
  FErrorMessage = fault.empty() ? FLastResponse : fault;
  EndTransfer(fault.empty() ? FStatusCode : 426);
}

void TCustomFtpCli::EndTransfer(int Error) {
  FRequest.Transfer.Stage = TFtpTransfer::Idle;
  CloseLocalFile();
  if (FDataSocket->State() != wsClosed) FDataSocket->Close();
  FRequestResult = Error;
  DoneStep(Error);
}

void TCustomFtpCli::DataDataAvailable() {
  FDataBuffer.resize(DataBufferSize);
  char* buffer = FDataBuffer.data();
  TWSocket& data = *FDataSocket;
  if (!FRequest.Transfer.Active()) {
    DataReceive(buffer, DataBufferSize);
    return;
  }
  FDeadline = std::chrono::steady_clock::now() + std::chrono::seconds(FTimeout);
  bool abort = false;
  if (OnProgress) OnProgress(this, FByteCount, abort);
  if (!FRequest.Transfer.Active()) return;
  if (abort) {
    Trace("! Abort requested");
    FRequest.Transfer.Fault = TFtpTransfer::Aborted;
    data.Close();
    return;
  }
  const TSocketToken connection = data.Token();
  for (int64_t taken = 0; taken < MaxBytesPerNotice;) {
    const int n = DataReceive(buffer, DataBufferSize);
    if (n > 0) {
      FByteCount += n;
      taken += n;
      WriteReceived(buffer, n);
      if (FRequest.Transfer.Fault == TFtpTransfer::WriteFailed || !FRequest.Transfer.Active() ||
          !connection.Current())
        return;
      continue;
    }
    if (n < 0 && data.LastError() != WSAEWOULDBLOCK && data.State() == wsConnected) {
      Trace("! Data: Receive error " + std::to_string(data.LastError()));
      data.Shutdown(SD_BOTH);
    }
    return;  // nothing more now, or the close notice follows
  }
}

int TCustomFtpCli::DataReceive(char* Buffer, int Size) {
  return FDataSocket->Receive(Buffer, Size);
}

void TCustomFtpCli::WriteReceived(const char* Data, int Len) {
  if (FRequest.Transfer.Fault == TFtpTransfer::WriteFailed) return;
  try {
    if (FLocalFile) {
      if (!FLocalFile->Write(Data, size_t(Len))) return LocalFileFailed();
    } else if (FLocalStream) {
      FLocalStream->WriteBuffer(Data, Len);
    } else if (FDisplayFileFlag) {
      FDisplayLine.append(Data, static_cast<size_t>(Len));
      size_t end;
      while ((end = FDisplayLine.find('\n')) != std::string::npos) {
        std::string line = FDisplayLine.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        FDisplayLine.erase(0, end + 1);
        if (OnDisplayFile) OnDisplayFile(this, line);
      }
    }
  } catch (const std::exception& e) {
    Trace("! Error writing local file");
    const auto* stream = dynamic_cast<TBufferedFileStream*>(FLocalStream);
    const bool diskFull = stream && e.what() == DiskFullMessage(stream->FileName());
    NoteWriteFailure(diskFull ? e.what() : std::string());
    FDataSocket->Shutdown(SD_BOTH);
  }
}

// DiskFullText: a full disk's message, with the file's name, else empty. An
// abort stays what the transfer tells: the user asked for it.
void TCustomFtpCli::NoteWriteFailure(const std::string& DiskFullText) {
  TFtpTransfer& transfer = FRequest.Transfer;
  if (transfer.Fault == TFtpTransfer::None) transfer.Fault = TFtpTransfer::WriteFailed;
  if (!DiskFullText.empty()) transfer.WriteError = DiskFullText;
}

void TCustomFtpCli::LocalFileFailed() {
  Trace("! Error writing local file");
  NoteWriteFailure(IsDiskFullError(FLocalFile->Error()) ? DiskFullMessage(FLocalFile->FileName())
                                                        : std::string());
  FDataSocket->Shutdown(SD_BOTH);
}

void TCustomFtpCli::CloseLocalFile() {
  if (!FLocalFile) return;
  // A write the file system took on trust may still fail here.
  if (!FLocalFile->Close() && FRequest.Transfer.Active() &&
      FRequest.Transfer.Fault != TFtpTransfer::WriteFailed) {
    Trace("! Error writing local file");
    NoteWriteFailure(IsDiskFullError(FLocalFile->Error()) ? DiskFullMessage(FLocalFile->FileName())
                                                          : std::string());
  }
  FLocalFile.reset();
}

void TCustomFtpCli::DataSessionClosed(uint16_t Error) {
  if (!FRequest.Transfer.Active()) return;
  CloseLocalFile();
  if (FDisplayFileFlag && !FDisplayLine.empty() && OnDisplayFile) {
    OnDisplayFile(this, FDisplayLine);
    FDisplayLine.clear();
  }
  FStopTick = std::chrono::steady_clock::now();
  FRequest.Transfer.DataClosed = Error;
  if (const TTlsSession* tls = FDataSocket->Tls(); tls && tls->Failed())
    FRequest.Transfer.TlsError = tls->Error();
  CheckTransferDone();
}

std::string TCustomFtpCli::TransferStatistics() const {
  const auto ms =
      std::chrono::duration_cast<std::chrono::milliseconds>(FStopTick - FStartTick).count();
  char seconds[48];
  std::snprintf(seconds, sizeof seconds, "%lld.%03lld", static_cast<long long>(ms / 1000),
                static_cast<long long>(ms % 1000));
  std::string line =
      "! " + std::to_string(FByteCount) + " bytes received/sent in " + seconds + " seconds";
  if (ms > 0) {
    const int64_t rate = FByteCount < 32768 ? FByteCount * 1000 / ms : FByteCount / ms * 1000;
    line += " (" + std::to_string(rate) + " Bytes/sec)";
  }
  return line;
}

std::string TFtpTransfer::FaultReply() const {
  switch (Fault) {
    case None:
      return {};
    case Aborted:
      return FtpOperationAborted;
    case WriteFailed:
      return "426 " + (WriteError.empty() ? std::string("Error writing local file.") : WriteError);
  }
  return {};
}

void TCustomFtpCli::CheckTransferDone() {
  TFtpTransfer& transfer = FRequest.Transfer;
  if (!transfer.Complete()) return;
  transfer.Stage = TFtpTransfer::Idle;
  Trace(TransferStatistics());
  FResumeAt = 0;
  int result = *transfer.DataClosed;
  if (result != 0) {
    FErrorMessage =
        "426 Data connection closed. " +
        (transfer.TlsError.empty() ? WSocketErrorDesc(result) : "TLS: " + transfer.TlsError) +
        " (Winsock error #" + std::to_string(result) + ")";
  } else if (transfer.Fault != TFtpTransfer::None) {
    result = 426;
    FErrorMessage = transfer.FaultReply();
  }
  FRequestResult = result;
  DoneStep(result);
}
