#pragma once
// A tree of the drives (the top folders of the system) and their folders,
// read lazily: a node's subfolders are read when it is first expanded, and
// each listed folder is probed so that it shows whether it can be expanded.
// Removable volumes are not touched until the user expands them.

#include <QTreeWidget>
#include <map>
#include <string>

#include "DirTreeViewFilter.h"

class TDirTreeView : public QTreeWidget {
  Q_OBJECT

 public:
  explicit TDirTreeView(QWidget* Parent = nullptr);

  // Network volumes are listed.
  bool AllowNetwork = true;
  // Folders below a recycle-bin folder are listed.
  bool GoBelowRecycleBin = true;
  // The drives are read when the tree is first shown or used.
  bool ReadOnStart = true;
  TDirTypes DirType = dtNormal | dtAll;
  TAddDirEvent OnAddDir;

  // When true (the default is false), folders cannot be renamed or deleted.
  bool Readonly() const { return FReadonly; }
  void SetReadonly(bool Value);

  // Clears the tree and lists the drives again.
  void ReadDrives();
  // Selects the folder and scrolls it to the top; false (selection kept) when
  // the folder does not exist or is not reachable through the tree.
  bool SelectPath(const std::string& Path);
  // The selected folder, ending in "/"; empty when nothing is selected.
  std::string SelectedPath() const;
  // Reads the drives again and selects the folder selected before, else its
  // drive, else the last folder selected on the first drive that was probed.
  void Refresh();

  // The last folder selected below Drive (a drive's folder, ending in "/").
  std::string RememberedFolder(const std::string& Drive) const;
  // The node of a drive or folder already in the tree (nothing is read).
  QTreeWidgetItem* NodeOf(const std::string& Path) const;
  static std::string NodePath(const QTreeWidgetItem* Node);
  // Whether the node's subfolders have been read.
  static bool IsRead(const QTreeWidgetItem* Node);
  // Whether the node stands for an unread child (the expand button only).
  static bool IsPlaceholder(const QTreeWidgetItem* Node);
  // Reads the node's subfolders now if that has not happened (as expanding does).
  void ReadChildren(QTreeWidgetItem* Node);

  // Renames the folder of Node to NewName in the same parent folder; on
  // failure the node keeps its old name and a warning is shown.
  bool RenameFolder(QTreeWidgetItem* Node, const std::string& NewName);
  // Asks, then moves the selected folder to the trash and refreshes the tree.
  bool DeleteSelectedFolder();

 signals:
  // The selected folder changed (path ending in "/", empty for none).
  void SelectedPathChanged(const QString& Path);

 protected:
  void showEvent(QShowEvent* Event) override;
  void keyPressEvent(QKeyEvent* Event) override;

 private:
  TDirFilter Filter() const;
  void EnsureDrivesRead();
  QTreeWidgetItem* AddFolderNode(QTreeWidgetItem* Parent, const std::string& Path,
                                 const QString& Name, bool Probe);
  void AddPlaceholder(QTreeWidgetItem* Node);
  bool IsRemovableDrive(const std::string& Path) const;
  QTreeWidgetItem* DriveNodeOf(const std::string& Path) const;
  QTreeWidgetItem* FindChild(QTreeWidgetItem* Node, const std::string& Name);
  void SetNodePath(QTreeWidgetItem* Node, const std::string& Path);
  void OnSelectionChanged();
  void OnItemChanged(QTreeWidgetItem* Item, int Column);

  bool FReadonly = false;
  bool FDrivesRead = false;
  // Set while the tree changes its own items, so label changes are not renames.
  int FBuilding = 0;
  std::map<std::string, std::string> FRemembered;
  std::string FFirstProbedDrive;
};
