#pragma once

// Cells as verify compares them: each value, from the Access side (the
// value MySQL must hold) or from the server (the text it sends), is written
// in one canonical form per kind, so that equal values give equal bytes and
// the bytes sort as the server sorts the key. Integers and decimals compare
// exactly, a Single as a 32-bit float, a Double as a 64-bit float, dates to
// the second, text and bytes byte for byte; Yes/No is 0/1 and a GUID its text.

#include <string>
#include <string_view>

#include "engine/target_value.h"

namespace bracken::engine {

// Appends the canonical form of the value MySQL must hold.
void AppendCanonical(std::string& out, const TargetValue& value);

// Appends the canonical form of a cell the server sent for a column that
// holds values of `kind`; `isNull` for SQL NULL. A text that does not read
// as that kind (a column whose type was changed) is canonical as a text and
// so differs from every number or date.
void AppendCanonical(std::string& out, CellKind kind, bool isNull, std::string_view cell);

// The value as the report shows it: NULL, a number or date as it is, a text
// in quotes, bytes as 0x and hex digits (X'' when empty); long values
// shortened to about `limit` characters with "...".
std::string DisplayValue(const TargetValue& value, std::size_t limit = 40);
std::string DisplayCell(CellKind kind, bool isNull, std::string_view cell, std::size_t limit = 40);

// True when the server's COLUMN_TYPE ("int(11)", "decimal(19,4)",
// "tinyint(3) unsigned", "bit(1)") names the planned type ("INT",
// "DECIMAL(19, 4)", "TINYINT UNSIGNED", "BIT"); display widths, case and
// spaces aside.
bool SameColumnType(const std::string& planned, const std::string& columnType);

}  // namespace bracken::engine
