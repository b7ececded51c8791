#include "source/jet/queries.h"

#include "source/jet/row_layout.h"
#include "source/jet/row_scanner.h"
#include "source/jet/system_table_fields.h"
#include "source/jet/value_decoding.h"

namespace bracken::source::jet {

namespace {

constexpr size_t kMaxQueryRows = 4'000'000;

struct QueryColumns {
  int objectId, attribute, order, name1, name2, expression, flag;
};

QueryColumns LocateColumns(const TableDefinition& table) {
  QueryColumns c{FindColumn(table, "ObjectId"), FindColumn(table, "Attribute"),
                 FindColumn(table, "Order"),    FindColumn(table, "Name1"),
                 FindColumn(table, "Name2"),    FindColumn(table, "Expression"),
                 FindColumn(table, "Flag")};
  for (int position : {c.objectId, c.attribute, c.order, c.name1, c.name2, c.expression, c.flag}) {
    if (position < 0) ThrowDamaged("the table of saved queries lacks its columns");
  }
  return c;
}

std::string TextOf(const Variant& value) {
  if (value.IsNull()) return {};
  if (value.kind() != Variant::Kind::Text) ThrowDamaged("a name or expression in it is not text");
  return value.ToText();
}

std::optional<int64_t> IntegerOf(const Variant& value) {
  switch (value.kind()) {
    case Variant::Kind::Null:
      return std::nullopt;
    case Variant::Kind::Byte:
    case Variant::Kind::Integer:
    case Variant::Kind::Long:
      return value.ToInt64();
    default:
      ThrowDamaged("a number in it is not a number");
  }
}

}  // namespace

std::vector<QueryRow> ReadQueryRows(const std::shared_ptr<const PageFile>& file,
                                    const Format& format, uint16_t codePage,
                                    const std::shared_ptr<const TableDefinition>& table,
                                    std::vector<QueryRowDamage>& damage,
                                    std::vector<std::string>& unplaced) {
  QueryColumns columns = LocateColumns(*table);
  ValueContext context{file.get(), format, codePage};
  RowScanner scanner(file, format, table);
  RowLayout layout;
  std::vector<FieldSlice> slices;
  std::vector<QueryRow> rows;
  uint32_t found = 0;
  while (scanner.Next()) {
    ++found;
    if (rows.size() >= kMaxQueryRows) ThrowDamaged("it holds too many rows");
    Bytes bytes = scanner.Row();
    auto field = [&](int column) { return ReadField(*table, column, bytes, slices, context); };
    QueryRow row;
    std::optional<int64_t> id;
    try {
      layout.Parse(bytes, *table, format, slices);
      id = IntegerOf(field(columns.objectId));
      if (!id) ThrowDamaged("it names no query");
    } catch (const SourceError& error) {
      unplaced.push_back(DamageReason(error));
      continue;
    }
    row.objectId = static_cast<int32_t>(*id);
    try {
      std::optional<int64_t> attribute = IntegerOf(field(columns.attribute));
      if (!attribute || *attribute < 0 || *attribute > 255) {
        ThrowDamaged("its attribute is missing or out of range");
      }
      row.attribute = static_cast<uint8_t>(*attribute);
      Variant order = field(columns.order);
      if (!order.IsNull()) {
        if (order.kind() != Variant::Kind::Binary) ThrowDamaged("its order is not binary");
        row.order = order.Bytes();
      }
      row.name1 = TextOf(field(columns.name1));
      row.name2 = TextOf(field(columns.name2));
      row.expression = TextOf(field(columns.expression));
      if (std::optional<int64_t> flag = IntegerOf(field(columns.flag))) {
        row.flag = static_cast<int32_t>(*flag);
      }
    } catch (const SourceError& error) {
      damage.push_back({row.objectId, DamageReason(error)});
      continue;
    }
    rows.push_back(std::move(row));
  }
  // A query is a run of rows that may lie anywhere in the table: with any of
  // them out of reach, no query can be known whole.
  if (!scanner.Damage().empty() || found < table->rowCount) {
    ThrowDamaged("some of its rows are out of reach");
  }
  return rows;
}

}  // namespace bracken::source::jet
