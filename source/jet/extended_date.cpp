#include "source/jet/extended_date.h"

#include <cstdio>

#include "source/date_serial.h"

namespace bracken::source::jet {

namespace {

constexpr uint64_t kTicksPerDay = 864'000'000'000ULL;
constexpr uint64_t kLastDay = 3'652'058;  // 9999-12-31

uint64_t Digits(Bytes stored, size_t offset, size_t count) {
  uint64_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    uint8_t c = stored.U8(offset + i);
    if (c < '0' || c > '9') ThrowDamaged("a Date/Time Extended value is not a number");
    value = value * 10 + (c - '0');
  }
  return value;
}

}  // namespace

std::string ExtendedDateText(Bytes stored) {
  if (stored.size() < 41 || stored.U8(19) != ':' || stored.U8(39) != ':') {
    ThrowDamaged("a Date/Time Extended value has an unknown layout");
  }
  uint64_t days = Digits(stored, 0, 19);
  uint64_t ticks = Digits(stored, 20, 19);
  if (days > kLastDay || ticks >= kTicksPerDay) {
    ThrowDamaged("a Date/Time Extended value lies outside its range");
  }
  int year = 0, month = 0, day = 0;
  CivilFromDays(static_cast<int64_t>(days) - kDaysFromYearOne, year, month, day);
  uint64_t seconds = ticks / 10'000'000;
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02u:%02u:%02u.%07u", year, month, day,
                static_cast<unsigned>(seconds / 3600), static_cast<unsigned>(seconds / 60 % 60),
                static_cast<unsigned>(seconds % 60), static_cast<unsigned>(ticks % 10'000'000));
  return text;
}

}  // namespace bracken::source::jet
