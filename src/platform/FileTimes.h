#pragma once
// File times as the program's formats carry them: the packed date-time of
// 32 bits, in local time.
//   bits 31..25 year - 1980, 24..21 month, 20..16 day,
//   bits 15..11 hour, 10..5 minute, 4..0 seconds / 2.

#include <cstdint>
#include <ctime>
#include <string>

// Local time of T, packed. Odd seconds are rounded down; times before 1980 or
// after 2107 are clamped to the first or last representable moment.
int32_t UnixTimeToFileDate(time_t T);
// The moment of a packed local date-time; -1 when the fields are no valid date.
time_t FileDateToUnixTime(int32_t FileDate);

// Day counts: days since 30 December 1899 with the time of day as fraction.
double FileDateToDateTime(int32_t FileDate);
// -1 when the day count is outside the packed range or not a number.
int32_t DateTimeToFileDate(double DateTime);
// Packs calendar fields directly; -1 when they are no valid date in range.
int32_t EncodeFileDate(int Year, int Month, int Day, int Hour, int Minute, int Second);

// Modification time of a file, packed; -1 when the file cannot be read.
int32_t FileAge(const std::string& FileName);
// Sets the modification time; false (errno set) when impossible or invalid.
bool FileSetDate(const std::string& FileName, int32_t FileDate);
