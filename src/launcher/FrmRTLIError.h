#pragma once
// The exception report: class, program file, version and message of an
// exception that escaped an event handler, with a details text that can be
// shown and saved.

#include <QDialog>
#include <functional>
#include <string>

#include "AppNotify.h"

class QLabel;
class QPushButton;
class QPlainTextEdit;

class TFormRTLIError : public QDialog {
  Q_OBJECT

 public:
  // One dialog per run; a second creation is a programming error.
  TFormRTLIError();
  ~TFormRTLIError() override;
  static TFormRTLIError& Instance();
  static bool Exists();
  static void Free();

  // Fills the dialog and shows it modally.
  void ShowReport(const TExceptionInfo& error, const std::string& trace,
                  const std::string& versionText);
  // Fills the dialog as ShowReport does, without showing it.
  void PrepareReport(const TExceptionInfo& error, const std::string& trace,
                     const std::string& versionText);

  // The details text: date, exception line, empty line, quoted message, empty
  // line and the trace; lines end in CR LF.
  static std::string DetailsText(const std::string& date, const TExceptionInfo& error,
                                 const std::string& module, const std::string& versionText,
                                 const std::string& trace);

  // Asks for the file to save the details to (empty: cancelled). Tests replace it.
  std::function<std::string()> AskSaveFileName;
  // Writes the details to a file; false when it cannot be written.
  bool SaveDetails(const std::string& fileName) const;

  QLabel* ExceptionLabel = nullptr;
  QLabel* ModuleLabel = nullptr;
  QLabel* VersionLabel = nullptr;
  QLabel* LabelMsg = nullptr;
  QPushButton* ButtonOk = nullptr;
  QPushButton* ButtonSave = nullptr;
  QPushButton* ButtonDetails = nullptr;
  QPlainTextEdit* RichEdit = nullptr;

  void ButtonDetailsClick();
  void ButtonSaveClick();

 private:
  std::string FDetails;
};
