#pragma once

// The file's saved queries made into views and procedures, after every
// table's rows and foreign keys. Each query is translated once the queries
// it reads are made (so a view on a view finds it), reading the converted
// tables and the views made so far; its name is given out as a table's is,
// from the same names, so a view never takes a table's name. A query that
// cannot be made (it reads a table not converted, a query not made, or
// itself through others; it is not translatable; the server refuses it) is
// one report line naming it, the reason and its Access SQL, and counts as
// not converted.

#include <functional>
#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/views/query_translation.h"
#include "source/saved_query.h"

namespace bracken::engine {

// What became of one saved query.
struct QueryOutcome {
  std::string accessName;
  std::string accessSql;
  // Given out only to a translated query.
  std::string targetName;
  QueryObjectKind kind = QueryObjectKind::View;
  // The CREATE VIEW or CREATE PROCEDURE statement; "" when not translated.
  std::string statement;
  // "" when made; else why not, to follow "was not converted: ".
  std::string reason;

  bool made() const { return reason.empty(); }
};

// Makes one translated query on the server (or checks it is there): "" when
// done, else why not, to follow "was not converted: ".
using MakeQueryObject = std::function<std::string(const QueryOutcome&)>;

// The converted tables (context.convertedTables) as queries read them: their
// Access and MySQL names and their columns with the kinds the translator
// needs. A table whose catalogue cannot be read keeps its planned columns
// without kinds.
QueryCatalog ConvertedTablesCatalog(ConversionContext& context);

// "CREATE VIEW `name` AS <body>" or "CREATE PROCEDURE `name`(IN `p` TYPE,
// ...) BEGIN <body> END", without a closing ";". Text parameters take
// utf8mb4 with `textCollation` (the conversion's utf8mb4 collation; "" for
// the server's default one).
std::string CreateStatement(const std::string& targetName, const QueryTranslation& translation,
                            const std::string& textCollation);

// `queries` in the order they can be made, each translated against the
// converted tables and the objects `make` made before it, its name claimed
// from context.tableNames. Stops early, leaving the rest out, when a stop is
// asked. One outcome per query handled, in the order handled.
std::vector<QueryOutcome> PlaceQueries(ConversionContext& context,
                                       const std::vector<source::Query>& queries,
                                       const MakeQueryObject& make);

// The report line of a query not made: "Query [Q] was not converted:
// <reason>. Access SQL: SELECT ..." (the SQL on one line).
std::string QueryNotConvertedLine(const QueryOutcome& outcome);

// The conversion's step: the file's queries as views and procedures on the
// server, renames and every query not made in the report (the latter
// counted in summary.queriesNotCreated). Nothing is sent or said for a file
// without queries, or with context.carryQueries off.
void CreateQueryObjects(ConversionOwner& owner, ConversionContext& context);

}  // namespace bracken::engine
