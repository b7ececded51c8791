#include "engine/schema/identifier.h"

namespace bracken::engine {

void AppendQuotedIdentifier(std::string& out, std::string_view name) {
  out += '`';
  for (char c : name) {
    if (c == '`') out += '`';
    out += c;
  }
  out += '`';
}

std::string QuoteIdentifier(std::string_view name) {
  std::string quoted;
  quoted.reserve(name.size() + 2);
  AppendQuotedIdentifier(quoted, name);
  return quoted;
}

std::size_t CharacterCount(std::string_view utf8) {
  std::size_t count = 0;
  for (char c : utf8) {
    if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++count;
  }
  return count;
}

}  // namespace bracken::engine
