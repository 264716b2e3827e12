#pragma once
// The registry operations through which every part of the program reaches
// its settings. Each names a key kind (the program key for the machine or
// for the user) and an optional subkey below the program key
// "\Software\Quorvel\" + product key + "\" + edition.
//
// Read operations never create a key; write operations create it. Failures
// raise ERegistryException with the reason, two carriage returns and the
// full key or value name in double quotes:
//   Registry value does not exist.\r\r"HKEY_LOCAL_MACHINE\Software\...\BaZ Index size 120"

#include <cstdint>
#include <string>
#include <vector>

#include "Exception.h"
#include "SettingsHives.h"

ZARNAVIS_DECLARE_EXCEPTION(ERegistryException, Exception);

enum TRegKeyKind : int {
  rkMachine = 0,  // HKEY_LOCAL_MACHINE
  rkUser = 1,     // HKEY_CURRENT_USER
};

// The reasons of the failures.
extern const char* const SRegOpenKeyError;  // "Error opening registry key."
extern const char* const SRegValueMissing;  // "Registry value does not exist."
extern const char* const
    SRegKeyNamesUndefined;                   // "The program's main registry keys are undefined."
extern const char* const SRegWrongType;      // "Registry value has a different type."
extern const char* const SRegValueTooLarge;  // "Registry value is larger than the buffer."

// Set once at start-up ("ZRN", "2003") before any other operation.
void SetRegistryKeyNames(const std::string& ProductKey, const std::string& Edition);
// "\Software\Quorvel\ZRN\2003" (+ "\" + SubKey), without a trailing backslash.
std::string RegistryKeyPath(const std::string& SubKey);

// Default on every failure (missing key or value, other type, unreadable hive).
std::string RegReadString(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                          const std::string& Default);
// Raises when the key cannot be opened or the value does not exist.
int32_t RegReadInteger(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name);
int32_t RegReadIntegerDef(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                          int32_t Default);
// An integer other than 0 is true.
bool RegReadBoolDef(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                    bool Default);
// Copies the binary value into Buffer and returns its length. Raises when the
// value is missing, not binary, or longer than Size.
int RegReadBinary(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name, int Size,
                  void* Buffer);
// The whole binary value; raises as RegReadBinary.
std::vector<uint8_t> RegReadBinaryData(TRegKeyKind Kind, const std::string& SubKey,
                                       const std::string& Name);

void RegWriteString(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                    const std::string& Value);
void RegWriteInteger(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                     int32_t Value);
void RegWriteBool(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name, bool Value);
// A negative Size writes an empty value.
void RegWriteBinary(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name, int Size,
                    const void* Buffer);

// Several values of one key in one save of the settings: a reader sees all
// of them old or all new. Raises like RegWriteString.
void RegWriteValues(TRegKeyKind Kind, const std::string& SubKey,
                    const std::vector<TRegValue>& Values);

// Keys outside the program key (the navigation program's). Key is the path
// below the root; leading and trailing backslashes do not matter.
bool RegKeyExists(TRegRoot Root, const std::string& Key);
// Default on every failure.
std::string RegReadRootString(TRegRoot Root, const std::string& Key, const std::string& Name,
                              const std::string& Default);
// Names of the values of Key in stored order; empty on every failure.
std::vector<std::string> RegReadValueNames(TRegRoot Root, const std::string& Key);
// Opens Key for writing, creating it when missing; false when that fails.
bool RegCreateRootKey(TRegRoot Root, const std::string& Key);
// Raises like RegWriteString.
void RegWriteRootString(TRegRoot Root, const std::string& Key, const std::string& Name,
                        const std::string& Value);
