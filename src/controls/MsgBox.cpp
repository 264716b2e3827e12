#include "MsgBox.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>

#include "MsgBoxDialog.h"
#include "MsgBoxHook.h"

namespace {

TMsgBoxHook& Hook() {
  static TMsgBoxHook hook;
  return hook;
}

int Run(const std::string& caption, const std::string& message, TMsgDlgType type,
        TMsgDlgButtons buttons, int helpContext) {
  TMsgBoxDialog box(caption, message, type, buttons, helpContext);
  if (Hook()) return Hook()(box.Request(), box);
  box.setModal(true);
  return box.exec();
}

}  // namespace

int ShowMsgBox(const std::string& message, TMsgDlgType type, TMsgDlgButtons buttons,
               int helpContext) {
  return Run(MsgTypeCaption(type), message, type, buttons, helpContext);
}

int ShowMsgBoxCaption(const std::string& caption, const std::string& message, TMsgDlgType type,
                      TMsgDlgButtons buttons, int helpContext) {
  return Run(caption, message, type, buttons, helpContext);
}

TMsgBoxHook SetMsgBoxHook(TMsgBoxHook hook) {
  TMsgBoxHook previous = std::move(Hook());
  Hook() = std::move(hook);
  return previous;
}

int MsgBoxPressKey(QDialog& box, int qtKey) {
  box.setResult(mrNone);
  box.show();
  QWidget* target = box.focusWidget() ? box.focusWidget() : &box;
  QKeyEvent press(QEvent::KeyPress, qtKey, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, qtKey, Qt::NoModifier);
  if (box.isVisible()) QApplication::sendEvent(target, &release);
  box.hide();
  return box.result();
}

int MsgBoxClick(QDialog& box, const std::string& caption) {
  box.setResult(mrNone);
  for (QPushButton* button : box.findChildren<QPushButton*>()) {
    if (button->text().toStdString() == caption) {
      button->click();
      return box.result();
    }
  }
  return mrNone;
}

TMsgBoxRecorder::TMsgBoxRecorder() {
  FPrevious = SetMsgBoxHook(
      [this](const TMsgBoxRequest& request, QDialog& box) { return Answer(request, box); });
}

TMsgBoxRecorder::~TMsgBoxRecorder() {
  SetMsgBoxHook(std::move(FPrevious));
}

int TMsgBoxRecorder::Answer(const TMsgBoxRequest& request, QDialog& box) {
  FShown.push_back(request);
  int result;
  if (FReplies.empty()) {
    ++FUnexpected;
    result = request.CancelResult != mrNone ? request.CancelResult : mrCancel;
  } else {
    TMsgBoxReply reply = std::move(FReplies.front());
    FReplies.pop_front();
    switch (reply.Kind) {
      case TMsgBoxReply::Key:
        result = MsgBoxPressKey(box, reply.Value);
        break;
      case TMsgBoxReply::Click:
        result = MsgBoxClick(box, reply.Caption);
        break;
      default:
        result = reply.Value;
        break;
    }
  }
  FResults.push_back(result);
  return result;
}
