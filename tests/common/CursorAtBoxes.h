#pragma once
// The cursor every message box is shown with, for as long as it lives; the
// boxes are answered by the hook that was there before.

#include <QApplication>
#include <QCursor>
#include <vector>

#include "MsgBoxHook.h"

class TCursorAtBoxes {
 public:
  TCursorAtBoxes() : FAnswer(SetMsgBoxHook({})) {
    SetMsgBoxHook([this](const TMsgBoxRequest& Request, QDialog& Box) {
      const QCursor* cursor = QApplication::overrideCursor();
      Shapes.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
      return FAnswer(Request, Box);
    });
  }
  ~TCursorAtBoxes() { SetMsgBoxHook(FAnswer); }
  TCursorAtBoxes(const TCursorAtBoxes&) = delete;
  TCursorAtBoxes& operator=(const TCursorAtBoxes&) = delete;

  std::vector<Qt::CursorShape> Shapes;

 private:
  TMsgBoxHook FAnswer;
};
