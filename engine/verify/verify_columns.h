#pragma once

// How the columns of a planned table meet the columns the server has: which
// one each field reads from, with what expression, and every column that is
// missing, of another type or in MySQL only, as a difference.

#include <string>
#include <vector>

#include "engine/rows/target_value.h"
#include "engine/schema/table_plan.h"

namespace bracken::target {
class RowStream;
}

namespace bracken::engine {

struct ServerColumn {
  std::string name;
  std::string columnType;  // "varchar(50)", "int(11)", ...
  std::string dataType;    // "varchar", "int", ...
};

// The table's columns in MySQL, in their order; empty when the table (or
// the database) does not exist. False when the server refused the question.
// A key column the conversion added to a table without a primary key
// (schema/row_key.h) is left out: from the file's side the table has no key.
// Its name goes to `rowKey` when given (else it is cleared).
bool ReadServerColumns(target::RowStream& stream, const std::string& database,
                       const std::string& table, std::vector<ServerColumn>& columns,
                       std::string* rowKey = nullptr);

// The value kind of each field, by its planned type.
CellKind KindOf(const FieldPlan& field);

struct ColumnMatch {
  std::vector<int> position;  // per field, its place in the SELECT list; -1 when missing
  std::string selectList;     // the expressions, joined by ","
  std::vector<std::string> differences;
};

// Matches the planned columns to the server's (by name, ignoring case as the
// server does), reads BIT as a number and FLOAT as a double, and names the
// columns that differ.
ColumnMatch MatchColumns(const TablePlan& plan, const std::vector<FieldPlan>& fields,
                         const std::vector<ServerColumn>& columns);

// The ORDER BY expression for a key field: text by its bytes, everything
// else by its value; the order verify's canonical key bytes follow.
std::string OrderExpression(const std::string& quotedColumn, CellKind kind);

}  // namespace bracken::engine
