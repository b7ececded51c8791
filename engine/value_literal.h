#pragma once

#include <string>
#include <string_view>

namespace bracken::engine {

// The SQL literal for one value text in a column of the given MySQL type,
// followed by its separating ",". Binary values arrive as "0x" + hex digits.
std::string MakeValueLiteral(const std::string& valueText, const std::string& typeName);

// Escapes a text for a single-quoted MySQL string literal.
std::string EscapeText(std::string_view text);

}  // namespace bracken::engine
