#pragma once

#include <optional>
#include <string_view>

namespace bracken::engine {

struct DateTimeParts {
  int year = 1899, month = 12, day = 30;
  int hour = 0, minute = 0, second = 0;
};

// Parses a value text in the program's fixed conventions: "3/15/2008",
// "3/15/2008 2:30:00 PM", "2:30:00 PM", or a 24-hour time "14:30:00"
// (with or without a date). A time alone takes the date 1899-12-30.
std::optional<DateTimeParts> ParseDateTimeText(std::string_view text);

}  // namespace bracken::engine
