#include "engine/verify/verify_columns.h"

#include <strings.h>

#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/schema/row_key.h"
#include "engine/verify/verify_cell.h"
#include "target/row_stream.h"

namespace bracken::engine {

bool ReadServerColumns(target::RowStream& stream, const std::string& database,
                       const std::string& table, std::vector<ServerColumn>& columns,
                       std::string* rowKey) {
  columns.clear();
  if (rowKey != nullptr) rowKey->clear();
  const std::string query =
      "SELECT COLUMN_NAME, COLUMN_TYPE, DATA_TYPE, EXTRA, COLUMN_KEY FROM "
      "information_schema.COLUMNS WHERE TABLE_SCHEMA='" +
      EscapeText(database) + "' AND TABLE_NAME='" + EscapeText(table) +
      "' ORDER BY ORDINAL_POSITION";
  if (!stream.Start(query)) return false;
  while (stream.Next()) {
    if (IsRowKeyColumn(stream.Cell(0), stream.Cell(1), stream.Cell(3), stream.Cell(4))) {
      if (rowKey != nullptr) *rowKey = std::string(stream.Cell(0));
      continue;
    }
    columns.push_back(
        {std::string(stream.Cell(0)), std::string(stream.Cell(1)), std::string(stream.Cell(2))});
  }
  return !stream.Failed();
}

CellKind KindOf(const FieldPlan& field) {
  switch (field.typeClass) {
    case TypeClass::Bit:
    case TypeClass::Integer:
    case TypeClass::QuotedInteger:
      return CellKind::Integer;
    case TypeClass::Float:
      return CellKind::Float;
    case TypeClass::Double:
      return CellKind::Double;
    case TypeClass::Decimal:
      return CellKind::Decimal;
    case TypeClass::Date:
    case TypeClass::DateTime:
      return CellKind::DateTime;
    case TypeClass::Blob:
      return CellKind::Bytes;
    case TypeClass::Text:
    case TypeClass::Other:
      break;
  }
  // The row copy writes Date/Time Extended values as their text, which the
  // server cuts to its six fraction digits.
  if (field.typeName.rfind("DATETIME(", 0) == 0) return CellKind::FineDateTime;
  return CellKind::Text;
}

namespace {

int FindColumn(const std::vector<ServerColumn>& columns, const std::string& name) {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].name == name) return static_cast<int>(i);
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (strcasecmp(columns[i].name.c_str(), name.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

std::string SelectExpression(const ServerColumn& column) {
  const std::string quoted = QuoteIdentifier(column.name);
  if (column.dataType == "bit") return "CAST(" + quoted + " AS UNSIGNED)";
  if (column.dataType == "float") return "CAST(" + quoted + " AS DOUBLE)";
  return quoted;
}

}  // namespace

ColumnMatch MatchColumns(const TablePlan& plan, const std::vector<FieldPlan>& fields,
                         const std::vector<ServerColumn>& columns) {
  ColumnMatch match;
  std::vector<bool> used(columns.size(), false);
  int selected = 0;
  for (const FieldPlan& field : fields) {
    const ColumnPlan* planned = field.ole == OleRole::FileName || field.ole == OleRole::FileType
                                    ? nullptr
                                    : plan.Find(field.name);
    const std::string& target = planned != nullptr ? planned->targetName : field.name;
    const std::string& type = planned != nullptr ? planned->typeText : field.typeName;
    const int found = FindColumn(columns, target);
    if (found < 0) {
      match.position.push_back(-1);
      match.differences.push_back("column " + Bracketed(field.name) + " is missing in MySQL");
      continue;
    }
    const ServerColumn& column = columns[static_cast<std::size_t>(found)];
    used[static_cast<std::size_t>(found)] = true;
    if (!SameColumnType(type, column.columnType)) {
      match.differences.push_back("column " + Bracketed(field.name) + " is " + column.columnType +
                                  " in MySQL instead of " + type);
    }
    if (!match.selectList.empty()) match.selectList += ",";
    match.selectList += SelectExpression(column);
    match.position.push_back(selected++);
  }
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!used[i]) {
      match.differences.push_back("column " + QuoteIdentifier(columns[i].name) +
                                  " is in MySQL only");
    }
  }
  return match;
}

std::string OrderExpression(const std::string& quotedColumn, CellKind kind) {
  return kind == CellKind::Text ? "CAST(" + quotedColumn + " AS BINARY)" : quotedColumn;
}

}  // namespace bracken::engine
