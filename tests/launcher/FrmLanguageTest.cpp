#include <gtest/gtest.h>

#include <QListWidget>
#include <QPushButton>

#include "FrmLanguage.h"
#include "LauncherFixture.h"
#include "QvLanguage.h"
#include "QvRegistry.h"

namespace {

std::string StoredLanguage() {
  return RegReadString(rkUser, "International", "Language", "<none>");
}

struct DialogState {
  bool shown = false;
  int selectedCount = -1;
  bool okEnabled = true;
  std::string ok, cancel, caption;
  std::vector<std::string> items;
};

DialogState Inspect(TFormLanguage& form) {
  DialogState s;
  s.shown = true;
  s.selectedCount = static_cast<int>(form.ListViewLanguage->selectedItems().size());
  s.okEnabled = form.ButtonOK->isEnabled();
  s.ok = form.ButtonOK->text().toStdString();
  s.cancel = form.ButtonCancel->text().toStdString();
  s.caption = form.windowTitle().toStdString();
  for (int i = 0; i < form.ListViewLanguage->count(); ++i)
    s.items.push_back(form.ListViewLanguage->item(i)->text().toStdString());
  return s;
}

}  // namespace

TEST_F(LauncherTest, FirstRunChoosesEnglishWithoutDialog) {
  EXPECT_TRUE(ChooseStartupLanguage(1, ExecuteLanguageDialog));
  EXPECT_EQ(FDialogs, 0);
  EXPECT_EQ(LibraryLanguage(), 1);
  EXPECT_EQ(StoredLanguage(), "English");
}

TEST_F(LauncherTest, StoredNamesInAnyCaseAreAcceptedAndWrittenCanonically) {
  struct Row {
    std::string stored;
    uint8_t language;
    std::string written;
  };
  const Row rows[] = {
      {"GERMAN", 3, "German"},
      {"english", 1, "English"},
      {"Dutch", 2, "Dutch"},
      {"dUtCh", 2, "Dutch"},
  };
  for (const Row& r : rows) {
    RegWriteString(rkUser, "International", "Language", r.stored);
    EXPECT_TRUE(ChooseStartupLanguage(1, ExecuteLanguageDialog)) << r.stored;
    EXPECT_EQ(LibraryLanguage(), r.language) << r.stored;
    EXPECT_EQ(StoredLanguage(), r.written);
  }
  EXPECT_EQ(FDialogs, 0);
}

TEST_F(LauncherTest, LanguageNotOfferedShowsTheDialogAndCancelEnds) {
  InitProgram();
  RegWriteString(rkUser, "International", "Language", "FRENCH");
  DialogState state;
  AnswerDialogs([&](QDialog& d) {
    auto* form = qobject_cast<TFormLanguage*>(&d);
    if (form) state = Inspect(*form);
    return static_cast<int>(mrCancel);
  });
  EXPECT_FALSE(ChooseStartupLanguage(1, ExecuteLanguageDialog));
  EXPECT_TRUE(state.shown);
  EXPECT_EQ(state.selectedCount, 0);
  EXPECT_FALSE(state.okEnabled);
  EXPECT_EQ(state.ok, "OK");
  EXPECT_EQ(state.cancel, "Cancel");
  EXPECT_EQ(state.caption, "Zarnavis");
  EXPECT_EQ(state.items, (std::vector<std::string>{"English", "Nederlands", "Deutsch"}));
  EXPECT_EQ(StoredLanguage(), "FRENCH");
  EXPECT_TRUE(FBoxes.Shown().empty());
}

TEST_F(LauncherTest, ChoosingDeutschInTheDialogSelectsAndStoresGerman) {
  RegWriteString(rkUser, "International", "Language", "Klingon");
  DialogState afterSelect;
  AnswerDialogs([&](QDialog& d) {
    auto* form = qobject_cast<TFormLanguage*>(&d);
    if (!form) return 0;
    form->SelectRow(2);
    afterSelect = Inspect(*form);
    form->ButtonOK->click();
    return form->result();
  });
  EXPECT_TRUE(ChooseStartupLanguage(1, ExecuteLanguageDialog));
  EXPECT_EQ(afterSelect.cancel, "Abbrechen");
  EXPECT_EQ(afterSelect.ok, "OK");
  EXPECT_TRUE(afterSelect.okEnabled);
  EXPECT_EQ(LibraryLanguage(), 3);
  EXPECT_EQ(StoredLanguage(), "German");
}

TEST_F(LauncherTest, LanguageDialogLayoutAndSelectionFollowsTheList) {
  TFormLanguage form(ProgramLanguages, "Zarnavis");
  EXPECT_EQ(form.size(), QSize(402, 280));
  EXPECT_EQ(form.ListViewLanguage->geometry(), QRect(6, 12, 389, 219));
  EXPECT_EQ(form.ShapePanelLanguage->geometry(), QRect(5, 5, 391, 235));
  EXPECT_EQ(form.ButtonOK->geometry(), QRect(220, 248, 75, 25));
  EXPECT_EQ(form.ButtonCancel->geometry(), QRect(304, 248, 75, 25));
  EXPECT_TRUE(form.ButtonOK->isDefault());
  form.Preselect(2);
  EXPECT_EQ(form.Language(), 2);
  EXPECT_EQ(form.ButtonCancel->text().toStdString(), "Annuleren");
  form.Preselect(4);  // not in the list
  EXPECT_EQ(form.Language(), 0);
  EXPECT_FALSE(form.ButtonOK->isEnabled());
  EXPECT_EQ(form.ButtonCancel->text().toStdString(), "Cancel");
  // A click on an item changes the choice like a selection does.
  form.ListViewLanguage->setCurrentRow(0);
  EXPECT_EQ(form.Language(), 1);
  EXPECT_TRUE(form.ButtonOK->isEnabled());
}

TEST_F(LauncherTest, SingleOfferedLanguageNeitherReadsNorWrites) {
  SetAvailableLanguages(2);  // English only
  RegWriteString(rkUser, "International", "Language", "Dutch");
  EXPECT_TRUE(ChooseStartupLanguage(1, ExecuteLanguageDialog));
  EXPECT_EQ(LibraryLanguage(), 1);
  EXPECT_EQ(StoredLanguage(), "Dutch");
  EXPECT_EQ(FDialogs, 0);
}
