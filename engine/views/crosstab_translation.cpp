// Crosstab queries as a view of conditional aggregation, or as a procedure
// that builds the statement from the headings found when it is called.

#include "engine/views/crosstab_translation.h"

#include <algorithm>
#include <stdexcept>

#include "engine/schema/identifier.h"
#include "engine/schema/name_spelling.h"
#include "engine/views/select_translation.h"
#include "expression/parser.h"

namespace bracken::engine {

namespace {

using source::CrosstabRole;
using source::QueryColumn;
using source::QueryDefinition;

// The aliases the cells' derived table gives the column heading and the
// value; no row heading may be named so.
constexpr char kPivotAlias[] = "Crosstab_Heading";
constexpr char kValueAlias[] = "Crosstab_Value";
// The temporary tables a procedure of a crosstab without fixed headings
// gathers its cells and row totals in while it runs.
constexpr char kCellsTable[] = "`bracken_crosstab_cells`";
constexpr char kRowsTable[] = "`bracken_crosstab_rows`";

// A string literal of `text`, for a session without NO_BACKSLASH_ESCAPES
// (as the conversion's is).
std::string Literal(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'' || c == '\\') out += '\\';
    out += c == '\0' ? std::string("\\0") : std::string(1, c);
  }
  return out + "'";
}

bool SameText(std::string_view a, std::string_view b) {
  return ColumnNameKey(a, false) == ColumnNameKey(b, false);
}

struct Parts {
  const QueryColumn* value = nullptr;
  const QueryColumn* heading = nullptr;
  std::vector<const QueryColumn*> rows;
  std::vector<bool> grouped;  // per row heading: a grouped column, not a total
  bool anyTotal = false;
};

Parts Split(const QueryDefinition& query) {
  Parts parts;
  for (const QueryColumn& column : query.columns) {
    if (column.role == CrosstabRole::Value) parts.value = &column;
    if (column.role == CrosstabRole::ColumnHeading) parts.heading = &column;
    if (column.role == CrosstabRole::RowHeading) {
      parts.rows.push_back(&column);
      const bool grouped =
          std::any_of(query.groupBy.begin(), query.groupBy.end(), [&](const QueryColumn& group) {
            return group.role != CrosstabRole::ColumnHeading &&
                   SameText(group.expression, column.expression);
          });
      parts.grouped.push_back(grouped);
      parts.anyTotal = parts.anyTotal || !grouped;
    }
  }
  return parts;
}

// The query's SELECT with `columns` and the grouping of its row headings
// (and, with `byHeading`, of its column heading).
QueryDefinition Grouping(const QueryDefinition& query, std::vector<QueryColumn> columns,
                         bool byHeading) {
  QueryDefinition select = query;
  select.kind = source::QueryKind::Select;
  select.columns = std::move(columns);
  for (QueryColumn& column : select.columns) column.role = CrosstabRole::Plain;
  select.allColumns = false;
  select.distinct = false;  // the grouping leaves every row distinct already
  select.distinctRow = false;
  select.orderBy.clear();
  select.pivotValues.clear();
  select.groupBy.clear();
  for (const QueryColumn& group : query.groupBy) {
    if (group.role == CrosstabRole::ColumnHeading && !byHeading) continue;
    select.groupBy.push_back({group.expression, {}, {}, CrosstabRole::Plain});
  }
  return select;
}

// What the outer statement is built from.
struct Plan {
  std::string cells;                // the grouped cells' SELECT
  std::string rows;                 // the row headings' SELECT, where some total
  std::vector<std::string> select;  // the row headings as outer select items
  std::vector<std::string> groupBy;
  std::string join;  // the condition joining rows and cells
  std::string pivot;
  bool fractionalPivot = false;  // the heading is a number that may have decimals
  std::string value;
  std::vector<expression::ColumnRef> columns;  // the row headings' output columns
  std::string orderBy;
  bool headingDescending = false;
  std::vector<ProcedureParameter> parameters;
  std::string reason;
};

