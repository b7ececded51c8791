#pragma once

// The text of an Access SELECT statement (a part of a union, a subquery)
// read into the parts a saved query is kept in: PARAMETERS, SELECT
// [DISTINCT | DISTINCTROW] [TOP n [PERCENT]] columns, FROM with its nested
// INNER, LEFT and RIGHT JOINs, WHERE, GROUP BY, HAVING and ORDER BY. Each
// expression is kept as text, as MSysQueries keeps it; the expression
// translator reads it later.

#include <string>
#include <string_view>
#include <vector>

#include "source/saved_query.h"

namespace bracken::engine {

// Reads `text` into `query` (a select query). False, with `why` in plain
// words, for text that is not such a statement. "TABLE name" reads as
// SELECT * FROM name.
bool ParseSelectText(std::string_view text, source::QueryDefinition& query, std::string& why);

// A union's text cut at its UNION and UNION ALL words: each SELECT, and
// whether UNION ALL joins it to the parts before it (false for the first).
struct UnionPart {
  std::string text;
  bool all = false;
};
std::vector<UnionPart> SplitUnion(std::string_view text);

}  // namespace bracken::engine
