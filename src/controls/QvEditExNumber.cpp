#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <algorithm>

#include "FloatFormat.h"
#include "QvEditEx.h"

namespace {

std::string DecimalSeparator() {
  return QLocale().decimalPoint().toStdString();
}

QString BinaryText(int64_t Value, int MinDigits) {
  // The low 32 bits, most significant first.
  const uint32_t bits = static_cast<uint32_t>(static_cast<uint64_t>(Value));
  QString text = QString::number(bits, 2);
  const int digits = std::clamp(MinDigits, 1, 32);
  if (text.size() < digits) text.prepend(QString(digits - text.size(), QLatin1Char('0')));
  return text;
}

QString HexText(int64_t Value, int MinDigits) {
  QString text = QString::number(static_cast<uint64_t>(Value), 16).toUpper();
  if (text.size() < MinDigits) text.prepend(QString(MinDigits - text.size(), QLatin1Char('0')));
  return text;
}

// Binary text as the two's complement of 32 bits, so that what the control
// shows for a negative number reads back as the same number.
std::optional<long double> ParseBinary(const QString& Text) {
  if (Text.isEmpty()) return 0.0L;
  // "Binary value is too large" / "Value is not binary": the text is not
  // taken, the value stays as it was.
  if (Text.size() > 32) return std::nullopt;
  uint32_t bits = 0;
  for (QChar c : Text) {
    if (c != QLatin1Char('0') && c != QLatin1Char('1')) return std::nullopt;
    bits = (bits << 1) | (c == QLatin1Char('1') ? 1u : 0u);
  }
  return static_cast<long double>(static_cast<int32_t>(bits));
}

std::optional<long double> FromInt(std::optional<int64_t> Value) {
  if (!Value) return std::nullopt;
  return static_cast<long double>(*Value);
}

}  // namespace

TNumberEdit::TNumberEdit(QWidget* Parent) : TCustomEditEx(Parent) {
  SetAlignment(TAlignment::taRightJustify);
  SetMaxLength(32);
  resize(121, height());
  TextFromValue();
}

void TNumberEdit::SetEditType(TNumberEditType Value) {
  ValueFromText();
  FEditType = Value;
  SetValue(FValue);
}

void TNumberEdit::SetValue(long double Value) {
  FValue = Clamp(Value);
  TextFromValue();
}

int64_t TNumberEdit::IntValue() const {
  return RoundToInt64(FValue);
}

void TNumberEdit::SetIntValue(int64_t Value) {
  FValue = static_cast<long double>(Value);
  TextFromValue();
}

void TNumberEdit::SetMin(long double Value) {
  if (Value == FMin) return;
  FMin = Value;
  if (FMax < FMin) FMax = FMin;
  SetValue(FValue);
}

void TNumberEdit::SetMax(long double Value) {
  if (Value == FMax) return;
  FMax = Value;
  if (FMin > FMax) FMin = FMax;
  SetValue(FValue);
}

void TNumberEdit::SetDigits(int Value) {
  FDigits = std::max(0, Value);
  TextFromValue();
}

void TNumberEdit::SetPrecision(int Value) {
  FPrecision = Value;
  TextFromValue();
}

long double TNumberEdit::Clamp(long double Value) const {
  if (Value < FMin) return FMin;
  if (Value > FMax) return FMax;
  return Value;
}

QString TNumberEdit::FormatValue() const {
  switch (FEditType) {
    case TNumberEditType::etIntBinary:
      return BinaryText(IntValue(), FDigits);
    case TNumberEditType::etIntDecimal:
      return QString::number(IntValue());
    case TNumberEditType::etIntHex:
      return HexText(IntValue(), FDigits);
    case TNumberEditType::etFloatGeneral:
      return QString::fromStdString(
          FloatToStrF(FValue, TFloatFormat::ffGeneral, FPrecision, FDigits, DecimalSeparator()));
    case TNumberEditType::etFloatFixed:
      return QString::fromStdString(
          FloatToStrF(FValue, TFloatFormat::ffFixed, FPrecision, FDigits, DecimalSeparator()));
    case TNumberEditType::etFloatExponent:
      return QString::fromStdString(
          FloatToStrF(FValue, TFloatFormat::ffExponent, FPrecision, FDigits, DecimalSeparator()));
  }
  return QString();
}

