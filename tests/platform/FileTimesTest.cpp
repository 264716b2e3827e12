#include "FileTimes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "TempDir.h"

namespace {

// Switches the local time zone for one test.
class TimeZone {
 public:
  explicit TimeZone(const char* Zone) {
    const char* old = std::getenv("TZ");
    FHad = old != nullptr;
    if (FHad) FOld = old;
    ::setenv("TZ", Zone, 1);
    ::tzset();
  }
  ~TimeZone() {
    if (FHad)
      ::setenv("TZ", FOld.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }

 private:
  bool FHad = false;
  std::string FOld;
};

std::string RunText(const std::string& Command) {
  std::string out;
  FILE* p = ::popen(Command.c_str(), "r");
  if (!p) return out;
  char buf[256];
  while (size_t n = fread(buf, 1, sizeof buf, p)) out.append(buf, n);
  ::pclose(p);
  return out;
}

struct PackCase {
  int Y, Mo, D, H, Mi, S;
  uint32_t Packed;  // -1 as 0xFFFFFFFF: not a valid date
};

TEST(FileTimes, EncodeFileDatePacksFieldsOrRejects) {
  const PackCase cases[] = {
      {1980, 1, 1, 0, 0, 0, 0x00210000},
      {2003, 5, 1, 12, 30, 44, (23u << 25 | 5u << 21 | 1u << 16 | 12u << 11 | 30u << 5 | 22u)},
      {2003, 5, 1, 12, 30, 45, (23u << 25 | 5u << 21 | 1u << 16 | 12u << 11 | 30u << 5 | 22u)},
      {2107, 12, 31, 23, 59, 58, 0xFF9FBF7D},
      {2004, 2, 29, 0, 0, 0, (24u << 25 | 2u << 21 | 29u << 16)},
      {2003, 2, 29, 0, 0, 0, 0xFFFFFFFF},
      {2000, 13, 1, 0, 0, 0, 0xFFFFFFFF},
      {2000, 4, 31, 0, 0, 0, 0xFFFFFFFF},
      {1979, 12, 31, 23, 59, 59, 0xFFFFFFFF},
      {2108, 1, 1, 0, 0, 0, 0xFFFFFFFF},
      {2000, 1, 1, 24, 0, 0, 0xFFFFFFFF},
  };
  for (const PackCase& c : cases)
    EXPECT_EQ(static_cast<uint32_t>(EncodeFileDate(c.Y, c.Mo, c.D, c.H, c.Mi, c.S)), c.Packed)
        << c.Y << "-" << c.Mo << "-" << c.D << " " << c.H << ":" << c.Mi << ":" << c.S;
}

TEST(FileTimes, UnixTimeIsPackedInLocalTime) {
  TimeZone tz("Europe/Amsterdam");
  // 2003-07-01 10:00:00 UTC is noon in summer time there.
  EXPECT_EQ(UnixTimeToFileDate(1057053600), EncodeFileDate(2003, 7, 1, 12, 0, 0));
  // 2003-01-15 10:00:00 UTC is 11:00 in winter.
  EXPECT_EQ(UnixTimeToFileDate(1042624800), EncodeFileDate(2003, 1, 15, 11, 0, 0));
  EXPECT_EQ(FileDateToUnixTime(EncodeFileDate(2003, 7, 1, 12, 0, 0)), 1057053600);
  EXPECT_EQ(FileDateToUnixTime(-1), -1);
  EXPECT_EQ(FileDateToUnixTime(0), -1);  // day 0 of month 0
}

TEST(FileTimes, MomentsOutsideThePackedRangeAreClamped) {
  TimeZone tz("UTC");
  EXPECT_EQ(UnixTimeToFileDate(0), EncodeFileDate(1980, 1, 1, 0, 0, 0));
  EXPECT_EQ(UnixTimeToFileDate(static_cast<time_t>(4400000000LL)),
            EncodeFileDate(2107, 12, 31, 23, 59, 58));
}

TEST(FileTimes, DayCountsConvertBothWays) {
  struct Case {
    double Days;
    int32_t Packed;
  } cases[] = {
      {37742.0, EncodeFileDate(2003, 5, 1, 0, 0, 0)},
      {37742.5, EncodeFileDate(2003, 5, 1, 12, 0, 0)},
      {37742.75, EncodeFileDate(2003, 5, 1, 18, 0, 0)},
      {29221.0, EncodeFileDate(1980, 1, 1, 0, 0, 0)},
      {38046.0, EncodeFileDate(2004, 2, 29, 0, 0, 0)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DateTimeToFileDate(c.Days), c.Packed) << c.Days;
    EXPECT_DOUBLE_EQ(FileDateToDateTime(c.Packed), c.Days) << c.Days;
  }
  EXPECT_EQ(DateTimeToFileDate(29220.0), -1);  // 31 December 1979
  EXPECT_EQ(DateTimeToFileDate(0.0 / 0.0), -1);
  EXPECT_EQ(DateTimeToFileDate(1e300), -1);
}

TEST(FileTimes, FileDateAgreesWithTouchAndStat) {
  TimeZone tz("Europe/Amsterdam");
  TempDir dir;
  std::string f = dir / "chart.bmp";
  WriteFileText(f, "x");
  // An independent tool sets the time in UTC; we read it in local time.
  ASSERT_EQ(std::system(("TZ=UTC touch -m -d '2003-05-01 12:00:07' '" + f + "'").c_str()), 0);
  EXPECT_EQ(FileAge(f), EncodeFileDate(2003, 5, 1, 14, 0, 6));

  ASSERT_TRUE(FileSetDate(f, EncodeFileDate(2002, 12, 24, 18, 30, 10)));
  EXPECT_EQ(RunText("TZ=UTC stat -c %y '" + f + "' | cut -c1-19"), "2002-12-24 17:30:10\n");
  EXPECT_EQ(FileAge(f), EncodeFileDate(2002, 12, 24, 18, 30, 10));
}

TEST(FileTimes, FailuresAreReported) {
  TempDir dir;
  EXPECT_EQ(FileAge(dir / "missing"), -1);
  EXPECT_EQ(FileAge(dir.Path()), -1);  // a folder has no file age
  EXPECT_FALSE(FileSetDate(dir / "missing", EncodeFileDate(2003, 1, 1, 0, 0, 0)));
  WriteFileText(dir / "f", "x");
  EXPECT_FALSE(FileSetDate(dir / "f", 0));
}

}  // namespace
