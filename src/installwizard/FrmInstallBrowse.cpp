// The browse buttons of the folders page.
#include <QLineEdit>

#include "FrmInstall.h"
#include "Languages.h"

#if __has_include("BrowseFolder.h")
#include "BrowseFolder.h"

bool TFormInstall::BrowseFolder(int TitleId, bool MustExist, QLineEdit* Edit) {
  TBrowseFolderDialog dialog;
  dialog.Title = GetText(uint8_t(TitleId));
  dialog.Options = MustExist ? (bfDirMustExist | bfPathMustExist) : bfPathMustExist;
  dialog.Folder = Edit->text().toStdString();
  if (!dialog.Execute(this)) return false;
  Edit->setText(QString::fromStdString(dialog.Folder));
  return true;
}
#else
#include <QFileDialog>

bool TFormInstall::BrowseFolder(int TitleId, bool, QLineEdit* Edit) {
  const QString folder = QFileDialog::getExistingDirectory(
      this, QString::fromStdString(GetText(uint8_t(TitleId))), Edit->text());
  if (folder.isEmpty()) return false;
  Edit->setText(folder.endsWith('/') ? folder : folder + '/');
  return true;
}
#endif

void TFormInstall::ButtonBrowseSourceClick() {
  BrowseFolder(36, true, EditSource);
}

void TFormInstall::ButtonBrowseDestClick() {
  BrowseFolder(39, false, EditDest);
}
