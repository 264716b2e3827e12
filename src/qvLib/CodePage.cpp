#include "CodePage.h"

namespace {

// 0x80..0x9F of Windows-1252; the five unused bytes keep their C1 code.
constexpr char16_t kAnsiHigh[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// 0x80..0xFF of code page 437.
constexpr char16_t kOemHigh[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

void AppendUtf8(std::string& Out, char32_t C) {
  if (C < 0x80) {
    Out.push_back(static_cast<char>(C));
  } else if (C < 0x800) {
    Out.push_back(static_cast<char>(0xC0 | (C >> 6)));
    Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  } else if (C < 0x10000) {
    Out.push_back(static_cast<char>(0xE0 | (C >> 12)));
    Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  } else {
    Out.push_back(static_cast<char>(0xF0 | (C >> 18)));
    Out.push_back(static_cast<char>(0x80 | ((C >> 12) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | ((C >> 6) & 0x3F)));
    Out.push_back(static_cast<char>(0x80 | (C & 0x3F)));
  }
}

// Decodes one UTF-8 sequence at Pos; invalid bytes are taken as Windows-1252
// so that text which was never UTF-8 survives.
char32_t NextCodePoint(const std::string& S, size_t& Pos) {
  const auto b0 = static_cast<uint8_t>(S[Pos]);
  int extra = b0 >= 0xF0 ? 3 : b0 >= 0xE0 ? 2 : b0 >= 0xC0 ? 1 : 0;
  if (b0 < 0x80 || extra == 0 || Pos + extra >= S.size()) {
    ++Pos;
    return b0 < 0x80 ? b0 : AnsiToUnicode(b0);
  }
  char32_t c = b0 & (0x3F >> extra);
  for (int i = 1; i <= extra; ++i) {
    const auto b = static_cast<uint8_t>(S[Pos + i]);
    if ((b & 0xC0) != 0x80) {
      ++Pos;
      return AnsiToUnicode(b0);
    }
    c = (c << 6) | (b & 0x3F);
  }
  Pos += extra + 1;
  return c;
}

uint8_t UnicodeToAnsi(char32_t C) {
  if (C < 0x80 || (C >= 0xA0 && C <= 0xFF)) return static_cast<uint8_t>(C);
  for (int i = 0; i < 32; ++i)
    if (kAnsiHigh[i] == C) return static_cast<uint8_t>(0x80 + i);
  return '?';
}

}  // namespace

char32_t AnsiToUnicode(uint8_t Byte) {
  if (Byte >= 0x80 && Byte < 0xA0) return kAnsiHigh[Byte - 0x80];
  return Byte;
}

std::string AnsiToUtf8(const std::string& Ansi) {
  std::string out;
  out.reserve(Ansi.size());
  for (const char ch : Ansi) AppendUtf8(out, AnsiToUnicode(static_cast<uint8_t>(ch)));
  return out;
}

std::string Utf8ToAnsi(const std::string& Utf8) {
  std::string out;
  out.reserve(Utf8.size());
  size_t pos = 0;
  while (pos < Utf8.size())
    out.push_back(static_cast<char>(UnicodeToAnsi(NextCodePoint(Utf8, pos))));
  return out;
}

void OemToAnsiInPlace(uint8_t* Bytes, size_t Count) {
  for (size_t i = 0; i < Count; ++i)
    if (Bytes[i] >= 0x80) Bytes[i] = UnicodeToAnsi(kOemHigh[Bytes[i] - 0x80]);
}
