#include "DirTreeView.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <QApplication>
#include <QKeyEvent>
#include <QStyle>
#include <cerrno>
#include <cstring>

#include "BrowseFolderTexts.h"
#include "DirTreeViewPaths.h"
#include "DirTreeViewTrash.h"
#include "FileAttributes.h"
#include "MsgBox.h"
#include "Paths.h"
#include "Volumes.h"

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;
constexpr int kPlaceholderRole = Qt::UserRole + 2;
constexpr int kRemovableRole = Qt::UserRole + 3;

QString Q(const std::string& Text) {
  return QString::fromStdString(Text);
}

// The hourglass while the tree reads folders.
class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

QIcon TwoStateIcon(QStyle* Style, QStyle::StandardPixmap Closed, QStyle::StandardPixmap Open) {
  QIcon icon = Style->standardIcon(Closed);
  const QIcon open = Style->standardIcon(Open);
  for (const QSize& size : open.availableSizes())
    icon.addPixmap(open.pixmap(size), QIcon::Selected);
  return icon;
}

QStyle::StandardPixmap DriveIconOf(const TVolumeInfo& Drive) {
  if (Drive.FileSystem == "iso9660" || Drive.FileSystem == "udf") return QStyle::SP_DriveCDIcon;
  if (Drive.Removable) return QStyle::SP_DriveFDIcon;
  if (IsNetworkFileSystem(Drive.FileSystem)) return QStyle::SP_DriveNetIcon;
  return QStyle::SP_DriveHDIcon;
}

// What the tree shows for a drive: its folder, which is what a user knows it by.
QString DriveDisplayName(const std::string& MountPoint) {
  return MountPoint == "/" ? QStringLiteral("/") : Q(ExcludeTrailingPathDelimiter(MountPoint));
}

}  // namespace

TDirTreeView::TDirTreeView(QWidget* Parent) : QTreeWidget(Parent) {
  setHeaderHidden(true);
  setColumnCount(1);
  setSelectionMode(QAbstractItemView::SingleSelection);
  SetReadonly(false);
  connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* Item) {
    if (!IsRead(Item)) ReadChildren(Item);
  });
  connect(this, &QTreeWidget::currentItemChanged, this, [this] { OnSelectionChanged(); });
  connect(this, &QTreeWidget::itemChanged, this, &TDirTreeView::OnItemChanged);
}

