#pragma once
// The two hives that stand in for the registry: system.reg for
// HKEY_LOCAL_MACHINE and user.reg for HKEY_CURRENT_USER, in the settings
// folder (GetSettingsFolder, looked up again on every use).

#include <string>

#include "HiveFile.h"

enum class TRegRoot { LocalMachine, CurrentUser };

// "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER".
const char* RegRootName(TRegRoot Root);

// The hive file of Root. Only the user-interface thread uses it.
THiveFile& SettingsHive(TRegRoot Root);
