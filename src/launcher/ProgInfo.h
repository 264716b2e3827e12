#pragma once
// Program information for the whole run and the start-up sequence that
// decides whether the program runs at all.

#include <QDate>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AppNotify.h"

// Packs a version into 32 bits, one byte per component from the highest byte
// down: major, minor, release, build.
constexpr uint32_t MakeVersion(uint8_t major, uint8_t minor, uint8_t release, uint8_t build) {
  return (uint32_t(major) << 24) | (uint32_t(minor) << 16) | (uint32_t(release) << 8) | build;
}

// The first count components (1 to 4) of a packed version in decimal, joined by ".".
std::string VersionToStr(uint32_t version, int count);

class TProgInfo {
 public:
  // Installs ReportException as the application's exception handler and
  // remembers the handler it replaces; the destructor puts that one back.
  TProgInfo(std::string description, QDate releaseDate, uint32_t version);
  ~TProgInfo();
  TProgInfo(const TProgInfo&) = delete;
  TProgInfo& operator=(const TProgInfo&) = delete;

  const std::string& Description() const { return FDescription; }
  QDate ReleaseDate() const { return FReleaseDate; }
  uint32_t Version() const { return FVersion; }
  const std::string& ProgramFolder() const { return FProgramFolder; }
  void SetProgramFolder(const std::string& folder);

  // Description, a space and all four version components ("Zarnavis 2.6.0.0").
  std::string VersionText() const;

  // The application-wide exception handler: shows the exception report.
  void ReportException(QObject* sender, const TExceptionInfo& error);

 private:
  std::string FDescription;
  QDate FReleaseDate;
  uint32_t FVersion;
  std::string FProgramFolder;
  TExceptionHandler FPreviousHandler;
};

// The program information of the run; nullptr before InitProgInfo created it.
TProgInfo* ProgInfo();
// Frees the program information (end of the run), restoring the previous handler.
void DoneProgInfo();

// True when the first command-line parameter is "-d" in any case.
bool IsVersionSwitch(const std::vector<std::string>& parameters);

struct TProgInfoParams {
  uint16_t Languages = 0;       // set of offered library languages
  uint8_t DefaultLanguage = 1;  // library language taken on a first run
  std::string Description;
  QDate ReleaseDate;
  std::string Edition;
  std::string ProductKey;
  uint32_t Version = 0;
};

// What the start-up sequence needs from outside, replaceable by tests.
struct TProgInfoEnvironment {
  std::vector<std::string> Parameters;  // command line without the program name
  std::string ExecutablePath;           // full path of the program file
  // The start-up choice of language; false when the user cancelled.
  std::function<bool()> ChooseLanguage;
  // Whether a high-resolution counter exists.
  std::function<bool()> HighResolutionTimer;
};

// The start-up sequence. True: the program may start. False: it must end at
// once with exitCode (the packed version after "-d", otherwise 0).
bool InitProgInfo(const TProgInfoParams& params, const TProgInfoEnvironment& env, int& exitCode);

// The real high-resolution counter test: clock_getres of the monotonic clock.
bool HighResolutionTimerAvailable();