Plan MakePlan(const QueryDefinition& query, const QueryCatalog& known,
              const expression::ServerDialect& server) {
  Plan plan;
  const Parts parts = Split(query);
  if (parts.value == nullptr || parts.heading == nullptr) {
    plan.reason = "its crosstab lacks its value or its column heading";
    return plan;
  }
  if (parts.rows.empty()) {
    plan.reason = "its crosstab has no row heading";
    return plan;
  }
  if (!query.top.empty()) {
    plan.reason =
        "its crosstab keeps only the TOP rows, which Access counts before laying them out";
    return plan;
  }
  if (parts.anyTotal && !query.having.empty()) {
    plan.reason = "a row heading totals its row while the crosstab also has a HAVING condition";
    return plan;
  }
  for (const QueryColumn* row : parts.rows) {
    for (const char* alias : {kPivotAlias, kValueAlias}) {
      if (SameText(row->alias, alias)) {
        plan.reason = std::string("a row heading is named ") + alias;
        return plan;
      }
    }
  }
  QueryParameters parameters(query.parameters);
  if (!parameters.reason().empty()) {
    plan.reason = parameters.reason();
    return plan;
  }
  std::vector<QueryColumn> cellColumns;
  for (size_t i = 0; i < parts.rows.size(); ++i) {
    if (parts.grouped[i]) cellColumns.push_back(*parts.rows[i]);
  }
  const size_t groupedCount = cellColumns.size();
  cellColumns.push_back({parts.heading->expression, kPivotAlias, {}, CrosstabRole::Plain});
  cellColumns.push_back({parts.value->expression, kValueAlias, {}, CrosstabRole::Plain});
  SelectTranslation cells =
      TranslateSelect(Grouping(query, cellColumns, true), known, server, parameters);
  if (!cells.ok()) {
    plan.reason = cells.reason;
    return plan;
  }
  if (cells.columns.size() != cellColumns.size()) {
    plan.reason = "its row headings do not each make one column";
    return plan;
  }
  plan.cells = cells.sql;
  plan.pivot = "c." + cells.columns[groupedCount].sql;
  plan.fractionalPivot = cells.columns[groupedCount].kind == expression::ValueKind::Number &&
                         !cells.columns[groupedCount].wholeNumber;
  plan.value = "c." + cells.columns[groupedCount + 1].sql;
  if (parts.anyTotal) {
    std::vector<QueryColumn> rowColumns;
    for (const QueryColumn* row : parts.rows) rowColumns.push_back(*row);
    SelectTranslation rows =
        TranslateSelect(Grouping(query, rowColumns, false), known, server, parameters);
    if (!rows.ok()) {
      plan.reason = rows.reason;
      return plan;
    }
    if (rows.columns.size() != rowColumns.size()) {
      plan.reason = "its row headings do not each make one column";
      return plan;
    }
    plan.rows = rows.sql;
    size_t cell = 0;
    for (size_t i = 0; i < parts.rows.size(); ++i) {
      const std::string& name = rows.columns[i].sql;
      plan.select.push_back("g." + name);
      plan.select.back() += " AS " + name;
      plan.groupBy.push_back("g." + name);
      if (parts.grouped[i]) {
        plan.join += plan.join.empty() ? "g." : " AND g.";
        plan.join += name;
        plan.join += " <=> c.";
        plan.join += cells.columns[cell++].sql;
      }
    }
    if (plan.join.empty()) plan.join = "TRUE";
    plan.columns = rows.columns;
  } else {
    for (size_t i = 0; i < groupedCount; ++i) {
      const std::string& name = cells.columns[i].sql;
      plan.select.push_back("c." + name);
      plan.select.back() += " AS " + name;
      plan.groupBy.push_back("c." + name);
    }
    plan.columns.assign(cells.columns.begin(),
                        cells.columns.begin() + static_cast<std::ptrdiff_t>(groupedCount));
  }
  // The rows in the order the query sorts them, else by their headings, as
  // Access's grouping leaves them; a sort on the column heading orders the
  // columns instead.
  std::vector<bool> sorted(parts.rows.size(), false);
  for (const source::QueryOrder& order : query.orderBy) {
    if (SameText(order.expression, parts.heading->expression)) {
      plan.headingDescending = order.descending;
      continue;
    }
    size_t found = parts.rows.size();
    for (size_t i = 0; i < parts.rows.size(); ++i) {
      const QueryColumn& row = *parts.rows[i];
      if (SameText(order.expression, row.expression) ||
          (!row.alias.empty() && (SameText(order.expression, row.alias) ||
                                  SameText(order.expression, "[" + row.alias + "]")))) {
        found = i;
      }
    }
    if (found == parts.rows.size()) {
      plan.reason = "it sorts by " + order.expression + ", which is no row heading of the crosstab";
      return plan;
    }
    if (sorted[found]) continue;
    sorted[found] = true;
    plan.orderBy += (plan.orderBy.empty() ? "" : ", ") + plan.groupBy[found] +
                    (order.descending ? " DESC" : "");
  }
  for (size_t i = 0; i < parts.rows.size(); ++i) {
    if (!sorted[i]) plan.orderBy += (plan.orderBy.empty() ? "" : ", ") + plan.groupBy[i];
  }
  if (!parameters.reason().empty()) {
    plan.reason = parameters.reason();
    return plan;
  }
  plan.parameters = parameters.list();
  return plan;
}

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
  return text;
}

