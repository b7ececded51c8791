#pragma once

#include <string>
#include <string_view>

namespace bracken::engine {

// The SQL literal for one value text in a column of the given MySQL type,
// followed by its separating ",". Binary values arrive as "0x" + hex digits.
// The rules are those of target_value.h; a 12-hour text in a date column
// gives "''," here.
std::string MakeValueLiteral(const std::string& valueText, const std::string& typeName);

// The full date-and-time literal of a value text, what the row copy writes
// for a 12-hour text in a DATETIME column:
// "'2008-03-15 14:30:00',", or "'Invalid DateTime'," when the text is no date.
std::string MakeDateTimeLiteral(const std::string& valueText);

// Escapes a text for a single-quoted MySQL string literal.
std::string EscapeText(std::string_view text);

}  // namespace bracken::engine
