// The program entry: the start-up sequence, the main window and the message
// loop.
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "AppNotify.h"
#include "FrmLanguage.h"
#include "FrmMain.h"
#include "FrmRTLIError.h"
#include "ProgInfo.h"
#include "QvLanguage.h"
#include "WizardLinks.h"
#include "ZipWindows.h"

namespace {

const uint32_t kVersion = MakeVersion(2, 6, 0, 0);

TProgInfoParams Params() {
  TProgInfoParams p;
  p.Languages = 14;  // English, Dutch and German
  p.DefaultLanguage = LanguageEnglish;
  p.Description = "Zarnavis";
  p.ReleaseDate = QDate(2003, 5, 1);
  p.Edition = "2003";
  p.ProductKey = "ZRN";
  p.Version = kVersion;
  return p;
}

void PrintHelp() {
  std::cout << "Usage: zarnavis [-d]\n"
               "Starts the chart CD's launcher: install charts, download and apply\n"
               "notices-to-mariners updates, open the legend and the help.\n\n"
               "  -d         end at once; the exit status is the packed version (its low\n"
               "             8 bits on Linux), which is also printed in decimal\n"
               "  --help     show this text\n"
               "  --version  show the version\n\n"
               "Settings are kept in $ZARNAVIS_HOME, else $XDG_CONFIG_HOME/zarnavis.\n";
}

// For the demo without a display: grab the main window into a PNG file after
// a delay and end the run (ZARNAVIS_SCREENSHOT, ZARNAVIS_SCREENSHOT_DELAY in ms).
void ArrangeScreenshot(TFormMain* form) {
  const char* file = std::getenv("ZARNAVIS_SCREENSHOT");
  if (!file || !*file) return;
  const char* delay = std::getenv("ZARNAVIS_SCREENSHOT_DELAY");
  const int ms = delay && *delay ? std::atoi(delay) : 1500;
  const QString path = QString::fromLocal8Bit(file);
  QTimer::singleShot(ms, form, [form, path] {
    if (!form->grab().save(path, "PNG"))
      std::cerr << "zarnavis: cannot write " << path.toStdString() << "\n";
    form->close();
  });
}

int Run(int argc, char** argv, const std::vector<std::string>& parameters) {
  TApplication app(argc, argv);
  TProgInfoEnvironment env;
  env.Parameters = parameters;
  env.ExecutablePath = QCoreApplication::applicationFilePath().toStdString();
  env.ChooseLanguage = [] { return ChooseStartupLanguage(LanguageEnglish, ExecuteLanguageDialog); };
  int exitCode = 0;
  try {
    if (!InitProgInfo(Params(), env, exitCode)) {
      DoneProgInfo();
      return exitCode;
    }
    TFormRTLIError::Instance();
    QCoreApplication::setApplicationName(QStringLiteral("ZRN"));
    ConnectWizards();
    ConnectZipToWindows();
    auto* form = new TFormMain();
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    ArrangeScreenshot(form);
    exitCode = QApplication::exec();
  } catch (...) {
    HandleApplicationException(nullptr, std::current_exception());
    exitCode = 1;
  }
  TFormRTLIError::Free();
  DoneProgInfo();
  return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> parameters(argv + 1, argv + argc);
  if (!parameters.empty() && parameters.front() == "--help") {
    PrintHelp();
    return 0;
  }
  if (!parameters.empty() && parameters.front() == "--version") {
    std::cout << "Zarnavis " << VersionToStr(kVersion, 4) << " (edition 2003)\n";
    return 0;
  }
  if (IsVersionSwitch(parameters)) {
    // Ends before any window or display is needed.
    TProgInfoEnvironment env;
    env.Parameters = parameters;
    int exitCode = 0;
    InitProgInfo(Params(), env, exitCode);
    std::cout << static_cast<uint32_t>(exitCode) << std::endl;
    return exitCode;
  }
  return Run(argc, argv, parameters);
}
