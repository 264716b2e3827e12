#pragma once
// The folder dialog of the wizards: a non-visual component with a title, a
// start folder and options; Execute shows TFormBrowseFolder (a tree of the
// drives and folders and a field with the chosen folder) and checks the
// choice against the options before it closes.

#include <string>

class QWidget;

enum TBrowseDirOption : unsigned {
  bfCreatePrompt = 1u << 0,      // offer to create a folder that does not exist
  bfDirMustExist = 1u << 1,      // the folder itself must exist
  bfNoReadOnlyReturn = 1u << 2,  // a read-only folder is refused
  bfPathMustExist = 1u << 3,     // the folder holding the chosen one must exist
  bfShowHelp = 1u << 4,          // show the Help button
};
using TBrowseDirOptions = unsigned;

enum class TBrowseFolderType {
  btOpen,  // the folder is chosen in the tree; the name field is read-only
  btSave,  // the folder name can also be typed
};

class TBrowseFolderDialog {
 public:
  // Window caption; empty gives the caption of the dialog type.
  std::string Title;
  // The start folder; after a confirmed Execute the chosen folder, ending in "/".
  std::string Folder;
  TBrowseDirOptions Options = 0;
  TBrowseFolderType DialogType = TBrowseFolderType::btOpen;

  // True when the user confirmed a folder (now in Folder).
  bool Execute(QWidget* Parent = nullptr);
};

// The folder the dialog opens on for Folder: its full form, or the nearest
// existing folder above it when it does not exist. Links are kept as the
// user named them (a removable drive's folder may be one). Ends in "/".
std::string BrowseStartFolder(const std::string& Folder);
