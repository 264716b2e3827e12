#include <gtest/gtest.h>

#include <QClipboard>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>
#include <limits>
#include <memory>

#include "EditWindowFixture.h"
#include "QvEditEx.h"

namespace {

// The number edit in a window, with the user's C locale for the test.
class NumberEditTest : public TEditWindowFixture<TNumberEdit> {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale::c());
    TEditWindowFixture::SetUp();
  }
  void TearDown() override {
    TEditWindowFixture::TearDown();
    QLocale::setDefault(QLocale::c());
  }

  // Enters the field (which selects its text) and types Keys.
  void Type(const QString& Keys) {
    Enter();
    ASSERT_TRUE(Edit->hasFocus());
    QTest::keyClicks(Edit, Keys);
  }
  // Leaves the field with the Tab key.
  void Leave() {
    QTest::keyClick(Edit, Qt::Key_Tab);
    ASSERT_FALSE(Edit->hasFocus());
  }
  void MakePortField() {
    Edit->SetMin(std::numeric_limits<int32_t>::min());
    Edit->SetMax(std::numeric_limits<int32_t>::max());
    Edit->SetIntValue(21);
  }
};

TEST_F(NumberEditTest, DefaultsOfANewField) {
  EXPECT_EQ(Edit->EditType(), TNumberEditType::etIntDecimal);
  EXPECT_EQ(Edit->Alignment(), TAlignment::taRightJustify);
  EXPECT_EQ(Edit->MaxLength(), 32);
  EXPECT_EQ(Edit->Digits(), 3);
  EXPECT_EQ(Edit->Precision(), 7);
  EXPECT_EQ(TNumberEdit().width(), 121);  // outside a layout
  EXPECT_EQ(Edit->Text(), "0");
}

TEST_F(NumberEditTest, PortFieldDropsLettersAndTakesNegativeNumbers) {
  MakePortField();
  EXPECT_EQ(Edit->Text(), "21");
  Type("80a");
  EXPECT_EQ(Edit->Text(), "80");
  EXPECT_EQ(Edit->IntValue(), 80);
  Type("-5");
  EXPECT_EQ(Edit->Text(), "-5");
  EXPECT_EQ(Edit->IntValue(), -5);
  Leave();
  EXPECT_EQ(Edit->Text(), "-5");
}

TEST_F(NumberEditTest, OutOfRangeEntryClampsAtOnceAndShowsTheBoundOnExit) {
  Edit->SetMax(100);
  Type("250");
  EXPECT_EQ(Edit->Text(), "250");  // the text stays as typed until exit
  EXPECT_EQ(Edit->IntValue(), 100);
  Leave();
  EXPECT_EQ(Edit->Text(), "100");
  Edit->SetMin(10);
  Type("3");
  EXPECT_EQ(Edit->IntValue(), 10);
  Leave();
  EXPECT_EQ(Edit->Text(), "10");
}

TEST_F(NumberEditTest, UnreadableEntryReturnsToTheLastGoodValueOnExit) {
  Edit->SetMax(100);
  Type("42");
  QTest::keyClick(Edit, Qt::Key_Backspace);
  EXPECT_EQ(Edit->IntValue(), 4);  // the value follows every change
  QTest::keyClick(Edit, Qt::Key_2);
  QTest::keyClick(Edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(Edit, Qt::Key_Backspace);
  EXPECT_EQ(Edit->Text(), "");
  EXPECT_EQ(Edit->IntValue(), 42);
  Leave();
  EXPECT_EQ(Edit->Text(), "42");
  Type("7-");  // "7-" is no number
  EXPECT_EQ(Edit->IntValue(), 7);
  Leave();
  EXPECT_EQ(Edit->Text(), "7");
}

TEST_F(NumberEditTest, KeyFilterLetsOnlyTheTypesCharactersThrough) {
  struct Case {
    TNumberEditType Type;
    QLocale Locale;
    const char* Keys;
    const char* Expect;
  } cases[] = {
      {TNumberEditType::etIntBinary, QLocale::c(), "0123ab1 -", "011"},
      {TNumberEditType::etIntDecimal, QLocale::c(), "-12.5e3x+", "-1253"},
      {TNumberEditType::etIntHex, QLocale::c(), "$fg9z-cE", "$F9CE"},
      {TNumberEditType::etFloatGeneral, QLocale::c(), "+1.5e-3,x", "+1.5E-3"},
      {TNumberEditType::etFloatFixed, QLocale(QLocale::German), "-2.3,5", "-23,5"},
      {TNumberEditType::etFloatExponent, QLocale::c(), "1.e5 ", "1.E5"},
  };
  for (const Case& c : cases) {
    QLocale::setDefault(c.Locale);
    Edit->SetMin(-1e9L);
    Edit->SetMax(1e9L);
    Edit->SetEditType(c.Type);
    Type(c.Keys);
    EXPECT_EQ(Edit->Text().toStdString(), c.Expect) << c.Keys;
  }
}

TEST_F(NumberEditTest, ControlKeysOtherThanBackspaceAndEnterAreNotInserted) {
  MakePortField();
  Type("12");
  QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier, "\x1b");
  Edit->event(&escape);
  EXPECT_FALSE(escape.isAccepted());  // left to the dialog
  QTest::keyClick(Edit, Qt::Key_Q, Qt::ControlModifier);
  EXPECT_EQ(Edit->Text(), "12");
  QKeyEvent letter(QEvent::KeyPress, Qt::Key_Q, Qt::NoModifier, "q");
  Edit->event(&letter);
  EXPECT_TRUE(letter.isAccepted());  // swallowed
  EXPECT_EQ(Edit->Text(), "12");
  // Delete as the X11 keyboard sends it, with the DEL character as its text,
  // still deletes forward.
  QTest::keyClick(Edit, Qt::Key_Home);
  QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, "\x7f");
  Edit->event(&del);
  EXPECT_EQ(Edit->Text(), "2");
}

