#pragma once
// Number-to-text conversions of the controls, with the decimal separator
// given by the caller (the user's locale). No Qt here, so the rules can be
// tested on their own.

#include <cstdint>
#include <optional>
#include <string>

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed };

// Formats Value with Precision significant digits (1 to 18).
// ffGeneral: the shorter of plain and scientific notation, trailing zeros
//   dropped; Digits is the minimum exponent digit count (0 to 4).
// ffExponent: "d.dddE+xx" with Precision digits; Digits as for ffGeneral.
// ffFixed: Digits digits after the separator (0 to 18); numbers with more
//   integer digits than Precision fall back to scientific notation.
std::string FloatToStrF(long double Value, TFloatFormat Format, int Precision, int Digits,
                        const std::string& DecimalSeparator = ".");

// Reads a float written with the given separator: optional blanks, sign,
// digits with at most one separator, optional exponent "E[+-]ddd", optional
// trailing blanks. Nothing else is accepted (no group separators).
std::optional<long double> StrToFloat(const std::string& Text,
                                      const std::string& DecimalSeparator = ".");

// Reads a 64-bit integer: optional leading blanks and sign, then decimal
// digits, or "$" followed by up to 16 hexadecimal digits (two's complement).
std::optional<int64_t> StrToInt64(const std::string& Text);

// Rounds to the nearest integer, halves to even, saturating at the ends of
// the 64-bit range; not-a-number gives 0.
int64_t RoundToInt64(long double Value);
