#pragma once
// The language dialog: the offered languages with their flags; OK is enabled
// only while a language is chosen, and the two buttons speak the chosen
// language.

#include <QDialog>
#include <cstdint>

#include "QvLanguage.h"

class QFrame;
class QListWidget;
class QPushButton;

class TFormLanguage : public QDialog {
  Q_OBJECT

 public:
  TFormLanguage(TLanguageSet available, const std::string& caption, QWidget* parent = nullptr);

  // Selects the item of the language and scrolls it into view; with no such
  // item nothing is selected and the chosen language is 0.
  void Preselect(uint8_t language);
  // The chosen language, 0 when nothing is selected.
  uint8_t Language() const { return FLanguage; }
  // Selects the item at a row as a user's click does (-1: none).
  void SelectRow(int row);

  QFrame* ShapePanelLanguage = nullptr;
  QListWidget* ListViewLanguage = nullptr;
  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;

 private:
  void ListViewLanguageChange();
  void UpdateButtons();

  uint8_t FLanguage = 0;
};

// Shows the dialog modally with language preselected; on OK returns true and
// the chosen index in language. The caption is the program's description.
bool ExecuteLanguageDialog(TLanguageSet available, uint8_t& language);

// The flag of a library language (1 to 8), 32 x 32.
QIcon LanguageFlag(uint8_t language);