void TDirTreeView::SetReadonly(bool Value) {
  FReadonly = Value;
  setEditTriggers(Value ? QAbstractItemView::NoEditTriggers
                        : QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
  ++FBuilding;
  for (QTreeWidgetItemIterator it(this); *it; ++it) {
    if ((*it)->parent() && !IsPlaceholder(*it)) {
      const Qt::ItemFlags flags = (*it)->flags();
      (*it)->setFlags(Value ? flags & ~Qt::ItemIsEditable : flags | Qt::ItemIsEditable);
    }
  }
  --FBuilding;
}

TDirFilter TDirTreeView::Filter() const {
  TDirFilter filter;
  filter.GoBelowRecycleBin = GoBelowRecycleBin;
  filter.DirType = DirType;
  filter.OnAddDir = OnAddDir;
  return filter;
}

void TDirTreeView::EnsureDrivesRead() {
  if (!FDrivesRead && ReadOnStart) ReadDrives();
}

void TDirTreeView::showEvent(QShowEvent* Event) {
  EnsureDrivesRead();
  QTreeWidget::showEvent(Event);
}

void TDirTreeView::ReadDrives() {
  TWaitCursor wait;
  setUpdatesEnabled(false);
  ++FBuilding;
  clear();
  FDrivesRead = true;
  FFirstProbedDrive.clear();
  const TDirFilter filter = Filter();
  const std::string current = CurrentFolder();
  for (const TVolumeInfo& drive : Volumes().BrowserDrives()) {
    const std::string root = IncludeTrailingPathDelimiter(drive.MountPoint);
    if (!AllowNetwork && IsNetworkFileSystem(drive.FileSystem)) continue;
    // A removable volume is not asked anything before the user expands it.
    if (!drive.Removable && !filter.Passes(root)) continue;
    auto* node = new QTreeWidgetItem(this);
    node->setText(0, DriveDisplayName(root));
    node->setIcon(0, TwoStateIcon(style(), DriveIconOf(drive), DriveIconOf(drive)));
    node->setData(0, kPathRole, Q(root));
    node->setData(0, kRemovableRole, drive.Removable);
    if (drive.Removable) {
      AddPlaceholder(node);
    } else {
      if (FFirstProbedDrive.empty()) FFirstProbedDrive = root;
      if (HasSubfolder(root, filter)) AddPlaceholder(node);
    }
    if (!FRemembered.count(root)) FRemembered[root] = root;
  }
  // The current folder is the remembered one of its drive until the user
  // selects another there.
  if (QTreeWidgetItem* drive = DriveNodeOf(current)) {
    const std::string root = NodePath(drive);
    if (FRemembered[root] == root) FRemembered[root] = current;
  }
  --FBuilding;
  setUpdatesEnabled(true);
}

void TDirTreeView::AddPlaceholder(QTreeWidgetItem* Node) {
  auto* placeholder = new QTreeWidgetItem(Node);
  placeholder->setData(0, kPlaceholderRole, true);
  placeholder->setFlags(Qt::NoItemFlags);
}

QTreeWidgetItem* TDirTreeView::AddFolderNode(QTreeWidgetItem* Parent, const std::string& Path,
                                             const QString& Name, bool Probe) {
  auto* node = new QTreeWidgetItem(Parent);
  node->setText(0, Name);
  node->setIcon(0, TwoStateIcon(style(), QStyle::SP_DirClosedIcon, QStyle::SP_DirOpenIcon));
  node->setData(0, kPathRole, Q(Path));
  if (!FReadonly) node->setFlags(node->flags() | Qt::ItemIsEditable);
  if (!Probe) return node;
  // A removable volume mounted below this folder is left alone until expanded.
  if (IsRemovableDrive(Path) || HasSubfolder(Path, Filter())) AddPlaceholder(node);
  return node;
}

void TDirTreeView::ReadChildren(QTreeWidgetItem* Node) {
  if (!Node || IsRead(Node) || IsPlaceholder(Node)) return;
  TWaitCursor wait;
  ++FBuilding;
  for (int i = Node->childCount() - 1; i >= 0; --i)
    if (IsPlaceholder(Node->child(i))) delete Node->takeChild(i);
  Node->setData(0, kReadRole, true);
  const std::string path = NodePath(Node);
  for (const std::string& name : ListSubfolders(path, Filter()))
    AddFolderNode(Node, path + name + "/", Q(name), true);
  --FBuilding;
}

std::string TDirTreeView::NodePath(const QTreeWidgetItem* Node) {
  return Node ? Node->data(0, kPathRole).toString().toStdString() : std::string();
}

bool TDirTreeView::IsRead(const QTreeWidgetItem* Node) {
  return Node && Node->data(0, kReadRole).toBool();
}

bool TDirTreeView::IsPlaceholder(const QTreeWidgetItem* Node) {
  return Node && Node->data(0, kPlaceholderRole).toBool();
}

bool TDirTreeView::IsRemovableDrive(const std::string& Path) const {
  const QString path = Q(Path);
  for (int i = 0; i < topLevelItemCount(); ++i)
    if (topLevelItem(i)->data(0, kPathRole).toString() == path)
      return topLevelItem(i)->data(0, kRemovableRole).toBool();
  return false;
}

QTreeWidgetItem* TDirTreeView::DriveNodeOf(const std::string& Path) const {
  // The deepest drive whose folder holds Path: exactly, else without regard to case.
  const std::string path = IncludeTrailingPathDelimiter(Path);
  QTreeWidgetItem* best = nullptr;
  size_t bestLength = 0;
  for (int pass = 0; pass < 2 && !best; ++pass) {
    for (int i = 0; i < topLevelItemCount(); ++i) {
      const std::string root = NodePath(topLevelItem(i));
      const bool holds = pass == 0 ? IsPathPrefix(root, path) : IsPathPrefixNoCase(root, path);
      if (holds && root.size() > bestLength) {
        best = topLevelItem(i);
        bestLength = root.size();
      }
    }
  }
  return best;
}

QTreeWidgetItem* TDirTreeView::FindChild(QTreeWidgetItem* Node, const std::string& Name) {
  ReadChildren(Node);
  const QString name = Q(Name);
  for (Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive})
    for (int i = 0; i < Node->childCount(); ++i)
      if (!IsPlaceholder(Node->child(i)) && Node->child(i)->text(0).compare(name, cs) == 0)
        return Node->child(i);
  return nullptr;
}

QTreeWidgetItem* TDirTreeView::NodeOf(const std::string& Path) const {
  const QString path = Q(IncludeTrailingPathDelimiter(Path));
  for (QTreeWidgetItemIterator it(const_cast<TDirTreeView*>(this)); *it; ++it)
    if ((*it)->data(0, kPathRole).toString() == path) return *it;
  return nullptr;
}

