#include "QvLanguage.h"

#include <gtest/gtest.h>

#include "QvRegistry.h"
#include "TempDir.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

// The layer keeps global state; every test starts from the state at program
// start and leaves it so.
class QvLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }
  static void Reset() {
    SelectLanguage(LanguageEnglish);
    SetAvailableLanguages(LanguageBit(LanguageEnglish));
  }
};

TEST_F(QvLanguageTest, NamesOfTheEightLanguages) {
  struct Row {
    uint8_t Index;
    const char* Name;
    const char* Native;
  };
  const Row rows[] = {
      {0, "", ""},
      {1, "English", "English"},
      {2, "Dutch", "Nederlands"},
      {3, "German", "Deutsch"},
      {4, "French",
       "Fran\xC3\xA7"
       "ais"},
      {5, "Spanish", "Espa\xC3\xB1ol"},
      {6, "Italian", "Italiano"},
      {7, "Danish", "Dansk"},
      {8, "Swedish", "Svensk"},
      {9, "", ""},
      {255, "", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LanguageName(row.Index), row.Name) << int(row.Index);
    EXPECT_EQ(LanguageNativeName(row.Index), row.Native) << int(row.Index);
  }
}

TEST_F(QvLanguageTest, LanguageFromNameIgnoresCaseButNothingElse) {
  struct Row {
    const char* Name;
    uint8_t Index;
  };
  const Row rows[] = {
      {"English", 1}, {"english", 1},    {"DUTCH", 2},      {"German", 3},  {"gErMaN", 3},
      {"french", 4},  {"Spanish", 5},    {"ITALIAN", 6},    {"danish", 7},  {"Swedish", 8},
      {"", 0},        {"Deutsch", 0},    {"Nederlands", 0}, {"German ", 0}, {" Dutch", 0},
      {"Engl", 0},    {"Englishman", 0}, {"Klingon", 0},
  };
  for (const Row& row : rows) EXPECT_EQ(LanguageFromName(row.Name), row.Index) << row.Name;
  // Every stored name leads back to its own index.
  for (uint8_t i = 1; i <= LanguageCount; ++i) EXPECT_EQ(LanguageFromName(LanguageName(i)), i);
}

TEST_F(QvLanguageTest, SelectLanguageTakesAnyKnownIndexAndMakesOthersEnglish) {
  struct Row {
    uint8_t Asked;
    uint8_t Selected;
  };
  for (const Row row : {Row{0, 1}, Row{2, 2}, Row{5, 5}, Row{8, 8}, Row{9, 1}, Row{255, 1}}) {
    EXPECT_EQ(SelectLanguage(row.Asked), row.Selected) << int(row.Asked);
    EXPECT_EQ(LibraryLanguage(), row.Selected) << int(row.Asked);
  }
  // The offered set is not consulted.
  SetAvailableLanguages(ProgramLanguages);
  EXPECT_EQ(SelectLanguage(LanguageSwedish), LanguageSwedish);
}

TEST_F(QvLanguageTest, SetAvailableLanguages) {
  struct Row {
    TLanguageSet Before;
    uint8_t LanguageBefore;
    TLanguageSet Word;
    TLanguageSet Stored;
    uint8_t LanguageAfter;
  };
  const Row rows[] = {
      {0x0002, 1, 14, 14, 1},          // the program's three languages
      {0x0002, 1, 15, 14, 1},          // bit 0 is dropped
      {0x000E, 3, 0, 0x0002, 1},       // nothing offered means English
      {0x000E, 3, 1, 0x0002, 1},       // so does bit 0 alone
      {0x000E, 3, 12, 12, 3},          // the current language stays when offered
      {0x000E, 1, 12, 12, 2},          // else the lowest offered one is taken
      {0x000E, 1, 0x0110, 0x0110, 4},  // French and Swedish
      {0x000E, 3, 0xFE00, 0x0002, 1},  // bits beyond the eight languages mean nothing
      {0x000E, 3, 0x0408, 0x0008, 3}, {0x000E, 5, 14, 14, 5},  // an unchanged set changes nothing
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Word);
    SetAvailableLanguages(row.Before);
    SelectLanguage(row.LanguageBefore);
    SetAvailableLanguages(row.Word);
    EXPECT_EQ(AvailableLanguages(), row.Stored);
    EXPECT_EQ(LibraryLanguage(), row.LanguageAfter);
  }
}