std::optional<long double> TNumberEdit::ParseText(const QString& Text) const {
  switch (FEditType) {
    case TNumberEditType::etIntBinary:
      return ParseBinary(Text);
    case TNumberEditType::etIntDecimal:
      return FromInt(StrToInt64(Text.toStdString()));
    case TNumberEditType::etIntHex: {
      // The key filter lets "$" through, so a typed "$FF" means FF too.
      QString digits = Text.startsWith(QLatin1Char('$')) ? Text.mid(1) : Text;
      return FromInt(StrToInt64("$" + digits.toStdString()));
    }
    case TNumberEditType::etFloatGeneral:
    case TNumberEditType::etFloatFixed:
    case TNumberEditType::etFloatExponent:
      return StrToFloat(Text.toStdString(), DecimalSeparator());
  }
  return std::nullopt;
}

bool TNumberEdit::AcceptsChar(QChar C) const {
  C = C.toUpper();
  if (C == QLatin1Char('\b') || C == QLatin1Char('\r')) return true;
  const ushort u = C.unicode();
  const bool digit = u >= '0' && u <= '9';
  switch (FEditType) {
    case TNumberEditType::etIntBinary:
      return u == '0' || u == '1';
    case TNumberEditType::etIntDecimal:
      return digit || u == '-';
    case TNumberEditType::etIntHex:
      return digit || u == '$' || (u >= 'A' && u <= 'F');
    case TNumberEditType::etFloatGeneral:
    case TNumberEditType::etFloatFixed:
    case TNumberEditType::etFloatExponent:
      return digit || u == '+' || u == '-' || u == 'E' || QLocale().decimalPoint() == QString(C);
  }
  return false;
}

void TNumberEdit::ValueFromText() {
  if (std::optional<long double> parsed = ParseText(text())) FValue = Clamp(*parsed);
}

void TNumberEdit::TextFromValue() {
  FWritingText = true;
  setText(FormatValue());
  FWritingText = false;
}

void TNumberEdit::DoChange() {
  // The value follows the typed text; the text itself stays as typed.
  if (!FWritingText) ValueFromText();
  TCustomEditEx::DoChange();
}

void TNumberEdit::keyPressEvent(QKeyEvent* Event) {
  const QString typed = Event->text();
  // Keys without a character (arrows, Home) edit as usual; so does Delete,
  // which X11 reports with the DEL character as its text.
  if (typed.isEmpty() || Event->key() == Qt::Key_Delete) return TCustomEditEx::keyPressEvent(Event);
  // Clipboard, undo and selection shortcuts still work; the value follows
  // what they insert and falls back to the last good one on exit.
  if (Event->modifiers() & Qt::ControlModifier) return TCustomEditEx::keyPressEvent(Event);
  const QChar first = typed.front();
  if ((first.unicode() < 0x20 || first.unicode() == 0x7f) && !AcceptsChar(first)) {
    // Escape and the like are left to the dialog.
    Event->ignore();
    return;
  }
  QString allowed;
  for (QChar c : typed)
    if (AcceptsChar(c)) allowed += c.toUpper();
  if (allowed.isEmpty()) {
    Event->accept();
    return;
  }
  if (allowed == typed) return TCustomEditEx::keyPressEvent(Event);
  QKeyEvent upper(Event->type(), Event->key(), Event->modifiers(), allowed, Event->isAutoRepeat(),
                  Event->count());
  TCustomEditEx::keyPressEvent(&upper);
  Event->setAccepted(upper.isAccepted());
}

void TNumberEdit::focusOutEvent(QFocusEvent* Event) {
  TCustomEditEx::focusOutEvent(Event);
  // Leaving the control (not merely switching windows) shows the canonical
  // text: an out-of-range entry as its bound, an unreadable one as the last
  // good value.
  if (Event->reason() == Qt::ActiveWindowFocusReason || Event->reason() == Qt::PopupFocusReason)
    return;
  ValueFromText();
  TextFromValue();
}
