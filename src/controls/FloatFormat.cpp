#include "FloatFormat.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// The value rounded to Precision significant digits, as the digit string and
// the decimal exponent of its first digit (Value = d.ddd x 10^Exponent).
struct TDecimal {
  std::string Digits;
  int Exponent = 0;
};

TDecimal ToDecimal(long double Magnitude, int Precision) {
  char buf[64];
  auto res =
      std::to_chars(buf, buf + sizeof buf, Magnitude, std::chars_format::scientific, Precision - 1);
  std::string text(buf, res.ptr);
  TDecimal dec;
  size_t e = text.find('e');
  for (size_t i = 0; i < e; ++i)
    if (text[i] != '.') dec.Digits += text[i];
  dec.Exponent = std::atoi(text.c_str() + e + 1);
  return dec;
}

std::string ExponentText(int Exponent, int MinDigits) {
  std::string digits = std::to_string(std::abs(Exponent));
  if (static_cast<int>(digits.size()) < MinDigits) digits.insert(0, MinDigits - digits.size(), '0');
  return std::string("E") + (Exponent < 0 ? "-" : "+") + digits;
}

std::string Scientific(const std::string& Digits, int Exponent, int ExpDigits,
                       const std::string& Sep) {
  std::string text(1, Digits[0]);
  if (Digits.size() > 1) text += Sep + Digits.substr(1);
  return text + ExponentText(Exponent, ExpDigits);
}

std::string StripTrailingZeros(std::string Digits) {
  while (Digits.size() > 1 && Digits.back() == '0') Digits.pop_back();
  return Digits;
}

// Digits placed around the decimal point of a number in plain notation.
std::string Plain(const std::string& Digits, int Exponent, const std::string& Sep) {
  if (Exponent < 0) return "0" + Sep + std::string(-Exponent - 1, '0') + Digits;
  std::string whole = Digits.substr(0, std::min<size_t>(Digits.size(), Exponent + 1));
  if (static_cast<int>(whole.size()) < Exponent + 1) whole.append(Exponent + 1 - whole.size(), '0');
  std::string fraction = Digits.size() > whole.size() ? Digits.substr(whole.size()) : "";
  return fraction.empty() ? whole : whole + Sep + fraction;
}

std::string General(long double Magnitude, int Precision, int ExpDigits, const std::string& Sep) {
  if (Magnitude == 0) return "0";
  TDecimal dec = ToDecimal(Magnitude, Precision);
  std::string digits = StripTrailingZeros(dec.Digits);
  if (dec.Exponent >= Precision || dec.Exponent < -5)
    return Scientific(digits, dec.Exponent, ExpDigits, Sep);
  return Plain(digits, dec.Exponent, Sep);
}

std::string Fixed(long double Magnitude, int Precision, int Digits, const std::string& Sep) {
  TDecimal dec = ToDecimal(Magnitude, Precision);
  if (Magnitude != 0 && dec.Exponent >= Precision)
    return Scientific(StripTrailingZeros(dec.Digits), dec.Exponent, 0, Sep);
  if (Magnitude == 0 || dec.Exponent + 1 + Digits <= Precision) {
    // Rounding to Digits decimals keeps no more than Precision digits.
    char buf[128];
    auto res = std::to_chars(buf, buf + sizeof buf, Magnitude, std::chars_format::fixed, Digits);
    std::string text(buf, res.ptr);
    size_t dot = text.find('.');
    if (dot != std::string::npos) text.replace(dot, 1, Sep);
    return text;
  }
  // More decimals asked than significant digits: pad with zeros.
  std::string text = Plain(dec.Digits, dec.Exponent, Sep);
  size_t sep = text.find(Sep);
  int have = sep == std::string::npos ? 0 : static_cast<int>(text.size() - sep - Sep.size());
  if (sep == std::string::npos && Digits > 0) text += Sep;
  text.append(std::max(0, Digits - have), '0');
  return text;
}

// True when the mantissa of a formatted number has no digit other than 0.
bool IsZeroText(const std::string& Text) {
  return Text.substr(0, Text.find('E')).find_first_of("123456789") == std::string::npos;
}

bool IsBlank(char C) {
  return C == ' ' || C == '\t';
}

}  // namespace