TEST_F(QvLanguageTest, AvailableLanguageListIsAscending) {
  SetAvailableLanguages(0x0190);  // French, Danish, Swedish
  EXPECT_EQ(AvailableLanguageList(), (std::vector<uint8_t>{4, 7, 8}));
  EXPECT_TRUE(IsLanguageAvailable(7));
  EXPECT_FALSE(IsLanguageAvailable(1));
  EXPECT_FALSE(IsLanguageAvailable(0));
  EXPECT_FALSE(IsLanguageAvailable(9));
  SetAvailableLanguages(ProgramLanguages);
  EXPECT_EQ(AvailableLanguageList(), (std::vector<uint8_t>{1, 2, 3}));
}

TEST_F(QvLanguageTest, MessageBoxTextsFollowTheLibraryLanguage) {
  SelectLanguage(LanguageGerman);
  EXPECT_EQ(LocalizedString(LibraryTexts::CaptionWarning), "Warnung");
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonYes), "&Ja");
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonNo), "&Nein");
  EXPECT_EQ(LocalizedString(LibraryTexts::CaptionConfirm), "Best\xC3\xA4tigung");
  SelectLanguage(LanguageDutch);
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonNoToAll), "N&ee op alles");
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonCancel), "Annuleren");
  SelectLanguage(LanguageEnglish);
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonYesToAll), "Yes to &All");
  // Languages without entries show English.
  SelectLanguage(LanguageItalian);
  EXPECT_EQ(LocalizedString(LibraryTexts::CaptionError), "Error");
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonHelp), "&Help");
}

TEST_F(QvLanguageTest, EveryTableHasTheOfferedLanguagesAndFallsBackForTheRest) {
  const TLocalizedStrings* tables[] = {
      &LibraryTexts::CaptionWarning,     &LibraryTexts::CaptionError,
      &LibraryTexts::CaptionInformation, &LibraryTexts::CaptionConfirm,
      &LibraryTexts::ButtonYes,          &LibraryTexts::ButtonNo,
      &LibraryTexts::ButtonOK,           &LibraryTexts::ButtonCancel,
      &LibraryTexts::ButtonAbort,        &LibraryTexts::ButtonRetry,
      &LibraryTexts::ButtonIgnore,       &LibraryTexts::ButtonAll,
      &LibraryTexts::ButtonNoToAll,      &LibraryTexts::ButtonYesToAll,
      &LibraryTexts::ButtonHelp};
  for (const TLocalizedStrings* table : tables) {
    const std::string english = LocalizedString(*table, LanguageEnglish);
    EXPECT_FALSE(english.empty());
    for (uint8_t language : {LanguageDutch, LanguageGerman}) {
      EXPECT_STRNE((*table)[language - 1], nullptr);
      EXPECT_FALSE(LocalizedString(*table, language).empty());
    }
    for (uint8_t language : {0, 4, 5, 6, 7, 8, 9, 200})
      EXPECT_EQ(LocalizedString(*table, static_cast<uint8_t>(language)), english);
  }
  // An empty entry falls back like a missing one.
  const TLocalizedStrings partial = {"Shared", "", "Geteilt"};
  EXPECT_EQ(LocalizedString(partial, LanguageDutch), "Shared");
  EXPECT_EQ(LocalizedString(partial, LanguageGerman), "Geteilt");
}

// A scripted settings store and language dialog for the start-up choice.
struct StartupScript {
  StartupScript(std::string StoredName, std::optional<bool> Answer, uint8_t Pick)
      : Stored(std::move(StoredName)), DialogAnswer(Answer), DialogPick(Pick) {}

