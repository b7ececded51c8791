#pragma once

// One row as Jet 4 stores it: the column count, the fixed area, the variable
// values, their offsets in reverse, the variable count and the null mask.

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
               const LongValueStore& storeLong, std::string& out);

}  // namespace bracken::testing::jet
