#pragma once
// The settings of one registry root held in memory, and their text form: the
// export format of the registry editor, so that a person can read and edit
// the file.
//
//   Windows Registry Editor Version 5.00
//
//   [HKEY_CURRENT_USER\Software\Quorvel\ZRN\2003\International]
//   "Language"="English"
//   "Proxy port"=dword:00000015
//   "BaZ Index 120"=hex:01,02,03,04,05
//
// Long hex data continues on the next line after a trailing backslash.
//
// Key and value names compare without regard to ASCII case, as the registry
// does; they keep the case they were written with.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "Exception.h"
#include "TextUtils.h"

// A hive text that cannot be understood; the message names file and line.
ZARNAVIS_DECLARE_EXCEPTION(EHiveError, Exception);

// Registry value types as the export format numbers them.
enum TRegDataType : uint32_t {
  rdtNone = 0,
  rdtString = 1,
  rdtExpandString = 2,
  rdtBinary = 3,
  rdtDWord = 4,
  rdtMultiString = 7,
  rdtQWord = 11,
};

struct TRegValue {
  std::string Name;  // empty: the key's default value ("@")
  uint32_t Type = rdtNone;
  // rdtString: the UTF-8 text without terminator; rdtDWord: 4 bytes
  // little-endian; every other type: the bytes as stored.
  std::vector<uint8_t> Data;

  static TRegValue String(const std::string& Name, const std::string& Text);
  static TRegValue DWord(const std::string& Name, uint32_t Value);
  static TRegValue Binary(const std::string& Name, const void* Data, size_t Size);
  std::string AsString() const { return std::string(Data.begin(), Data.end()); }
  uint32_t AsDWord() const;
};

struct TAsciiCaseLess {
  bool operator()(const std::string& A, const std::string& B) const;
};

class THiveKey {
 public:
  explicit THiveKey(std::string Name = {}) : FName(std::move(Name)) {}
  const std::string& Name() const { return FName; }
  const std::vector<TRegValue>& Values() const { return FValues; }
  const TRegValue* Find(const std::string& ValueName) const;
  // Replaces a value of the same name in place, else appends.
  void Set(TRegValue Value);
  bool Remove(const std::string& ValueName);

 private:
  std::string FName;
  std::vector<TRegValue> FValues;
};

class THive {
 public:
  // Root: "HKEY_LOCAL_MACHINE" or "HKEY_CURRENT_USER"; every key of the hive
  // lies below it.
  explicit THive(std::string Root) : FRoot(std::move(Root)) {}
  const std::string& Root() const { return FRoot; }

  // Key paths are relative to the root; leading, trailing and doubled
  // backslashes do not count ("\Software\X\" is "Software\X").
  static std::string NormalPath(const std::string& Path);

  // Listed itself or as the parent of a listed key.
  bool KeyExists(const std::string& Path) const;
  const THiveKey* FindKey(const std::string& Path) const;
  // Creates the key and every missing parent.
  THiveKey& CreateKey(const std::string& Path);
  bool DeleteKey(const std::string& Path);
  // Names of the keys directly below Path.
  std::vector<std::string> SubKeyNames(const std::string& Path) const;
  const std::map<std::string, THiveKey, TAsciiCaseLess>& Keys() const { return FKeys; }

  bool operator==(const THive& Other) const;

 private:
  std::string FRoot;
  std::map<std::string, THiveKey, TAsciiCaseLess> FKeys;
};

// Reads a hive text. FileName only names the source in error messages.
// Accepts UTF-8 (with or without byte order mark), UTF-16LE with byte order
// mark, and the older "REGEDIT4" header. Raises EHiveError.
THive ParseHive(const std::string& Text, const std::string& Root, const std::string& FileName);
// The text form; ParseHive(FormatHive(h)) == h.
std::string FormatHive(const THive& Hive);
