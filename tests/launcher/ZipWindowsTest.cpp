// The zip component's questions reach the user through the program's own
// message box once the program has connected them.
#include <gtest/gtest.h>

#include "LauncherFixture.h"
#include "UnZipper.h"
#include "ZipHooks.h"
#include "ZipWindows.h"
#include "Zipper.h"

namespace {

class ZipWindowsTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    InitProgram();
    FPreviousMessage = SetZipMessageHook({});
    FPreviousBusy = SetZipBusyHook({});
    FPreviousPump = SetZipProcessMessagesHook({});
    ConnectZipToWindows();
  }
  void TearDown() override {
    SetZipMessageHook(FPreviousMessage);
    SetZipBusyHook(FPreviousBusy);
    SetZipProcessMessagesHook(FPreviousPump);
    LauncherTest::TearDown();
  }
  TZipMessageHook FPreviousMessage;
  TZipBusyHook FPreviousBusy;
  TZipProcessMessagesHook FPreviousPump;
};

TEST_F(ZipWindowsTest, ReplaceQuestionIsTheProgramsConfirmationBox) {
  const std::string source = FDir.Path() + "/chart.txt";
  WriteFileText(source, "new chart text");
  const std::string archive = FDir.Path() + "/updates.zip";
  TZipper zipper;
  zipper.SetZipName(archive);
  zipper.FilesList = {source};
  ASSERT_EQ(zipper.CreateArchive(), 1);

  TempDir dest;
  const std::string target = dest.Path() + "/chart.txt";
  for (int answer : {mrNo, mrYes}) {
    SCOPED_TRACE(answer);
    WriteFileText(target, "old");
    FBoxes.ReplyResult(answer);
    TUnZipper unzipper;
    unzipper.SetZipName(archive);
    unzipper.SetDestDir(dest.Path());
    unzipper.OverwriteMode = TUZOverwriteMode::Prompt;
    unzipper.DoAll = true;
    EXPECT_EQ(unzipper.ExtractAll(), answer == mrYes ? 1 : 0);
    EXPECT_EQ(ReadFileText(target), answer == mrYes ? "new chart text" : "old");
  }
  ASSERT_EQ(FBoxes.Shown().size(), 2u);
  EXPECT_EQ(FBoxes.Shown()[0].Caption, "File Exists Alert");
  EXPECT_EQ(FBoxes.Shown()[0].Message, "Replace existing file " + target + "?");
  EXPECT_EQ(FBoxes.Shown()[0].Type, mtConfirmation);
  EXPECT_EQ(FBoxes.Shown()[0].ButtonCaptions, (std::vector<std::string>{"&Yes", "&No"}));
  EXPECT_EQ(FBoxes.Unexpected(), 0);
}

TEST_F(ZipWindowsTest, ErrorBoxHasOnlyOk) {
  EXPECT_EQ(ZipMessageBox("Unknown Compression Method", "Zip Error", TZipButtons::Ok), mrOk);
  ASSERT_EQ(FBoxes.Shown().size(), 1u);
  EXPECT_EQ(FBoxes.Shown()[0].Caption, "Zip Error");
  EXPECT_EQ(FBoxes.Shown()[0].Type, mtError);
  EXPECT_EQ(FBoxes.Shown()[0].ButtonCaptions, (std::vector<std::string>{"OK"}));
}

}  // namespace