bool TDirTreeView::SelectPath(const std::string& Path) {
  EnsureDrivesRead();
  if (Path.empty()) return false;
  const std::string path = IncludeTrailingPathDelimiter(NormalizePath(Path));
  QTreeWidgetItem* node = DriveNodeOf(path);
  if (!node) return false;
  const std::string root = NodePath(node);
  if (path.size() != root.size() && !DirectoryExists(path)) return false;
  for (const std::string& component : SplitPath(path.substr(root.size()))) {
    node = FindChild(node, component);
    if (!node) return false;
  }
  for (QTreeWidgetItem* up = node->parent(); up; up = up->parent()) up->setExpanded(true);
  setCurrentItem(node);
  scrollToItem(node, QAbstractItemView::PositionAtTop);
  return true;
}

std::string TDirTreeView::SelectedPath() const {
  return NodePath(currentItem());
}

std::string TDirTreeView::RememberedFolder(const std::string& Drive) const {
  auto it = FRemembered.find(IncludeTrailingPathDelimiter(Drive));
  return it == FRemembered.end() ? std::string() : it->second;
}

void TDirTreeView::Refresh() {
  const std::string selected = SelectedPath();
  ReadDrives();
  if (SelectPath(selected)) return;
  if (QTreeWidgetItem* drive = DriveNodeOf(selected)) {
    setCurrentItem(drive);
    return;
  }
  if (!FFirstProbedDrive.empty()) SelectPath(RememberedFolder(FFirstProbedDrive));
}

void TDirTreeView::OnSelectionChanged() {
  if (FBuilding) return;
  const std::string path = SelectedPath();
  if (QTreeWidgetItem* drive = DriveNodeOf(path)) FRemembered[NodePath(drive)] = path;
  emit SelectedPathChanged(Q(path));
}

void TDirTreeView::SetNodePath(QTreeWidgetItem* Node, const std::string& Path) {
  Node->setData(0, kPathRole, Q(Path));
  for (int i = 0; i < Node->childCount(); ++i) {
    QTreeWidgetItem* child = Node->child(i);
    if (!IsPlaceholder(child)) SetNodePath(child, Path + child->text(0).toStdString() + "/");
  }
}

void TDirTreeView::OnItemChanged(QTreeWidgetItem* Item, int) {
  if (FBuilding || !Item->parent() || IsPlaceholder(Item)) return;
  const std::string oldName = LastPathComponent(NodePath(Item));
  const std::string newName = Item->text(0).toStdString();
  if (newName != oldName) RenameFolder(Item, newName);
}

bool TDirTreeView::RenameFolder(QTreeWidgetItem* Node, const std::string& NewName) {
  if (FReadonly || !Node || !Node->parent()) return false;
  const std::string oldPath = NodePath(Node);
  const std::string parent = NodePath(Node->parent());
  const std::string newPath = parent + NewName + "/";
  bool ok = IsValidFolderName(NewName);
  std::string reason;
  if (ok) {
    // Never over an existing folder: renameat2 refuses instead of replacing.
    ok = ::renameat2(AT_FDCWD, ExcludeTrailingPathDelimiter(oldPath).c_str(), AT_FDCWD,
                     ExcludeTrailingPathDelimiter(newPath).c_str(), RENAME_NOREPLACE) == 0;
    if (!ok) reason = std::strerror(errno);
  }
  ++FBuilding;
  Node->setText(0, Q(ok ? NewName : LastPathComponent(oldPath)));
  if (ok) SetNodePath(Node, newPath);
  --FBuilding;
  if (ok) {
    emit SelectedPathChanged(Q(SelectedPath()));
    return true;
  }
  std::string message = oldPath + "\r\r" + LocalizedString(BrowseFolderTexts::RenameFailed);
  if (!reason.empty()) message += "\r" + reason;
  ShowMsgBox(message, mtWarning, {mbOK});
  return false;
}

bool TDirTreeView::DeleteSelectedFolder() {
  QTreeWidgetItem* node = currentItem();
  if (FReadonly || !node || !node->parent()) return false;
  const std::string path = NodePath(node);
  if (ShowMsgBox(path + "\r\r" + LocalizedString(BrowseFolderTexts::TrashPrompt), mtConfirmation,
                 {mbYes, mbNo}) != mrYes)
    return false;
  std::string error;
  if (!MoveFolderToTrash(path, error)) {
    ShowMsgBox(path + "\r\r" + LocalizedString(BrowseFolderTexts::TrashFailed) + "\r" + error,
               mtWarning, {mbOK});
    return false;
  }
  // The parent is what stays selected after the folder is gone.
  setCurrentItem(node->parent());
  Refresh();
  return true;
}

void TDirTreeView::keyPressEvent(QKeyEvent* Event) {
  const bool plain = (Event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
  if (Event->key() == Qt::Key_Delete && plain && !FReadonly && state() != EditingState) {
    DeleteSelectedFolder();
    Event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(Event);
}
