#pragma once

// MSysRelationships, the system table of the file's relationships: one row
// per pair of columns, naming the relationship, the table that refers
// (szObject) and its column, the table referred to (szReferencedObject) and
// its column, the column's place in the relationship (icolumn), how many
// columns it has (ccolumn) and its flags (grbit).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/jet/format.h"
#include "source/jet/page_file.h"
#include "source/jet/table_definition.h"

namespace bracken::source::jet {

// The flags of a relationship, as grbit keeps them.
inline constexpr uint32_t kRelationshipOneToOne = 0x1;
inline constexpr uint32_t kRelationshipNotEnforced = 0x2;
inline constexpr uint32_t kRelationshipInherited = 0x4;
inline constexpr uint32_t kRelationshipCascadeUpdates = 0x100;
inline constexpr uint32_t kRelationshipCascadeDeletes = 0x1000;
inline constexpr uint32_t kRelationshipCascadeNull = 0x2000;

struct RelationshipRow {
  std::string name;
  std::string table;
  std::string column;
  std::string referencedTable;
  std::string referencedColumn;
  int32_t columnCount = 0;
  int32_t position = 0;
  uint32_t flags = 0;
};

// The rows of MSysRelationships in the order they are stored. A row whose
// values cannot be read is left out with a note in `damage` naming why
// (worded to follow "a row of MSysRelationships"); rows the scan itself
// cannot reach are the scan's own damage and are not noted here. A definition
// that lacks the table's columns raises a source error.
std::vector<RelationshipRow> ReadRelationshipRows(
    const std::shared_ptr<const PageFile>& file, const Format& format, uint16_t codePage,
    const std::shared_ptr<const TableDefinition>& table, std::vector<std::string>& damage);

}  // namespace bracken::source::jet
