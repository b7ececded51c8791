#include "source/jet/system_table_fields.h"

namespace bracken::source::jet {

int FindColumn(const TableDefinition& table, std::string_view name) {
  for (size_t i = 0; i < table.columns.size(); ++i) {
    if (table.columns[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

Variant ReadField(const TableDefinition& table, int column, Bytes row,
                  const std::vector<FieldSlice>& slices, const ValueContext& context) {
  if (column < 0 || !slices[column].present) return Variant();
  const FieldSlice& slice = slices[column];
  return DecodeValue(table.columns[column], row.Sub(slice.offset, slice.length), context);
}

}  // namespace bracken::source::jet
