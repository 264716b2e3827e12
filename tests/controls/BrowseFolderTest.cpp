#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <filesystem>
#include <functional>

#include "BrowseFolder.h"
#include "BrowseFolderForm.h"
#include "DirTreeView.h"
#include "ExtForm.h"
#include "MsgBoxHook.h"
#include "QvLanguage.h"
#include "SimulatedVolumes.h"
#include "TempDir.h"
#include "TestApplication.h"

namespace fs = std::filesystem;

namespace {

// A fixed simulated disk "disk" with a few folders, and an empty removable
// drive "usb"; the desktop's trash lives in the test's folder as well.
class BrowseFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SelectLanguage(LanguageEnglish);
    Disk = Temp / "disk";
    fs::create_directories(Disk + "/have/inner");
    fs::create_directories(Temp / "sim");
    Sim.AddFixed(Disk, 1 << 30);
    Sim.AddRemovableDrive(Temp / "usb");
    OldXdg = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
    ::setenv("XDG_DATA_HOME", (Temp / "xdg").c_str(), 1);
  }
  void TearDown() override {
    SetModalHook({});
    if (OldXdg.empty())
      ::unsetenv("XDG_DATA_HOME");
    else
      ::setenv("XDG_DATA_HOME", OldXdg.c_str(), 1);
  }

  // Runs a dialog whose window is handed to Drive instead of a modal loop.
  bool Run(TBrowseFolderDialog& Dialog, const std::function<void(TFormBrowseFolder&)>& Drive) {
    SetModalHook([&](QDialog& Window) {
      auto* form = dynamic_cast<TFormBrowseFolder*>(&Window);
      if (!form) return static_cast<int>(QDialog::Rejected);
      Drive(*form);
      return form->result();
    });
    return Dialog.Execute();
  }

  TempDir Temp;
  std::string Disk;
  TSimulatedVolumes Sim{Temp / "sim"};
  TScopedVolumes Use{Sim};
  std::string OldXdg;
};

// Types Text into the folder field with the tree on Selected and presses OK.
void TypeAndConfirm(TFormBrowseFolder& Form, const std::string& Selected, const std::string& Text) {
  ASSERT_TRUE(Form.DirTreeView()->SelectPath(Selected)) << Selected;
  Form.EditFolderName()->clear();
  QTest::keyClicks(Form.EditFolderName(), QString::fromStdString(Text));
  QTest::mouseClick(Form.ButtonOK(), Qt::LeftButton);
}

