#include <QApplication>
#include <QFocusEvent>
#include <QValidator>

#include "QvEditEx.h"

namespace {

// Lets every text through, turned to the edit's character case, so typed
// and pasted letters arrive converted.
class TCharCaseValidator : public QValidator {
 public:
  TCharCaseValidator(TEditCharCase CharCase, QObject* Parent)
      : QValidator(Parent), FCharCase(CharCase) {}
  State validate(QString& Input, int&) const override {
    Input = FCharCase == TEditCharCase::ecUpperCase ? Input.toUpper() : Input.toLower();
    return Acceptable;
  }

 private:
  TEditCharCase FCharCase;
};

Qt::Alignment ToQtAlignment(TAlignment Value) {
  switch (Value) {
    case TAlignment::taRightJustify:
      return Qt::AlignRight | Qt::AlignVCenter;
    case TAlignment::taCenter:
      return Qt::AlignHCenter | Qt::AlignVCenter;
    case TAlignment::taLeftJustify:
      break;
  }
  return Qt::AlignLeft | Qt::AlignVCenter;
}

// Qt's own "no limit" for a line edit.
constexpr int kUnlimitedLength = 32767;

}  // namespace

TCustomEditEx::TCustomEditEx(QWidget* Parent) : QLineEdit(Parent) {
  resize(121, 25);
  AdjustHeight();
  connect(this, &QLineEdit::textChanged, this, [this] { DoChange(); });
}

void TCustomEditEx::SetAlignment(TAlignment Value) {
  FAlignment = Value;
  setAlignment(ToQtAlignment(Value));
}

void TCustomEditEx::SetAutoSize(bool Value) {
  FAutoSize = Value;
  AdjustHeight();
}

void TCustomEditEx::SetBorderStyle(TBorderStyle Value) {
  FBorderStyle = Value;
  setFrame(Value == TBorderStyle::bsSingle);
  AdjustHeight();
}

void TCustomEditEx::SetCharCase(TEditCharCase Value) {
  if (Value == FCharCase) return;
  FCharCase = Value;
  // Only the edit's own case validator is replaced; one set by a caller stays.
  if (validator() == FCaseValidator) setValidator(nullptr);
  delete FCaseValidator;
  FCaseValidator = nullptr;
  if (Value != TEditCharCase::ecNormal) {
    FCaseValidator = new TCharCaseValidator(Value, this);
    setValidator(FCaseValidator);
  }
  // The text already there takes the new case as well.
  const bool modified = isModified();
  SetText(text());
  setModified(modified);
}

void TCustomEditEx::SetMaxLength(int Value) {
  FMaxLength = Value < 0 ? 0 : Value;
  setMaxLength(FMaxLength == 0 ? kUnlimitedLength : FMaxLength);
}

void TCustomEditEx::SetText(const QString& Value) {
  const QString converted = ApplyCharCase(Value);
  if (converted != text()) setText(converted);
}

QString TCustomEditEx::ApplyCharCase(const QString& Value) const {
  switch (FCharCase) {
    case TEditCharCase::ecUpperCase:
      return Value.toUpper();
    case TEditCharCase::ecLowerCase:
      return Value.toLower();
    case TEditCharCase::ecNormal:
      break;
  }
  return Value;
}

void TCustomEditEx::DoChange() {
  emit Change();
}

void TCustomEditEx::focusInEvent(QFocusEvent* Event) {
  QLineEdit::focusInEvent(Event);
  // A click places the caret itself; every other way in selects the text.
  const bool byMouse = QApplication::mouseButtons() & Qt::LeftButton;
  if (FAutoSelect && !byMouse)
    selectAll();
  else if (!FAutoSelect && hasSelectedText() && !byMouse)
    deselect();
}

void TCustomEditEx::focusOutEvent(QFocusEvent* Event) {
  const int start = selectionStart();
  const int length = selectedText().size();
  QLineEdit::focusOutEvent(Event);
  if (!FHideSelection && start >= 0 && !hasSelectedText()) setSelection(start, length);
}

void TCustomEditEx::changeEvent(QEvent* Event) {
  QLineEdit::changeEvent(Event);
  if (Event->type() == QEvent::FontChange) AdjustHeight();
}

void TCustomEditEx::AdjustHeight() {
  if (FAutoSize && FBorderStyle == TBorderStyle::bsSingle) resize(width(), sizeHint().height());
}
