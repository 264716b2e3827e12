#pragma once
// A fresh settings folder and a fresh program state for every launcher test:
// the hives live in a temporary folder, the key names and languages are those
// of the program, and no program information exists. The mounted volumes are
// simulated (none until a test adds one), so a chart CD in the machine that
// runs the tests does not change what the launcher finds.

#include <gtest/gtest.h>

#include <QDialog>
#include <functional>
#include <memory>
#include <string>

#include "ExtForm.h"
#include "MsgBoxHook.h"
#include "ProgInfo.h"
#include "SimulatedVolumes.h"
#include "TempDir.h"

class LauncherTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Creates the program information as the start-up does, with the program
  // file in the temporary folder (so the program folder is that folder).
  void InitProgram(std::function<bool()> chooseLanguage = {});
  // Writes a file (and its folders) below the program folder.
  void WriteProgramFile(const std::string& relative, const std::string& content = "x");
  std::string ProgramFolder() const { return FDir.Path() + "/"; }

  // Answers every modal dialog through fn (the dialog is alive, not shown).
  void AnswerDialogs(std::function<int(QDialog&)> fn);

  TempDir FDir;
  TempDir FSettings;
  TempDir FVolumeRoot;
  std::unique_ptr<TSimulatedVolumes> FVolumes;
  TMsgBoxRecorder FBoxes;
  int FDialogs = 0;

 private:
  TModalHook FPreviousModal;
  std::unique_ptr<TScopedVolumes> FUseVolumes;
};

inline TProgInfoParams ProgramParams() {
  TProgInfoParams p;
  p.Languages = 14;
  p.DefaultLanguage = 1;
  p.Description = "Zarnavis";
  p.ReleaseDate = QDate(2003, 5, 1);
  p.Edition = "2003";
  p.ProductKey = "ZRN";
  p.Version = MakeVersion(2, 6, 0, 0);
  return p;
}
