#pragma once

// A saved query of the file written as a MySQL object: a select, union or
// crosstab query as the SELECT statement of a view; a query that asks for
// parameters, or one that changes data (append, update, delete, make-table),
// as the body of a stored procedure that runs it when called. Pure text
// work: names resolve through what the caller says exists, and nothing is
// sent anywhere. Every expression goes through the Access expression
// translator, so a query keeps Access's meaning or is refused with the
// plain reason why.

#include <string>
#include <string_view>
#include <vector>

#include "expression/translate.h"
#include "source/saved_query.h"

namespace bracken::engine {

// A table, or a query already made into a view, that a query may read: its
// Access name, its name on the server, and its columns (accessName as the
// query names it, sql the quoted MySQL column name alone, e.g. "`Unit
// Price`", and its kind).
struct ReadableObject {
  std::string accessName;
  std::string targetName;
  std::vector<expression::ColumnRef> columns;
};

// Everything a query may read; names are found without regard to case, as
// Access finds them.
struct QueryCatalog {
  std::vector<ReadableObject> objects;
  const ReadableObject* Find(std::string_view accessName) const;
};

enum class QueryObjectKind { View, Procedure };

// An IN parameter of a procedure: its MySQL name and type ("p_User_Name",
// "VARCHAR(255)"), and the Access name the query writes it by.
struct ProcedureParameter {
  std::string accessName;
  std::string name;
  std::string type;
};

struct QueryTranslation {
  QueryObjectKind kind = QueryObjectKind::View;
  // A view: its SELECT statement. A procedure: the statements of its body,
  // each ending in ";", to stand between BEGIN and END.
  std::string body;
  std::vector<ProcedureParameter> parameters;
  // A view's columns as a later query reads them: accessName the output
  // name Access gives the column ("Expr1000" where it has none), sql its
  // quoted MySQL column name in the view.
  std::vector<expression::ColumnRef> columns;
  // Empty when translated; else why not, finishing the sentence "not
  // translatable, because ...".
  std::string reason;

  bool ok() const { return reason.empty(); }
};

// The Access names of the tables and queries `query` reads (its sources,
// those of its union parts and subqueries, and an action query's target),
// each once, in the order first named: what must exist before it.
std::vector<std::string> NamesRead(const source::QueryDefinition& query);

// `query` for `server`, reading the objects of `known`. A query that reads
// a name `known` lacks is refused, naming it.
QueryTranslation TranslateQuery(const source::QueryDefinition& query, const QueryCatalog& known,
                                const expression::ServerDialect& server);

}  // namespace bracken::engine
