// Chart names and their 32-bit codes. Three series of names:
//   "18" set(2) sheet(2) [sub(1 hex) [sub(1 hex)]]   e.g. 1801051a
//   "frl_" sheet(2) [sub(1 decimal)]                 e.g. frl_07
//   "NNZK_" one of four set numbers                  e.g. NNZK_2593

#include <cctype>
#include <cstring>

#include "QvDigitalCharts.h"

namespace {

constexpr const char* NNZKNumbers[] = {"1014", "2322", "2593", "3371"};

bool StartsWithNoCase(const std::string& Text, size_t Pos, const char* Prefix) {
  const size_t n = std::strlen(Prefix);
  if (Pos > Text.size() || Text.size() - Pos < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::toupper(uint8_t(Text[Pos + i])) != std::toupper(uint8_t(Prefix[i]))) return false;
  return true;
}

bool IsDigit(char C) {
  return C >= '0' && C <= '9';
}
bool IsHexDigit(char C) {
  return IsDigit(C) || (C >= 'A' && C <= 'F') || (C >= 'a' && C <= 'f');
}

// Reads a field of Width characters at Pos into Value: a single letter A-F
// is 10-15, anything else must be decimal digits. Checks Min..Max.
bool ReadField(const std::string& Name, size_t& Pos, size_t Width, int Min, int Max, int& Value) {
  if (Name.size() < Pos + Width) return false;
  if (Width == 1 && std::isxdigit(uint8_t(Name[Pos])) && !IsDigit(Name[Pos])) {
    Value = std::toupper(uint8_t(Name[Pos])) - 'A' + 10;
  } else {
    Value = 0;
    for (size_t i = 0; i < Width; ++i) {
      if (!IsDigit(Name[Pos + i])) return false;
      Value = Value * 10 + (Name[Pos + i] - '0');
    }
  }
  Pos += Width;
  return Value >= Min && Value <= Max;
}

bool ParseSeries18(const std::string& Name, TChartCodeFields& F) {
  size_t pos = 2;
  int set = 0, sheet = 0, sub = 0;
  if (!ReadField(Name, pos, 2, 0, 99, set)) return false;
  if (pos >= Name.size() || !IsDigit(Name[pos])) return false;
  if (!ReadField(Name, pos, 2, 1, 255, sheet)) return false;
  F = TChartCodeFields{0, uint8_t(set), uint8_t(sheet), 0, 0};
  if (pos == Name.size()) return true;
  if (!IsHexDigit(Name[pos]) || !ReadField(Name, pos, 1, 1, 255, sub)) return false;
  F.SubSheet1 = uint8_t(sub);
  if (pos == Name.size()) return true;
  if (!IsHexDigit(Name[pos]) || !ReadField(Name, pos, 1, 1, 255, sub)) return false;
  F.SubSheet2 = uint8_t(sub);
  return pos == Name.size();
}

bool ParseSeriesFrl(const std::string& Name, TChartCodeFields& F) {
  size_t pos = 4;
  int sheet = 0, sub = 0;
  if (!ReadField(Name, pos, 2, 0, 99, sheet)) return false;
  F = TChartCodeFields{1, 1, uint8_t(sheet), 0, 0};
  if (pos == Name.size()) return true;
  if (!IsDigit(Name[pos]) || !ReadField(Name, pos, 1, 1, 255, sub)) return false;
  F.SubSheet1 = uint8_t(sub);
  return pos == Name.size();
}

bool ParseSeriesNNZK(const std::string& Name, TChartCodeFields& F) {
  for (int i = 0; i < 4; ++i) {
    if (Name.size() == 9 && StartsWithNoCase(Name, 5, NNZKNumbers[i])) {
      F = TChartCodeFields{2, uint8_t(i + 1), 0, 0, 0};
      return true;
    }
  }
  return false;
}

// At least two digits: numbers below 10 get a leading zero.
std::string TwoDigits(int Value) {
  std::string digits = std::to_string(Value);
  if (Value < 10) digits.insert(digits.begin(), '0');
  return digits;
}

char SubSheetChar(int Value) {
  return Value < 10 ? char('0' + Value) : char('a' + Value - 10);
}

}  // namespace

uint32_t MakeChartCode(const TChartCodeFields& F) {
  return (uint32_t(F.Series) << 24) | (uint32_t(F.SetNumber) << 16) | (uint32_t(F.Sheet) << 8) |
         (uint32_t(F.SubSheet1 & 0x0F) << 4) | uint32_t(F.SubSheet2 & 0x0F);
}

TChartCodeFields SplitChartCode(uint32_t Code) {
  return TChartCodeFields{uint8_t(Code >> 24), uint8_t(Code >> 16), uint8_t(Code >> 8),
                          uint8_t((Code >> 4) & 0x0F), uint8_t(Code & 0x0F)};
}

bool ChartNameToCode(const std::string& Name, uint32_t& Code) {
  TChartCodeFields fields;
  bool ok = false;
  if (StartsWithNoCase(Name, 0, "18"))
    ok = ParseSeries18(Name, fields);
  else if (StartsWithNoCase(Name, 0, "frl_"))
    ok = ParseSeriesFrl(Name, fields);
  else if (StartsWithNoCase(Name, 0, "NNZK_"))
    ok = ParseSeriesNNZK(Name, fields);
  if (ok) Code = MakeChartCode(fields);
  return ok;
}

bool ChartCodeToName(uint32_t Code, std::string& Name) {
  const TChartCodeFields f = SplitChartCode(Code);
  switch (f.Series) {
    case 0:
      if (f.SubSheet1 == 0 && f.SubSheet2 != 0) return false;
      Name = "18" + TwoDigits(f.SetNumber) + TwoDigits(f.Sheet);
      if (f.SubSheet1 != 0) Name += SubSheetChar(f.SubSheet1);
      if (f.SubSheet2 != 0) Name += SubSheetChar(f.SubSheet2);
      return true;
    case 1:
      if (f.SetNumber != 1) return false;
      Name = "frl_" + TwoDigits(f.Sheet);
      if (f.SubSheet1 != 0) Name += SubSheetChar(f.SubSheet1);
      return true;
    case 2:
      if (f.SetNumber < 1 || f.SetNumber > 4) return false;
      Name = std::string("NNZK_") + NNZKNumbers[f.SetNumber - 1];
      return true;
    default:
      return false;
  }
}

std::string ChartSetCodeOfChart(uint32_t Code) {
  const TChartCodeFields f = SplitChartCode(Code);
  if (f.Series == 0) return std::to_string(1800 + f.SetNumber);
  if (f.Series == 2) return "NNZK";
  return {};
}
