#include "LauncherFixture.h"
#include "TestApplication.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cstdlib>

#include "AppNotify.h"
#include "FrmRTLIError.h"
#include "Languages.h"
#include "LinuxVolumes.h"
#include "QvLanguage.h"
#include "QvRegistry.h"

void LauncherTest::SetUp() {
  FVolumes =
      std::make_unique<TSimulatedVolumes>(FVolumeRoot.Path(), std::make_unique<TLinuxVolumes>());
  FUseVolumes = std::make_unique<TScopedVolumes>(*FVolumes);
  ::setenv("ZARNAVIS_HOME", FSettings.Path().c_str(), 1);
  SetRegistryKeyNames("ZRN", "2003");
  SetAvailableLanguages(14);
  SelectLanguage(1);
  CurrentLanguage = 0;
  FPreviousModal = SetModalHook([this](QDialog&) {
    ++FDialogs;
    return 0;
  });
}

void LauncherTest::TearDown() {
  DoneProgInfo();
  TFormRTLIError::Free();
  SetModalHook(std::move(FPreviousModal));
  SelectLanguage(1);
  CurrentLanguage = 0;
  FUseVolumes.reset();
  FVolumes.reset();
}

void LauncherTest::InitProgram(std::function<bool()> chooseLanguage) {
  TProgInfoEnvironment env;
  env.ExecutablePath = FDir.Path() + "/zarnavis";
  env.ChooseLanguage = std::move(chooseLanguage);
  env.HighResolutionTimer = [] { return true; };
  int exitCode = -1;
  ASSERT_TRUE(InitProgInfo(ProgramParams(), env, exitCode));
}

void LauncherTest::WriteProgramFile(const std::string& relative, const std::string& content) {
  const QString path = QString::fromStdString(ProgramFolder() + relative);
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(content.data(), static_cast<qint64>(content.size()));
}

void LauncherTest::AnswerDialogs(std::function<int(QDialog&)> fn) {
  SetModalHook([this, fn](QDialog& d) {
    ++FDialogs;
    return fn(d);
  });
}