std::string FloatToStrF(long double Value, TFloatFormat Format, int Precision, int Digits,
                        const std::string& DecimalSeparator) {
  if (std::isnan(Value)) return "NAN";
  if (std::isinf(Value)) return Value < 0 ? "-INF" : "INF";
  Precision = std::clamp(Precision, 1, 18);
  long double magnitude = std::fabs(Value);
  std::string text;
  switch (Format) {
    case TFloatFormat::ffGeneral:
      text = General(magnitude, Precision, std::clamp(Digits, 0, 4), DecimalSeparator);
      break;
    case TFloatFormat::ffExponent: {
      TDecimal dec = ToDecimal(magnitude, Precision);
      text = Scientific(dec.Digits, dec.Exponent, std::clamp(Digits, 0, 4), DecimalSeparator);
      break;
    }
    case TFloatFormat::ffFixed:
      text = Fixed(magnitude, Precision, std::clamp(Digits, 0, 18), DecimalSeparator);
      break;
  }
  // A negative number that rounds to zero is shown without its sign.
  if (std::signbit(Value) && !IsZeroText(text)) text.insert(0, "-");
  return text;
}

std::optional<long double> StrToFloat(const std::string& Text,
                                      const std::string& DecimalSeparator) {
  size_t begin = 0, end = Text.size();
  while (begin < end && IsBlank(Text[begin])) ++begin;
  while (end > begin && IsBlank(Text[end - 1])) --end;
  std::string plain;
  size_t i = begin;
  bool negative = false;
  if (i < end && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
  int mantissaDigits = 0;
  bool seenSeparator = false;
  while (i < end) {
    if (std::isdigit(static_cast<unsigned char>(Text[i]))) {
      plain += Text[i++];
      ++mantissaDigits;
    } else if (!seenSeparator && !DecimalSeparator.empty() &&
               Text.compare(i, DecimalSeparator.size(), DecimalSeparator) == 0) {
      plain += '.';
      i += DecimalSeparator.size();
      seenSeparator = true;
    } else {
      break;
    }
  }
  if (mantissaDigits == 0) return std::nullopt;
  if (i < end && (Text[i] == 'e' || Text[i] == 'E')) {
    plain += 'e';
    ++i;
    if (i < end && (Text[i] == '+' || Text[i] == '-')) plain += Text[i++];
    int expDigits = 0;
    while (i < end && std::isdigit(static_cast<unsigned char>(Text[i]))) {
      plain += Text[i++];
      ++expDigits;
    }
    if (expDigits == 0) return std::nullopt;
  }
  if (i != end) return std::nullopt;
  long double value = 0;
  auto res = std::from_chars(plain.data(), plain.data() + plain.size(), value);
  if (res.ec != std::errc() || res.ptr != plain.data() + plain.size()) return std::nullopt;
  return negative ? -value : value;
}

std::optional<int64_t> StrToInt64(const std::string& Text) {
  size_t i = 0;
  while (i < Text.size() && IsBlank(Text[i])) ++i;
  bool negative = false;
  if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) negative = Text[i++] == '-';
  if (i < Text.size() && Text[i] == '$') {
    // Hexadecimal: up to 64 bits, read as two's complement.
    ++i;
    size_t count = Text.size() - i;
    if (count == 0 || count > 16) return std::nullopt;
    uint64_t bits = 0;
    auto res = std::from_chars(Text.data() + i, Text.data() + Text.size(), bits, 16);
    if (res.ec != std::errc() || res.ptr != Text.data() + Text.size()) return std::nullopt;
    int64_t value = static_cast<int64_t>(bits);
    return negative ? static_cast<int64_t>(0 - bits) : value;
  }
  if (i == Text.size() || !std::isdigit(static_cast<unsigned char>(Text[i]))) return std::nullopt;
  uint64_t magnitude = 0;
  auto res = std::from_chars(Text.data() + i, Text.data() + Text.size(), magnitude, 10);
  if (res.ec != std::errc() || res.ptr != Text.data() + Text.size()) return std::nullopt;
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  if (negative) {
    if (magnitude > limit + 1) return std::nullopt;
    return static_cast<int64_t>(0 - magnitude);
  }
  if (magnitude > limit) return std::nullopt;
  return static_cast<int64_t>(magnitude);
}

int64_t RoundToInt64(long double Value) {
  if (std::isnan(Value)) return 0;
  long double rounded = std::nearbyint(Value);
  if (rounded >= 9223372036854775807.0L) return std::numeric_limits<int64_t>::max();
  if (rounded <= -9223372036854775808.0L) return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(rounded);
}
