#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QThread>

#include "ExtForm.h"
#include "HTMLHelper.h"
#include "Shell.h"
#include "TempDir.h"
#include "TestApplication.h"

namespace {

QImage Picture(int w, int h, QColor c) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(c);
  return img;
}

}  // namespace

TEST(ExtForm, WindowPictureIsDrawnInTheTopLeftCorner) {
  TExtForm form;
  form.resize(300, 200);
  EXPECT_FALSE(form.HasWindowPicture());
  QImage source = Picture(105, 105, Qt::red);
  form.SetWindowPicture(source);
  source.fill(Qt::green);  // the window keeps its own copy
  EXPECT_TRUE(form.HasWindowPicture());
  const QImage shot = form.grab().toImage();
  EXPECT_EQ(shot.pixelColor(0, 0), QColor(Qt::red));
  EXPECT_EQ(shot.pixelColor(104, 104), QColor(Qt::red));
  EXPECT_NE(shot.pixelColor(105, 105), QColor(Qt::red));
  EXPECT_NE(shot.pixelColor(200, 20), QColor(Qt::red));
}

TEST(ExtForm, EmptyPictureClearsTheFlag) {
  TExtForm form;
  form.SetWindowPicture(Picture(10, 10, Qt::blue));
  EXPECT_TRUE(form.HasWindowPicture());
  form.SetWindowPicture(QImage());
  EXPECT_FALSE(form.HasWindowPicture());
  form.SetWindowPicture(Picture(10, 1, Qt::blue).copy(0, 0, 10, 0));
  EXPECT_FALSE(form.HasWindowPicture());
}

TEST(ExtForm, F1GoesToTheHelperWhichFindsNoContext) {
  TExtForm form;
  auto* edit = new QLineEdit(&form);
  form.show();
  edit->setFocus();
  const int before = THTMLHelper::Exists() ? THTMLHelper::Instance().Requests() : 0;
  QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
  QApplication::sendEvent(&form, &f1);
  EXPECT_EQ(THTMLHelper::Instance().Requests(), before + 1);
  EXPECT_EQ(THTMLHelper::HelpContextOf(edit), 0);
  edit->setProperty("HelpContext", 0);
  form.setProperty("HelpContext", 17);
  EXPECT_EQ(THTMLHelper::HelpContextOf(edit), 17);
  EXPECT_FALSE(THTMLHelper::Instance().ShowHelpContext(0));
}

TEST(ExtForm, ModalHookAnswersWithoutALoop) {
  TModalHook previous = SetModalHook([](QDialog& d) { return d.objectName() == "x" ? 5 : 0; });
  QDialog dialog;
  dialog.setObjectName("x");
  EXPECT_EQ(ExecModal(dialog), 5);
  SetModalHook(std::move(previous));
}

TEST(Shell, ClassifiesWhatItOpens) {
  TempDir dir;
  const std::string root = dir.Path() + "/";
  auto write = [&](const std::string& name, bool exec) {
    QFile f(QString::fromStdString(root + name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("#!/bin/sh\n");
    f.close();
    if (exec) f.setPermissions(f.permissions() | QFile::ExeOwner);
  };
  write("Setup.exe", false);
  write("run.sh", true);
  write("legenda.chm", false);
  // From a disc that marks every file executable: a Windows program and a
  // help file are no Linux programs.
  for (const auto& [name, content] : {std::pair{"Install.exe", "MZ"}, {"english.chm", "ITSF"}}) {
    QFile f(QString::fromStdString(root + name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    f.close();
    f.setPermissions(f.permissions() | QFile::ExeOwner);
  }
  struct Row {
    std::string file, directory;
    TShellAction action;
  };
  const Row rows[] = {
      {"http://www.example.org/", "", TShellAction::Url},
      {"mailto:info@example.org", "", TShellAction::Url},
      {root + "Setup.exe", "", TShellAction::WindowsProgram},
      {"Setup.exe", root, TShellAction::WindowsProgram},
      {root + "run.sh", "", TShellAction::Program},
      {root + "legenda.chm", root, TShellAction::Document},
      {root + "Install.exe", "", TShellAction::WindowsProgram},
      {root + "english.chm", "", TShellAction::Document},
      {root + "missing.chm", root, TShellAction::Missing},
      {"no-such-program-here.exe", "", TShellAction::Missing},
      {"sh", "", TShellAction::Program},
  };
  for (const Row& r : rows) EXPECT_EQ(ClassifyShellFile(r.file, r.directory), r.action) << r.file;
}

TEST(Shell, StartsAProgramWithItsParametersInItsFolder) {
  TempDir dir;
  const QString root = QString::fromStdString(dir.Path());
  QFile script(root + "/Setup.exe");
  ASSERT_TRUE(script.open(QIODevice::WriteOnly));
  script.write("#!/bin/sh\necho \"$1|$(pwd)\" > out.tmp && mv out.tmp started.txt\n");
  script.close();
  script.setPermissions(script.permissions() | QFile::ExeOwner);
  EXPECT_TRUE(ShellOpen((root + "/Setup.exe").toStdString(), "DEMO", root.toStdString()));
  QFile started(root + "/started.txt");
  for (int i = 0; i < 200 && !started.exists(); ++i) QThread::msleep(10);
  ASSERT_TRUE(started.open(QIODevice::ReadOnly));
  EXPECT_EQ(started.readAll().trimmed().toStdString(),
            "DEMO|" + QDir(root).canonicalPath().toStdString());
  EXPECT_FALSE(ShellOpen((root + "/absent/Setup.exe").toStdString(), "DEMO", ""));
}

TEST(Shell, OpenURLTriesTheAddressThenTwoBrowsers) {
  struct Row {
    int succeedAt;  // 0 never
    bool result;
    size_t attempts;
  };
  for (const Row& r : {Row{1, true, 1}, Row{2, true, 2}, Row{3, true, 3}, Row{0, false, 3}}) {
    std::vector<TShellRequest> seen;
    TShellHook previous = SetShellHook([&](const TShellRequest& q) {
      seen.push_back(q);
      return static_cast<int>(seen.size()) == r.succeedAt;
    });
    EXPECT_EQ(OpenURL("http://www.example.org/"), r.result);
    SetShellHook(std::move(previous));
    ASSERT_EQ(seen.size(), r.attempts);
    EXPECT_EQ(seen[0].File, "http://www.example.org/");
    EXPECT_EQ(seen[0].Parameters, "");
    if (seen.size() > 1) {
      EXPECT_EQ(seen[1].File, "iexplore.exe");
      EXPECT_EQ(seen[1].Parameters, "http://www.example.org/");
    }
    if (seen.size() > 2) {
      EXPECT_EQ(seen[2].File, "netscape.exe");
    }
  }
}

TEST(ExtForm, MainWindowSmallPictureIsKeptAsACopy) {
  QImage small = Picture(105, 105, Qt::blue);
  SetMainWindowSmallPicture(small);
  small.fill(Qt::red);
  EXPECT_EQ(MainWindowSmallPicture().pixelColor(50, 50), QColor(Qt::blue));
  TExtForm wizard;
  wizard.SetWindowPicture(MainWindowSmallPicture());
  EXPECT_EQ(wizard.WindowPicture().size(), QSize(105, 105));
}
