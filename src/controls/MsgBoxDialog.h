#pragma once
// The window of a message box, laid out by ComputeMsgBoxLayout.

#include <QDialog>
#include <vector>

#include "MsgBoxHook.h"
#include "MsgBoxLayout.h"

class QPushButton;
class QLabel;

class TMsgBoxDialog : public QDialog {
  Q_OBJECT

 public:
  TMsgBoxDialog(const std::string& caption, const std::string& message, TMsgDlgType type,
                TMsgDlgButtons buttons, int helpContext);

  const TMsgBoxRequest& Request() const { return FRequest; }
  const TMsgBoxLayout& Layout() const { return FLayout; }
  QLabel* MessageLabel() const { return FLabel; }
  QPushButton* Button(TMsgDlgBtn b) const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  void ButtonClick(TMsgDlgBtn button);

  TMsgBoxRequest FRequest;
  TMsgBoxLayout FLayout;
  QLabel* FLabel = nullptr;
  std::vector<std::pair<TMsgDlgBtn, QPushButton*>> FButtons;
  int FHelpContext = 0;
};
