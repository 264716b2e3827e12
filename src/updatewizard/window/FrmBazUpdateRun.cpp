// The update run on the window: the progress page, the conversation with
// the update server or the application of an update disk, the results, the
// pages a failure leads to, and when the window may close.
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>

#include "AppNotify.h"
#include "FrmBazUpdate.h"
#include "ProgressBarEx.h"
#include "ProgressPageView.h"
#include "ProxySettings.h"
#include "UpdateDownload.h"
#include "UpdateProcessor.h"
#include "WizardFrame.h"

bool TFormBaZUpdate::Running() const {
  return FFrame->Running() || FDownload->Running();
}

void TFormBaZUpdate::StartRun() {
  ShowPage(TUpdatePage::Progress);
  LabelSingle->clear();
  LabelEntire->hide();
  ProgressBarEntire->hide();
  ProgressBarSingle->show();
  PanelProgress->show();
  if (!Downloading()) return RunApplyOnly();
  // A failure may have left the last conversation open, and the client's
  // way to the server cannot change while it is: that one is ended first,
  // then the proxy page as it stands now goes to the client.
  TFtpClient& client = FDownload->Client();
  if (client.Connected() && !client.Quit()) client.AbortSession();
  // The window may have been closed while the QUIT was answered.
  if (!isVisible()) return;
  ApplyProxyPage();
  FDownload->SetServer(UpdateServerHost(), UpdateServerPort());
  FDownload->SetDecimalSeparator(QLocale().decimalPoint().toStdString());
  // A failure may end the conversation before Start returns.
  FDownload->Start();
}

void TFormBaZUpdate::RunApplyOnly() {
  TUpdateOutcome outcome = TUpdateOutcome::Cancelled;
  try {
    // Charts are written: the window refuses to close until the run ends.
    TWizardFrame::TRun run(*FFrame);
    FFrame->SetAnimation(true);
    FProcessor->BeginRun();
    outcome = FProcessor->RunUpdate();
    FProcessor->EndRun();
  } catch (...) {
    FProcessor->EndRun();
    RestoreAfterFailure(false);
    HandleApplicationException(this, std::current_exception());
    return;
  }
  switch (outcome) {
    case TUpdateOutcome::Applied:
      return ShowResults();
    case TUpdateOutcome::UpToDate:
    case TUpdateOutcome::Packed:
      return done(mrOk);
    case TUpdateOutcome::Cancelled:
      return done(QDialog::Rejected);
  }
}

void TFormBaZUpdate::DownloadFinished(const TDownloadResult& Result) {
  // This comes from inside an event of the FTP client: the window acts
  // once that event is over.
  const TDownloadResult result = Result;
  QMetaObject::invokeMethod(
      this,
      [this, result] {
        switch (result.End) {
          case TDownloadEnd::Applied:
            return ShowResults();
          case TDownloadEnd::UpToDate:
          case TDownloadEnd::Packed:
          case TDownloadEnd::NoIndex:
            return done(mrOk);
          case TDownloadEnd::Cancelled:
          case TDownloadEnd::Aborted:
            return done(QDialog::Rejected);
          case TDownloadEnd::Failed:
            return RestoreAfterFailure(result.Page == TNextPage::Proxy);
          case TDownloadEnd::Error:
            // The update run itself failed (a damaged update, a full disk):
            // the way to the server is not at fault.
            RestoreAfterFailure(false);
            return HandleApplicationException(this, result.Exception);
          case TDownloadEnd::Listed:
          case TDownloadEnd::Running:
            return RestoreAfterFailure(false);
        }
      },
      Qt::QueuedConnection);
}

void TFormBaZUpdate::ShowResults() {
  FFrame->EndRun();
  ShowPage(TUpdatePage::Results);
  MemoResults->clear();
  for (const std::string& line : FProcessor->Results())
    MemoResults->appendPlainText(QString::fromStdString(line));
  // The list is read from its heading down.
  MemoResults->moveCursor(QTextCursor::Start);
  ButtonOk->setDefault(true);
  ButtonOk->setFocus();
}

void TFormBaZUpdate::RestoreAfterFailure(bool ProxyPage) {
  FFrame->Restore();
  // The proxy page changes how the server is reached; from the summary the
  // run starts again.
  ShowPage(PageAfterFailure(ProxyPage, FMode));
}

bool TFormBaZUpdate::FormCloseQuery() {
  // Charts or the update archive are being written.
  if (FFrame->Running() || FDownload->State() == TDownloadState::Processing) return false;
  // A conversation under way leaves no room for a QUIT between its
  // requests: it is dropped, and with it what was fetched; nothing has been
  // recorded.
  if (FDownload->Running()) {
    FDownload->Abort();
    return true;
  }
  return FDownload->CloseQuery();
}

void TFormBaZUpdate::keyPressEvent(QKeyEvent* Event) {
  // Escape is the Cancel button's key: without the button (during the run
  // and on the results page) it does nothing.
  if (Event->key() == Qt::Key_Escape && !ButtonCancel->isVisible()) return Event->accept();
  TExtForm::keyPressEvent(Event);
}