  std::string Stored;                // what the settings hold; empty: nothing stored
  std::optional<bool> DialogAnswer;  // unset: no dialog is supplied
  uint8_t DialogPick = 0;

  int Reads = 0;
  std::string DefaultAsked;
  int DialogShown = 0;
  uint8_t Preselected = 99;
  TLanguageSet DialogSet = 0;

  TLanguageChoice Run(TLanguageSet Available, uint8_t Default = LanguageEnglish) {
    TLanguageNameReader reader = [this](const std::string& DefaultName) {
      ++Reads;
      DefaultAsked = DefaultName;
      return Stored.empty() ? DefaultName : Stored;
    };
    TLanguageDialog dialog;
    if (DialogAnswer) {
      dialog = [this](TLanguageSet Set, uint8_t& Language) {
        ++DialogShown;
        Preselected = Language;
        DialogSet = Set;
        if (*DialogAnswer) Language = DialogPick;
        return *DialogAnswer;
      };
    }
    return DecideStartupLanguage(Available, Default, reader, dialog);
  }
};

TEST_F(QvLanguageTest, StartupWithOneLanguageNeitherReadsNorWrites) {
  StartupScript script{"German", true, 3};
  const TLanguageChoice choice = script.Run(LanguageBit(LanguageDutch), LanguageDutch);
  EXPECT_TRUE(choice.Accepted);
  EXPECT_EQ(choice.Language, LanguageDutch);
  EXPECT_FALSE(choice.StoreName);
  EXPECT_EQ(script.Reads, 0);
  EXPECT_EQ(script.DialogShown, 0);
}

TEST_F(QvLanguageTest, StartupChoice) {
  struct Row {
    const char* Case;
    const char* Stored;
    std::optional<bool> Answer;
    uint8_t Pick;
    // expected
    bool Accepted;
    uint8_t Language;
    const char* Name;
    int Dialogs;
    uint8_t Preselected;
  };
  const Row rows[] = {
      {"first run", "", true, 2, true, 1, "English", 0, 99},
      {"stored lower case", "english", true, 2, true, 1, "English", 0, 99},
      {"stored in capitals", "GERMAN", true, 1, true, 3, "German", 0, 99},
      {"Dutch", "Dutch", true, 1, true, 2, "Dutch", 0, 99},
      {"not offered", "french", true, 3, true, 3, "German", 1, 4},
      {"unknown name", "Klingon", true, 2, true, 2, "Dutch", 1, 0},
      {"own name is unknown", "Deutsch", true, 3, true, 3, "German", 1, 0},
      {"cancelled", "french", false, 0, false, 0, "", 1, 4},
      {"OK without a choice", "french", true, 0, true, 1, "English", 1, 4},
      {"OK with an unoffered choice", "french", true, 6, true, 1, "English", 1, 4},
      {"no dialog", "french", std::nullopt, 0, true, 1, "English", 0, 99},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.Case);
    StartupScript script{row.Stored, row.Answer, row.Pick};
    const TLanguageChoice choice = script.Run(ProgramLanguages);
    EXPECT_EQ(script.Reads, 1);
    EXPECT_EQ(script.DefaultAsked, "English");
    EXPECT_EQ(choice.Accepted, row.Accepted);
    EXPECT_EQ(choice.Language, row.Language);
    EXPECT_EQ(choice.StoreName, row.Accepted);
    EXPECT_EQ(choice.Name, row.Name);
    EXPECT_EQ(script.DialogShown, row.Dialogs);
    EXPECT_EQ(script.Preselected, row.Preselected);
    if (row.Dialogs > 0) {
      EXPECT_EQ(script.DialogSet, ProgramLanguages);
    }
  }
}

TEST_F(QvLanguageTest, StartupFallsBackToTheLowestOfferedWhenTheDefaultIsNotOffered) {
  StartupScript script{"Klingon", std::nullopt, 0};
  const TLanguageChoice choice =
      script.Run(LanguageBit(LanguageDutch) | LanguageBit(LanguageGerman));
  EXPECT_TRUE(choice.Accepted);
  EXPECT_EQ(choice.Language, LanguageDutch);
  EXPECT_EQ(choice.Name, "Dutch");
}

