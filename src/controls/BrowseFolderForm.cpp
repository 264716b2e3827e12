#include "BrowseFolderForm.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <algorithm>
#include <memory>

#include "BrowseFolderConfirm.h"
#include "BrowseFolderTexts.h"
#include "DirTreeView.h"
#include "DirTreeViewPaths.h"
#include "ExtForm.h"
#include "FileAttributes.h"
#include "Paths.h"

namespace {

QString Q(const std::string& Text) {
  return QString::fromStdString(Text);
}

QPushButton* MakeButton(QWidget* Parent, const TLocalizedStrings& Caption, int Left) {
  auto* button = new QPushButton(Q(LocalizedString(Caption)), Parent);
  button->setGeometry(Left, 240, 75, 25);
  return button;
}

class TWaitCursor {
 public:
  TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};

}  // namespace

TFormBrowseFolder::TFormBrowseFolder(TBrowseDirOptions Options, TBrowseFolderType DialogType,
                                     const std::string& Title, QWidget* Parent)
    : QDialog(Parent), FOptions(Options) {
  const std::string caption = !Title.empty()
                                  ? Title
                                  : LocalizedString(DialogType == TBrowseFolderType::btOpen
                                                        ? BrowseFolderTexts::CaptionOpen
                                                        : BrowseFolderTexts::CaptionSave);
  setWindowTitle(Q(caption));
  setFixedSize(310, 269);

  FDirTreeView = new TDirTreeView(this);
  FDirTreeView->setObjectName("DirTreeView");
  FDirTreeView->setGeometry(4, 0, 301, 201);
  FDirTreeView->AllowNetwork = true;
  FDirTreeView->DirType = dtReadOnly | dtHidden | dtSystem | dtNormal | dtAll;
  FDirTreeView->GoBelowRecycleBin = false;
  FDirTreeView->SetReadonly(true);
  FDirTreeView->ReadOnStart = true;

  FEditFolderName = new QLineEdit(this);
  FEditFolderName->setObjectName("EditFolderName");
  FEditFolderName->setGeometry(76, 208, 225, 21);
  FEditFolderName->setReadOnly(DialogType == TBrowseFolderType::btOpen);

  FLabelFolderName = new QLabel(Q(LocalizedString(BrowseFolderTexts::LabelFolderName)), this);
  FLabelFolderName->setObjectName("LabelFolderName");
  FLabelFolderName->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  FLabelFolderName->setBuddy(FEditFolderName);
  // The label ends 4 pixels left of the field; a font wider than the one the
  // layout was made for moves the field's left edge instead of cutting the text.
  const int labelWidth = std::max(72, FLabelFolderName->sizeHint().width());
  FLabelFolderName->setGeometry(0, 208, labelWidth, 21);
  FEditFolderName->setGeometry(labelWidth + 4, 208, 301 - labelWidth - 4, 21);

  FButtonHelp = MakeButton(this, LibraryTexts::ButtonHelp, 72);
  FButtonHelp->setObjectName("ButtonHelp");
  FButtonHelp->setVisible(Options & bfShowHelp);
  FButtonHelp->setAutoDefault(false);
  FButtonOK = MakeButton(this, LibraryTexts::ButtonOK, 152);
  FButtonOK->setObjectName("ButtonOK");
  FButtonOK->setDefault(true);
  FButtonCancel = MakeButton(this, LibraryTexts::ButtonCancel, 232);
  FButtonCancel->setObjectName("ButtonCancel");
  FButtonCancel->setAutoDefault(false);

  connect(FButtonOK, &QPushButton::clicked, this, &TFormBrowseFolder::ButtonOKClick);
  connect(FButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(FDirTreeView, &TDirTreeView::SelectedPathChanged, this,
          &TFormBrowseFolder::DirTreeViewChange);
  setTabOrder(FDirTreeView, FEditFolderName);
  FEditFolderName->setFocus();
}

void TFormBrowseFolder::SetStartFolder(const std::string& Folder) {
  const std::string start = BrowseStartFolder(Folder);
  FDirTreeView->SelectPath(start);
  FEditFolderName->setText(Q(start));
}

void TFormBrowseFolder::DirTreeViewChange(const QString& Path) {
  FEditFolderName->setText(Path);
}

void TFormBrowseFolder::ButtonOKClick() {
  const auto ask = [](const std::string& Message, TMsgDlgType Type, TMsgDlgButtons Buttons) {
    return ShowMsgBox(Message, Type, Buttons);
  };
  const std::optional<std::string> folder = ConfirmBrowseFolder(
      FEditFolderName->text().toStdString(), FDirTreeView->SelectedPath(), FOptions, ask);
  if (!folder) return;
  FChosenFolder = *folder;
  accept();
}

void TFormBrowseFolder::showEvent(QShowEvent* Event) {
  QDialog::showEvent(Event);
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
  FEditFolderName->setFocus();
}

std::string BrowseStartFolder(const std::string& Folder) {
  std::string path = ExcludeTrailingPathDelimiter(NormalizePath(Folder));
  while (path != "/" && !DirectoryExists(path)) path = ParentFolder(path);
  return IncludeTrailingPathDelimiter(path);
}

bool TBrowseFolderDialog::Execute(QWidget* Parent) {
  std::unique_ptr<TFormBrowseFolder> form;
  {
    TWaitCursor wait;
    form = std::make_unique<TFormBrowseFolder>(Options, DialogType, Title, Parent);
    form->SetStartFolder(Folder);
  }
  if (ExecModal(*form) != QDialog::Accepted || form->ChosenFolder().empty()) return false;
  Folder = form->ChosenFolder();
  return true;
}
