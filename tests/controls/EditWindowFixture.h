#pragma once
// A window with an edit control under test and a second field to move the
// focus to, so that entering and leaving the edit happen as they do for a
// user.

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>
#include <memory>

#include "TestApplication.h"

template <class TEdit>
class TEditWindowFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    Window = std::make_unique<QWidget>();
    auto* layout = new QVBoxLayout(Window.get());
    Edit = new TEdit(Window.get());
    Other = new QLineEdit(Window.get());
    layout->addWidget(Edit);
    layout->addWidget(Other);
    Window->show();
    Window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Window.get()));
  }
  void TearDown() override { Window.reset(); }

  // Enters the field with the Tab key's focus reason (which selects its text).
  void Enter() {
    Other->setFocus(Qt::OtherFocusReason);
    Edit->setFocus(Qt::TabFocusReason);
  }

  std::unique_ptr<QWidget> Window;
  TEdit* Edit = nullptr;
  QLineEdit* Other = nullptr;
};
