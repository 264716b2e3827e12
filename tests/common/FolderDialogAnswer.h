#pragma once
// Answers the folder dialog of a browse button in a window test: types
// Typed into its folder field and presses OK (Cancel when Typed is empty),
// and keeps the dialog's title in Title.

#include <QLineEdit>
#include <string>

#include "BrowseFolderForm.h"
#include "ExtForm.h"

inline TModalHook FolderDialogAnswer(const std::string& Typed, std::string& Title) {
  return [Typed, &Title](QDialog& Dialog) -> int {
    auto& browse = dynamic_cast<TFormBrowseFolder&>(Dialog);
    Title = browse.windowTitle().toStdString();
    if (Typed.empty()) return QDialog::Rejected;
    browse.EditFolderName()->setText(QString::fromStdString(Typed));
    browse.ButtonOKClick();
    return browse.result();
  };
}
