// The program entry: the start-up sequence, the main window and the message
// loop.
#include <QGuiApplication>
#include <QIcon>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "AppNotify.h"
#include "CommandLine.h"
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

const char* const kProgram = "zarnavis";

void PrintHelp() {
  std::cout << "Usage: zarnavis [OPTION]\n"
               "Starts the chart CD's launcher: install the charts, download and apply the\n"
               "notices-to-mariners updates, open the legend and the help.\n"
               "\n"
               "Options:\n"
               "  -d, -D     print the packed version and end (exit status: its low 8 bits)\n"
               "  --help     display this help and exit\n"
               "  --version  output version information and exit\n"
               "Only the first parameter is looked at; Qt's own options (-platform NAME,\n"
               "-style NAME, ...) are passed on to Qt.\n"
               "\n"
               "Files:\n"
               "Run from the CD, the chart-set archives (Charts/), the legend and the help\n"
               "files are those beside the program. Installed elsewhere, they are taken from\n"
               "the first mounted volume whose Charts/ folder holds .zra archives.\n"
               "Settings are kept in $ZARNAVIS_HOME, else in $XDG_CONFIG_HOME/zarnavis\n"
               "(~/.config/zarnavis): system.reg and user.reg.\n"
               "\n"
               "Exit status:\n"
               " 0  the program ended normally (and after -d)\n"
               " 1  the program could not run\n"
               " 2  unknown option\n";
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
  // The desktop entry's id: a desktop matches the window to its menu entry
  // and icon through it; the icon is the installed one, when installed.
  QGuiApplication::setDesktopFileName(QStringLiteral(ZARNAVIS_APP_ID));
  QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral(ZARNAVIS_APP_ID)));
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
  const std::string first = parameters.empty() ? std::string() : parameters.front();
  if (first == "--help") {
    PrintHelp();
    return ExitSuccess;
  }
  if (first == "--version") return PrintVersion(kProgram);
  // A long option of its own kind that the program does not know is a
  // mistake; single-dash options may be Qt's.
  if (first.size() > 2 && first.compare(0, 2, "--") == 0)
    return UsageError(kProgram, "unrecognized option '" + first + "'");
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
