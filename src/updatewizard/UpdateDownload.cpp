// The conversation with the update server, one request after the other.

#include "UpdateDownload.h"

#include <sys/stat.h>

#include <limits>

#include "Languages.h"
#include "TextUtils.h"
#include "UpdateFiles.h"
#include "WSocketErrors.h"
#include "WorkFolder.h"

const char* const UpdateDirectory = "/pub/baz/2003";

namespace {

const char* const IndexName = "baz.idx";
// A file is fetched at most this often when its transfers are cut.
constexpr int MaxAttempts = 3;

// Bounds against a broken or hostile server, far beyond any real update
// folder: what a listing or an update index may hold, and what a file the
// listing leaves out may bring.
constexpr int64_t MaxListingBytes = 1 << 20;
constexpr int64_t MaxIndexBytes = 1 << 20;
constexpr int64_t MaxUnlistedBytes = int64_t(64) << 20;
// The slowest transfer waited for: a transfer of S bytes has the watch's
// time plus S at this rate to end, however steadily bytes come in.
constexpr int64_t FloorRate = 4096;  // bytes per second
// What a refusal of such a size is told with (the reply code of a server
// whose storage a transfer exceeds): the server, not the way to it, is at
// fault.
constexpr int TooLarge = 552;

int64_t LocalSize(const std::string& File) {
  struct stat st {};
  return ::stat(File.c_str(), &st) == 0 ? int64_t(st.st_size) : -1;
}

// Failures of one transfer that a new attempt may mend: the data connection
// broke or could not be made (the client tells the latter as 550 with a
// text of its own), the server aborted the transfer, the socket failed.
bool IsCutTransfer(int Error, const std::string& Message) {
  if (Error == 550) return Message.rfind(FtpDataConnectionFailed, 0) == 0;
  return Error == 0 || Error == 425 || Error == 426 || Error == 451 ||
         (Error >= 10000 && Error < 11000);
}

bool IsFetch(TFtpRequest Request) {
  return Request == ftpGetAsync || Request == ftpRestGetAsync;
}

// The remote name of an update-list entry: 180101_120_2003 is 180101.120,
// spelt as the server lists it (the key spells 180105f what the server may
// list as 180105F.120); in download-only mode the entries are the remote
// names.
std::string RemoteName(const std::string& Entry, bool Applying,
                       const std::vector<TRemoteFile>& Listed) {
  std::string chart;
  int res = 0;
  if (!Applying || !SplitUpdateKey(Entry, chart, res)) return Entry;
  const TRemoteFile* listed = FindRemoteFile(Listed, chart + "." + DpiText(res));
  return listed ? listed->Name : chart + "." + DpiText(res);
}

}  // namespace

const char* DownloadStateName(TDownloadState State) {
  switch (State) {
    case TDownloadState::Idle:
      return "idle";
    case TDownloadState::Connecting:
      return "connecting";
    case TDownloadState::SettingType:
      return "setting type";
    case TDownloadState::ChangingDir:
      return "changing directory";
    case TDownloadState::Listing:
      return "listing";
    case TDownloadState::FetchingIndex:
      return "fetching index";
    case TDownloadState::FetchingFiles:
      return "fetching files";
    case TDownloadState::Processing:
      return "processing";
  }
  return "?";
}

