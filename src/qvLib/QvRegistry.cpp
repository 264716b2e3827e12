#include "QvRegistry.h"

#include <cstring>
#include <functional>

#include "UnicodeText.h"

const char* const SRegOpenKeyError = "Error opening registry key.";
const char* const SRegValueMissing = "Registry value does not exist.";
const char* const SRegKeyNamesUndefined = "The program's main registry keys are undefined.";
const char* const SRegWrongType = "Registry value has a different type.";
const char* const SRegValueTooLarge = "Registry value is larger than the buffer.";

namespace {

std::string gProductKey;
std::string gEdition;
bool gKeyNamesSet = false;

TRegRoot RootOf(TRegKeyKind Kind) {
  return Kind == rkMachine ? TRegRoot::LocalMachine : TRegRoot::CurrentUser;
}

// The key path below the root of a program key, checked to be usable.
std::string ProgramKey(const std::string& SubKey) {
  if (!gKeyNamesSet) throw ERegistryException(SRegKeyNamesUndefined);
  return RegistryKeyPath(SubKey);
}

std::string FullName(TRegRoot Root, const std::string& Key, const std::string& Name = {},
                     bool WithValue = false) {
  std::string path = THive::NormalPath(Key);
  std::string r = RegRootName(Root);
  if (!path.empty()) r += "\\" + path;
  if (WithValue) r += "\\" + Name;
  return r;
}

[[noreturn]] void Raise(const char* Reason, const std::string& Name,
                        const std::string& Detail = {}) {
  std::string message = std::string(Reason) + "\r\r\"" + Name + "\"";
  if (!Detail.empty()) message += "\r\r" + Detail;
  throw ERegistryException(message);
}

// The key for reading; null when it does not exist. Raises only through
// the hive file (EHiveError, EHiveIOError).
const THiveKey* OpenForRead(TRegRoot Root, const std::string& Key, bool& Exists) {
  const THive& hive = SettingsHive(Root).Read();
  Exists = hive.KeyExists(Key);
  return hive.FindKey(Key);
}

// The value, or raises the registry failures.
TRegValue ReadValue(TRegRoot Root, const std::string& Key, const std::string& Name) {
  const THiveKey* key = nullptr;
  bool exists = false;
  try {
    key = OpenForRead(Root, Key, exists);
  } catch (const EHiveError& e) {
    Raise(SRegOpenKeyError, FullName(Root, Key), e.Message());
  } catch (const EHiveIOError& e) {
    Raise(SRegOpenKeyError, FullName(Root, Key), e.Message());
  }
  if (!exists) Raise(SRegOpenKeyError, FullName(Root, Key));
  const TRegValue* value = key ? key->Find(Name) : nullptr;
  if (!value) Raise(SRegValueMissing, FullName(Root, Key, Name, true));
  return *value;
}

// The value, or nothing on any failure.
bool TryReadValue(TRegRoot Root, const std::string& Key, const std::string& Name,
                  TRegValue& Value) {
  try {
    Value = ReadValue(Root, Key, Name);
    return true;
  } catch (const ERegistryException&) {
    return false;
  }
}

bool AsText(const TRegValue& Value, std::string& Text) {
  if (Value.Type == rdtString) {
    Text = Value.AsString();
    return true;
  }
  if (Value.Type == rdtExpandString) {
    Text = Utf16LeToUtf8(Value.Data.data(), Value.Data.size());
    if (!Text.empty() && Text.back() == '\0') Text.pop_back();
    return true;
  }
  return false;
}

bool IsBinaryType(uint32_t Type) {
  return Type != rdtString && Type != rdtExpandString && Type != rdtDWord &&
         Type != rdtMultiString && Type != rdtQWord;
}

// The hive text has no way to write a line break or other control
// character in a key or value name; such a name would spoil the file.
bool IsStorableName(const std::string& Name) {
  for (char c : Name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return false;
  return true;
}

void WriteValues(TRegRoot Root, const std::string& Key, const std::vector<TRegValue>& Values) {
  if (!IsStorableName(Key)) Raise(SRegOpenKeyError, FullName(Root, Key));
  for (const TRegValue& value : Values)
    if (!IsStorableName(value.Name)) Raise(SRegOpenKeyError, FullName(Root, Key));
  try {
    SettingsHive(Root).Update([&](THive& Hive) {
      THiveKey& key = Hive.CreateKey(Key);
      for (const TRegValue& value : Values) key.Set(value);
    });
  } catch (const EHiveError& e) {
    Raise(SRegOpenKeyError, FullName(Root, Key), e.Message());
  } catch (const EHiveDiskFullError& e) {
    Raise(SRegOpenKeyError, FullName(Root, Key), e.Message());
  } catch (const EHiveIOError&) {
    Raise(SRegOpenKeyError, FullName(Root, Key));
  }
}

void WriteValue(TRegRoot Root, const std::string& Key, TRegValue Value) {
  WriteValues(Root, Key, {std::move(Value)});
}

}  // namespace

void SetRegistryKeyNames(const std::string& ProductKey, const std::string& Edition) {
  gProductKey = ProductKey;
  gEdition = Edition;
  gKeyNamesSet = true;
}

std::string RegistryKeyPath(const std::string& SubKey) {
  std::string path = "\\Software\\Quorvel\\" + gProductKey + "\\" + gEdition;
  if (!SubKey.empty()) path += "\\" + SubKey;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  return path;
}

std::string RegReadString(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                          const std::string& Default) {
  return RegReadRootString(RootOf(Kind), ProgramKey(SubKey), Name, Default);
}

int32_t RegReadInteger(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name) {
  std::string key = ProgramKey(SubKey);
  TRegValue v = ReadValue(RootOf(Kind), key, Name);
  if (v.Type != rdtDWord) Raise(SRegWrongType, FullName(RootOf(Kind), key, Name, true));
  return static_cast<int32_t>(v.AsDWord());
}

int32_t RegReadIntegerDef(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                          int32_t Default) {
  TRegValue v;
  if (!TryReadValue(RootOf(Kind), ProgramKey(SubKey), Name, v) || v.Type != rdtDWord)
    return Default;
  return static_cast<int32_t>(v.AsDWord());
}

bool RegReadBoolDef(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                    bool Default) {
  TRegValue v;
  if (!TryReadValue(RootOf(Kind), ProgramKey(SubKey), Name, v) || v.Type != rdtDWord)
    return Default;
  return v.AsDWord() != 0;
}

std::vector<uint8_t> RegReadBinaryData(TRegKeyKind Kind, const std::string& SubKey,
                                       const std::string& Name) {
  std::string key = ProgramKey(SubKey);
  TRegValue v = ReadValue(RootOf(Kind), key, Name);
  if (!IsBinaryType(v.Type)) Raise(SRegWrongType, FullName(RootOf(Kind), key, Name, true));
  return v.Data;
}

int RegReadBinary(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name, int Size,
                  void* Buffer) {
  std::vector<uint8_t> data = RegReadBinaryData(Kind, SubKey, Name);
  // Cutting the value short would silently lose data (an update index).
  if (static_cast<int64_t>(data.size()) > Size)
    Raise(SRegValueTooLarge, FullName(RootOf(Kind), ProgramKey(SubKey), Name, true));
  if (!data.empty()) std::memcpy(Buffer, data.data(), data.size());
  return static_cast<int>(data.size());
}

void RegWriteString(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                    const std::string& Value) {
  WriteValue(RootOf(Kind), ProgramKey(SubKey), TRegValue::String(Name, Value));
}

void RegWriteInteger(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                     int32_t Value) {
  WriteValue(RootOf(Kind), ProgramKey(SubKey),
             TRegValue::DWord(Name, static_cast<uint32_t>(Value)));
}

void RegWriteBool(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name,
                  bool Value) {
  RegWriteInteger(Kind, SubKey, Name, Value ? 1 : 0);
}

void RegWriteBinary(TRegKeyKind Kind, const std::string& SubKey, const std::string& Name, int Size,
                    const void* Buffer) {
  size_t size = Size > 0 ? static_cast<size_t>(Size) : 0;
  WriteValue(RootOf(Kind), ProgramKey(SubKey), TRegValue::Binary(Name, Buffer, size));
}

void RegWriteValues(TRegKeyKind Kind, const std::string& SubKey,
                    const std::vector<TRegValue>& Values) {
  WriteValues(RootOf(Kind), ProgramKey(SubKey), Values);
}

bool RegKeyExists(TRegRoot Root, const std::string& Key) {
  try {
    return SettingsHive(Root).Read().KeyExists(Key);
  } catch (const Exception&) {
    return false;
  }
}

std::string RegReadRootString(TRegRoot Root, const std::string& Key, const std::string& Name,
                              const std::string& Default) {
  TRegValue v;
  std::string text;
  if (!TryReadValue(Root, Key, Name, v) || !AsText(v, text)) return Default;
  return text;
}

std::vector<std::string> RegReadValueNames(TRegRoot Root, const std::string& Key) {
  std::vector<std::string> names;
  try {
    if (const THiveKey* key = SettingsHive(Root).Read().FindKey(Key))
      for (const TRegValue& v : key->Values()) names.push_back(v.Name);
  } catch (const Exception&) {
  }
  return names;
}

bool RegCreateRootKey(TRegRoot Root, const std::string& Key) {
  if (!IsStorableName(Key)) return false;
  try {
    SettingsHive(Root).Update([&](THive& Hive) { Hive.CreateKey(Key); });
  } catch (const EHiveError&) {
    return false;
  } catch (const EHiveIOError&) {
    return false;
  }
  return true;
}

void RegWriteRootString(TRegRoot Root, const std::string& Key, const std::string& Name,
                        const std::string& Value) {
  WriteValue(Root, Key, TRegValue::String(Name, Value));
}
