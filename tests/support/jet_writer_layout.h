#pragma once

// Where a table's columns live in its rows and how its definition describes
// them: type codes, column numbers, fixed offsets, variable slots and flags.

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"
#include "tests/support/jet_writer_format.h"

namespace bracken::testing::jet {

struct ColumnLayout {
  FixtureColumn column;
  uint8_t type = 0;
  uint16_t number = 0;
  uint16_t varIndex = 0;      // slot in the row's offset table (variable columns)
  uint16_t fixedOffset = 0;   // offset in the fixed area (fixed columns)
  uint16_t length = 0;        // defined length in bytes
  uint8_t flags = 0;          // the column's own flags ORed in
  uint8_t extendedFlags = 0;  // Jet 4 only: compressed text
  bool fixed = false;         // stored in the fixed area (Boolean lives in the null mask)
  bool longValue = false;
};

struct IndexLayout {
  FixtureIndex index;
  std::vector<uint16_t> columnNumbers;
};

struct TableLayout {
  std::vector<ColumnLayout> columns;
  std::vector<IndexLayout> indexes;
  uint16_t fixedSize = 0;
  uint16_t varCount = 0;
  std::vector<int> longColumns;  // positions in `columns`
};

// Throws std::invalid_argument for a definition Jet cannot hold (no columns,
// too many, an index on an unknown column or on more than ten columns, a
// Decimal column in Jet 3).
TableLayout LayOutTable(const FixtureTable& table, const WriterFormat& format);

}  // namespace bracken::testing::jet
