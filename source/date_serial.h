#pragma once

// Access dates: a count of days from 30 December 1899 with the time of day
// as fraction. For days before that date the fraction still counts forward
// from midnight ("-1.25" is 29 December 1899, 6:00).

#include <cstdint>

namespace bracken::source {

struct DateParts {
  int year = 1899, month = 12, day = 30;
  int64_t dayNumber = 0;    // days from 30 December 1899
  int64_t secondOfDay = 0;  // rounded to the second
};

// False for values outside 1 January 100 to 31 December 9999, or not finite.
bool SplitDateSerial(double serial, DateParts& parts);

// Year, month and day of a count of days from 30 December 1899 (negative
// before it), in the proleptic Gregorian calendar.
void CivilFromDays(int64_t days, int& year, int& month, int& day);

// Days from 1 January of the year 1 to 30 December 1899.
inline constexpr int64_t kDaysFromYearOne = 693593;

}  // namespace bracken::source
