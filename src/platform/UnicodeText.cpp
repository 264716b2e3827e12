#include "UnicodeText.h"

namespace {

void PutUnit(std::vector<uint8_t>& Out, uint32_t Unit) {
  Out.push_back(static_cast<uint8_t>(Unit & 0xFF));
  Out.push_back(static_cast<uint8_t>(Unit >> 8));
}

void PutUtf8(std::string& Out, uint32_t Cp) {
  if (Cp < 0x80) {
    Out += static_cast<char>(Cp);
  } else if (Cp < 0x800) {
    Out += static_cast<char>(0xC0 | (Cp >> 6));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else if (Cp < 0x10000) {
    Out += static_cast<char>(0xE0 | (Cp >> 12));
    Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  } else {
    Out += static_cast<char>(0xF0 | (Cp >> 18));
    Out += static_cast<char>(0x80 | ((Cp >> 12) & 0x3F));
    Out += static_cast<char>(0x80 | ((Cp >> 6) & 0x3F));
    Out += static_cast<char>(0x80 | (Cp & 0x3F));
  }
}

// Decodes one code point at I; 0 when the bytes there are no valid UTF-8.
size_t DecodeUtf8(const std::string& S, size_t I, uint32_t& Cp) {
  const auto b = [&](size_t k) { return static_cast<uint8_t>(S[I + k]); };
  uint8_t c = b(0);
  size_t len = c < 0x80             ? 1
               : (c & 0xE0) == 0xC0 ? 2
               : (c & 0xF0) == 0xE0 ? 3
               : (c & 0xF8) == 0xF0 ? 4
                                    : 0;
  if (len == 0 || I + len > S.size()) return 0;
  if (len == 1) {
    Cp = c;
    return 1;
  }
  Cp = c & (0x7F >> len);
  for (size_t k = 1; k < len; ++k) {
    if ((b(k) & 0xC0) != 0x80) return 0;
    Cp = (Cp << 6) | (b(k) & 0x3F);
  }
  static const uint32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
  if (Cp < minimum[len] || Cp > 0x10FFFF || (Cp >= 0xD800 && Cp <= 0xDFFF)) return 0;
  return len;
}

}  // namespace

std::vector<uint8_t> Utf8ToUtf16Le(const std::string& Text) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < Text.size();) {
    uint32_t cp = 0;
    size_t n = DecodeUtf8(Text, i, cp);
    if (n == 0) {
      PutUnit(out, 0xDC00 | static_cast<uint8_t>(Text[i]));
      ++i;
      continue;
    }
    if (cp >= 0x10000) {
      cp -= 0x10000;
      PutUnit(out, 0xD800 | (cp >> 10));
      PutUnit(out, 0xDC00 | (cp & 0x3FF));
    } else {
      PutUnit(out, cp);
    }
    i += n;
  }
  return out;
}

std::string Utf16LeToUtf8(const uint8_t* Data, size_t Size) {
  std::string out;
  size_t units = Size / 2;
  auto unit = [&](size_t k) { return static_cast<uint32_t>(Data[2 * k] | (Data[2 * k + 1] << 8)); };
  for (size_t k = 0; k < units; ++k) {
    uint32_t u = unit(k);
    if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 &&
        unit(k + 1) <= 0xDFFF) {
      PutUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00));
      ++k;
    } else if (u >= 0xDC80 && u <= 0xDCFF) {
      out += static_cast<char>(u & 0xFF);  // a byte that was no UTF-8
    } else if (u >= 0xD800 && u <= 0xDFFF) {
      PutUtf8(out, 0xFFFD);
    } else {
      PutUtf8(out, u);
    }
  }
  return out;
}
