#pragma once

// A saved query of the file as Access keeps it: its kind, its parameters and
// the parts its SQL is made of (the tables it reads and how they are joined,
// the columns it yields, its conditions, grouping and order, the parts of a
// union, a crosstab's value and column heading, the table an action query
// writes), each expression exactly as stored, untranslated. The Access SQL
// text is built from those parts the way Access's SQL view shows it.

#include <string>
#include <string_view>
#include <vector>

namespace bracken::source {

enum class QueryKind {
  Select,
  Crosstab,
  MakeTable,
  Append,
  Update,
  Delete,
  Union,
  PassThrough,
  DataDefinition,
};

// "select", "crosstab", "make-table", "append", "update", "delete", "union",
// "pass-through" or "data-definition".
std::string_view QueryKindName(QueryKind kind);

// A parameter the query asks for when it runs: its name as the query writes
// it and its type as Access's PARAMETERS clause names it ("Bit", "Byte",
// "Short", "Long", "Currency", "IEEESingle", "IEEEDouble", "DateTime",
// "Binary", "Text", "LongBinary", "Memo", "Guid", "Decimal", "Value").
struct QueryParameter {
  std::string name;
  std::string type;
};

// A table or query the query reads, or a subquery in its place.
struct QuerySource {
  std::string name;      // "" for a subquery
  std::string alias;     // "" where it has none
  std::string subquery;  // the Access SQL of a subquery, without its parentheses
  // The name the query's joins and expressions know it by.
  const std::string& Reference() const { return alias.empty() ? name : alias; }
};

// What a column of a crosstab query is: its value (TRANSFORM), a row heading
// or the column heading (PIVOT). Columns of other queries are Plain.
enum class CrosstabRole { Plain, Value, RowHeading, ColumnHeading };

struct QueryColumn {
  std::string expression;
  std::string alias;   // "" where the column keeps its own name
  std::string target;  // an append's column written, an update's column set
  CrosstabRole role = CrosstabRole::Plain;
};

enum class JoinKind { Inner, Left, Right };

// One join condition between two sources, named by their Reference(). Several
// conditions between the same two sources make one join of them all.
struct QueryJoin {
  JoinKind kind = JoinKind::Inner;
  std::string left;
  std::string right;
  std::string condition;
};

struct QueryOrder {
  std::string expression;
  bool descending = false;
};

struct QueryDefinition {
  QueryKind kind = QueryKind::Select;
  std::vector<QueryParameter> parameters;
  bool allColumns = false;   // SELECT * (besides any columns named)
  bool distinct = false;     // DISTINCT
  bool distinctRow = false;  // DISTINCTROW
  bool ownerAccess = false;  // WITH OWNERACCESS OPTION
  std::string top;           // the n of TOP n; "" for none
  bool topPercent = false;   // TOP n PERCENT
  std::vector<QuerySource> sources;
  std::string sourceDatabase;  // IN 'path': the database the sources belong to
  std::string sourceConnect;   // and its connection text ("dBASE IV;", ...)
  std::vector<QueryColumn> columns;
  std::vector<QueryJoin> joins;
  std::string where;
  std::vector<QueryColumn> groupBy;  // a crosstab's column heading among them
  std::string having;
  std::vector<QueryOrder> orderBy;
  // A union query: its parts' Access SQL as written, and whether they are
  // joined by UNION ALL (keeping duplicate rows) rather than UNION.
  std::vector<std::string> unionParts;
  bool unionAll = false;
  // A crosstab's fixed column headings: the list between the parentheses of
  // PIVOT ... IN (...), as Access keeps it; "" for none.
  std::string pivotValues;
  // The table a make-table query creates or an append, update or delete
  // query writes (for update and delete queries the sources say it), and
  // the database it belongs to where that is another one.
  std::string target;
  std::string targetDatabase;
  // A pass-through query's connection text, and the statement a
  // pass-through or data-definition query holds.
  std::string connect;
  std::string statement;
};

struct Query {
  std::string name;
  QueryDefinition definition;
  std::string sql;  // the Access SQL, as AccessSql() gives it
  QueryKind Kind() const { return definition.kind; }
};

// The Access SQL of a definition, its clauses on lines of their own as
// Access's SQL view shows them. Access 97 names a text parameter without
// its width.
std::string AccessSql(const QueryDefinition& definition, bool jet3);

// A name as Access's SQL writes it: in brackets where it is not a plain word.
std::string SqlName(std::string_view name);

}  // namespace bracken::source
