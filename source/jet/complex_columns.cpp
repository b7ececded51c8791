#include "source/jet/complex_columns.h"

#include "source/jet/row_layout.h"
#include "source/jet/row_scanner.h"
#include "source/jet/table_definition.h"
#include "source/jet/value_decoding.h"

namespace bracken::source::jet {

namespace {

int ColumnNamed(const TableDefinition& table, std::string_view name) {
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i].name == name) return static_cast<int>(i);
  }
  ThrowDamaged("MSysComplexColumns lacks one of its columns");
}

int32_t LongField(const TableDefinition& table, int column, Bytes row,
                  const std::vector<FieldSlice>& slices, const ValueContext& context) {
  const FieldSlice& slice = slices[static_cast<size_t>(column)];
  if (!slice.present || table.columns[column].kind != ColumnKind::Long) return 0;
  return static_cast<int32_t>(
      DecodeValue(table.columns[column], row.Sub(slice.offset, slice.length), context).ToInt64());
}

}  // namespace

std::vector<ComplexColumnEntry> ReadComplexColumns(std::shared_ptr<const PageFile> file,
                                                   const Format& format, uint16_t codePage,
                                                   const std::vector<CatalogueObject>& objects) {
  std::vector<ComplexColumnEntry> entries;
  const CatalogueObject* found = nullptr;
  for (const auto& object : objects) {
    if (object.kind == static_cast<int16_t>(ObjectKind::Table) &&
        object.name == "MSysComplexColumns") {
      found = &object;
    }
  }
  if (found == nullptr) return entries;
  auto table = ReadTableDefinition(*file, format, codePage, found->DefinitionPage());
  int complexId = ColumnNamed(*table, "ComplexID");
  int flatTable = ColumnNamed(*table, "FlatTableID");
  int typeObject = ColumnNamed(*table, "ComplexTypeObjectID");
  ValueContext context{file.get(), format, codePage};
  RowScanner scanner(file, format, table);
  RowLayout layout;
  std::vector<FieldSlice> slices;
  while (scanner.Next()) {
    Bytes row = scanner.Row();
    // An entry that cannot be read leaves its column without one, and the
    // column's table then names its definition unreadable.
    try {
      layout.Parse(row, *table, format, slices);
      entries.push_back({LongField(*table, complexId, row, slices, context),
                         LongField(*table, flatTable, row, slices, context),
                         LongField(*table, typeObject, row, slices, context)});
    } catch (const SourceError& error) {
      scanner.LeaveOut(error);
    }
  }
  return entries;
}

}  // namespace bracken::source::jet
