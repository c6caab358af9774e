// MS-DOS date-times: the date in the high 16 bits (years since 1980, month,
// day), the time in the low 16 (hours, minutes, seconds / 2).
#pragma once

#include <cstdint>

namespace lzh {

// A date-time that names a real moment: months 1-12, days that exist in
// their month, hours below 24, minutes and seconds below 60. Win32's
// DosDateTimeToFileTime refuses the others; the POSIX half, whose mktime
// would carry them over, asks this.
inline bool IsValidDosDateTime(std::uint32_t stamp) {
  unsigned date = stamp >> 16, time = stamp & 0xFFFF;
  unsigned year = 1980 + (date >> 9), month = (date >> 5) & 0x0F, day = date & 0x1F;
  unsigned hour = time >> 11, minute = (time >> 5) & 0x3F, second2 = time & 0x1F;
  static const unsigned char kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) return false;
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap) return false;
  return hour < 24 && minute < 60 && second2 < 30;
}

}  // namespace lzh
