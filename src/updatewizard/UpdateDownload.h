#pragma once
// The conversation with the update server, without a window: an anonymous
// login, TYPE I, CWD /pub/baz/2003, the listing, "baz.idx" (when the run
// applies), then the files of the update list in their sorted order over
// the one control connection, and QUIT; on the way it hands over to the
// update run (the list of updates after the index or the listing, the
// application or the packing after the last file). It is driven by the
// client's events and shows everything through the run's view.
//
// A cut transfer (a data connection that breaks, or a file shorter than
// listed) is fetched again up to two more times. Every other failure ends
// the conversation with a report of the number and the message; so does a
// server that sends more than it listed (no byte more is read), a listing
// or an update index far larger than any real one, and a transfer that has
// not ended after the watch's time plus its size at a floor rate. While a
// message box waits for the user, neither the watch nor that deadline runs.

#include <QObject>
#include <QTimer>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "DownloadReport.h"
#include "FtpCli.h"
#include "ProxySettings.h"
#include "ServerListing.h"
#include "UpdateProcessor.h"

// The steps of the conversation; one function changes them.
enum class TDownloadState {
  Idle,           // not started, or ended
  Connecting,     // login under way
  SettingType,    // TYPE I (blocking)
  ChangingDir,    // CWD to the update directory
  Listing,        // LIST into the listing buffer
  FetchingIndex,  // RETR baz.idx
  FetchingFiles,  // RETR of the update list's files, one after the other
  Processing      // the update run applies or packs (QUIT is under way)
};

const char* DownloadStateName(TDownloadState State);

enum class TDownloadEnd {
  Running,    // not ended yet
  Applied,    // the updates were applied: the results page follows
  UpToDate,   // nothing to fetch; the message has been shown; the wizard closes
  Packed,     // download-only: saved; the message has been shown; the wizard closes
  Cancelled,  // the user refused a disk prompt; the wizard closes
  Listed,     // dry run: the update list is known, nothing was changed
  NoIndex,    // the server has no "baz.idx"; the message has been shown
  Failed,     // a failure report has been shown; Page tells where to go on
  Aborted,    // an error inside the conversation has been shown; the wizard closes
  Error       // the update run raised ErrorClass / Message: the exception report
};

struct TDownloadResult {
  TDownloadEnd End = TDownloadEnd::Running;
  int ErrorCode = 0;
  std::string ErrorClass;
  std::string Message;
  // Error: what the update run raised, for the exception report.
  std::exception_ptr Exception;
  TNextPage Page = TNextPage::Proxy;
};

// The update directory on the server.
extern const char* const UpdateDirectory;  // "/pub/baz/2003"

class TUpdateDownload {
 public:
  // Processor and View stay the caller's; the run is begun by Start.
  TUpdateDownload(TUpdateProcessor& Processor, TUpdateView& View);
  ~TUpdateDownload();
  TUpdateDownload(const TUpdateDownload&) = delete;
  TUpdateDownload& operator=(const TUpdateDownload&) = delete;

  TFtpClient& Client() { return *FClient; }
  void SetServer(const std::string& Host, const std::string& Port);
  // Passive: passive data connections on a direct connection (through a
  // proxy they always are).
  void SetProxy(const TProxySettings& Settings, bool Passive);
  // Whether the conversation is encrypted (the stored setting, or the
  // command line's choice).
  void SetEncryption(TFtpTlsMode Mode) { FEncryption = Mode; }
  TFtpTlsMode Encryption() const { return FEncryption; }
  // Seconds without any sign of the server before the conversation fails.
  void SetTimeout(int Seconds);
  void SetDecimalSeparator(const std::string& Separator) { FDecimalSeparator = Separator; }
  // Fetches the listing and the index only, and ends with Listed.
  void SetDryRun(bool DryRun) { FDryRun = DryRun; }

  // Called once the login is done, with how the connection is encrypted.
  std::function<void(const TTlsOutcome&)> OnConnected;
  // Called once when the conversation has ended (not for Running).
  std::function<void(const TDownloadResult&)> OnFinished;

