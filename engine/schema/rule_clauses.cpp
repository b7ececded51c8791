#include "engine/schema/rule_clauses.h"

#include <cstdlib>

#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"

namespace bracken::engine {

namespace {

using expression::ValueKind;

// The rules of a column or table; none where they cannot be read (the
// table's own steps name that failure).
ColumnRules ReadRules(ConversionContext& context, const std::string& table,
                      const std::string& column) {
  try {
    return context.source.Rules(table, column);
  } catch (const source::SourceError&) {
    return {};
  }
}

TableRules ReadRules(ConversionContext& context, const std::string& table) {
  try {
    return context.source.Rules(table);
  } catch (const source::SourceError&) {
    return {};
  }
}

// Types no server before MariaDB 10.2 and MySQL 8.0.13 gives any default.
bool IsTextOrBlob(const std::string& typeText) {
  return typeText.find("TEXT") != std::string::npos || typeText.find("BLOB") != std::string::npos;
}

bool IsWholeNumberType(int32_t typeCode) {
  switch (typeCode) {
    case 2:
    case 3:
    case 16:
    case 17:
    case 18:
    case 19:
    case 20:
    case 21:
      return true;
    default:
      return false;
  }
}

// The size N of a "VARCHAR(N)" or "CHAR(N)" type; 0 for any other type.
std::size_t DeclaredCharacters(const std::string& typeText) {
  for (const char* prefix : {"VARCHAR(", "CHAR("}) {
    const std::string_view start(prefix);
    if (typeText.rfind(start, 0) == 0) return std::stoul(typeText.substr(start.size()));
  }
  return 0;
}

// The characters of a quoted literal's value ('a\'b' holds 3).
std::size_t LiteralCharacters(std::string_view literal) {
  std::size_t escapes = 0;
  for (std::size_t i = 1; i + 1 < literal.size(); ++i) {
    if (literal[i] == '\\') {
      ++escapes;
      ++i;
    }
  }
  return CharacterCount(literal.substr(1, literal.size() - 2)) - escapes;
}

// '2000-01-02' or '2000-01-02 03:04:05', as dates are written.
bool IsDateText(std::string_view literal) {
  static constexpr std::string_view kShape = "0000-00-00 00:00:00";
  const std::string_view inner = literal.substr(1, literal.size() - 2);
  if (inner.size() != 10 && inner.size() != kShape.size()) return false;
  for (std::size_t i = 0; i < inner.size(); ++i) {
    const bool digit = inner[i] >= '0' && inner[i] <= '9';
    if (kShape[i] == '0' ? !digit : inner[i] != kShape[i]) return false;
  }
  return true;
}

// A quoted text the server reads as a number whole ('12.5', '-3').
bool IsNumberText(std::string_view literal) {
  const std::string inner(literal.substr(1, literal.size() - 2));
  if (inner.empty()) return false;
  char* end = nullptr;
  std::strtod(inner.c_str(), &end);
  return end == inner.c_str() + inner.size() && inner.find_first_of(" \t") == std::string::npos;
}

// Why the server would refuse the plain value `literal` as the default of
// a column of `kind` created as `typeText` (and with it the whole table),
// or would store another value than Access means; "" when it takes it.
std::string LiteralProblem(std::string& literal, ValueKind kind, const std::string& typeText) {
  const bool quoted = !literal.empty() && literal.front() == '\'';
  if (kind == ValueKind::Boolean && !quoted) {
    // Access writes Yes as -1; the BIT column holds 1.
    literal = literal.find_first_not_of("-0.") == std::string::npos ? "0" : "1";
    return "";
  }
  if (kind == ValueKind::Date && !(quoted && IsDateText(literal))) {
    return "the server takes no such value as a date";
  }
  if (kind == ValueKind::Number && quoted && !IsNumberText(literal)) {
    return "the server takes no such value as a number";
  }
  const std::size_t size = DeclaredCharacters(typeText);
  if (quoted && size > 0 && LiteralCharacters(literal) > size) {
    return "it is longer than the column's " + std::to_string(size) + " characters";
  }
  return "";
}

constexpr int32_t kGuidType = 72;  // adGUID

// "GenGUID()", as Access writes it in any case and spacing.
bool IsNewIdentifier(const std::string& text) {
  std::string word;
  for (char c : text) {
    if (c == ' ') continue;
    word += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return word == "GENGUID()" || word == "=GENGUID()";
}

std::string ColumnPlace(const std::string& table, const std::string& column) {
  return "Table " + Bracketed(table) + ", column " + Bracketed(column);
}

// `text` cut to `limit` characters, with a report line when cut. A cut text
// is a value that did not arrive whole.
std::string CutComment(ConversionOwner& owner, ConversionContext& context, const std::string& text,
                       std::size_t limit, const std::string& place) {
  if (CharacterCount(text) <= limit) return text;
  ++context.summary.valuesChanged;
  Report(owner, context.summary,
         place + ": the description is cut to the server's limit of " + std::to_string(limit) +
             " characters.");
  return CutToCharacters(text, limit);
}

}  // namespace

expression::ServerDialect TargetDialect(const ConversionContext& context) {
  const target::ServerTraits& traits = context.executor.Traits();
  expression::ServerDialect dialect = expression::ServerDialect::FromVersion(traits.version);
  dialect.isMariaDb = traits.isMariaDb || dialect.isMariaDb;
  return dialect;
}

ValueKind KindOfType(int32_t typeCode) {
  switch (typeCode) {
    case 11:
      return ValueKind::Boolean;
    case 7:
    case 133:
    case 134:
    case 135:
      return ValueKind::Date;
    case 129:
    case 130:
    case 200:
    case 201:
    case 202:
    case 203:
      return ValueKind::Text;
    case 4:
    case 5:
    case 6:
    case 14:
    case 131:
      return ValueKind::Number;
    default:
      return IsWholeNumberType(typeCode) ? ValueKind::Number : ValueKind::Unknown;
  }
}

expression::ColumnRef ColumnReference(const ColumnDescription& field,
                                      const std::string& targetName) {
  return {field.name, QuoteIdentifier(targetName), KindOfType(field.type),
          IsWholeNumberType(field.type)};
}

std::string RefusalReason(const expression::Translation& translation,
                          const expression::Translation& onNewest) {
  if (onNewest.ok()) return translation.reason;
  return "not translatable, because " + translation.reason;
}

std::string CutToCharacters(std::string_view utf8, std::size_t limit) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const bool starts = (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80;
    if (starts && ++characters > limit) return std::string(utf8.substr(0, i));
  }
  return std::string(utf8);
}

std::string DefaultClause(ConversionOwner& owner, ConversionContext& context,
                          const std::string& table, const ColumnDescription& field,
                          const std::string& typeText, bool autoIncrement) {
  if (!context.carryRules || autoIncrement) return "";
  const std::string accessText = ReadRules(context, table, field.name).defaultValue;
  if (accessText.empty()) return "";
  const expression::ServerDialect dialect = TargetDialect(context);
  // A Replication ID that Access fills with a new identifier, in the text
  // form the conversion gives identifiers.
  if (field.type == kGuidType && IsNewIdentifier(accessText) && dialect.TakesExpressionDefaults()) {
    return " DEFAULT (CONCAT('{', UPPER(UUID()), '}'))";
  }
  std::string reason;
  expression::Translation translation;
  if (IsTextOrBlob(typeText) && !dialect.TakesExpressionDefaults()) {
    reason = "the server takes no default on a " + typeText +
             " column (MariaDB 10.2 and MySQL 8.0.13 do)";
  } else {
    translation = expression::Translate(
        accessText, expression::Context::ForDefault(KindOfType(field.type), dialect));
    if (!translation.ok()) {
      reason = RefusalReason(translation,
                             expression::Translate(accessText, expression::Context::ForDefault(
                                                                   KindOfType(field.type), {})));
    }
  }
  // A default of Null is what a column without one has.
  if (translation.literal && translation.sql == "NULL") return "";
  if (translation.literal)
    reason = LiteralProblem(translation.sql, KindOfType(field.type), typeText);
  if (!reason.empty()) {
    ++context.summary.rulesNotKept;
    Report(owner, context.summary,
           ColumnPlace(table, field.name) + ": the default value " + accessText +
               " is left out: " + reason + ".");
    return "";
  }
  return " DEFAULT " + translation.sql;
}

std::string ColumnCommentClause(ConversionOwner& owner, ConversionContext& context,
                                const std::string& table, const std::string& column,
                                const std::string& expression) {
  std::string text = expression;
  if (context.carryRules) {
    const ColumnRules rules = ReadRules(context, table, column);
    for (const std::string& part :
         {rules.description,
          rules.validationText.empty() ? "" : "Validation text: " + rules.validationText}) {
      if (part.empty()) continue;
      text += (text.empty() ? "" : "\n") + part;
    }
    text =
        CutComment(owner, context, text, kMaxColumnCommentCharacters, ColumnPlace(table, column));
  }
  if (text.empty()) return "";
  return " COMMENT '" + EscapeText(text) + "'";
}

std::string TableCommentOption(ConversionOwner& owner, ConversionContext& context,
                               const std::string& table) {
  if (!context.carryRules) return "";
  const std::string description = ReadRules(context, table).description;
  if (description.empty()) return "";
  const std::string text = CutComment(owner, context, description, kMaxTableCommentCharacters,
                                      "Table " + Bracketed(table));
  return " COMMENT='" + EscapeText(text) + "'";
}

}  // namespace bracken::engine
