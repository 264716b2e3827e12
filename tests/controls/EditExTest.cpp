#include <gtest/gtest.h>

#include <QIntValidator>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "EditWindowFixture.h"
#include "QvEditEx.h"

namespace {

using EditExTest = TEditWindowFixture<TCustomEditEx>;

TEST_F(EditExTest, CharCaseConvertsTypedAndSetText) {
  Edit->SetText("Mixed");
  Edit->SetCharCase(TEditCharCase::ecUpperCase);
  EXPECT_EQ(Edit->Text(), "MIXED");
  Enter();
  QTest::keyClicks(Edit, "abC");
  EXPECT_EQ(Edit->Text(), "ABC");
  Edit->SetCharCase(TEditCharCase::ecLowerCase);
  EXPECT_EQ(Edit->Text(), "abc");
  Edit->SetText("XyZ");
  EXPECT_EQ(Edit->Text(), "xyz");
}

TEST_F(EditExTest, CharCaseLeavesACallersValidatorAlone) {
  QIntValidator digits(0, 999);
  Edit->setValidator(&digits);
  Edit->SetCharCase(TEditCharCase::ecUpperCase);
  Edit->SetCharCase(TEditCharCase::ecNormal);
  EXPECT_EQ(Edit->validator(), nullptr);  // replaced by the case validator, which is gone
  Edit->setValidator(&digits);
  Edit->SetCharCase(TEditCharCase::ecNormal);
  EXPECT_EQ(Edit->validator(), &digits);
}

TEST_F(EditExTest, MaxLengthLimitsTypingAndZeroMeansNoLimit) {
  Edit->SetMaxLength(3);
  Enter();
  QTest::keyClicks(Edit, "abcdef");
  EXPECT_EQ(Edit->Text(), "abc");
  Edit->SetMaxLength(0);
  QTest::keyClicks(Edit, "def");
  EXPECT_EQ(Edit->Text(), "abcdef");
}

TEST_F(EditExTest, AutoSelectDecidesWhetherEnteringSelectsTheText) {
  Edit->SetText("hello");
  Enter();
  EXPECT_EQ(Edit->selectedText(), "hello");
  Edit->SetAutoSelect(false);
  Enter();
  EXPECT_EQ(Edit->selectedText(), "");
}

TEST_F(EditExTest, HideSelectionFalseKeepsTheSelectionWhenLeaving) {
  Edit->SetText("hello");
  Enter();
  Edit->setSelection(1, 3);
  Other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Edit->selectedText(), "");
  Edit->SetHideSelection(false);
  Enter();
  Edit->setSelection(1, 3);
  Other->setFocus(Qt::TabFocusReason);
  EXPECT_EQ(Edit->selectedText(), "ell");
}

TEST_F(EditExTest, ReadOnlyRefusesTypingAndChangeFiresOnEveryEdit) {
  int changes = 0;
  QObject::connect(Edit, &TCustomEditEx::Change, [&] { ++changes; });
  Enter();
  QTest::keyClicks(Edit, "ab");
  EXPECT_EQ(changes, 2);
  Edit->SetReadOnly(true);
  QTest::keyClicks(Edit, "cd");
  EXPECT_EQ(Edit->Text(), "ab");
  EXPECT_EQ(changes, 2);
}

TEST_F(EditExTest, AlignmentAndBorder) {
  Edit->SetAlignment(TAlignment::taCenter);
  EXPECT_TRUE(Edit->alignment() & Qt::AlignHCenter);
  Edit->SetAlignment(TAlignment::taRightJustify);
  EXPECT_TRUE(Edit->alignment() & Qt::AlignRight);
  Edit->SetBorderStyle(TBorderStyle::bsNone);
  EXPECT_FALSE(Edit->hasFrame());
}

}  // namespace