TUpdateDownload::TUpdateDownload(TUpdateProcessor& Processor, TUpdateView& View)
    : FProcessor(Processor),
      FView(View),
      FClient(std::make_unique<TFtpClient>()),
      FHost(DefaultUpdateHost),
      FPort(std::to_string(DefaultUpdatePort)) {
  FClient->SetTimeout(30);
  FClient->SetMultiThreaded(false);
  FClient->SetLocalAddr("0.0.0.0");
  FClient->SetDisplayFileFlag(false);
  FClient->SetBinary(true);
  FClient->SetShareMode(ftpShareExclusive);
  FClient->SetOptions(ftpAcceptLF);
  FClient->SetConnectionType(ftpDirect);
  FClient->OnRequestDone = [this](TCustomFtpCli*, TFtpRequest Rq, uint16_t Error) {
    RequestDone(Rq, Error);
  };
  FClient->OnProgress = [this](TCustomFtpCli*, int64_t Count, bool& Abort) {
    Progress(Count, Abort);
  };
  FClient->OnBgException = [this](TCustomFtpCli*, const std::exception& E, bool& CanClose) {
    BgException(E, CanClose);
  };
  FClient->OnError = [this](TCustomFtpCli*, std::string& Message) {
    ShowBox([&] { FView.Message(Message, mtWarning, {mbOK}); });
  };
  FWatchdog.setSingleShot(true);
  FWatchdog.setInterval(30 * 1000);
  QObject::connect(&FWatchdog, &QTimer::timeout, [this] {
    FClient->AbortSession();
    Fail(WSAETIMEDOUT, WSocketErrorDesc(WSAETIMEDOUT));
  });
  FDeadline.setSingleShot(true);
  QObject::connect(&FDeadline, &QTimer::timeout, [this] {
    const int64_t received = FClient->ByteCount() + FResumedFrom;
    FClient->AbortSession();
    const std::string what = FState == TDownloadState::Listing ? "the listing" : FCurrent;
    const TRemoteFile* listed = FListed;
    Fail(WSAETIMEDOUT,
         WSocketErrorDesc(WSAETIMEDOUT) + ": " + what + " not complete after " +
             std::to_string(FDeadlineSeconds) + " seconds (" + std::to_string(received) +
             (listed ? " of " + std::to_string(listed->Size) : std::string()) + " bytes).");
  });
}

TUpdateDownload::~TUpdateDownload() {
  FWatchdog.stop();
  FDeadline.stop();
  if (FClient->Connected()) FClient->AbortSession();
}

void TUpdateDownload::SetServer(const std::string& Host, const std::string& Port) {
  FHost = Host;
  FPort = Port;
}

void TUpdateDownload::SetProxy(const TProxySettings& Settings, bool Passive) {
  ApplyProxySettings(*FClient, Settings, Passive);
  FPassive = Passive;
}

void TUpdateDownload::SetTimeout(int Seconds) {
  FClient->SetTimeout(Seconds);
  FWatchdog.setInterval(std::max(Seconds, 1) * 1000);
}

void TUpdateDownload::SetState(TDownloadState State) {
  if (State == FState) return;
  if (FClient->OnDisplay) {
    std::string line =
        std::string("! download: ") + DownloadStateName(FState) + " -> " + DownloadStateName(State);
    FClient->OnDisplay(FClient.get(), line);
  }
  FState = State;
}

void TUpdateDownload::Start() {
  // A conversation that a failure left open is ended first, so that a
  // retry really starts again.
  if (FClient->Connected() && !FClient->Quit()) FClient->AbortSession();
  FResult = {};
  FListed = nullptr;
  FServerFiles.clear();
  FUpdateFiles.clear();
  FFetched.clear();
  FCounter = 0;
  FRestRefused = false;
  FFailing = false;
  FProcessor.BeginRun();
  FClient->SetHostName(FHost);
  FClient->SetPort(FPort);
  FClient->SetUserName("anonymous");
  FClient->SetPassWord(AnonymousPassword);
  FClient->SetDisplayFileFlag(false);
  // Passive data connections unless active ones were asked for on a direct
  // connection (through a proxy the client keeps them passive).
  FClient->SetPassive(FPassive);
  FClient->SetTlsMode(FEncryption);
  FView.SetLabel(TProgressItem::Single, GetText(txtConnectingToServer) + FHost + "...");
  SetState(TDownloadState::Connecting);
  RestartWatch();
  if (!FClient->ConnectAsync()) Fail(FClient->StatusCode(), FClient->ErrorMessage());
}

