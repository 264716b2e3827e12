// The browse buttons of the folders page.
#include <QLineEdit>

#include "FrmInstall.h"
#include "WizardControls.h"

void TFormInstall::ButtonBrowseSourceClick() {
  BrowseIntoEdit(FBrowseFolderDialog, this, txtOriginalFolder, bfDirMustExist | bfPathMustExist,
                 EditSource);
}

// The destination need not exist yet: Next offers to make it.
void TFormInstall::ButtonBrowseDestClick() {
  BrowseIntoEdit(FBrowseFolderDialog, this, txtInstallFolder, bfPathMustExist, EditDest);
}
