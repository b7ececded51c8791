#pragma once

// One row as Jet stores it: the column count, the fixed area, the variable
// values, their offsets in reverse (two bytes each in Jet 4, one byte each
// and a jump table in Jet 3), the variable count and the null mask.

#include <functional>
#include <string>
#include <vector>

#include "tests/support/jet_writer_layout.h"

namespace bracken::testing::jet {

// Stores a long value's bytes and returns the field kept in the row: the
// 12-byte reference, followed by the bytes themselves when they stay inline.
using LongValueStore = std::function<std::string(int columnPosition, const std::string& bytes)>;

// Builds the row into `out` (cleared first).
void EncodeRow(const TableLayout& layout, const std::vector<FixtureValue>& values,
               const LongValueStore& storeLong, const WriterFormat& format, std::string& out);

}  // namespace bracken::testing::jet
