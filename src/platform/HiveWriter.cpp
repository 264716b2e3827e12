// Writing the hive text in the registry editor's export layout.

#include <cstdio>

#include "RegistryHive.h"
#include "UnicodeText.h"

namespace {

// The editor wraps hex data before column 80, two spaces in.
constexpr size_t kLineWidth = 76;

std::string Quote(const std::string& S) {
  std::string r = "\"";
  for (char c : S) {
    if (c == '\\' || c == '"') r += '\\';
    r += c;
  }
  return r + "\"";
}

bool HasControlCharacters(const std::string& S) {
  for (char c : S)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return true;
  return false;
}

std::string HexLine(const std::string& Prefix, const std::vector<uint8_t>& Data) {
  std::string r = Prefix;
  size_t column = Prefix.size();
  char byte[4];
  for (size_t i = 0; i < Data.size(); ++i) {
    std::snprintf(byte, sizeof byte, "%02x", Data[i]);
    bool last = i + 1 == Data.size();
    if (column + 3 > kLineWidth && i > 0) {
      r += "\\\n  ";
      column = 2;
    }
    r += byte;
    if (!last) r += ',';
    column += 3;
  }
  return r;
}

std::string FormatValue(const TRegValue& V) {
  std::string prefix = (V.Name.empty() ? std::string("@") : Quote(V.Name)) + "=";
  switch (V.Type) {
    case rdtString: {
      std::string text = V.AsString();
      if (!HasControlCharacters(text)) return prefix + Quote(text);
      // Line breaks and the like cannot stand in quotes: the text as UTF-16.
      std::vector<uint8_t> units = Utf8ToUtf16Le(text);
      units.push_back(0);
      units.push_back(0);
      return HexLine(prefix + "hex(1):", units);
    }
    case rdtDWord:
      if (V.Data.size() == 4) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%08x", V.AsDWord());
        return prefix + "dword:" + digits;
      }
      break;
    case rdtBinary:
      return HexLine(prefix + "hex:", V.Data);
    default:
      break;
  }
  char kind[24];
  std::snprintf(kind, sizeof kind, "hex(%x):", V.Type);
  return HexLine(prefix + kind, V.Data);
}

}  // namespace

std::string FormatHive(const THive& Hive) {
  std::string r = "Windows Registry Editor Version 5.00\n";
  for (const auto& [path, key] : Hive.Keys()) {
    r += "\n[" + Hive.Root() + (key.Name().empty() ? "" : "\\" + key.Name()) + "]\n";
    for (const TRegValue& v : key.Values()) r += FormatValue(v) + "\n";
  }
  return r;
}
