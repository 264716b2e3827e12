#pragma once
// The navigation program that uses the installed charts: whether it is
// installed, and where it keeps its charts (the default destination of the
// installation wizard). Its registry keys are only read here.

#include <cstdint>
#include <string>

struct TNavProgramInfo {
  uint8_t Generation = 0;       // 5, 4, 3 by product key; 0 when none is installed
  bool UninstallEntry = false;  // the system knows how to remove it
  bool ProgramFile = false;     // its program file exists in its installation folder
};

TNavProgramInfo DetectNavigationProgram();

// The navigation program's chart folder, ending in "/", when the program is
// fully installed; empty otherwise.
std::string DefaultChartsFolder();

// The navigation program's own keys (current-user root).
extern const char* const NavProgramSettingsKey;  // ChartDir and InstDir
extern const char* const NavAutoImportKey;       // the automatic-import list
