#pragma once

// Reading Access's own tables (MSysObjects, MSysRelationships,
// MSysQueries) field by field: their columns are found by name, as the
// versions of Access order them differently, and a field is decoded from
// the slices the row layout gives.

#include <string_view>
#include <vector>

#include "source/jet/bytes.h"
#include "source/jet/row_layout.h"
#include "source/jet/table_definition.h"
#include "source/jet/value_decoding.h"
#include "source/variant.h"

namespace bracken::source::jet {

// The position of the column named `name`, or -1 when the table has none.
int FindColumn(const TableDefinition& table, std::string_view name);

// The value of `column` in the row; Null for a null field or a column that
// was not found (-1).
Variant ReadField(const TableDefinition& table, int column, Bytes row,
                  const std::vector<FieldSlice>& slices, const ValueContext& context);

}  // namespace bracken::source::jet