TEST_F(QvLanguageTest, DialogButtonsInTheChosenLanguage) {
  // The language dialog labels its buttons in the language the user points at,
  // English while nothing is chosen.
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonCancel, 0), "Cancel");
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonOK, LanguageGerman), "OK");
  EXPECT_EQ(LocalizedString(LibraryTexts::ButtonCancel, LanguageGerman), "Abbrechen");
  EXPECT_EQ(LibraryLanguage(), LanguageEnglish);  // untouched by the lookups
}

// The choice against real settings hives in a folder of the test's own.
class StartupSettingsTest : public QvLanguageTest {
 protected:
  void SetUp() override {
    QvLanguageTest::SetUp();
    const char* home = std::getenv("ZARNAVIS_HOME");
    if (home != nullptr) FSavedHome = home;
    ::setenv("ZARNAVIS_HOME", FHome.Path().c_str(), 1);
    SetRegistryKeyNames("ZRN", "2003");
    SetAvailableLanguages(ProgramLanguages);
  }
  void TearDown() override {
    if (FSavedHome) {
      ::setenv("ZARNAVIS_HOME", FSavedHome->c_str(), 1);
    } else {
      ::unsetenv("ZARNAVIS_HOME");
    }
    QvLanguageTest::TearDown();
  }
  static std::string Stored() { return RegReadString(rkUser, "International", "Language", "-"); }

  TempDir FHome;
  std::optional<std::string> FSavedHome;
  int FDialogs = 0;
  TLanguageDialog Dialog(bool Answer, uint8_t Pick) {
    return [this, Answer, Pick](TLanguageSet, uint8_t& Language) {
      ++FDialogs;
      if (Answer) Language = Pick;
      return Answer;
    };
  }
};

TEST_F(StartupSettingsTest, FirstRunStoresEnglishWithoutAsking) {
  ASSERT_EQ(Stored(), "-");
  EXPECT_TRUE(ChooseStartupLanguage(LanguageEnglish, Dialog(true, LanguageGerman)));
  EXPECT_EQ(FDialogs, 0);
  EXPECT_EQ(LibraryLanguage(), LanguageEnglish);
  EXPECT_EQ(Stored(), "English");
}

TEST_F(StartupSettingsTest, StoredNameIsWrittenBackInItsCanonicalForm) {
  RegWriteString(rkUser, "International", "Language", "GERMAN");
  EXPECT_TRUE(ChooseStartupLanguage(LanguageEnglish, Dialog(false, 0)));
  EXPECT_EQ(LibraryLanguage(), LanguageGerman);
  EXPECT_EQ(Stored(), "German");
}

TEST_F(StartupSettingsTest, UnofferedLanguageAsksAndStoresTheAnswer) {
  RegWriteString(rkUser, "International", "Language", "french");
  EXPECT_TRUE(ChooseStartupLanguage(LanguageEnglish, Dialog(true, LanguageDutch)));
  EXPECT_EQ(FDialogs, 1);
  EXPECT_EQ(LibraryLanguage(), LanguageDutch);
  EXPECT_EQ(Stored(), "Dutch");
}

TEST_F(StartupSettingsTest, CancelledDialogChangesNothing) {
  RegWriteString(rkUser, "International", "Language", "french");
  SelectLanguage(LanguageGerman);
  EXPECT_FALSE(ChooseStartupLanguage(LanguageEnglish, Dialog(false, 0)));
  EXPECT_EQ(LibraryLanguage(), LanguageGerman);
  EXPECT_EQ(Stored(), "french");
}

TEST_F(StartupSettingsTest, SingleLanguageLeavesTheSettingsAlone) {
  SetAvailableLanguages(LanguageBit(LanguageEnglish));
  EXPECT_TRUE(ChooseStartupLanguage(LanguageEnglish, Dialog(true, LanguageGerman)));
  EXPECT_EQ(Stored(), "-");
  EXPECT_EQ(FDialogs, 0);
}

}  // namespace
