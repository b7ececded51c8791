#pragma once

// The ten-column table the conversion and verify benchmarks share: the
// column mix of a typical customer table, and the values of its row i.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"

namespace bracken::bench {

inline std::vector<testing::FixtureColumn> BenchColumns() {
  using testing::ColumnKind;
  using testing::MakeColumn;
  return {MakeColumn("Id", ColumnKind::Long),        MakeColumn("Name", ColumnKind::Text, 40),
          MakeColumn("Active", ColumnKind::Boolean), MakeColumn("Score", ColumnKind::Integer),
          MakeColumn("Ratio", ColumnKind::Double),   MakeColumn("Balance", ColumnKind::Currency),
          MakeColumn("Since", ColumnKind::DateTime), MakeColumn("Code", ColumnKind::Text, 10),
          MakeColumn("Note", ColumnKind::Memo),      MakeColumn("Quantity", ColumnKind::Long)};
}

inline void FillBenchRow(int64_t i, std::vector<testing::FixtureValue>& row) {
  using testing::FixtureValue;
  row[0] = i + 1;
  row[1] = "Customer O'Name " + std::to_string(i % 9973);
  row[2] = i % 3 == 0;
  row[3] = (i * 7) % 30000;
  row[4] = i * 0.125;
  row[5] = i * 1999;
  row[6] = 36526.0 + (i % 20000) + (i % 86400) / 86400.0;
  row[7] = i % 5 ? FixtureValue(std::string("C").append(std::to_string(i % 1000))) : FixtureValue();
  row[8] = i % 4 ? FixtureValue("A short note for row " + std::to_string(i)) : FixtureValue();
  row[9] = (i * 31) % 1000003;
}

}  // namespace bracken::bench
