#include "source/jet/relationships.h"

#include "source/jet/row_layout.h"
#include "source/jet/row_scanner.h"
#include "source/jet/system_table_fields.h"
#include "source/jet/value_decoding.h"

namespace bracken::source::jet {

namespace {

constexpr size_t kMaxRelationshipRows = 1'000'000;

struct RelationshipColumns {
  int name, table, column, referencedTable, referencedColumn, columnCount, position, flags;
};

RelationshipColumns LocateColumns(const TableDefinition& table) {
  RelationshipColumns c{FindColumn(table, "szRelationship"),
                        FindColumn(table, "szObject"),
                        FindColumn(table, "szColumn"),
                        FindColumn(table, "szReferencedObject"),
                        FindColumn(table, "szReferencedColumn"),
                        FindColumn(table, "ccolumn"),
                        FindColumn(table, "icolumn"),
                        FindColumn(table, "grbit")};
  for (int position : {c.name, c.table, c.column, c.referencedTable, c.referencedColumn,
                       c.columnCount, c.position, c.flags}) {
    if (position < 0) ThrowDamaged("the table of relationships lacks its columns");
  }
  return c;
}

std::string TextOf(const Variant& value) {
  if (value.kind() != Variant::Kind::Text) ThrowDamaged("a name in it is not text");
  return value.ToText();
}

int64_t IntegerOf(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return value.ToInt64();
    default:
      ThrowDamaged("a count or flag in it is not a number");
  }
}

}  // namespace

std::vector<RelationshipRow> ReadRelationshipRows(
    const std::shared_ptr<const PageFile>& file, const Format& format, uint16_t codePage,
    const std::shared_ptr<const TableDefinition>& table, std::vector<std::string>& damage) {
  RelationshipColumns columns = LocateColumns(*table);
  ValueContext context{file.get(), format, codePage};
  RowScanner scanner(file, format, table);
  RowLayout layout;
  std::vector<FieldSlice> slices;
  std::vector<RelationshipRow> rows;
  while (scanner.Next()) {
    if (rows.size() >= kMaxRelationshipRows) ThrowDamaged("it holds too many rows");
    Bytes bytes = scanner.Row();
    auto field = [&](int column) { return ReadField(*table, column, bytes, slices, context); };
    RelationshipRow row;
    try {
      layout.Parse(bytes, *table, format, slices);
      row.name = TextOf(field(columns.name));
      row.table = TextOf(field(columns.table));
      row.column = TextOf(field(columns.column));
      row.referencedTable = TextOf(field(columns.referencedTable));
      row.referencedColumn = TextOf(field(columns.referencedColumn));
      row.columnCount = static_cast<int32_t>(IntegerOf(field(columns.columnCount)));
      row.position = static_cast<int32_t>(IntegerOf(field(columns.position)));
      row.flags = static_cast<uint32_t>(IntegerOf(field(columns.flags)));
    } catch (const SourceError& error) {
      damage.push_back(DamageReason(error));
      continue;
    }
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace bracken::source::jet
