#pragma once

// The table both copy paths (batched INSERTs and LOAD DATA) are held to a
// row-by-row run with: duplicate keys first (row 100), in the middle (150)
// and last (199) of a batch or chunk, a run of them (300-304) and as the
// table's last row; values the column cannot hold; NaN in rows that arrive
// and in refused rows; rows that cannot be read.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"

namespace bracken::engine::rows_testing {

inline testing::FixtureTable OrdersWithRefusals() {
  using testing::ColumnKind;
  using testing::FixtureValue;
  using testing::MakeColumn;
  constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
  testing::FixtureTable table;
  table.name = "Orders";
  testing::FixtureColumn amount = MakeColumn("Amount", ColumnKind::Decimal);
  amount.precision = 4;
  amount.scale = 1;
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40),
                   MakeColumn("Ratio", ColumnKind::Double),
                   MakeColumn("Since", ColumnKind::DateTime), amount};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  table.generatedRows = 1000;
  table.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    const bool duplicate = i == 100 || i == 150 || i == 199 || (i >= 300 && i < 305) || i == 999;
    row[0] = duplicate ? int64_t{7} : i + 1;
    row[1] = "Name's " + std::to_string(i);
    row[2] = i % 50 == 0 || i == 199 ? kNaN : i * 0.5;
    // Past year 9999: the row cannot be read.
    row[3] = i == 420 || i == 599 ? 3.0e6 : 40000.25 + static_cast<double>(i);
    // More digits than the column holds: the server refuses the row, naming
    // its place in the statement.
    const bool tooLarge = i == 0 || i == 250 || i == 251 || i == 499 || i == 500 || i == 700;
    row[4] = tooLarge ? std::string("123456.5") : std::to_string(i % 1000) + ".5";
  };
  return table;
}

}  // namespace bracken::engine::rows_testing