// The FROM clause of the outer statement, over `rows` and `cells` (derived
// tables or the procedure's temporary tables).
std::string OuterFrom(const Plan& plan, const std::string& rows, const std::string& cells) {
  if (plan.rows.empty()) return " FROM " + cells + " AS c";
  return " FROM " + rows + " AS g LEFT JOIN " + cells + " AS c ON " + plan.join;
}

std::string OuterTail(const Plan& plan) {
  return " GROUP BY " + Join(plan.groupBy) + " ORDER BY " + plan.orderBy;
}

QueryTranslation FixedHeadings(const QueryDefinition& query, const Plan& plan) {
  QueryTranslation translation;
  std::vector<PivotHeading> headings;
  try {
    headings = PivotHeadings(query.pivotValues);
  } catch (const std::invalid_argument& error) {
    translation.reason = error.what();
    return translation;
  }
  std::vector<std::string> select = plan.select;
  translation.columns = plan.columns;
  for (const PivotHeading& heading : headings) {
    const std::string name = LegalSpelling(heading.name, "Expr");
    if (name != heading.name) {
      translation.reason = "its column heading " + heading.name + " is no name the server can hold";
      return translation;
    }
    for (const expression::ColumnRef& column : translation.columns) {
      if (SameText(column.accessName, name)) {
        translation.reason = "two of its columns would be named " + name;
        return translation;
      }
    }
    const std::string test = heading.isNull ? " IS NULL" : " = " + Literal(heading.name);
    const std::string quoted = QuoteIdentifier(name);
    std::string item = "MAX(CASE WHEN " + plan.pivot;
    item += test;
    item += " THEN " + plan.value;
    item += " END) AS " + quoted;
    select.push_back(std::move(item));
    translation.columns.push_back({name, quoted, expression::ValueKind::Unknown});
  }
  std::string sql = "SELECT " + Join(select) +
                    OuterFrom(plan, "(" + plan.rows + ")", "(" + plan.cells + ")") +
                    OuterTail(plan);
  translation.parameters = plan.parameters;
  if (plan.parameters.empty()) {
    translation.kind = QueryObjectKind::View;
    translation.body = sql;
  } else {
    translation.kind = QueryObjectKind::Procedure;
    translation.body = sql + ";";
  }
  return translation;
}

