#pragma once
// One QApplication for a whole GUI test program, created before the first
// test and kept until the process ends (offscreen in ctest).

#include <gtest/gtest.h>

#include <QApplication>

class GuiTestApp : public ::testing::Environment {
 public:
  void SetUp() override {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "zarnavis-test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
};

inline const bool kGuiTestAppRegistered =
    (::testing::AddGlobalTestEnvironment(new GuiTestApp), true);
