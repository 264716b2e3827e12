#include <gtest/gtest.h>

#include "AppNotify.h"
#include "Exception.h"
#include "LauncherFixture.h"
#include "QvLanguage.h"
#include "QvRegistry.h"

TEST(Version, PackingAndText) {
  struct Row {
    uint8_t a, b, c, d;
    uint32_t packed;
    std::string four, three, one;
  };
  const Row rows[] = {
      {2, 6, 0, 0, 33947648u, "2.6.0.0", "2.6.0", "2"},
      {1, 2, 3, 4, 0x01020304u, "1.2.3.4", "1.2.3", "1"},
      {255, 0, 255, 1, 0xFF00FF01u, "255.0.255.1", "255.0.255", "255"},
      {0, 0, 0, 0, 0u, "0.0.0.0", "0.0.0", "0"},
  };
  for (const Row& r : rows) {
    const uint32_t v = MakeVersion(r.a, r.b, r.c, r.d);
    EXPECT_EQ(v, r.packed);
    EXPECT_EQ(VersionToStr(v, 4), r.four);
    EXPECT_EQ(VersionToStr(v, 3), r.three);
    EXPECT_EQ(VersionToStr(v, 1), r.one);
  }
}

TEST(Version, OnlyTheFirstParameterIsTheSwitch) {
  struct Row {
    std::vector<std::string> params;
    bool isSwitch;
  };
  const Row rows[] = {
      {{"-d"}, true},   {{"-D"}, true}, {{"-d", "x"}, true}, {{"x", "-d"}, false},   {{}, false},
      {{"-dd"}, false}, {{"d"}, false}, {{"/d"}, false},     {{"--version"}, false},
  };
  for (const Row& r : rows)
    EXPECT_EQ(IsVersionSwitch(r.params), r.isSwitch) << (r.params.empty() ? "" : r.params[0]);
}

TEST_F(LauncherTest, VersionSwitchEndsBeforeAnythingElse) {
  TProgInfoEnvironment env;
  env.Parameters = {"-D"};
  bool asked = false;
  env.ChooseLanguage = [&] { return asked = true; };
  int exitCode = 0;
  EXPECT_FALSE(InitProgInfo(ProgramParams(), env, exitCode));
  EXPECT_EQ(exitCode, 33947648);
  EXPECT_EQ(ProgInfo(), nullptr);
  EXPECT_FALSE(asked);
  EXPECT_TRUE(FBoxes.Shown().empty());
}

TEST_F(LauncherTest, StartUpSetsFolderLanguagesAndHandler) {
  SetAvailableLanguages(2);
  InitProgram();
  ASSERT_NE(ProgInfo(), nullptr);
  EXPECT_EQ(ProgInfo()->ProgramFolder(), ProgramFolder());
  EXPECT_EQ(ProgInfo()->VersionText(), "Zarnavis 2.6.0.0");
  EXPECT_EQ(ProgInfo()->ReleaseDate(), QDate(2003, 5, 1));
  EXPECT_EQ(AvailableLanguages(), ProgramLanguages);
  EXPECT_EQ(RegistryKeyPath(""), "\\Software\\Quorvel\\ZRN\\2003");
}

TEST_F(LauncherTest, NoTimerShowsTheErrorAndEnds) {
  TProgInfoEnvironment env;
  env.ExecutablePath = FDir.Path() + "/zarnavis";
  env.ChooseLanguage = [] { return true; };
  env.HighResolutionTimer = [] { return false; };
  FBoxes.ReplyResult(mrOk);
  int exitCode = -1;
  EXPECT_FALSE(InitProgInfo(ProgramParams(), env, exitCode));
  EXPECT_EQ(exitCode, 0);
  ASSERT_EQ(FBoxes.Shown().size(), 1u);
  EXPECT_EQ(FBoxes.Shown()[0].Message, "High resolution timer not available.");
  EXPECT_EQ(FBoxes.Shown()[0].Type, mtError);
  EXPECT_EQ(FBoxes.Shown()[0].Buttons, TMsgDlgButtons({mbOK}));
  EXPECT_TRUE(HighResolutionTimerAvailable());
}

TEST_F(LauncherTest, CancelledLanguageChoiceEndsWithoutAMessage) {
  TProgInfoEnvironment env;
  env.ExecutablePath = FDir.Path() + "/zarnavis";
  env.ChooseLanguage = [] { return false; };
  bool timerAsked = false;
  env.HighResolutionTimer = [&] { return timerAsked = true; };
  int exitCode = -1;
  EXPECT_FALSE(InitProgInfo(ProgramParams(), env, exitCode));
  EXPECT_EQ(exitCode, 0);
  EXPECT_FALSE(timerAsked);
  EXPECT_TRUE(FBoxes.Shown().empty());
}

TEST_F(LauncherTest, ProgramInformationPutsThePreviousHandlerBack) {
  int before = 0;
  TExceptionHandler original =
      SetApplicationExceptionHandler([&](QObject*, const TExceptionInfo&) { ++before; });
  InitProgram();
  DoneProgInfo();
  HandleApplicationException(nullptr, std::make_exception_ptr(EOSError("x")));
  EXPECT_EQ(before, 1);
  SetApplicationExceptionHandler(std::move(original));
}
