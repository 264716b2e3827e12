#pragma once
// One QApplication for all tests of a program; the windows run offscreen.

#include <QApplication>
#include <cstdlib>

inline QApplication& TestApp() {
  static int argc = 1;
  static char name[] = "controls-test";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    return new QApplication(argc, argv);
  }();
  return *app;
}
