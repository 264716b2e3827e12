#pragma once
// The message of the error an action raises, for tests that compare the
// program's exact error texts. An error of another class passes through.

#include <string>

#include "Exception.h"

template <class E = Exception, class F>
std::string ErrorOf(F Action) {
  try {
    Action();
  } catch (const E& e) {
    return e.Message();
  }
  return "no error";
}
