#pragma once

// Date/Time Extended values: 42 bytes of ASCII, "DDDDDDDDDDDDDDDDDDD:TTTTTTTTTTTTTTTTTTT:V",
// the whole days since 1 January of the year 1 (proleptic Gregorian
// calendar), the time of day in ticks of 100 ns and a version digit.

#include <string>

#include "source/jet/bytes.h"

namespace bracken::source::jet {

// "YYYY-MM-DD HH:MM:SS.fffffff"; a value that does not parse, or lies past
// 9999-12-31, raises a damaged-file error.
std::string ExtendedDateText(Bytes stored);

}  // namespace bracken::source::jet