TEST_F(NumberEditTest, HexFieldPadsToDigitsAndUpperCasesTypedLetters) {
  Edit->SetMax(0xFFFFFF);
  Edit->SetEditType(TNumberEditType::etIntHex);
  Edit->SetDigits(4);
  Edit->SetValue(255);
  EXPECT_EQ(Edit->Text(), "00FF");
  Type("ab");
  EXPECT_EQ(Edit->Text(), "AB");
  EXPECT_EQ(Edit->IntValue(), 0xAB);
  Leave();
  EXPECT_EQ(Edit->Text(), "00AB");
  Type("$1f");
  EXPECT_EQ(Edit->IntValue(), 0x1F);
  Leave();
  EXPECT_EQ(Edit->Text(), "001F");
}

TEST_F(NumberEditTest, BinaryFieldPadsToDigitsAndIgnoresBadPastes) {
  Edit->SetMax(1000);
  Edit->SetEditType(TNumberEditType::etIntBinary);
  Edit->SetValue(5);
  EXPECT_EQ(Edit->Text(), "101");
  Edit->SetValue(1);
  EXPECT_EQ(Edit->Text(), "001");
  Type("1101");
  EXPECT_EQ(Edit->IntValue(), 13);
  QGuiApplication::clipboard()->setText("10x1");
  Edit->selectAll();
  QTest::keyClick(Edit, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(Edit->Text(), "10x1");
  EXPECT_EQ(Edit->IntValue(), 13);
  Leave();
  EXPECT_EQ(Edit->Text(), "1101");
}

TEST_F(NumberEditTest, BinaryTextReadsAsThirtyTwoBitTwosComplement) {
  Edit->SetMin(-100);
  Edit->SetMax(100);
  Edit->SetEditType(TNumberEditType::etIntBinary);
  Edit->SetValue(-1);
  EXPECT_EQ(Edit->Text(), QString(32, '1'));
  EXPECT_EQ(Edit->ParseText(QString(32, '1')), -1.0L);
  EXPECT_FALSE(Edit->ParseText(QString(33, '1')).has_value());  // too large
  EXPECT_FALSE(Edit->ParseText("102").has_value());             // not binary
  EXPECT_EQ(Edit->ParseText(""), 0.0L);
}

TEST_F(NumberEditTest, FloatFieldUsesTheUsersDecimalSeparator) {
  QLocale::setDefault(QLocale(QLocale::German));
  Edit->SetMin(-10);
  Edit->SetMax(10);
  Edit->SetEditType(TNumberEditType::etFloatFixed);
  Type("3,25");
  EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), 3.25);
  Leave();
  EXPECT_EQ(Edit->Text(), "3,250");
  Edit->SetEditType(TNumberEditType::etFloatExponent);
  EXPECT_EQ(Edit->Text(), "3,250000E+000");
  Edit->SetEditType(TNumberEditType::etFloatGeneral);
  EXPECT_EQ(Edit->Text(), "3,25");
  Type("-1e1");
  EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), -10.0);
  Type("1e2");
  EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), 10.0);
}

TEST_F(NumberEditTest, RangeSettersPullTheOtherBoundAndClampTheValue) {
  Edit->SetMax(50);
  Edit->SetMin(10);
  Edit->SetValue(30);
  Edit->SetMax(5);
  EXPECT_EQ(Edit->Min(), 5.0L);
  EXPECT_EQ(Edit->Max(), 5.0L);
  EXPECT_EQ(Edit->Value(), 5.0L);
  EXPECT_EQ(Edit->Text(), "5");
  Edit->SetMin(8);
  EXPECT_EQ(Edit->Max(), 8.0L);
  EXPECT_EQ(Edit->Text(), "8");
}

TEST_F(NumberEditTest, IntValueIsStoredWithoutRangeCheckAndReadRounded) {
  Edit->SetIntValue(21);  // range still [0, 0]
  EXPECT_EQ(Edit->IntValue(), 21);
  EXPECT_EQ(Edit->Text(), "21");
  Edit->SetMax(10);
  Edit->SetEditType(TNumberEditType::etFloatGeneral);
  Edit->SetValue(2.5L);
  EXPECT_EQ(Edit->IntValue(), 2);
  Edit->SetValue(3.5L);
  EXPECT_EQ(Edit->IntValue(), 4);
}

TEST_F(NumberEditTest, EditTypeChangeKeepsTheTypedValue) {
  Edit->SetMax(1000);
  Type("12");
  Edit->SetEditType(TNumberEditType::etIntHex);
  EXPECT_EQ(Edit->Text(), "00C");
  Edit->SetDigits(-4);
  EXPECT_EQ(Edit->Digits(), 0);
  EXPECT_EQ(Edit->Text(), "C");
}

TEST_F(NumberEditTest, ChangeFiresAfterTheValueFollowedTheText) {
  Edit->SetMax(1000);
  std::vector<long double> seen;
  QObject::connect(Edit, &TCustomEditEx::Change, [&] { seen.push_back(Edit->Value()); });
  Type("47");
  ASSERT_GE(seen.size(), 2u);
  EXPECT_EQ(seen[seen.size() - 2], 4.0L);
  EXPECT_EQ(seen.back(), 47.0L);
}

}  // namespace
