#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace bracken::engine {

// A MySQL identifier between backticks, each backtick inside doubled, so that
// any name read from a file stays one name on the server.
std::string QuoteIdentifier(std::string_view name);
// Appends QuoteIdentifier(name) without a temporary.
void AppendQuotedIdentifier(std::string& out, std::string_view name);

// The number of characters in a UTF-8 text (bytes that start a character).
std::size_t CharacterCount(std::string_view utf8);

}  // namespace bracken::engine
