#include "source/date_serial.h"

#include <cmath>

namespace bracken::source {

namespace {

constexpr double kFirstDate = -657434.0;  // 1 January 100
constexpr double kLastDate = 2958466.0;   // the day after 31 December 9999

}  // namespace

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
  int64_t z = days - 25569 + 719468;  // days since 1 March of year 0
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

bool SplitDateSerial(double serial, DateParts& parts) {
  // Before 1899 the whole days count back and the fraction forward, so the
  // first day reaches down to (not including) one day before it.
  if (!std::isfinite(serial) || serial <= kFirstDate - 1.0 || serial >= kLastDate) return false;
  int64_t days = static_cast<int64_t>(std::trunc(serial));
  double fraction = std::fabs(serial - static_cast<double>(days));
  int64_t seconds = std::llround(fraction * 86400.0);
  if (seconds >= 86400) {
    seconds -= 86400;
    days += 1;
  }
  // Within half a second of the end of 31 December 9999 the value stays on
  // that day rather than rounding into a year Access does not have.
  if (static_cast<double>(days) >= kLastDate) {
    days -= 1;
    seconds = 86399;
  }
  parts.dayNumber = days;
  parts.secondOfDay = seconds;
  CivilFromDays(days, parts.year, parts.month, parts.day);
  return true;
}

}  // namespace bracken::source