  // Starts a new conversation; one that is still open is quit first.
  void Start();
  bool Running() const {
    return FResult.End == TDownloadEnd::Running && FState != TDownloadState::Idle;
  }
  TDownloadState State() const { return FState; }
  const TDownloadResult& Result() const { return FResult; }
  // The update files of the server's listing.
  const std::vector<TRemoteFile>& ServerFiles() const { return FServerFiles; }
  // The remote names fetched, in order, retries included.
  const std::vector<std::string>& Fetched() const { return FFetched; }
  // Closing the wizard: while connected, the blocking QUIT must succeed.
  bool CloseQuery();
  // The window is closed while the conversation runs, when no QUIT fits in:
  // the connection is dropped and the run ends without a word (Aborted);
  // nothing fetched is kept and nothing is recorded.
  void Abort();

 private:
  void SetState(TDownloadState State);
  // Whether a request of the client is under way (a QUIT must wait for it).
  bool ClientBusy() const;
  void RequestDone(TFtpRequest Request, uint16_t Error);
  void Progress(int64_t Received, bool& Abort);
  void BgException(const std::exception& E, bool& CanClose);
  void Connected();
  void Listed();
  void IndexFetched();
  void FileFetched();
  void StartDownloads();
  void FetchCurrent();
  // Fetches Remote into the work folder, from byte From on (REST) when that
  // is above 0.
  void Fetch(const std::string& Remote, int64_t From);
  // True when the fetch of the current file is repeated: a cut transfer
  // goes on from what came, a refused REST starts again from the start.
  bool RetryTransfer(TFtpRequest Request, uint16_t Error);
  void ChooseUpdates();
  void RunUpdate();
  // Runs Step once the client's event that calls this has returned, unless
  // the conversation has ended by then.
  void AfterClientEvent(std::function<void()> Step);
  void Fail(int Error, const std::string& Message);
  // Shows a message box through Box with the watch and the deadline paused.
  void ShowBox(const std::function<void()>& Box);
  // The watch starts again (once the boxes are closed).
  void RestartWatch();
  // A transfer of at most Bound bytes of the file (the listing) begins.
  void BeginTransfer(int64_t Bound);
  // The failure text of a transfer that brought more than its bound.
  std::string OverLongText() const;
  void Finish(TDownloadEnd End);
  void Finish(TUpdateOutcome Outcome);
  // Runs a step of the update run; its errors end the conversation.
  bool Guarded(const std::function<void()>& Step);
  bool ViaProxy() const { return FClient->ConnectionType() != ftpDirect; }

  TUpdateProcessor& FProcessor;
  TUpdateView& FView;
  std::unique_ptr<TFtpClient> FClient;
  TMemoryStream FListing;
  QTimer FWatchdog;  // the server's silence
  QTimer FDeadline;  // the end of the transfer under way
  int FDeadlineSeconds = 0;
  int64_t FBound = 0;  // the most bytes of the file (the listing) under way
  int FBoxesOpen = 0;
  bool FWatchWanted = false;  // the watch was restarted while a box was open
  bool FFailing = false;      // a failure is being told
  QObject FContext;           // the queued steps of AfterClientEvent die with it
  std::string FHost, FPort;
  std::string FDecimalSeparator = ".";
  bool FDryRun = false;
  bool FPassive = true;
  TFtpTlsMode FEncryption = ftpTlsAuto;
  TDownloadState FState = TDownloadState::Idle;
  TDownloadResult FResult;
  std::vector<TRemoteFile> FServerFiles;
  std::vector<std::string> FUpdateFiles;  // remote names, in fetch order
  std::vector<std::string> FFetched;
  size_t FCounter = 0;        // files already fetched
  int FAttempt = 0;           // fetches of the current file so far
  int64_t FResumedFrom = 0;   // where the current fetch began in the file
  bool FRestRefused = false;  // the server answered REST with anything but 350
  std::string FCurrent;
  // The listing's entry of FCurrent (null when it is not listed), looked
  // up once a fetch rather than at every progress event.
  const TRemoteFile* FListed = nullptr;
  std::string FPrefix;
};