void TUpdateDownload::RequestDone(TFtpRequest Request, uint16_t Error) {
  if (FResult.End != TDownloadEnd::Running || FState == TDownloadState::Idle) return;
  // The QUIT after the last file: the run goes on whatever it answers.
  if (FState == TDownloadState::Processing) return;
  FDeadline.stop();
  RestartWatch();
  if (Error != 0) {
    if (IsFetch(Request) && RetryTransfer(Request, Error)) return;
    return Fail(Error, FClient->ErrorMessage());
  }
  switch (Request) {
    case ftpConnectAsync:
      if (FState == TDownloadState::Connecting) Connected();
      return;
    case ftpTypeSetAsync:
      if (FState != TDownloadState::SettingType) return;
      SetState(TDownloadState::ChangingDir);
      FClient->SetHostDirName(UpdateDirectory);
      FClient->CwdAsync();
      return;
    case ftpCwdAsync:
      if (FState != TDownloadState::ChangingDir) return;
      SetState(TDownloadState::Listing);
      FListing.Clear();
      FClient->SetLocalStream(&FListing);
      FClient->SetHostFileName("");
      FResumedFrom = 0;
      BeginTransfer(MaxListingBytes);
      FClient->DirAsync();
      return;
    case ftpDirAsync:
      if (FState == TDownloadState::Listing) Listed();
      return;
    case ftpGetAsync:
    case ftpRestGetAsync: {
      if (FState != TDownloadState::FetchingIndex && FState != TDownloadState::FetchingFiles)
        return;
      const TRemoteFile* listed = FListed;
      const int64_t size = LocalSize(FProcessor.WorkFolder() + FCurrent);
      // More than was listed is no transfer to try again: the server sends
      // something else than it lists.
      if (size > FBound) return Fail(TooLarge, OverLongText());
      // The index too: one cut short would silently leave charts out.
      if (listed && size != listed->Size) {
        if (RetryTransfer(Request, 0)) return;
        return Fail(426, "426 " + FCurrent + ": " + std::to_string(std::max<int64_t>(size, 0)) +
                             " of " + std::to_string(listed->Size) + " bytes received.");
      }
      if (FState == TDownloadState::FetchingIndex)
        IndexFetched();
      else
        FileFetched();
      return;
    }
    default:
      return;
  }
}

void TUpdateDownload::Connected() {
  // The label says whether the connection is encrypted while it is made.
  const TTlsOutcome& tls = FClient->TlsOutcome();
  FView.SetLabel(TProgressItem::Single,
                 GetText(txtConnectedTo) + FClient->HostName() +
                     (tls.Encrypted ? " (" + tls.Version + GetText(txtCertificateVerified) + ")"
                                    : GetText(txtNotEncrypted)));
  if (OnConnected) OnConnected(tls);
  SetState(TDownloadState::SettingType);
  // TYPE I waits here; its completion may already run the next step.
  if (!FClient->TypeSet() && FResult.End == TDownloadEnd::Running &&
      FState == TDownloadState::SettingType)
    Fail(FClient->StatusCode() ? FClient->StatusCode() : WSAETIMEDOUT, FClient->ErrorMessage());
}

void TUpdateDownload::Listed() {
  if (FListing.GetSize() > FBound) return Fail(TooLarge, OverLongText());
  FView.SetAnimation(true);
  FServerFiles = ParseServerListing(std::string(FListing.Data().begin(), FListing.Data().end()));
  if (!FindRemoteFile(FServerFiles, IndexName)) {
    ShowBox([this] {
      FView.Message("No BaZ Update information found on FTP Server (baz.idx does not exist).",
                    mtError, {mbOK});
    });
    return Finish(TDownloadEnd::NoIndex);
  }
  if (Applying(FProcessor.Mode())) {
    SetState(TDownloadState::FetchingIndex);
    FPrefix = GetText(txtDownloadingIndex);
    FCurrent = IndexName;
    FAttempt = 1;
    return Fetch(IndexName, 0);
  }
  std::vector<std::string> names;
  for (const TRemoteFile& f : FServerFiles) names.push_back(f.Name);
  FProcessor.SetServerFiles(names);
  AfterClientEvent([this] { ChooseUpdates(); });
}

