#include "engine/row_copy.h"

#include <algorithm>
#include <vector>

#include "engine/identifier.h"
#include "engine/source_connection.h"
#include "engine/type_mapping.h"
#include "engine/value_cleanup.h"
#include "engine/value_literal.h"

namespace bracken::engine {

namespace {

bool IsBinaryCode(int32_t type) {
  return type == source::adBinary || type == source::adVarBinary || type == source::adLongVarBinary;
}

void AppendHex(std::string& out, const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  out.reserve(out.size() + 2 + 2 * bytes.size());
  out += "0x";
  for (unsigned char byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
}

// What stays the same for every row of the table.
struct FieldPlan {
  std::string typeName;
  bool binary = false;
  bool dateTime = false;
  bool nullStaysNull = false;  // a text column of a UNIQUE key
};

bool IsTextType(const std::string& type) {
  return type.rfind("CHAR", 0) == 0 || type.rfind("VARCHAR", 0) == 0 || type == "TEXT" ||
         type == "LONGTEXT";
}

bool Names(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<FieldPlan> PlanFields(RowSource& rows, long count, const KeyState& keys) {
  std::vector<FieldPlan> plan(static_cast<std::size_t>(count));
  for (long i = 0; i < count; ++i) {
    ColumnDescription field = rows.Field(i);
    FieldPlan& p = plan[static_cast<std::size_t>(i)];
    p.typeName = MapColumnType(field.type, field.definedSize, field.numericScale, field.precision);
    p.binary = IsBinaryCode(field.type);
    p.dateTime = p.typeName == "DATETIME" || p.typeName == "TIMESTAMP";
    p.nullStaysNull = IsTextType(p.typeName) && Names(keys.uniqueKeyColumns, field.name);
  }
  return plan;
}

}  // namespace

void AppendValueText(std::string& out, RowSource& rows, long field, bool binary) {
  if (rows.ActualSize(field) <= 0) return;
  source::Variant value = rows.Value(field);
  if (binary) {
    AppendHex(out, value.Bytes());
    return;
  }
  std::size_t start = out.size();
  value.AppendText(out);
  if (out.find_first_of("#<", start) == std::string::npos) return;
  std::string text = out.substr(start);
  CleanValueText(text);
  out.resize(start);
  out += text;
}

std::string ProgressCaption(const std::string& tableName, long rows) {
  std::string caption = "Converting Table: [";
  for (char c : tableName) {
    if (c != '`') caption += c;
  }
  return caption.append("] ").append(std::to_string(rows)).append(" rows converted...");
}

CopyOutcome CopyTableRows(ConversionOwner& owner, ConversionContext& context,
                          const std::string& tableName) {
  context.stopRequested = false;
  const std::string statementStart = "INSERT INTO " + QuoteIdentifier(tableName) + " VALUES(";
  std::string statement;
  std::string valueText;
  long rowCount = 0;
  try {
    RowSource& rows = *context.recordset;
    const long fieldCount = rows.FieldCount();
    const std::vector<FieldPlan> plan = PlanFields(rows, fieldCount, context.keyState);
    while (!rows.Eof()) {
      statement.assign(statementStart);
      for (long i = 0; i < fieldCount; ++i) {
        const FieldPlan& field = plan[static_cast<std::size_t>(i)];
        valueText.clear();
        AppendValueText(valueText, rows, i, field.binary);
        if (field.nullStaysNull && valueText.empty() && rows.Value(i).IsNull()) {
          statement += "NULL,";
          continue;
        }
        std::string literal = MakeValueLiteral(valueText, field.typeName);
        // A 12-hour date and time leaves "''," for the full date-and-time literal.
        if (field.dateTime && literal == "'',") literal = MakeDateTimeLiteral(valueText);
        statement += literal;
      }
      if (fieldCount > 0) statement.pop_back();
      statement += ");";
      ++context.summary.rowsSent;
      if (!context.executor.Execute(statement)) {
        if (context.executor.LastErrorWasConnectionLost()) {
          return {CopyResult::ConnectionLost, context.executor.ErrorText()};
        }
        ++context.summary.rowsRefused;
        owner.ShowMessage(context.executor.ErrorText(), "Bracken", MessageButtons::Ok,
                          MessageIcon::None);
      }
      owner.SetCaption(ProgressCaption(tableName, ++rowCount));
      rows.MoveNext();
    }
  } catch (const source::SourceError& error) {
    owner.ShowMessage(SourceErrorMessage(error), "Message", MessageButtons::Ok, MessageIcon::None);
    return {CopyResult::SourceFailed, ""};
  }
  return {};
}

}  // namespace bracken::engine
