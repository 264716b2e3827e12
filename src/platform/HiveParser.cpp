// Reading the hive text. Every defect raises EHiveError naming the file and
// the line, so a person can mend the file; nothing is guessed.

#include <algorithm>
#include <cstring>

#include "RegistryHive.h"
#include "UnicodeText.h"

namespace {

const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kHeader4[] = "REGEDIT4";

class THiveParser {
 public:
  THiveParser(const std::string& Root, const std::string& FileName)
      : FHive(Root), FFileName(FileName) {}

  THive Parse(const std::string& Text);

 private:
  [[noreturn]] void Fail(const std::string& Detail) const {
    throw EHiveError("Settings file \"" + FFileName + "\", line " + std::to_string(FLine) + ": " +
                     Detail);
  }
  void ParseLine(const std::string& Line);
  void ParseKey(const std::string& Line);
  void ParseValue(const std::string& Line);
  std::string ParseQuoted(const std::string& Line, size_t& Pos) const;
  TRegValue ParseData(const std::string& Name, const std::string& Data) const;
  std::vector<uint8_t> ParseHexBytes(const std::string& Text) const;
  void ExpectEnd(const std::string& Line, size_t Pos) const;

  THive FHive;
  std::string FFileName;
  THiveKey* FKey = nullptr;
  int FLine = 0;
  bool FHeaderSeen = false;
};

std::string Trim(const std::string& S) {
  size_t b = S.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  size_t e = S.find_last_not_of(" \t");
  return S.substr(b, e - b + 1);
}

int HexDigit(char C) {
  if (C >= '0' && C <= '9') return C - '0';
  if (C >= 'a' && C <= 'f') return C - 'a' + 10;
  if (C >= 'A' && C <= 'F') return C - 'A' + 10;
  return -1;
}

// The text as UTF-8, whatever encoding the editor saved it in.
std::string Decode(const std::string& Text) {
  if (Text.size() >= 2 && static_cast<uint8_t>(Text[0]) == 0xFF &&
      static_cast<uint8_t>(Text[1]) == 0xFE)
    return Utf16LeToUtf8(reinterpret_cast<const uint8_t*>(Text.data()) + 2, Text.size() - 2);
  if (Text.compare(0, 3, "\xEF\xBB\xBF") == 0) return Text.substr(3);
  return Text;
}

THive THiveParser::Parse(const std::string& Text) {
  std::string text = Decode(Text);
  if (text.find('\0') != std::string::npos) {
    FLine = 1 + static_cast<int>(std::count(text.begin(), text.begin() + text.find('\0'), '\n'));
    Fail("the file holds a zero byte; it is no settings text.");
  }
  size_t pos = 0;
  std::string logical;
  int firstLine = 0;
  while (pos <= text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++FLine;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (logical.empty()) {
      firstLine = FLine;
      logical = Trim(line);
    } else {
      logical += Trim(line);  // continuation of a hex value
    }
    // A value's hex bytes continue on the next line after a backslash.
    if (!logical.empty() && logical.back() == '\\' && logical[0] != '[' && logical[0] != ';' &&
        pos <= text.size()) {
      logical.pop_back();
      continue;
    }
    int last = FLine;
    FLine = firstLine;
    ParseLine(logical);
    FLine = last;
    logical.clear();
  }
  if (!FHeaderSeen && !FHive.Keys().empty()) Fail("the header line is missing.");
  return std::move(FHive);
}

void THiveParser::ParseLine(const std::string& Line) {
  if (Line.empty() || Line[0] == ';') return;
  if (!FHeaderSeen) {
    if (Line != kHeader5 && Line != kHeader4)
      Fail(std::string("the first line must read \"") + kHeader5 + "\".");
    FHeaderSeen = true;
    return;
  }
  if (Line[0] == '[')
    ParseKey(Line);
  else
    ParseValue(Line);
}

void THiveParser::ParseKey(const std::string& Line) {
  size_t close = Line.rfind(']');
  if (close == std::string::npos) Fail("a key line must end in \"]\".");
  ExpectEnd(Line, close + 1);
  std::string name = Line.substr(1, close - 1);
  if (!name.empty() && name[0] == '-') Fail("key deletions have no place in a settings file.");
  const std::string& root = FHive.Root();
  if (name.size() < root.size() || !SameText(name.substr(0, root.size()), root) ||
      (name.size() > root.size() && name[root.size()] != '\\'))
    Fail("the key \"" + name + "\" does not lie below " + root + ".");
  FKey = &FHive.CreateKey(name.substr(root.size()));
}

void THiveParser::ParseValue(const std::string& Line) {
  if (!FKey) Fail("a value before the first key.");
  size_t pos = 0;
  std::string name;
  if (Line[0] == '@') {
    pos = 1;
  } else if (Line[0] == '"') {
    name = ParseQuoted(Line, pos);
  } else {
    Fail("a line must be a key in [ ], a value \"name\"=data, or a comment after \";\".");
  }
  while (pos < Line.size() && (Line[pos] == ' ' || Line[pos] == '\t')) ++pos;
  if (pos >= Line.size() || Line[pos] != '=') Fail("\"=\" is missing after the value name.");
  FKey->Set(ParseData(name, Trim(Line.substr(pos + 1))));
}

// A quoted text starting at Pos; Pos ends after the closing quote.
std::string THiveParser::ParseQuoted(const std::string& Line, size_t& Pos) const {
  std::string r;
  for (size_t i = Pos + 1; i < Line.size(); ++i) {
    if (Line[i] == '"') {
      Pos = i + 1;
      return r;
    }
    if (Line[i] == '\\') {
      if (i + 1 >= Line.size() || (Line[i + 1] != '\\' && Line[i + 1] != '"'))
        Fail("a backslash in quotes must be written \\\\ (or \\\" for a quote).");
      ++i;
    }
    r += Line[i];
  }
  Fail("the closing quote is missing.");
}

void THiveParser::ExpectEnd(const std::string& Line, size_t Pos) const {
  std::string rest = Trim(Line.substr(Pos));
  if (!rest.empty() && rest[0] != ';')
    Fail("unexpected text \"" + rest + "\" at the end of the line.");
}

TRegValue THiveParser::ParseData(const std::string& Name, const std::string& Data) const {
  if (!Data.empty() && Data[0] == '"') {
    size_t pos = 0;
    std::string text = ParseQuoted(Data, pos);
    ExpectEnd(Data, pos);
    return TRegValue::String(Name, text);
  }
  if (Data == "-") Fail("value deletions have no place in a settings file.");
  if (Data.compare(0, 6, "dword:") == 0) {
    std::string digits = Trim(Data.substr(6));
    size_t end = digits.find(';');
    digits = Trim(digits.substr(0, end));
    if (digits.empty() || digits.size() > 8) Fail("a dword needs 1 to 8 hexadecimal digits.");
    uint32_t v = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) Fail("\"" + digits + "\" is no hexadecimal number.");
      v = (v << 4) | static_cast<uint32_t>(HexDigit(c));
    }
    return TRegValue::DWord(Name, v);
  }
  if (Data.compare(0, 3, "hex") != 0)
    Fail("the data must be \"text\", dword:, hex: or hex(type):.");
  uint32_t type = rdtBinary;
  size_t colon = Data.find(':');
  if (colon == std::string::npos) Fail("\":\" is missing after hex.");
  std::string kind = Data.substr(3, colon - 3);
  if (!kind.empty()) {
    if (kind.size() < 3 || kind.front() != '(' || kind.back() != ')' || kind.size() > 10)
      Fail("the type of hex(type) must be 1 to 8 hexadecimal digits in parentheses.");
    type = 0;
    for (size_t i = 1; i + 1 < kind.size(); ++i) {
      if (HexDigit(kind[i]) < 0) Fail("the type \"" + kind + "\" is no hexadecimal number.");
      type = (type << 4) | static_cast<uint32_t>(HexDigit(kind[i]));
    }
  }
  TRegValue v;
  v.Name = Name;
  v.Type = type;
  v.Data = ParseHexBytes(Data.substr(colon + 1));
  if (type == rdtString) {
    // A text kept as UTF-16 bytes: back to UTF-8 without the terminator.
    std::string text = Utf16LeToUtf8(v.Data.data(), v.Data.size());
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return TRegValue::String(Name, text);
  }
  if (type == rdtDWord && v.Data.size() != 4) Fail("a dword in hex(4) must have 4 bytes.");
  return v;
}

std::vector<uint8_t> THiveParser::ParseHexBytes(const std::string& Text) const {
  std::vector<uint8_t> r;
  std::string t = Trim(Text.substr(0, Text.find(';')));
  if (t.empty()) return r;
  size_t i = 0;
  for (;;) {
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    size_t start = i;
    int v = 0;
    while (i < t.size() && HexDigit(t[i]) >= 0 && i - start < 2) v = v * 16 + HexDigit(t[i++]);
    if (i == start) Fail("a byte of hex data must be one or two hexadecimal digits.");
    r.push_back(static_cast<uint8_t>(v));
    while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
    if (i >= t.size()) break;
    if (t[i] != ',') Fail("the bytes of hex data must be separated by commas.");
    ++i;
    if (i >= t.size()) break;  // a trailing comma, as the editor writes before a line break
  }
  return r;
}

}  // namespace

THive ParseHive(const std::string& Text, const std::string& Root, const std::string& FileName) {
  return THiveParser(Root, FileName).Parse(Text);
}
