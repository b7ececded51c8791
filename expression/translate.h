#pragma once

// One Access expression (a default value, a validation rule, an expression
// of a saved query) written as MySQL/MariaDB SQL text with Access's meaning,
// or the plain reason why it cannot be. Nothing is guessed: a construct
// whose meaning the server cannot reproduce is refused with its reason.
//
// How values are written:
//  - A Yes/No value is the server's truth value, 1 or 0, as a Yes/No column
//    holds it; where Access uses it as a number (arithmetic, comparison with
//    a number) it becomes Access's -1 or 0.
//  - Dates are DATETIME (or DATE) values; a time alone is on 30 December 1899.
//  - Texts are compared as the columns' collations compare them (Access
//    ignores case; the conversion's collations do too).
//  - & treats Null as empty text (Null only when both sides are Null).

#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace bracken::expression {

// The server the text is written for: some constructs need a newer server.
struct ServerDialect {
  bool isMariaDb = true;
  int major = 10;
  int minor = 11;
  int patch = 0;

  // From @@version, e.g. "10.11.6-MariaDB-0+deb12u1" or "8.0.36".
  static ServerDialect FromVersion(std::string_view version);

  bool AtLeast(int wantMajor, int wantMinor, int wantPatch = 0) const;
  // DEFAULT (expression): MariaDB 10.2.1, MySQL 8.0.13. The same servers
  // are the first to take any DEFAULT on TEXT and BLOB columns.
  bool TakesExpressionDefaults() const;
  // CHECK constraints that are kept and enforced: MariaDB 10.2.1, MySQL 8.0.16.
  bool EnforcesCheckConstraints() const;
  // REGEXP that reads characters rather than bytes: MariaDB 10.0.5 (PCRE),
  // MySQL 8.0.4 (ICU).
  bool HasCharacterRegexp() const;
};

// What a value is, as far as the translation needs to know.
enum class ValueKind { Unknown, Number, Text, Date, Boolean };

// A column an expression may name: its Access name, the SQL text that stands
// for it (usually its quoted MySQL name, "`Unit Price`") and its kind.
struct ColumnRef {
  std::string accessName;
  std::string sql;
  ValueKind kind = ValueKind::Unknown;
  // A number column that holds whole numbers only (Byte, Integer, Long):
  // Access writes such a number as text the way the server does.
  bool wholeNumber = false;
  // A parameter the query asks for without declaring its type: Access hands
  // over the text typed, and turns it into a date where the query compares
  // it with one (see Context::comparedWithDate).
  bool undeclaredParameter = false;
};

enum class Purpose {
  // A column's DefaultValue: the text goes right after DEFAULT.
  DefaultValue,
  // A column's ValidationRule: may leave out its column (">=0").
  ColumnRule,
  // A table's ValidationRule: names its columns.
  TableRule,
  // An expression of a saved query: names resolve through the resolver.
  QueryExpression,
};

// What a resolver or another callback of the Context throws to refuse the
// expression; its message finishes "not translatable, because ...".
class Refused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Context {
  Purpose purpose = Purpose::QueryExpression;
  ServerDialect server;
  // DefaultValue: the kind of the column the default is for (a Yes/No
  // column takes 1 for Yes). ColumnRule: the rule's own column.
  ColumnRef column;
  // TableRule: the table's columns.
  std::vector<ColumnRef> columns;
  // QueryExpression (and TableRule, after `columns`): a name's column, its
  // parts as written ("Orders", "Total" for [Orders].[Total]); nullopt for a
  // name that is not known.
  // A name may also be a parameter the query asks for: the resolver
  // answers for those too. It may throw Refused (a name that could be a
  // column of two tables).
  std::function<std::optional<ColumnRef>(const std::vector<std::string>& parts)> resolve;
  // QueryExpression: a reference to an open form or report
  // ([Forms]![Orders]![Total], parts "Forms", "Orders", "Total"), which a
  // query asks for as a parameter; without it, or for nullopt, refused.
  std::function<std::optional<ColumnRef>(const std::vector<std::string>& parts)> openObject;
  // QueryExpression: a subquery, its SELECT statement as written between
  // the parentheses, written for the server (its sql without parentheses,
  // and the kind of its one column where known); throws Refused. Without
  // it, subqueries are refused.
  struct Subquery {
    std::string sql;
    ValueKind kind = ValueKind::Unknown;
  };
  std::function<Subquery(std::string_view select)> subquery;
  // QueryExpression: told of each comparison (=, <, Between, ...) of an
  // undeclared parameter (by its sql) with a date, which is then written as
  // a comparison of dates: the caller gives the parameter a date type where
  // that is its only use. Without it, such a comparison is refused.
  std::function<void(const std::string& parameterSql)> comparedWithDate;

  static Context ForDefault(ValueKind columnKind, ServerDialect server);
  static Context ForColumnRule(ColumnRef column, ServerDialect server);
  static Context ForTableRule(std::vector<ColumnRef> columns, ServerDialect server);
};

struct Translation {
  // The SQL text; empty when not translatable.
  std::string sql;
  // Why not, in plain words, finishing the sentence "not translatable,
  // because ...": "DLookup is a domain function of Access".
  std::string reason;
  // A plain literal ('abc', -1, '2000-01-01 00:00:00'): a DEFAULT any
  // server takes.
  bool literal = false;
  // Depends on no column and no clock: the same value on every row.
  bool constant = false;
  // The same inputs give the same value at any time (no Now(), Date(), ...):
  // what a CHECK constraint needs.
  bool deterministic = true;
  // What the value is, as far as known; a number that is a whole number.
  ValueKind kind = ValueKind::Unknown;
  bool wholeNumber = false;

  bool ok() const { return !sql.empty(); }
};

// `accessText` for `context`. For DefaultValue the text is what follows
// DEFAULT: a literal, CURRENT_TIMESTAMP for Now(), else "(expression)",
// which needs a server that takes expression defaults. For rules the text is
// a condition for CHECK (...), refused where the server does not enforce
// CHECK constraints or where the rule reads the clock.
Translation Translate(std::string_view accessText, const Context& context);

}  // namespace bracken::expression
