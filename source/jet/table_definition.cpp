#include "source/jet/table_definition.h"

#include <algorithm>
#include <unordered_set>

#include "source/jet/data_page.h"

namespace bracken::source::jet {

namespace {

constexpr size_t kPageHeaderSize = 8;  // type, unused, free space, next page
constexpr uint32_t kMaxColumns = 4096;
constexpr uint32_t kMaxIndexes = 4096;

// The definition pages, the first one whole and the others after their
// header, joined into one buffer.
std::vector<uint8_t> ReadDefinitionPages(const PageFile& file, uint32_t first) {
  std::vector<uint8_t> joined;
  std::vector<uint8_t> page;
  std::unordered_set<uint32_t> seen;
  for (uint32_t next = first; next != 0;) {
    if (!seen.insert(next).second) ThrowDamaged("the pages of a table definition form a loop");
    file.ReadPage(next, page);
    if (page[0] != kTableDefinitionPageType) {
      ThrowDamaged("page " + std::to_string(next) + " is not a table definition page");
    }
    Bytes bytes(page.data(), page.size(), "table definition");
    joined.insert(joined.end(), page.begin() + (joined.empty() ? 0 : kPageHeaderSize), page.end());
    next = bytes.U32(4);
  }
  return joined;
}

ColumnDefinition ReadColumn(Bytes entry, const Format& format) {
  ColumnDefinition column;
  // A kind this reader does not know keeps its code; its values read as bytes.
  column.kind = static_cast<ColumnKind>(entry.U8(0));
  column.number = entry.U16(format.columnNumber);
  column.varIndex = entry.U16(format.columnVarIndex);
  column.fixedOffset = entry.U16(format.columnFixedOffset);
  column.length = entry.U16(format.columnLength);
  column.flags = entry.U8(format.columnFlags);
  if (column.kind == ColumnKind::Decimal) {
    column.precision = entry.U8(format.columnPrecision);
    column.scale = entry.U8(format.columnScale);
  }
  if (format.columnExtraFlags != 0) column.extraFlags = entry.U8(format.columnExtraFlags);
  if (column.kind == ColumnKind::Complex) column.complexId = entry.U32(format.columnPrecision);
  column.calculated = (column.extraFlags & kColumnCalculated) == kColumnCalculated;
  column.resultKind = column.kind;
  if (column.FixedLength() && FixedSize(column.kind) != 0 &&
      column.length < FixedSize(column.kind)) {
    ThrowDamaged("column entry with a size too small for its type");
  }
  return column;
}

}  // namespace

std::shared_ptr<const TableDefinition> ReadTableDefinition(const PageFile& file,
                                                           const Format& format, uint16_t codePage,
                                                           uint32_t page) {
  std::vector<uint8_t> joined = ReadDefinitionPages(file, page);
  Bytes bytes(joined.data(), joined.size(), "table definition");
  auto table = std::make_shared<TableDefinition>();
  table->page = page;
  table->rowCount = bytes.U32(format.tdefRowCount);
  table->varColumnCount = bytes.U16(format.tdefVarColumns);
  uint32_t columnCount = bytes.U16(format.tdefColumns);
  uint32_t logicalCount = bytes.U32(format.tdefLogicalIndexes);
  uint32_t realCount = bytes.U32(format.tdefRealIndexes);
  table->usageMap = bytes.U32(format.tdefUsageMap);
  if (columnCount > kMaxColumns || logicalCount > kMaxIndexes || realCount > kMaxIndexes) {
    ThrowDamaged("a table definition claims too many columns or indexes");
  }

  size_t offset = format.tdefHeaderSize + size_t{realCount} * format.realIndexCountEntry;
  for (uint32_t i = 0; i < columnCount; ++i) {
    table->columns.push_back(ReadColumn(bytes.Sub(offset, format.columnEntrySize), format));
    offset += format.columnEntrySize;
  }
  for (auto& column : table->columns) {
    column.name = ReadDefinitionName(bytes, format, codePage, offset);
  }
  // The indexes come last: damage there leaves the columns and rows readable.
  try {
    offset = ReadRealIndexes(bytes, format, offset, realCount, table->realIndexes);
    ReadLogicalIndexes(bytes, format, codePage, offset, logicalCount, table->logicalIndexes);
  } catch (const SourceError& error) {
    table->realIndexes.clear();
    table->logicalIndexes.clear();
    table->indexDamage = DamageReason(error);
  }

  std::stable_sort(table->columns.begin(), table->columns.end(),
                   [](const auto& a, const auto& b) { return a.number < b.number; });
  for (size_t i = 1; i < table->columns.size(); ++i) {
    if (table->columns[i].number == table->columns[i - 1].number) {
      ThrowDamaged("two columns of a table share one number");
    }
  }
  return table;
}

}  // namespace bracken::source::jet
