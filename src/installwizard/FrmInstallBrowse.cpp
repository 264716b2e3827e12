// The browse buttons of the folders page.
#include <QLineEdit>

#include "FrmInstall.h"
#include "Languages.h"

void TFormInstall::BrowseFolder(int TitleId, TBrowseDirOptions Options, QLineEdit* Edit) {
  FBrowseFolderDialog.Title = GetText(uint8_t(TitleId));
  FBrowseFolderDialog.Options = Options;
  FBrowseFolderDialog.Folder = Edit->text().toStdString();
  if (FBrowseFolderDialog.Execute(this))
    Edit->setText(QString::fromStdString(FBrowseFolderDialog.Folder));
}

void TFormInstall::ButtonBrowseSourceClick() {
  BrowseFolder(36, bfDirMustExist | bfPathMustExist, EditSource);
}

// The destination need not exist yet: Next offers to make it.
void TFormInstall::ButtonBrowseDestClick() {
  BrowseFolder(39, bfPathMustExist, EditDest);
}
