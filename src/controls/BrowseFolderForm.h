#pragma once
// The window of the folder dialog: the tree of drives and folders, the field
// with the chosen folder, and OK, Cancel and (on request) Help.

#include <QDialog>
#include <string>

#include "BrowseFolder.h"

class QLabel;
class QLineEdit;
class QPushButton;
class TDirTreeView;

class TFormBrowseFolder : public QDialog {
  Q_OBJECT

 public:
  TFormBrowseFolder(TBrowseDirOptions Options, TBrowseFolderType DialogType,
                    const std::string& Title, QWidget* Parent = nullptr);

  // Selects the folder the dialog opens on (see BrowseStartFolder) and shows
  // it in the folder field.
  void SetStartFolder(const std::string& Folder);
  // The confirmed folder, ending in "/"; empty until OK succeeded.
  const std::string& ChosenFolder() const { return FChosenFolder; }

  TDirTreeView* DirTreeView() const { return FDirTreeView; }
  QLabel* LabelFolderName() const { return FLabelFolderName; }
  QLineEdit* EditFolderName() const { return FEditFolderName; }
  QPushButton* ButtonHelp() const { return FButtonHelp; }
  QPushButton* ButtonOK() const { return FButtonOK; }
  QPushButton* ButtonCancel() const { return FButtonCancel; }

  // Checks the folder in the field against the options; closes with OK when
  // it passes, else stays open after the message.
  void ButtonOKClick();

 protected:
  void showEvent(QShowEvent* Event) override;

 private:
  void DirTreeViewChange(const QString& Path);

  TBrowseDirOptions FOptions;
  std::string FChosenFolder;
  TDirTreeView* FDirTreeView;
  QLabel* FLabelFolderName;
  QLineEdit* FEditFolderName;
  QPushButton* FButtonHelp;
  QPushButton* FButtonOK;
  QPushButton* FButtonCancel;
};
