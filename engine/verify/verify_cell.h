#pragma once

// Cells as verify compares them: each value, from the Access side (the
// value MySQL must hold) or from the server (the text it sends), is written
// in one canonical form per kind, so that equal values give equal bytes and
// the bytes sort as the server sorts the key. Integers and decimals compare
// exactly, a Single as a 32-bit float, a Double as a 64-bit float, dates to
// the second, text and bytes byte for byte; Yes/No is 0/1 and a GUID its text.

#include <string>
#include <string_view>

#include "engine/rows/target_value.h"

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

// Texts are shown with their control characters escaped (\r, \n, \t, \0,
// \xNN for the others, ESC as \x1b) and a backslash doubled.

// For a file's value and the server's cell that differ where both are texts
// (or both bytes) and either is too long to show whole: the position of the
// first difference and both lengths, in characters (bytes), with an excerpt
// of each from a little before that position:
//   first differs at character 1201 (of 5000 in the file, 5001 in MySQL):
//   '...ends\r\nhere' in the file, '...ends\nhere' in MySQL
// Empty otherwise: the two values are then shown whole.
std::string FirstDifference(const TargetValue& value, CellKind kind, bool isNull,
                            std::string_view cell, std::size_t limit = 40);

// True when the server's COLUMN_TYPE ("int(11)", "decimal(19,4)",
// "tinyint(3) unsigned", "bit(1)") names the planned type ("INT",
// "DECIMAL(19, 4)", "TINYINT UNSIGNED", "BIT"); display widths, case and
// spaces aside.
bool SameColumnType(const std::string& planned, const std::string& columnType);

}  // namespace bracken::engine
