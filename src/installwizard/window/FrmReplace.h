#pragma once
// The question before an installed chart is replaced: Yes, Yes to all, No,
// Cancel. Closing the window counts as Cancel.

#include <QDialog>
#include <string>

#include "TextIds.h"

class QLabel;
class QPushButton;

class TFormReplace : public QDialog {
  Q_OBJECT
 public:
  TFormReplace(const std::string& Message, bool OfferAll, bool OfferCancel,
               QWidget* Parent = nullptr);

  QLabel* LabelMsg = nullptr;
  QLabel* ImageIcon = nullptr;
  QPushButton* ButtonYes = nullptr;
  QPushButton* ButtonAll = nullptr;
  QPushButton* ButtonNo = nullptr;
  QPushButton* ButtonCancel = nullptr;

 protected:
  void reject() override;

 private:
  QPushButton* AddButton(TTextId TextId, int Result);
};
