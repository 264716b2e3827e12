#include "WizardLinks.h"

#include "FrmMain.h"
#include "MsgBox.h"

#ifdef ZARNAVIS_HAVE_INSTALL_WIZARD
#include "FrmInstall.h"
#include "NavProgram.h"
#endif
#ifdef ZARNAVIS_HAVE_UPDATE_WIZARD
#include "FrmBazUpdate.h"
#endif

namespace {

[[maybe_unused]] bool NotBuiltIn(const char* what) {
  ShowMsgBox(std::string(what) + " is not part of this build.", mtInformation, {mbOK});
  return false;
}

}  // namespace

void ConnectWizards() {
#ifdef ZARNAVIS_HAVE_INSTALL_WIZARD
  TFormMain::InstallWizard = [](std::string& zrn, std::string& charts) {
    return ExecuteInstallWizard(zrn, charts);
  };
  TFormMain::DefaultChartsFolder = [] { return DefaultChartsFolder(); };
#else
  TFormMain::InstallWizard = [](std::string&, std::string&) {
    return NotBuiltIn("The installation wizard");
  };
#endif
#ifdef ZARNAVIS_HAVE_UPDATE_WIZARD
  TFormMain::UpdateWizard = [](std::string& zrn, std::string& charts, const std::string& baz) {
    return ExecuteUpdateWizard(zrn, charts, baz);
  };
#else
  TFormMain::UpdateWizard = [](std::string&, std::string&, const std::string&) {
    return NotBuiltIn("The update wizard");
  };
#endif
}