void TUpdateDownload::IndexFetched() {
  FView.SetLabel(TProgressItem::Single, GetText(txtProcessingIndex));
  AfterClientEvent([this] { ChooseUpdates(); });
}

void TUpdateDownload::ChooseUpdates() {
  // The server waits while the list is made and its message read; the
  // fetches start the watch again.
  FWatchdog.stop();
  bool more = false;
  if (!Guarded([&] { more = FProcessor.BuildUpdateList(); })) return;
  if (!more) return Finish(TDownloadEnd::UpToDate);
  if (FDryRun) return Finish(TDownloadEnd::Listed);
  StartDownloads();
}

void TUpdateDownload::AfterClientEvent(std::function<void()> Step) {
  // The step may show messages and let events run for a long time; inside
  // the client's event its own sockets would be read again underneath it.
  QMetaObject::invokeMethod(
      &FContext,
      [this, Step = std::move(Step)] {
        if (FResult.End == TDownloadEnd::Running && FState != TDownloadState::Idle) Step();
      },
      Qt::QueuedConnection);
}

void TUpdateDownload::StartDownloads() {
  FUpdateFiles.clear();
  for (const std::string& entry : FProcessor.UpdateList())
    FUpdateFiles.push_back(RemoteName(entry, Applying(FProcessor.Mode()), FServerFiles));
  FCounter = 0;
  if (TWorkFolder* work = FProcessor.Work()) work->MakeFilesAhead(FUpdateFiles);
  SetState(TDownloadState::FetchingFiles);
  FetchCurrent();
}

void TUpdateDownload::FetchCurrent() {
  FView.SetFileCount(int(FCounter), int(FUpdateFiles.size()));
  FCurrent = FUpdateFiles[FCounter];
  FPrefix = GetText(txtDownloading) + FCurrent;
  FAttempt = 1;
  Fetch(FCurrent, 0);
}

void TUpdateDownload::Fetch(const std::string& Remote, int64_t From) {
  FListed = FindRemoteFile(FServerFiles, Remote);
  const TRemoteFile* listed = FListed;
  if (listed && SameText(ExtractFileExt(Remote), ".idx") && listed->Size > MaxIndexBytes)
    return Fail(TooLarge, "552 " + Remote + " is listed at " + std::to_string(listed->Size) +
                              " bytes; no update index is larger than " +
                              std::to_string(MaxIndexBytes) + " bytes.");
  FView.SetBar(TProgressItem::Single, 0, 100);
  FClient->SetLocalStream(nullptr);
  FClient->SetHostFileName(Remote);
  FClient->SetLocalFileName(FProcessor.WorkFolder() + Remote);
  FFetched.push_back(Remote);
  FResumedFrom = From;
  RestartWatch();
  BeginTransfer(listed ? listed->Size : MaxUnlistedBytes);
  if (From > 0) {
    FClient->SetResumeAt(From);
    FClient->RestGetAsync();
  } else {
    FClient->GetAsync();
  }
  FView.SetLabel(TProgressItem::Single, FPrefix);
}

bool TUpdateDownload::RetryTransfer(TFtpRequest Request, uint16_t Error) {
  if (!FClient->Connected()) return false;
  // A server that refuses REST gets the same fetch again from the start,
  // and no REST for the rest of the conversation.
  if (Request == ftpRestGetAsync && Error != 0 && FClient->LastStep() == TFtpStep::Rest) {
    FRestRefused = true;
    Fetch(FCurrent, 0);
    return true;
  }
  if (!IsCutTransfer(Error, FClient->ErrorMessage()) || FAttempt >= MaxAttempts) return false;
  ++FAttempt;
  // What came before stays: the fetch goes on from there.
  const TRemoteFile* listed = FListed;
  const int64_t have = LocalSize(FProcessor.WorkFolder() + FCurrent);
  const bool resume = !FRestRefused && listed && have > 0 && have < listed->Size;
  Fetch(FCurrent, resume ? have : 0);
  return true;
}

