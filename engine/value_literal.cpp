#include "engine/value_literal.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "engine/date_text.h"

namespace bracken::engine {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsTextType(const std::string& type) {
  return StartsWith(type, "CHAR") || StartsWith(type, "VARCHAR") || type == "TEXT" ||
         type == "LONGTEXT";
}

// "0x" followed by one or more pairs of hexadecimal digits: bytes as the row
// copy writes them.
bool IsHexBytes(const std::string& value) {
  if (value.size() < 4 || value.size() % 2 != 0 || !StartsWith(value, "0x")) return false;
  return std::all_of(value.begin() + 2, value.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string Quoted(std::string_view text) {
  std::string literal;
  literal.reserve(text.size() + 3);
  return literal.append("'").append(text).append("',");
}

std::string FormatDate(const DateTimeParts& parts) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts.year, parts.month, parts.day);
  return buffer;
}

std::string FormatDateTime(const DateTimeParts& parts) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", parts.year, parts.month,
                parts.day, parts.hour, parts.minute, parts.second);
  return buffer;
}

// A 12-hour text gives "''," here and the row copy writes the full date and
// time. A 24-hour text for a date-time column keeps its time too; a DATE
// column takes the date alone.
std::string DateLiteral(const std::string& value, const std::string& type) {
  if (EndsWith(UpperCase(value), "M")) return "'',";
  auto parts = ParseDateTimeText(value);
  if (!parts) return "'Invalid DateTime',";
  bool hasTime = value.find(':') != std::string::npos;
  if (type != "DATE" && hasTime) return Quoted(FormatDateTime(*parts));
  return Quoted(FormatDate(*parts));
}

std::string NumberLiteral(const std::string& value) {
  bool exact = value.find_first_of(".eE") != std::string::npos;
  return value + (exact ? "," : ".0,");
}

}  // namespace

std::string MakeDateTimeLiteral(const std::string& valueText) {
  auto parts = ParseDateTimeText(valueText);
  return parts ? Quoted(FormatDateTime(*parts)) : "'Invalid DateTime',";
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
  const std::string type = UpperCase(typeName);
  if (valueText.empty()) return IsTextType(type) ? "''," : "NULL,";
  if (type == "BIT") {
    if (valueText == "-1") return "1,";
    if (valueText == "0") return "0,";
    return valueText + ",";
  }
  if (type == "INT" || type == "SMALLINT" || type == "BIGINT" || type == "TINYINT") {
    return valueText + ",";
  }
  if (StartsWith(type, "FLOAT") || StartsWith(type, "DOUBLE") || StartsWith(type, "DECIMAL")) {
    return NumberLiteral(valueText);
  }
  if (type == "DATETIME" || type == "DATE" || type == "TIMESTAMP") {
    return DateLiteral(valueText, type);
  }
  if (EndsWith(type, "BLOB") && IsHexBytes(valueText)) return valueText + ",";
  return Quoted(EscapeText(valueText));
}

}  // namespace bracken::engine
