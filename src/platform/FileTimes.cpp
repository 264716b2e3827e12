#include "FileTimes.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>

namespace {

constexpr int kMinYear = 1980;
constexpr int kMaxYear = 2107;
// Days from 30 December 1899 to 1 January 1970.
constexpr double kUnixEpochDays = 25569.0;

bool IsLeap(int Y) {
  return (Y % 4 == 0 && Y % 100 != 0) || Y % 400 == 0;
}

int DaysInMonth(int Y, int M) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return M == 2 && IsLeap(Y) ? 29 : days[M - 1];
}

int32_t Pack(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  uint32_t d = (static_cast<uint32_t>(Year - kMinYear) << 9) | (Month << 5) | Day;
  uint32_t t = (Hour << 11) | (Minute << 5) | (Second / 2);
  return static_cast<int32_t>((d << 16) | t);
}

struct TFields {
  int Year, Month, Day, Hour, Minute, Second;
};

bool Unpack(int32_t FileDate, TFields& F) {
  uint32_t v = static_cast<uint32_t>(FileDate);
  F.Year = static_cast<int>(v >> 25) + kMinYear;
  F.Month = (v >> 21) & 0x0F;
  F.Day = (v >> 16) & 0x1F;
  F.Hour = (v >> 11) & 0x1F;
  F.Minute = (v >> 5) & 0x3F;
  F.Second = (v & 0x1F) * 2;
  return F.Month >= 1 && F.Month <= 12 && F.Day >= 1 && F.Day <= DaysInMonth(F.Year, F.Month) &&
         F.Hour < 24 && F.Minute < 60 && F.Second < 60;
}

// Days since 1 January 1970 of a calendar date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t Y, unsigned M, unsigned D) {
  Y -= M <= 2;
  const int64_t era = (Y >= 0 ? Y : Y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(Y - era * 400);
  const unsigned doy = (153 * (M + (M > 2 ? -3 : 9)) + 2) / 5 + D - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t Z, int& Y, int& M, int& D) {
  Z += 719468;
  const int64_t era = (Z >= 0 ? Z : Z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(Z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  D = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  M = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  Y = static_cast<int>(static_cast<int64_t>(yoe) + era * 400 + (M <= 2));
}

}  // namespace

int32_t EncodeFileDate(int Year, int Month, int Day, int Hour, int Minute, int Second) {
  if (Year < kMinYear || Year > kMaxYear || Month < 1 || Month > 12 || Day < 1 ||
      Day > DaysInMonth(Year, Month) || Hour < 0 || Hour > 23 || Minute < 0 || Minute > 59 ||
      Second < 0 || Second > 59)
    return -1;
  return Pack(Year, Month, Day, Hour, Minute, Second);
}

int32_t UnixTimeToFileDate(time_t T) {
  tm lt{};
  if (!::localtime_r(&T, &lt)) return -1;
  int year = lt.tm_year + 1900;
  if (year < kMinYear) return Pack(kMinYear, 1, 1, 0, 0, 0);
  if (year > kMaxYear) return Pack(kMaxYear, 12, 31, 23, 59, 58);
  // A leap second (tm_sec 60) is kept inside the minute.
  return Pack(year, lt.tm_mon + 1, lt.tm_mday, lt.tm_hour, lt.tm_min,
              lt.tm_sec > 59 ? 59 : lt.tm_sec);
}

time_t FileDateToUnixTime(int32_t FileDate) {
  TFields f{};
  if (!Unpack(FileDate, f)) return -1;
  tm lt{};
  lt.tm_year = f.Year - 1900;
  lt.tm_mon = f.Month - 1;
  lt.tm_mday = f.Day;
  lt.tm_hour = f.Hour;
  lt.tm_min = f.Minute;
  lt.tm_sec = f.Second;
  lt.tm_isdst = -1;  // let the time zone rules decide summer time
  return ::mktime(&lt);
}

double FileDateToDateTime(int32_t FileDate) {
  TFields f{};
  if (!Unpack(FileDate, f)) return 0.0;
  double days = static_cast<double>(DaysFromCivil(f.Year, f.Month, f.Day)) + kUnixEpochDays;
  return days + (f.Hour * 3600.0 + f.Minute * 60.0 + f.Second) / 86400.0;
}

int32_t DateTimeToFileDate(double DateTime) {
  if (!std::isfinite(DateTime) || std::fabs(DateTime) > 1e7) return -1;
  // Round to the millisecond first so that 0.5 days is exactly noon.
  int64_t ms = std::llround(DateTime * 86400000.0);
  int64_t dayNumber = ms >= 0 ? ms / 86400000 : -((-ms + 86399999) / 86400000);
  int64_t msOfDay = ms - dayNumber * 86400000;
  int y = 0, m = 0, d = 0;
  CivilFromDays(dayNumber - static_cast<int64_t>(kUnixEpochDays), y, m, d);
  int secs = static_cast<int>(msOfDay / 1000);
  return EncodeFileDate(y, m, d, secs / 3600, (secs / 60) % 60, secs % 60);
}

int32_t FileAge(const std::string& FileName) {
  struct stat st {};
  if (::stat(FileName.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return UnixTimeToFileDate(st.st_mtime);
}

bool FileSetDate(const std::string& FileName, int32_t FileDate) {
  time_t t = FileDateToUnixTime(FileDate);
  if (t == static_cast<time_t>(-1)) {
    errno = EINVAL;
    return false;
  }
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = t;
  times[1].tv_nsec = 0;
  return ::utimensat(AT_FDCWD, FileName.c_str(), times, 0) == 0;
}