void TUpdateDownload::FileFetched() {
  if (++FCounter < FUpdateFiles.size()) return FetchCurrent();
  FView.SetFileCount(int(FCounter), int(FUpdateFiles.size()));
  // The server is done with: applying or packing takes as long as it takes,
  // and the window lets timers run meanwhile.
  FWatchdog.stop();
  FDeadline.stop();
  SetState(TDownloadState::Processing);
  if (FClient->Connected()) FClient->QuitAsync();
  AfterClientEvent([this] { RunUpdate(); });
}

void TUpdateDownload::RunUpdate() {
  TUpdateOutcome outcome = TUpdateOutcome::Cancelled;
  if (Guarded([&] { outcome = FProcessor.RunUpdate(); })) Finish(outcome);
}

void TUpdateDownload::Progress(int64_t Received, bool& Abort) {
  RestartWatch();
  // A resumed fetch counts the bytes of its own transfer.
  const int64_t Count = Received + FResumedFrom;
  if (Count > FBound) {
    // Not a byte more is read. The failure is told once the client's
    // event has returned; a server that never ends its reply is left.
    Abort = true;
    AfterClientEvent([this, text = OverLongText()] {
      FClient->AbortSession();
      Fail(TooLarge, text);
    });
    return;
  }
  const TRemoteFile* listed = FListed;
  if (!listed) return;
  const int64_t size = listed->Size;
  // A file listed empty is whole once it arrives.
  const int single = size <= 0 ? 100 : int((std::min(Count, size) * 100 + size / 2) / size);
  FView.SetBar(TProgressItem::Single, single, 100);
  if (!FUpdateFiles.empty())
    FView.SetBar(TProgressItem::Entire,
                 int(((FCounter + 1) * 100 + FUpdateFiles.size() / 2) / FUpdateFiles.size()), 100);
  FView.SetLabel(TProgressItem::Single,
                 FPrefix + " (" + DownloadSizeText(Count, FDecimalSeparator) + " " +
                     GetText(txtOf) + " " + DownloadSizeText(size, FDecimalSeparator) + ")");
  // No events are let run here: this comes from inside the client's read of
  // the data connection, which would be read again underneath itself. The
  // client returns to the event loop after every read anyway.
}

void TUpdateDownload::BgException(const std::exception& E, bool& CanClose) {
  CanClose = true;
  if (FResult.End != TDownloadEnd::Running) return;
  const auto* e = dynamic_cast<const Exception*>(&E);
  FResult.ErrorClass = e ? e->ClassName() : "Exception";
  FResult.Message = E.what();
  ShowBox([&] { FView.ErrorBox("Error", E.what()); });
  Finish(TDownloadEnd::Aborted);
}

bool TUpdateDownload::Guarded(const std::function<void()>& Step) {
  try {
    Step();
    return true;
  } catch (const Exception& e) {
    FResult.ErrorClass = e.ClassName();
    FResult.Message = e.Message();
    FResult.Exception = std::current_exception();
  } catch (const std::exception& e) {
    FResult.ErrorClass = "Exception";
    FResult.Message = e.what();
    FResult.Exception = std::current_exception();
  }
  Finish(TDownloadEnd::Error);
  return false;
}

void TUpdateDownload::Fail(int Error, const std::string& Message) {
  if (FResult.End != TDownloadEnd::Running || FFailing) return;
  FFailing = true;
  const TFailureReport report =
      DescribeDownloadFailure(Error, Message, ViaProxy(), FState == TDownloadState::Connecting);
  FResult.ErrorCode = Error;
  FResult.Message = Message;
  FResult.Page = report.Page;
  ShowBox([&] { FView.Message(report.Text, mtError, {mbOK}); });
  Finish(TDownloadEnd::Failed);
}

