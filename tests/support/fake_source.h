#pragma once

// An Access file held as plain data, for engine tests that need exact
// control over columns, indexes, rows and where a read fails.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/conversion_source.h"

namespace bracken::testing {

struct FakeColumn {
  engine::ColumnDescription description;
  engine::ColumnFlags flags;
};

struct FakeTable {
  std::vector<FakeColumn> columns;  // field order = catalogue order
  std::vector<engine::IndexDescription> indexes;
  std::vector<std::vector<source::Variant>> rows;
  // Failures, raised as source errors with these descriptions.
  std::string openFailure;      // when the rows are opened
  long indexFailureAt = -1;     // when this index is read
  std::string flagsFailureFor;  // when this column's flags are read
  long rowFailureAt = -1;       // when a value of this row is read
  // A damaged file: notes on the definition, the count the definition keeps
  // (-1: none), and the notes of pages the rows left out (given once the
  // rows are read to their end).
  std::vector<std::string> damage;
  long storedRows = -1;
  std::vector<std::string> rowDamage;
  std::vector<std::string> children;  // child tables, converted after it
};

class FakeSource : public engine::ConversionSource {
 public:
  std::map<std::string, FakeTable> tables;
  std::vector<std::string> fileDamage;

  std::vector<engine::ColumnDescription> Columns(const std::string& table) override;
  long IndexCount(const std::string& table) override;
  engine::IndexDescription Index(const std::string& table, long index) override;
  engine::ColumnFlags Flags(const std::string& table, const std::string& column) override;
  std::unique_ptr<engine::RowSource> OpenRows(const std::string& table) override;
  std::vector<std::string> ChildTables(const std::string& table) override;
  std::vector<std::string> TableDamage(const std::string& table) override;
  long StoredRowCount(const std::string& table) override;
  std::vector<std::string> FileDamage() override { return fileDamage; }

 private:
  FakeTable& Find(const std::string& table);
};

// Shorthands for test tables.
FakeColumn TextColumn(const std::string& name, int size = 50, bool nullable = true);
FakeColumn LongColumn(const std::string& name, bool autoIncrement = false, bool nullable = true);
FakeColumn TypedColumn(const std::string& name, int32_t type, int32_t size = 0,
                       bool nullable = true);
engine::IndexDescription Key(const std::string& name, std::vector<std::string> columns,
                             bool primary = false, bool unique = false);

// The description the provider gives a table another program holds open.
inline constexpr const char* kLockedDescription =
    "The table 'T' is already opened exclusively by another user, or it is already open "
    "through the user interface and cannot be manipulated programmatically.";

}  // namespace bracken::testing
