#pragma once
// The launcher window: background picture, the column of actions, the three
// language buttons and the labels. It owns the folders the rest of the
// program works with, reads them from the settings when created and writes
// them back when destroyed.

#include <QImage>
#include <QWidget>
#include <functional>
#include <string>

class QLabel;
class QButtonGroup;
class TBitBtn;

// Runs the installation wizard with the original and installed chart folders
// (in-out); true when it closed with OK.
using TInstallWizardRunner = std::function<bool(std::string& zrnFolder, std::string& chartsFolder)>;
// Runs the update wizard; the updates folder is passed in only.
using TUpdateWizardRunner = std::function<bool(std::string& zrnFolder, std::string& chartsFolder,
                                               const std::string& bazFolder)>;

class TFormMain : public QWidget {
  Q_OBJECT

 public:
  explicit TFormMain(QWidget* parent = nullptr);
  ~TFormMain() override;

  // Set before the window is created (main wires the wizards in).
  static TInstallWizardRunner InstallWizard;
  static TUpdateWizardRunner UpdateWizard;
  // The navigation program's chart folder, the default of the installed folder.
  static std::function<std::string()> DefaultChartsFolder;

  QLabel* ImageBackground = nullptr;
  QLabel* LabelLink = nullptr;
  QLabel* LabelQuorvel = nullptr;
  QLabel* ImageBackgroundSmall = nullptr;
  TBitBtn* ButtonDutch = nullptr;
  TBitBtn* ButtonEnglish = nullptr;
  TBitBtn* ButtonGerman = nullptr;
  QLabel* LabelReproduction = nullptr;
  QLabel* LabelBuild = nullptr;
  TBitBtn* ButtonKoppix = nullptr;
  TBitBtn* ButtonInstall = nullptr;
  TBitBtn* ButtonBaZ = nullptr;
  TBitBtn* ButtonLegend = nullptr;
  TBitBtn* ButtonHelp = nullptr;
  TBitBtn* ButtonExit = nullptr;

  // The folder of the CD's files: the program's own, or the mounted CD's
  // root when the program is installed elsewhere (ChartMediumFolder).
  const std::string& ProgramFolder() const { return FProgramFolder; }
  const std::string& ZRNFolder() const { return FZRNFolder; }
  const std::string& ChartsFolder() const { return FChartsFolder; }
  const std::string& BaZFolder() const { return FBaZFolder; }
  const QImage& SmallPicture() const { return FSmallPicture; }

  void LabelLinkClick();
  void ButtonDutchClick();
  void ButtonEnglishClick();
  void ButtonGermanClick();
  void ButtonKoppixClick();
  void ButtonInstallClick();
  void ButtonBaZClick();
  void ButtonLegendClick();
  void ButtonHelpClick();
  void ButtonExitClick();

  // The help file of a display language (1 to 3), empty for any other.
  static std::string HelpFileName(uint8_t language);

 private:
  void CreateControls();
  void CreateMakerLabels();
  void CreateLanguageButtons();
  void CreateActionButtons();
  void ReadSettings();
  void WriteSettings();
  void ApplyLanguage();
  void SelectDisplayLanguage(uint8_t language, TBitBtn* button);
  std::string HelpFile() const;

  std::string FProgramFolder;
  std::string FZRNFolder;
  std::string FChartsFolder;
  std::string FBaZFolder;
  QImage FSmallPicture;
  QButtonGroup* FLanguageGroup = nullptr;
};

// The main window of the run (nullptr before it exists).
extern TFormMain* FormMain;

// "Build: " + three version components + line break + "Date: " + the release
// date in the user's short date format.
QString BuildText(uint32_t version, QDate releaseDate);