void TUpdateDownload::ShowBox(const std::function<void()>& Box) {
  const bool watching = FWatchdog.isActive();
  const int deadlineLeft = FDeadline.isActive() ? FDeadline.remainingTime() : -1;
  FWatchdog.stop();
  FDeadline.stop();
  ++FBoxesOpen;
  FWatchWanted = false;
  try {
    Box();
  } catch (...) {
    --FBoxesOpen;
    throw;
  }
  if (--FBoxesOpen > 0 || !Running()) return;
  if (watching || FWatchWanted) FWatchdog.start();
  if (deadlineLeft >= 0) FDeadline.start(deadlineLeft);
}

void TUpdateDownload::RestartWatch() {
  if (FBoxesOpen > 0)
    FWatchWanted = true;
  else
    FWatchdog.start();
}

void TUpdateDownload::BeginTransfer(int64_t Bound) {
  FBound = Bound;
  const int64_t seconds =
      FWatchdog.interval() / 1000 + std::max<int64_t>(Bound - FResumedFrom, 0) / FloorRate;
  FDeadlineSeconds = int(std::min<int64_t>(seconds, std::numeric_limits<int>::max() / 1000));
  FDeadline.start(FDeadlineSeconds * 1000);
}

std::string TUpdateDownload::OverLongText() const {
  if (FState == TDownloadState::Listing)
    return std::string("552 The listing of ") + UpdateDirectory + " is longer than " +
           std::to_string(FBound) + " bytes; no update folder is that large.";
  if (FListed)
    return "552 " + FCurrent + ": more than the " + std::to_string(FBound) +
           " bytes listed were sent.";
  return "552 " + FCurrent + ": more than " + std::to_string(FBound) + " bytes were sent.";
}

void TUpdateDownload::Finish(TUpdateOutcome Outcome) {
  switch (Outcome) {
    case TUpdateOutcome::Applied:
      return Finish(TDownloadEnd::Applied);
    case TUpdateOutcome::UpToDate:
      return Finish(TDownloadEnd::UpToDate);
    case TUpdateOutcome::Packed:
      return Finish(TDownloadEnd::Packed);
    case TUpdateOutcome::Cancelled:
      return Finish(TDownloadEnd::Cancelled);
  }
}

void TUpdateDownload::Finish(TDownloadEnd End) {
  if (FResult.End != TDownloadEnd::Running) return;
  FWatchdog.stop();
  FDeadline.stop();
  FResult.End = End;
  // Nothing more to fetch: the server is left politely. A failure leaves
  // the connection as it is; the next start ends it.
  const bool done = End != TDownloadEnd::Failed && End != TDownloadEnd::Aborted;
  if (done && FState != TDownloadState::Processing && FClient->Connected()) FClient->QuitAsync();
  SetState(TDownloadState::Idle);
  FView.SetAnimation(false);
  FProcessor.EndRun();
  if (OnFinished) OnFinished(FResult);
}

void TUpdateDownload::Abort() {
  if (FClient->Connected() || ClientBusy()) FClient->AbortSession();
  if (FResult.End != TDownloadEnd::Running || FState == TDownloadState::Idle) return;
  FWatchdog.stop();
  FDeadline.stop();
  FResult.End = TDownloadEnd::Aborted;
  SetState(TDownloadState::Idle);
  FView.SetAnimation(false);
  FProcessor.EndRun();
}

bool TUpdateDownload::ClientBusy() const {
  return FClient->State() != ftpsReady && FClient->State() != ftpsDisconnected;
}

bool TUpdateDownload::CloseQuery() {
  if (!FClient->Connected()) return true;
  // The QUIT that ended a run may still be on its way: its answer comes
  // first, then the server has closed the connection or gets another QUIT.
  if (ClientBusy() && !Running()) FClient->WaitForReady();
  return !FClient->Connected() || FClient->Quit();
}
