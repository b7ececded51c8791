#pragma once

// The SELECT part of a saved query written for the server: its sources and
// their joins as a FROM clause, every name of its expressions resolved over
// those sources (or over the query around a subquery, or as a parameter),
// and its output columns named as Access names them ("Total", "SumOfTotal",
// "Expr1000"). The crosstab and action translations build on the same
// pieces: a QueryScope for the sources and expressions, TranslateSelect for
// a whole SELECT.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/views/query_translation.h"
#include "expression/translate.h"
#include "source/saved_query.h"

namespace bracken::engine {

// The parameters a query asks for, as the IN parameters of a procedure.
// The declared ones (PARAMETERS) come first, in their order and with their
// types; a name the query reads that is no column of its sources
// ([Start date], [Forms]![Orders]![Total]) is a parameter Access asks for
// too, and is added when first read, as text: Access hands an undeclared
// parameter over as the text the user typed.
class QueryParameters {
 public:
  QueryParameters() = default;
  // Inside a procedure a parameter hides a column of its name, so none is
  // named like a column of `columnsOf` (when given).
  explicit QueryParameters(const std::vector<source::QueryParameter>& declared,
                           const QueryCatalog* columnsOf = nullptr);

  // Empty when every declared type has a MySQL type, and no undeclared
  // parameter is both compared with a date and used otherwise; else why not.
  std::string reason() const;
  // The parameter `parts` names, added as a text parameter when undeclared.
  expression::ColumnRef Resolve(const std::vector<std::string>& parts);
  // The undeclared parameter `sql` is compared with a date: Access turns
  // the text typed into a date, so where that is all the query does with
  // it, the procedure takes a date (DATETIME) in its place.
  void ComparedWithDate(const std::string& sql);
  const std::vector<ProcedureParameter>& list() const { return list_; }
  bool empty() const { return list_.empty(); }

 private:
  struct Entry {
    ProcedureParameter parameter;
    expression::ColumnRef column;
    // Undeclared: how often the query reads it, and compares it with a date.
    int uses = 0;
    int dateUses = 0;
  };
  expression::ColumnRef Add(const std::string& accessName, const std::string& accessType);

  std::vector<Entry> entries_;
  std::vector<std::string> columnKeys_;
  std::vector<ProcedureParameter> list_;
  std::string reason_;
};

// The MySQL type of an Access parameter type ("Long" -> "INT", "Text" ->
// "VARCHAR(255)"), and the kind of value it holds; nullopt for a type the
// server has no counterpart for.
struct ParameterType {
  std::string sql;
  expression::ValueKind kind = expression::ValueKind::Unknown;
  bool wholeNumber = false;
};
std::optional<ParameterType> MapParameterType(std::string_view accessType);

// The sources of one query (or subquery) and the names they give its
// expressions.
class QueryScope {
 public:
  // `outer` is the query a subquery stands in, whose names the subquery
  // may read; it and `parameters` must outlive this scope.
  QueryScope(const source::QueryDefinition& query, const QueryCatalog& known,
             const expression::ServerDialect& server, QueryParameters& parameters,
             const QueryScope* outer = nullptr);
  ~QueryScope();
  QueryScope(const QueryScope&) = delete;
  QueryScope& operator=(const QueryScope&) = delete;

  // Empty when the sources were read and joined; else why not, finishing
  // "not translatable, because ...".
  const std::string& reason() const;
  // The FROM clause after the word FROM; "" for a query without sources.
  const std::string& from() const;
  // One expression of the query written for the server, Access's aggregates
  // (Sum, Count(*), ...) and subqueries included.
  expression::Translation Translate(std::string_view accessText) const;
  // The columns `*` (reference "") or `reference.*` stands for, as select
  // list items ("`o`.`Total`"), with the output names Access gives them;
  // nullopt for a reference the query does not read.
  struct Star {
    std::string sql;
    std::string name;
    std::string reference;  // the source it belongs to
    expression::ColumnRef column;
  };
  std::optional<std::vector<Star>> Expand(std::string_view reference) const;
  // A column of the select list that later expressions of the same query
  // may name by its alias, as Access lets them ([Total] * 2 where an
  // earlier column is "... AS Total"); its sql stands for its value.
  void AddAlias(const expression::ColumnRef& column);
  // The sources (by their Reference()) that the expressions translated so
  // far have read, in the order of the query's sources.
  std::vector<std::string> SourcesRead() const;

  // The FROM clause taken apart around the sources `shown` (by their
  // Reference()): the tables shown (each a source, or an outer join of
  // tables shown only), the other tables, and the conditions of the inner
  // joins that held them together. Where an outer join holds a table not
  // shown, only `reason` is set, finishing "not translatable, because ...".
  struct Split {
    std::vector<std::string> shown;
    std::vector<std::string> hidden;
    std::vector<std::string> conditions;
    std::string reason;
  };
  Split SplitFrom(const std::vector<std::string>& shown) const;

  struct Data;

 private:
  Data* data_;
};

struct SelectTranslation {
  // The SELECT statement, without a closing ";".
  std::string sql;
  // Its output columns: accessName the name Access gives the column, sql its
  // quoted name in the statement's result, and its kind.
  std::vector<expression::ColumnRef> columns;
  // Empty when translated; else why not, finishing "not translatable,
  // because ...".
  std::string reason;

  bool ok() const { return reason.empty(); }
};

// The SELECT of `query` (a select query, a union's part, the SELECT of a
// crosstab, an append or a make-table query): its columns, sources, WHERE,
// GROUP BY, HAVING, ORDER BY, DISTINCT, DISTINCTROW and TOP. Parameters it
// reads are added to `parameters`.
SelectTranslation TranslateSelect(const source::QueryDefinition& query, const QueryCatalog& known,
                                  const expression::ServerDialect& server,
                                  QueryParameters& parameters, const QueryScope* outer = nullptr);

// A union of `query.unionParts` (each an Access SELECT statement's text, or
// "TABLE name"), with UNION or UNION ALL and the ORDER BY of the whole.
SelectTranslation TranslateUnion(const source::QueryDefinition& query, const QueryCatalog& known,
                                 const expression::ServerDialect& server,
                                 QueryParameters& parameters);

}  // namespace bracken::engine
