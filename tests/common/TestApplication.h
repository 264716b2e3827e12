#pragma once
// Window tests need one application object of the program's own class, so
// that notify hands what a handler throws to the exception report. Including
// this header creates it once per test program, before the first test.

#include <gtest/gtest.h>

#include "AppNotify.h"

class TestApplicationEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "zarnavis-test";
    static char* argv[] = {name, nullptr};
    new TApplication(argc, argv);
  }
};

inline const bool kTestApplicationRegistered =
    (::testing::AddGlobalTestEnvironment(new TestApplicationEnvironment), true);