QueryTranslation RunTimeHeadings(const Plan& plan) {
  QueryTranslation translation;
  translation.kind = QueryObjectKind::Procedure;
  translation.parameters = plan.parameters;
  std::string& body = translation.body;
  body += "DECLARE saved_length BIGINT DEFAULT @@SESSION.group_concat_max_len;\n";
  // A call that fails leaves the session as it found it.
  body += "DECLARE EXIT HANDLER FOR SQLEXCEPTION BEGIN\n";
  body += "SET SESSION group_concat_max_len = saved_length;\n";
  body += std::string("DROP TEMPORARY TABLE IF EXISTS ") + kCellsTable + ";\n";
  body += std::string("DROP TEMPORARY TABLE IF EXISTS ") + kRowsTable + ";\n";
  body += "RESIGNAL;\nEND;\n";
  body += "SET SESSION group_concat_max_len = 16777216;\n";
  body += std::string("DROP TEMPORARY TABLE IF EXISTS ") + kCellsTable + ";\n";
  body += std::string("CREATE TEMPORARY TABLE ") + kCellsTable + " AS " + plan.cells + ";\n";
  if (!plan.rows.empty()) {
    body += std::string("DROP TEMPORARY TABLE IF EXISTS ") + kRowsTable + ";\n";
    body += std::string("CREATE TEMPORARY TABLE ") + kRowsTable + " AS " + plan.rows + ";\n";
  }
  // One column per distinct heading: its cell picked by the heading's text,
  // named by that text, Null as "<>".
  const std::string pivot = plan.pivot.substr(2);  // the column's name in the cells
  // Access writes a number without trailing zeros (a Currency 10 as "10");
  // the server's text of a DECIMAL keeps its scale ("10.0000").
  const std::string heading = plan.fractionalPivot
                                  ? "IF(LOCATE('.', r.t) > 0 AND LOCATE('e', LOWER(r.t)) = 0, "
                                    "TRIM(TRAILING '.' FROM TRIM(TRAILING '0' FROM r.t)), r.t)"
                                  : "r.t";
  body += "SELECT GROUP_CONCAT(CONCAT(" + Literal(", MAX(CASE WHEN " + plan.pivot) +
          ", IF(h.heading IS NULL, ' IS NULL', CONCAT(' = ', QUOTE(h.heading))), " +
          Literal(" THEN " + plan.value + " END) AS `") +
          ", REPLACE(IFNULL(h.heading, '<>'), '`', '``'), '`') ORDER BY h.v" +
          (plan.headingDescending ? " DESC" : "") +
          " SEPARATOR '') INTO @bracken_crosstab_columns FROM (SELECT r.v, " + heading +
          " AS heading FROM (SELECT " + pivot + " AS v, CAST(MIN(" + pivot +
          ") AS CHAR) AS t FROM " + kCellsTable + " GROUP BY " + pivot + ") AS r) AS h;\n";
  body += "SET @bracken_crosstab_sql = CONCAT(" + Literal("SELECT " + Join(plan.select)) +
          ", IFNULL(@bracken_crosstab_columns, ''), " +
          Literal(OuterFrom(plan, kRowsTable, kCellsTable) + OuterTail(plan)) + ");\n";
  body += "PREPARE bracken_crosstab FROM @bracken_crosstab_sql;\n";
  body += "SET SESSION group_concat_max_len = saved_length;\n";
  body += "EXECUTE bracken_crosstab;\n";
  body += "DEALLOCATE PREPARE bracken_crosstab;\n";
  body += std::string("DROP TEMPORARY TABLE ") + kCellsTable + ";\n";
  if (!plan.rows.empty()) body += std::string("DROP TEMPORARY TABLE ") + kRowsTable + ";\n";
  translation.columns = plan.columns;
  return translation;
}

}  // namespace

std::vector<PivotHeading> PivotHeadings(std::string_view pivotValues) {
  expression::NodePtr list;
  try {
    list = expression::Parse("x In (" + std::string(pivotValues) + ")");
  } catch (const std::exception&) {
    throw std::invalid_argument("its fixed column headings (" + std::string(pivotValues) +
                                ") cannot be read");
  }
  if (list->kind != expression::Node::Kind::In || list->negated) {
    throw std::invalid_argument("its fixed column headings (" + std::string(pivotValues) +
                                ") cannot be read");
  }
  std::vector<PivotHeading> headings;
  for (size_t i = 1; i < list->children.size(); ++i) {
    const expression::Node& item = *list->children[i];
    using Kind = expression::Node::Kind;
    if (item.kind == Kind::Text || item.kind == Kind::Number) {
      headings.push_back({item.text, false});
    } else if (item.kind == Kind::Negate && item.children[0]->kind == Kind::Number) {
      headings.push_back({"-" + item.children[0]->text, false});
    } else if (item.kind == Kind::Null) {
      headings.push_back({"<>", true});
    } else {
      throw std::invalid_argument("its fixed column headings (" + std::string(pivotValues) +
                                  ") hold something other than texts and numbers");
    }
  }
  for (size_t i = 0; i < headings.size(); ++i) {
    for (size_t j = 0; j < i; ++j) {
      if (SameText(headings[i].name, headings[j].name)) {
        throw std::invalid_argument("its fixed column headings name " + headings[i].name +
                                    " twice");
      }
    }
  }
  return headings;
}

QueryTranslation TranslateCrosstab(const QueryDefinition& query, const QueryCatalog& known,
                                   const expression::ServerDialect& server) {
  Plan plan = MakePlan(query, known, server);
  if (!plan.reason.empty()) {
    QueryTranslation refused;
    refused.reason = plan.reason;
    return refused;
  }
  return query.pivotValues.empty() ? RunTimeHeadings(plan) : FixedHeadings(query, plan);
}

}  // namespace bracken::engine
