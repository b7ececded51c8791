#pragma once

// A table's definition: the chain of definition pages, read whole, with the
// columns, the real (physical) indexes, the logical indexes and the pointer
// to the usage map of the table's data pages.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/jet/column_kinds.h"
#include "source/jet/format.h"
#include "source/jet/index_definition.h"
#include "source/jet/page_file.h"

namespace bracken::source::jet {

struct ColumnDefinition {
  std::string name;
  ColumnKind kind = ColumnKind::Text;
  uint16_t number = 0;       // its bit in the null mask, and its place in the table
  uint16_t varIndex = 0;     // its slot among the variable-length columns
  uint16_t fixedOffset = 0;  // where a fixed-length value starts after the column count
  uint16_t length = 0;       // stored size in bytes
  uint8_t flags = 0;
  uint8_t precision = 0;
  uint8_t scale = 0;
  uint8_t extraFlags = 0;
  // A complex column's entry in MSysComplexColumns.
  uint32_t complexId = 0;
  // A calculated column keeps its stored result behind a small header; the
  // result's kind is the column's "ResultType" property, set by the catalogue
  // model (until then the column's own kind).
  bool calculated = false;
  ColumnKind resultKind = ColumnKind::Text;

  // A flag counts only on the kinds it belongs to: files from older Access
  // versions carry 0x40 on ordinary columns, and a memo or OLE value always
  // lives in the variable part of the row.
  bool FixedLength() const { return HasFlag(kColumnFixedLength) && !IsLongValue(kind); }
  bool AutoLong() const { return kind == ColumnKind::Long && HasFlag(kColumnAutoLong); }
  bool AutoGuid() const { return kind == ColumnKind::Guid && HasFlag(kColumnAutoGuid); }
  bool Hyperlink() const { return kind == ColumnKind::Memo && HasFlag(kColumnHyperlink); }
  bool HasFlag(uint8_t flag) const { return (flags & flag) != 0; }
};

struct TableDefinition {
  uint32_t page = 0;
  uint32_t rowCount = 0;
  uint16_t varColumnCount = 0;
  uint32_t usageMap = 0;                  // row pointer to the usage map of the data pages
  std::vector<ColumnDefinition> columns;  // in the table's own order (by number)
  std::vector<RealIndex> realIndexes;
  std::vector<LogicalIndex> logicalIndexes;
  // Why the index definitions could not be read; the table then has none.
  std::string indexDamage;
};

// Reads the definition whose first page is given.
std::shared_ptr<const TableDefinition> ReadTableDefinition(const PageFile& file,
                                                           const Format& format, uint16_t codePage,
                                                           uint32_t page);

}  // namespace bracken::source::jet
