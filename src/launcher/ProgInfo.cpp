#include "ProgInfo.h"

#include <time.h>

#include <QFileInfo>
#include <cassert>
#include <memory>

#include "FrmRTLIError.h"
#include "MsgBox.h"
#include "QvLanguage.h"
#include "QvRegistry.h"

namespace {

std::unique_ptr<TProgInfo>& Holder() {
  static std::unique_ptr<TProgInfo> holder;
  return holder;
}

std::string LowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

}  // namespace

std::string VersionToStr(uint32_t version, int count) {
  std::string out;
  for (int i = 0; i < count && i < 4; ++i) {
    if (i > 0) out += '.';
    out += std::to_string((version >> (24 - 8 * i)) & 0xFF);
  }
  return out;
}

TProgInfo::TProgInfo(std::string description, QDate releaseDate, uint32_t version)
    : FDescription(std::move(description)), FReleaseDate(releaseDate), FVersion(version) {
  FPreviousHandler = SetApplicationExceptionHandler(
      [this](QObject* sender, const TExceptionInfo& error) { ReportException(sender, error); });
}

TProgInfo::~TProgInfo() {
  SetApplicationExceptionHandler(std::move(FPreviousHandler));
}

void TProgInfo::SetProgramFolder(const std::string& folder) {
  FProgramFolder = folder;
  if (FProgramFolder.empty() || FProgramFolder.back() != '/') FProgramFolder += '/';
}

std::string TProgInfo::VersionText() const {
  return FDescription + " " + VersionToStr(FVersion, 4);
}

void TProgInfo::ReportException(QObject* sender, const TExceptionInfo& error) {
  // No line information is gathered, so the trace is empty.
  TFormRTLIError::Instance().ShowReport(error, "", VersionText());
}

TProgInfo* ProgInfo() {
  return Holder().get();
}

void DoneProgInfo() {
  Holder().reset();
}

bool IsVersionSwitch(const std::vector<std::string>& parameters) {
  return !parameters.empty() && LowerAscii(parameters.front()) == "-d";
}

bool HighResolutionTimerAvailable() {
  timespec resolution{};
  return clock_getres(CLOCK_MONOTONIC, &resolution) == 0 &&
         (resolution.tv_sec > 0 || resolution.tv_nsec > 0);
}

bool InitProgInfo(const TProgInfoParams& params, const TProgInfoEnvironment& env, int& exitCode) {
  // Created once per run.
  assert(ProgInfo() == nullptr);
  exitCode = 0;
  if (IsVersionSwitch(env.Parameters)) {
    exitCode = static_cast<int>(params.Version);
    return false;
  }
  SetRegistryKeyNames(params.ProductKey, params.Edition);
  SetAvailableLanguages(params.Languages);
  Holder() = std::make_unique<TProgInfo>(params.Description, params.ReleaseDate, params.Version);
  ProgInfo()->SetProgramFolder(
      QFileInfo(QString::fromStdString(env.ExecutablePath)).absolutePath().toStdString());
  if (env.ChooseLanguage && !env.ChooseLanguage()) return false;
  const bool timer =
      env.HighResolutionTimer ? env.HighResolutionTimer() : HighResolutionTimerAvailable();
  if (!timer) {
    ShowMsgBox("High resolution timer not available.", mtError, {mbOK});
    return false;
  }
  return true;
}
