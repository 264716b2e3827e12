// The main window's settings and event handlers.
#include "BitBtn.h"
#include "FrmMain.h"
#include "Languages.h"
#include "MsgBox.h"
#include "QvLanguage.h"
#include "QvRegistry.h"
#include "Shell.h"

namespace {

const std::string kNoSubKey;
const std::string kInternational = "International";
const std::string kLanguage = "Language";

// On a first run the two update-index values do not exist yet: both the size
// and the index are created as integer 0.
void PrepareUpdateIndex(const std::string& dpi) {
  try {
    RegReadInteger(rkMachine, kNoSubKey, "BaZ Index size " + dpi);
  } catch (const ERegistryException&) {
    RegWriteInteger(rkMachine, kNoSubKey, "BaZ Index size " + dpi, 0);
    RegWriteInteger(rkMachine, kNoSubKey, "BaZ Index " + dpi, 0);
  }
}

const char* LanguageSettingName(uint8_t language) {
  switch (language) {
    case 1:
      return "English";
    case 2:
      return "Dutch";
    case 3:
      return "German";
    default:
      return nullptr;
  }
}

}  // namespace

void TFormMain::ReadSettings() {
  PrepareUpdateIndex("120");
  PrepareUpdateIndex("240");
  // The program folder keeps its case: on a case-sensitive file system a
  // lower-cased folder would name a folder that does not exist.
  FZRNFolder = RegReadString(rkMachine, kNoSubKey, "ZRN Folder", FProgramFolder + "Charts/");
  FChartsFolder = RegReadString(rkMachine, kNoSubKey, "Charts Folder", "");
  if (FChartsFolder.empty() && DefaultChartsFolder) FChartsFolder = DefaultChartsFolder();
  FBaZFolder = RegReadString(rkMachine, kNoSubKey, "BaZ Folder", "");
  const std::string language = RegReadString(rkUser, kInternational, kLanguage, "Dutch");
  if (language == "Dutch") {
    CurrentLanguage = 2;
    ButtonDutch->setChecked(true);
  } else if (language == "English") {
    CurrentLanguage = 1;
    ButtonEnglish->setChecked(true);
  } else if (language == "German") {
    CurrentLanguage = 3;
    ButtonGerman->setChecked(true);
  }
}

void TFormMain::WriteSettings() {
  RegWriteString(rkMachine, kNoSubKey, "ZRN Folder", FZRNFolder);
  RegWriteString(rkMachine, kNoSubKey, "Charts Folder", FChartsFolder);
  RegWriteString(rkMachine, kNoSubKey, "BaZ Folder", FBaZFolder);
  if (const char* name = LanguageSettingName(CurrentLanguage))
    RegWriteString(rkUser, kInternational, kLanguage, name);
}

void TFormMain::SelectDisplayLanguage(uint8_t language, TBitBtn* button) {
  SelectLanguage(language);
  CurrentLanguage = language;
  button->setChecked(true);
  ApplyLanguage();
}

void TFormMain::ButtonEnglishClick() {
  SelectDisplayLanguage(1, ButtonEnglish);
}
void TFormMain::ButtonDutchClick() {
  SelectDisplayLanguage(2, ButtonDutch);
}
void TFormMain::ButtonGermanClick() {
  SelectDisplayLanguage(3, ButtonGerman);
}

void TFormMain::ButtonInstallClick() {
  if (!InstallWizard) return;
  std::string zrn = FZRNFolder, charts = FChartsFolder;
  if (InstallWizard(zrn, charts)) {
    FZRNFolder = zrn;
    FChartsFolder = charts;
  }
}

void TFormMain::ButtonBaZClick() {
  if (!UpdateWizard) return;
  std::string zrn = FZRNFolder, charts = FChartsFolder;
  if (UpdateWizard(zrn, charts, FBaZFolder)) {
    FZRNFolder = zrn;
    FChartsFolder = charts;
  }
}

void TFormMain::ButtonKoppixClick() {
  if (ShellOpen(FProgramFolder + "koppix/Setup.exe", "DEMO", FProgramFolder + "koppix")) {
    close();
    return;
  }
  ShowMsgBox(GetText(txtKoppixSetupFailed), mtWarning, {mbOK});
}

void TFormMain::ButtonLegendClick() {
  ShellOpen(FProgramFolder + "legenda.chm", "", FProgramFolder);
}

void TFormMain::ButtonHelpClick() {
  const std::string file = HelpFile();
  if (file.empty()) return;
  ShellOpen(file, "", FProgramFolder);
}

void TFormMain::LabelLinkClick() {
  if (!OpenURL(MakerWebAddress())) ShowMsgBox(GetText(txtBrowserFailed), mtWarning, {mbOK});
}

void TFormMain::ButtonExitClick() {
  close();
}
