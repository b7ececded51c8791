#include "engine/rows/value_literal.h"

#include <cstdio>

#include "engine/rows/date_text.h"
#include "engine/rows/target_value.h"

namespace bracken::engine {

std::string MakeDateTimeLiteral(const std::string& valueText) {
  auto parts = ParseDateTimeText(valueText);
  if (!parts) return "'Invalid DateTime',";
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "'%04d-%02d-%02d %02d:%02d:%02d',", parts->year,
                parts->month, parts->day, parts->hour, parts->minute, parts->second);
  return buffer;
}

std::string EscapeText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 2);
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\'':
        out += "\\'";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string MakeValueLiteral(const std::string& valueText, const std::string& typeName) {
  TargetValue value;
  ValueFromText(valueText, ClassifyType(typeName), false, value);
  std::string literal;
  AppendLiteral(literal, value);
  return literal;
}

}  // namespace bracken::engine
