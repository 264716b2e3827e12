#pragma once
// Single-line edit controls of the forms: TCustomEditEx, an edit box with
// alignment, character case and selection behaviour of its own, and
// TNumberEdit on it, which holds a number in one of six display formats,
// filters the keys typed, keeps the value in range and rewrites the text in
// its canonical form when the user leaves the control.

#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QValidator>
#include <cstdint>
#include <optional>

#include "ControlTypes.h"

enum class TEditCharCase { ecNormal, ecUpperCase, ecLowerCase };

class TCustomEditEx : public QLineEdit {
  Q_OBJECT

 public:
  explicit TCustomEditEx(QWidget* Parent = nullptr);

  TAlignment Alignment() const { return FAlignment; }
  void SetAlignment(TAlignment Value);
  bool AutoSelect() const { return FAutoSelect; }
  void SetAutoSelect(bool Value) { FAutoSelect = Value; }
  // With a single border the height follows the font.
  bool AutoSize() const { return FAutoSize; }
  void SetAutoSize(bool Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);
  TEditCharCase CharCase() const { return FCharCase; }
  void SetCharCase(TEditCharCase Value);
  // False keeps the selection when the control loses the focus.
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value) { FHideSelection = Value; }
  // 0 means no limit.
  int MaxLength() const { return FMaxLength; }
  void SetMaxLength(int Value);
  // Kept for form descriptions; text is Unicode throughout here, so there is
  // no OEM character set to round-trip through.
  bool OEMConvert() const { return FOEMConvert; }
  void SetOEMConvert(bool Value) { FOEMConvert = Value; }
  bool ReadOnly() const { return isReadOnly(); }
  void SetReadOnly(bool Value) { setReadOnly(Value); }
  QString Text() const { return text(); }
  // Sets the text with the character case applied.
  void SetText(const QString& Value);

 signals:
  // Every change of the text, typed or set.
  void Change();

 protected:
  // Called on every text change; emits Change.
  virtual void DoChange();
  void focusInEvent(QFocusEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;
  void changeEvent(QEvent* Event) override;

 private:
  void AdjustHeight();
  QString ApplyCharCase(const QString& Value) const;

  TAlignment FAlignment = TAlignment::taLeftJustify;
  bool FAutoSelect = true;
  bool FAutoSize = true;
  TBorderStyle FBorderStyle = TBorderStyle::bsSingle;
  TEditCharCase FCharCase = TEditCharCase::ecNormal;
  bool FHideSelection = true;
  int FMaxLength = 0;
  bool FOEMConvert = false;
  QPointer<QValidator> FCaseValidator;
};

enum class TNumberEditType {
  etIntBinary,
  etIntDecimal,
  etIntHex,
  etFloatGeneral,
  etFloatFixed,
  etFloatExponent
};

class TNumberEdit : public TCustomEditEx {
  Q_OBJECT

 public:
  explicit TNumberEdit(QWidget* Parent = nullptr);

  TNumberEditType EditType() const { return FEditType; }
  // Reads the text with the old format first, so the value survives the change.
  void SetEditType(TNumberEditType Value);
  long double Value() const { return FValue; }
  // Clamped to Min..Max; rewrites the text.
  void SetValue(long double Value);
  // Value rounded to the nearest integer (halves to even).
  int64_t IntValue() const;
  // Stored without the range check; rewrites the text.
  void SetIntValue(int64_t Value);
  long double Min() const { return FMin; }
  // When Min passes Max, Max follows; Value is clamped again.
  void SetMin(long double Value);
  long double Max() const { return FMax; }
  // When Max passes below Min, Min follows; Value is clamped again.
  void SetMax(long double Value);
  // Minimum digit count (binary, hexadecimal) or the float formats' digits.
  int Digits() const { return FDigits; }
  void SetDigits(int Value);
  // Significant digits of the float formats.
  int Precision() const { return FPrecision; }
  void SetPrecision(int Value);
  // Stored increment; no key of the control uses it.
  long double Step() const { return FStep; }
  void SetStep(long double Value) { FStep = Value; }

  // The canonical text of Value in the current format.
  QString FormatValue() const;
  // The number the text stands for in the current format, unclamped;
  // nothing when it cannot be read.
  std::optional<long double> ParseText(const QString& Text) const;
  // Whether the key filter lets the character through (after upper-casing).
  bool AcceptsChar(QChar C) const;

 protected:
  void DoChange() override;
  void keyPressEvent(QKeyEvent* Event) override;
  void focusOutEvent(QFocusEvent* Event) override;

 private:
  long double Clamp(long double Value) const;
  void ValueFromText();
  void TextFromValue();

  TNumberEditType FEditType = TNumberEditType::etIntDecimal;
  long double FValue = 0;
  long double FMin = 0;
  long double FMax = 0;
  int FDigits = 3;
  int FPrecision = 7;
  long double FStep = 1.0L;
  // Set while the control writes its own text, so that the change it causes
  // is not parsed back.
  bool FWritingText = false;
};