TEST_F(BrowseFolderTest, ConfirmationChecksEveryOption) {
  const std::string base = Disk + "/have/";
  fs::create_directories(Disk + "/ro");
  ::chmod((Disk + "/ro").c_str(), 0555);
  WriteFileText(Disk + "/afile", "x");
  struct Case {
    const char* Name;
    TBrowseDirOptions Options;
    std::string Typed;
    std::vector<int> Replies;
    std::string Accepted;  // empty: the dialog stays open
    std::string Message;   // the one box shown, empty for none
    std::string MustExist = "";
  } cases[] = {
      {"invalid name", 0, "bad?name", {}, "", base + "bad?name\r\rThis folder name is not valid."},
      {"relative below selection", bfPathMustExist, "new", {}, base + "new/", ""},
      {"parent missing",
       bfPathMustExist,
       "missing/new",
       {},
       "",
       base + "missing\r\rThe path does not exist. Make sure that the correct path is given."},
      {"folder missing",
       bfDirMustExist,
       "missing",
       {},
       "",
       base + "missing\r\rThis folder cannot be found. Make sure that the correct path and folder "
              "name are given."},
      {"both, folder missing",
       bfPathMustExist | bfDirMustExist,
       "missing",
       {},
       "",
       base + "missing\r\rThis folder cannot be found. Make sure that the correct path and folder "
              "name are given."},
      {"folder there", bfDirMustExist, "inner", {}, base + "inner/", ""},
      {"empty field takes the tree", bfDirMustExist, "", {}, base, ""},
      {"absolute and dotted",
       bfDirMustExist,
       Disk + "/have/inner/../inner/",
       {},
       base + "inner/",
       ""},
      {"create answered yes",
       bfCreatePrompt,
       "make/deep",
       {mrYes},
       base + "make/deep/",
       base + "make/deep\r\rThis folder does not exist. Do you want to create it?",
       base + "make/deep"},
      {"create answered no",
       bfCreatePrompt,
       "nope",
       {mrNo},
       "",
       base + "nope\r\rThis folder does not exist. Do you want to create it?"},
      {"read-only refused",
       bfNoReadOnlyReturn,
       Disk + "/ro",
       {},
       "",
       Disk + "/ro\r\rThis folder is read-only. Please use a different name."},
      {"writable accepted", bfNoReadOnlyReturn, "inner", {}, base + "inner/", ""},
      {"missing folder not checked for read-only",
       bfNoReadOnlyReturn,
       "later",
       {},
       base + "later/",
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    TMsgBoxRecorder boxes;
    for (int r : c.Replies) boxes.ReplyResult(r);
    if (c.Replies.empty() && !c.Message.empty()) boxes.ReplyResult(mrOk);
    TBrowseFolderDialog dialog;
    dialog.DialogType = TBrowseFolderType::btSave;
    dialog.Options = c.Options;
    dialog.Folder = "/start-unchanged";
    const bool ok =
        Run(dialog, [&](TFormBrowseFolder& form) { TypeAndConfirm(form, base, c.Typed); });
    EXPECT_EQ(ok, !c.Accepted.empty());
    EXPECT_EQ(dialog.Folder, ok ? c.Accepted : "/start-unchanged");
    if (c.Message.empty()) {
      EXPECT_TRUE(boxes.Shown().empty());
    } else {
      ASSERT_EQ(boxes.Shown().size(), 1u);
      EXPECT_EQ(boxes.Shown()[0].Message, c.Message);
      EXPECT_EQ(boxes.Shown()[0].Type, c.Replies.empty() ? mtWarning : mtConfirmation);
    }
    EXPECT_EQ(boxes.Unexpected(), 0);
    if (!c.MustExist.empty()) {
      EXPECT_TRUE(fs::is_directory(c.MustExist));
    }
  }
  EXPECT_FALSE(fs::exists(base + "new"));    // accepted, not created
  EXPECT_FALSE(fs::exists(base + "nope"));   // the answer was No
  EXPECT_FALSE(fs::exists(base + "later"));  // no create prompt asked for
}

TEST_F(BrowseFolderTest, FolderThatCannotBeCreatedKeepsTheDialogOpen) {
  WriteFileText(Disk + "/afile", "x");
  TMsgBoxRecorder boxes;
  boxes.ReplyResult(mrYes);
  boxes.ReplyResult(mrOk);
  TBrowseFolderDialog dialog;
  dialog.DialogType = TBrowseFolderType::btSave;
  dialog.Options = bfCreatePrompt;
  EXPECT_FALSE(
      Run(dialog, [&](TFormBrowseFolder& form) { TypeAndConfirm(form, Disk + "/", "afile/sub"); }));
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_EQ(boxes.Shown()[1].Type, mtWarning);
  EXPECT_EQ(
      boxes.Shown()[1].Message.rfind(Disk + "/afile/sub\r\rThis folder could not be created.", 0),
      0u);
}

TEST_F(BrowseFolderTest, StartFolderThatIsGoneOpensOnItsNearestParent) {
  TBrowseFolderDialog dialog;
  dialog.Folder = Disk + "/have/gone/deeper/";
  std::string shown, selected;
  EXPECT_FALSE(Run(dialog, [&](TFormBrowseFolder& form) {
    shown = form.EditFolderName()->text().toStdString();
    selected = form.DirTreeView()->SelectedPath();
  }));
  EXPECT_EQ(shown, Disk + "/have/");
  EXPECT_EQ(selected, Disk + "/have/");
  EXPECT_EQ(dialog.Folder, Disk + "/have/gone/deeper/");  // cancelled: unchanged
}

TEST_F(BrowseFolderTest, FolderOnARemovableDriveKeepsTheDrivesName) {
  const int disk = Sim.AddDisk(1440 * 1024);
  fs::create_directories(Sim.DiskFolder(disk) + "charts");
  Sim.InsertDisk(disk);
  TBrowseFolderDialog dialog;
  dialog.Folder = Temp / "usb/charts";
  EXPECT_TRUE(Run(dialog, [&](TFormBrowseFolder& form) {
    EXPECT_EQ(form.DirTreeView()->SelectedPath(), Temp / "usb/charts/");
    QTest::mouseClick(form.ButtonOK(), Qt::LeftButton);
  }));
  EXPECT_EQ(dialog.Folder, Temp / "usb/charts/");
}

TEST_F(BrowseFolderTest, OpenDialogChoosesInTheTreeAndShowsItsTexts) {
  TBrowseFolderDialog dialog;
  dialog.Folder = Disk;
  EXPECT_TRUE(Run(dialog, [&](TFormBrowseFolder& form) {
    EXPECT_EQ(form.windowTitle(), "Select sourcefolder..");
    EXPECT_EQ(form.LabelFolderName()->text(), "Folder &Name:");
    EXPECT_EQ(form.ButtonOK()->text(), "OK");
    EXPECT_EQ(form.ButtonCancel()->text(), "Cancel");
    EXPECT_FALSE(form.ButtonHelp()->isVisibleTo(&form));
    EXPECT_TRUE(form.EditFolderName()->isReadOnly());
    EXPECT_EQ(form.size(), QSize(310, 269));
    ASSERT_TRUE(form.DirTreeView()->SelectPath(Disk + "/have/inner"));
    EXPECT_EQ(form.EditFolderName()->text().toStdString(), Disk + "/have/inner/");
    QTest::mouseClick(form.ButtonOK(), Qt::LeftButton);
  }));
  EXPECT_EQ(dialog.Folder, Disk + "/have/inner/");
}

TEST_F(BrowseFolderTest, CaptionsFollowTitleTypeAndLanguage) {
  struct Case {
    std::string Title;
    TBrowseFolderType Type;
    uint8_t Language;
    TBrowseDirOptions Options;
    const char* Caption;
    const char* Label;
  } cases[] = {
      {"", TBrowseFolderType::btSave, LanguageEnglish, 0, "Select destinationfolder..",
       "Folder &Name:"},
      {"Charts", TBrowseFolderType::btOpen, LanguageEnglish, bfShowHelp, "Charts", "Folder &Name:"},
      {"", TBrowseFolderType::btOpen, LanguageDutch, 0, "Selecteer bronmap..", "Map&naam:"},
      {"", TBrowseFolderType::btSave, LanguageGerman, bfShowHelp, "Zielordner wählen..",
       "Ordner&name:"},
  };
  for (const Case& c : cases) {
    SelectLanguage(c.Language);
    TFormBrowseFolder form(c.Options, c.Type, c.Title);
    EXPECT_EQ(form.windowTitle().toStdString(), c.Caption);
    EXPECT_EQ(form.LabelFolderName()->text().toStdString(), c.Label);
    EXPECT_EQ(form.ButtonHelp()->isVisibleTo(&form), (c.Options & bfShowHelp) != 0);
  }
  SelectLanguage(LanguageEnglish);
}

TEST_F(BrowseFolderTest, RemovableVolumeIsNotReadUntilExpanded) {
  const int disk = Sim.AddDisk(1440 * 1024);
  fs::create_directories(Sim.DiskFolder(disk) + "charts/set1");
  Sim.InsertDisk(disk);
  std::vector<std::string> listed;
  TDirTreeView tree;
  tree.OnAddDir = [&](const std::string& Path, bool&) { listed.push_back(Path); };
  tree.ReadDrives();
  ASSERT_EQ(tree.topLevelItemCount(), 2);
  QTreeWidgetItem* usb = tree.NodeOf(Temp / "usb");
  ASSERT_NE(usb, nullptr);
  EXPECT_FALSE(TDirTreeView::IsRead(usb));
  ASSERT_EQ(usb->childCount(), 1);
  EXPECT_TRUE(TDirTreeView::IsPlaceholder(usb->child(0)));
  const std::string usbRoot = Temp / "usb/";
  for (const std::string& p : listed) EXPECT_NE(p.rfind(usbRoot, 0), 0u) << p;
  // The fixed disk was probed.
  EXPECT_FALSE(listed.empty());

  usb->setExpanded(true);
  EXPECT_TRUE(TDirTreeView::IsRead(usb));
  ASSERT_EQ(usb->childCount(), 1);
  EXPECT_EQ(usb->child(0)->text(0), "charts");
  EXPECT_EQ(TDirTreeView::NodePath(usb->child(0)), usbRoot + "charts/");
  // Its child was probed so that it shows an expand button.
  ASSERT_EQ(usb->child(0)->childCount(), 1);
  EXPECT_TRUE(TDirTreeView::IsPlaceholder(usb->child(0)->child(0)));
}

TEST_F(BrowseFolderTest, EmptyRemovableDriveShowsAnExpandButtonThatFindsNothing) {
  TDirTreeView tree;
  tree.ReadDrives();
  QTreeWidgetItem* usb = tree.NodeOf(Temp / "usb");
  ASSERT_NE(usb, nullptr);
  EXPECT_EQ(usb->childCount(), 1);
  usb->setExpanded(true);
  EXPECT_EQ(usb->childCount(), 0);
}

// The names listed below Folder after expanding its node.
std::vector<std::string> ChildNames(TDirTreeView& Tree, const std::string& Folder) {
  QTreeWidgetItem* node = nullptr;
  if (!Tree.SelectPath(Folder) || !(node = Tree.currentItem())) return {"<not selectable>"};
  Tree.ReadChildren(node);
  std::vector<std::string> names;
  for (int i = 0; i < node->childCount(); ++i)
    names.push_back(node->child(i)->text(0).toStdString());
  return names;
}

TEST_F(BrowseFolderTest, FolderFilterByAttributesAndRecycleBins) {
  for (const char* f : {"f/Beta", "f/alpha", "f/.hidden", "f/ro", "f/.Trash-0/files/x",
                        "f/RECYCLED/y", "xdg/Trash/files/z"})
    fs::create_directories(Disk + "/" + f);
  ::chmod((Disk + "/f/ro").c_str(), 0555);
  ::setenv("XDG_DATA_HOME", (Disk + "/xdg").c_str(), 1);
  using V = std::vector<std::string>;
  struct Case {
    TDirTypes Types;
    bool BelowBin;
    std::string Folder;
    V Expect;
  } cases[] = {
      {dtAll, true, "f", V{".hidden", ".Trash-0", "alpha", "Beta", "RECYCLED", "ro"}},
      {dtNormal, true, "f", V{"alpha", "Beta", "RECYCLED"}},
      {dtNormal | dtHidden, true, "f", V{".hidden", ".Trash-0", "alpha", "Beta", "RECYCLED"}},
      {dtReadOnly | dtNormal, true, "f", V{"alpha", "Beta", "RECYCLED", "ro"}},
      {dtAll, true, "f/.Trash-0", V{"files"}},
      {dtAll, false, "f/.Trash-0", V{}},
      {dtAll, false, "f/RECYCLED", V{}},
      {dtAll, false, "xdg", V{"Trash"}},
      {dtAll, false, "xdg/Trash", V{}},
      {dtAll, true, "xdg/Trash", V{"files"}},
  };
  for (const Case& c : cases) {
    TDirTreeView tree;
    tree.DirType = c.Types;
    tree.GoBelowRecycleBin = c.BelowBin;
    tree.ReadDrives();
    EXPECT_EQ(ChildNames(tree, Disk + "/" + c.Folder), c.Expect) << c.Folder << " " << c.Types;
  }
}

TEST_F(BrowseFolderTest, AddDirEventHidesFolders) {
  fs::create_directories(Disk + "/keep");
  fs::create_directories(Disk + "/drop");
  TDirTreeView tree;
  tree.OnAddDir = [](const std::string& Path, bool& Accept) {
    Accept = Path.find("/drop/") == std::string::npos;
  };
  tree.ReadDrives();
  EXPECT_EQ(ChildNames(tree, Disk), (std::vector<std::string>{"have", "keep"}));
  EXPECT_FALSE(tree.SelectPath(Disk + "/drop"));
}

TEST_F(BrowseFolderTest, SelectingPathsExactlyOrWithoutRegardToCase) {
  fs::create_directories(Disk + "/Data/Sub");
  fs::create_directories(Disk + "/data");
  TDirTreeView tree;
  tree.ReadDrives();
  ASSERT_TRUE(tree.SelectPath(Disk + "/data"));
  EXPECT_EQ(tree.SelectedPath(), Disk + "/data/");
  ASSERT_TRUE(tree.SelectPath(Disk + "/Data/Sub/"));
  EXPECT_EQ(tree.SelectedPath(), Disk + "/Data/Sub/");
  EXPECT_FALSE(tree.SelectPath(Disk + "/nothing"));
  EXPECT_EQ(tree.SelectedPath(), Disk + "/Data/Sub/");  // unchanged
  EXPECT_FALSE(tree.SelectPath("/not/below/any/drive"));
  ASSERT_TRUE(tree.SelectPath(Disk));
  EXPECT_EQ(tree.SelectedPath(), Disk + "/");
  EXPECT_EQ(tree.RememberedFolder(Disk), Disk + "/");
}

TEST_F(BrowseFolderTest, RefreshKeepsTheSelectionOrFallsBackToItsDrive) {
  fs::create_directories(Disk + "/a/b");
  TDirTreeView tree;
  tree.ReadDrives();
  ASSERT_TRUE(tree.SelectPath(Disk + "/a/b"));
  fs::create_directories(Disk + "/a/new");
  tree.Refresh();
  EXPECT_EQ(tree.SelectedPath(), Disk + "/a/b/");
  EXPECT_NE(tree.NodeOf(Disk + "/a/new"), nullptr);  // read again
  fs::remove_all(Disk + "/a");
  tree.Refresh();
  EXPECT_EQ(tree.SelectedPath(), Disk + "/");
}

TEST_F(BrowseFolderTest, RenamingInPlaceRenamesTheFolderOrRestoresTheLabel) {
  fs::create_directories(Disk + "/old/child");
  fs::create_directories(Disk + "/taken");
  TDirTreeView tree;
  tree.ReadDrives();
  ASSERT_TRUE(tree.SelectPath(Disk + "/old/child"));
  QTreeWidgetItem* node = tree.NodeOf(Disk + "/old");
  ASSERT_NE(node, nullptr);
  EXPECT_TRUE(node->flags() & Qt::ItemIsEditable);
  node->setText(0, "renamed");  // what the in-place editor does
  EXPECT_TRUE(fs::is_directory(Disk + "/renamed/child"));
  EXPECT_FALSE(fs::exists(Disk + "/old"));
  EXPECT_EQ(tree.SelectedPath(), Disk + "/renamed/child/");

  TMsgBoxRecorder boxes;
  boxes.ReplyResult(mrOk);
  node->setText(0, "taken");  // never over an existing folder
  EXPECT_EQ(node->text(0), "renamed");
  EXPECT_TRUE(fs::is_directory(Disk + "/renamed/child"));
  ASSERT_EQ(boxes.Shown().size(), 1u);
  EXPECT_EQ(
      boxes.Shown()[0].Message.rfind(Disk + "/renamed/\r\rThis folder could not be renamed.", 0),
      0u);

  tree.SetReadonly(true);
  EXPECT_FALSE(node->flags() & Qt::ItemIsEditable);
  EXPECT_FALSE(tree.RenameFolder(node, "other"));
  EXPECT_TRUE(fs::is_directory(Disk + "/renamed"));
}

TEST_F(BrowseFolderTest, DeleteKeyMovesTheFolderToTheTrash) {
  fs::create_directories(Disk + "/doomed folder/inside");
  WriteFileText(Disk + "/doomed folder/inside/chart.bmp", "pixels");
  TDirTreeView tree;
  tree.show();
  tree.ReadDrives();
  ASSERT_TRUE(tree.SelectPath(Disk + "/doomed folder"));

  TMsgBoxRecorder boxes;
  boxes.ReplyResult(mrNo);
  QTest::keyClick(&tree, Qt::Key_Delete);
  EXPECT_TRUE(fs::exists(Disk + "/doomed folder/inside/chart.bmp"));

  boxes.ReplyResult(mrYes);
  QTest::keyClick(&tree, Qt::Key_Delete);
  ASSERT_EQ(boxes.Shown().size(), 2u);
  EXPECT_EQ(boxes.Shown()[1].Message,
            Disk + "/doomed folder/\r\rDo you want to move this folder to the trash?");
  EXPECT_FALSE(fs::exists(Disk + "/doomed folder"));
  const std::string trash = Temp / "xdg/Trash/";
  EXPECT_EQ(ReadFileBytes(trash + "files/doomed folder/inside/chart.bmp").size(), 6u);
  const auto info = ReadFileBytes(trash + "info/doomed folder.trashinfo");
  const std::string text(info.begin(), info.end());
  EXPECT_NE(text.find("[Trash Info]\nPath=" + Disk + "/doomed%20folder\nDeletionDate=20"),
            std::string::npos)
      << text;
  EXPECT_EQ(tree.NodeOf(Disk + "/doomed folder"), nullptr);
  EXPECT_EQ(tree.SelectedPath(), Disk + "/");
}

TEST_F(BrowseFolderTest, DeleteKeyDoesNothingInAReadOnlyTree) {
  fs::create_directories(Disk + "/kept");
  TDirTreeView tree;
  tree.SetReadonly(true);
  tree.show();
  tree.ReadDrives();
  ASSERT_TRUE(tree.SelectPath(Disk + "/kept"));
  TMsgBoxRecorder boxes;
  QTest::keyClick(&tree, Qt::Key_Delete);
  EXPECT_TRUE(boxes.Shown().empty());
  EXPECT_TRUE(fs::is_directory(Disk + "/kept"));
}

// The simulated volumes plus a network share among the drives.
class TVolumesWithShare : public TSimulatedVolumes {
 public:
  TVolumesWithShare(const std::string& Root, std::string Share)
      : TSimulatedVolumes(Root), FShare(std::move(Share)) {}
  std::vector<TVolumeInfo> BrowserDrives() override {
    std::vector<TVolumeInfo> drives = TSimulatedVolumes::BrowserDrives();
    drives.push_back({FShare, "server:/export", "nfs4", false});
    return drives;
  }

 private:
  std::string FShare;
};

TEST(DirTreeViewNetworkTest, NetworkDrivesOnlyWhenAllowedAndRefreshFallsBackToTheFirstDrive) {
  TempDir temp;
  fs::create_directories(temp / "disk/have");
  fs::create_directories(temp / "share/docs");
  TVolumesWithShare volumes(temp.Path(), temp / "share/");
  volumes.AddFixed(temp / "disk", 1 << 20);
  TScopedVolumes use(volumes);
  TDirTreeView tree;
  tree.ReadDrives();
  ASSERT_EQ(tree.topLevelItemCount(), 2);
  ASSERT_TRUE(tree.SelectPath(temp / "disk/have"));
  ASSERT_TRUE(tree.SelectPath(temp / "share/docs"));
  tree.AllowNetwork = false;
  tree.Refresh();
  ASSERT_EQ(tree.topLevelItemCount(), 1);
  EXPECT_EQ(tree.NodeOf(temp / "share"), nullptr);
  // The share is gone: the last folder chosen on the first drive is selected.
  EXPECT_EQ(tree.SelectedPath(), temp / "disk/have/");
}

}  // namespace
