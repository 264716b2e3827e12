#include "FloatFormat.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

TEST(FloatFormatTest, FormatsInTheThreeNotations) {
  using F = TFloatFormat;
  struct Case {
    long double Value;
    F Format;
    int Precision, Digits;
    const char* Sep;
    const char* Expect;
  } cases[] = {
      {12.345L, F::ffFixed, 7, 1, ".", "12.3"},
      {12.25L, F::ffFixed, 7, 1, ".", "12.2"},  // exact half to even
      {0.5L, F::ffFixed, 7, 0, ".", "0"},       // exact half to even
      {1.5L, F::ffFixed, 7, 0, ".", "2"},
      {100.0L, F::ffFixed, 7, 2, ",", "100,00"},
      {33.333332L, F::ffFixed, 7, 6, ".", "33.333330"},
      {9.99999999L, F::ffFixed, 7, 2, ".", "10.00"},
      {-0.001L, F::ffFixed, 7, 2, ".", "0.00"},  // no "-0.00"
      {-2.25L, F::ffFixed, 7, 1, ".", "-2.2"},
      {123456789.0L, F::ffFixed, 7, 2, ".", "1.234568E+8"},
      {3.14159L, F::ffGeneral, 7, 3, ".", "3.14159"},
      {2.5L, F::ffGeneral, 7, 3, ",", "2,5"},
      {0.0L, F::ffGeneral, 7, 3, ".", "0"},
      {1234567.0L, F::ffGeneral, 7, 3, ".", "1234567"},
      {12345678.0L, F::ffGeneral, 7, 3, ".", "1.234568E+007"},
      {0.0001L, F::ffGeneral, 7, 0, ".", "0.0001"},
      {0.000001L, F::ffGeneral, 7, 2, ".", "1E-06"},
      {-1.0e20L, F::ffGeneral, 7, 0, ".", "-1E+20"},
      {1234.5L, F::ffExponent, 7, 3, ".", "1.234500E+003"},
      {-0.00125L, F::ffExponent, 3, 0, ",", "-1,25E-3"},
      {0.0L, F::ffExponent, 4, 2, ".", "0.000E+00"},
      {std::numeric_limits<long double>::quiet_NaN(), F::ffFixed, 7, 2, ".", "NAN"},
      {-std::numeric_limits<long double>::infinity(), F::ffGeneral, 7, 2, ".", "-INF"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FloatToStrF(c.Value, c.Format, c.Precision, c.Digits, c.Sep), c.Expect)
        << static_cast<double>(c.Value);
}

TEST(FloatFormatTest, ReadsFloatsWithTheGivenSeparatorOnly) {
  struct Case {
    const char* Text;
    const char* Sep;
    bool Ok;
    long double Expect;
  } cases[] = {
      {"12.5", ".", true, 12.5L}, {"12,5", ",", true, 12.5L},   {"12.5", ",", false, 0},
      {" -3 ", ".", true, -3.0L}, {"+1e3", ".", true, 1000.0L}, {"1.5E-2", ".", true, 0.015L},
      {".5", ".", true, 0.5L},    {"5.", ".", true, 5.0L},      {"", ".", false, 0},
      {"-", ".", false, 0},       {"1e", ".", false, 0},        {"1.2.3", ".", false, 0},
      {"1,000.5", ".", false, 0}, {"inf", ".", false, 0},       {"nan", ".", false, 0},
      {"1e99999", ".", false, 0}, {"12a", ".", false, 0},
  };
  for (const Case& c : cases) {
    auto v = StrToFloat(c.Text, c.Sep);
    ASSERT_EQ(v.has_value(), c.Ok) << c.Text;
    if (c.Ok) {
      EXPECT_DOUBLE_EQ(static_cast<double>(*v), static_cast<double>(c.Expect)) << c.Text;
    }
  }
}

TEST(FloatFormatTest, ReadsSixtyFourBitIntegers) {
  struct Case {
    const char* Text;
    bool Ok;
    int64_t Expect;
  } cases[] = {
      {"21", true, 21},
      {"  -5", true, -5},
      {"+7", true, 7},
      {"9223372036854775807", true, std::numeric_limits<int64_t>::max()},
      {"-9223372036854775808", true, std::numeric_limits<int64_t>::min()},
      {"9223372036854775808", false, 0},
      {"$FF", true, 255},
      {"$ff", true, 255},
      {"$FFFFFFFFFFFFFFFF", true, -1},
      {"$1FFFFFFFFFFFFFFFF", false, 0},
      {"$", false, 0},
      {"", false, 0},
      {"-", false, 0},
      {"12 ", false, 0},
      {"1x", false, 0},
  };
  for (const Case& c : cases) {
    auto v = StrToInt64(c.Text);
    ASSERT_EQ(v.has_value(), c.Ok) << c.Text;
    if (c.Ok) {
      EXPECT_EQ(*v, c.Expect) << c.Text;
    }
  }
}

TEST(FloatFormatTest, RoundsHalvesToEvenAndSaturates) {
  EXPECT_EQ(RoundToInt64(2.5L), 2);
  EXPECT_EQ(RoundToInt64(3.5L), 4);
  EXPECT_EQ(RoundToInt64(-2.5L), -2);
  EXPECT_EQ(RoundToInt64(2.4999L), 2);
  EXPECT_EQ(RoundToInt64(1e30L), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(RoundToInt64(-1e30L), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(RoundToInt64(std::numeric_limits<long double>::quiet_NaN()), 0);
}

}  // namespace
