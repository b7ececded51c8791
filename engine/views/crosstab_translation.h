#pragma once

// A crosstab query written for the server. Access computes a crosstab as a
// grouping by its row headings and its column heading, then lays the value
// of each group out in one column per column heading. The translation does
// the same in two steps: the grouped cells (row headings, heading, value)
// as a derived table, then one row per row heading with a column per
// heading that picks the cell of that heading.
//
// - With fixed column headings (PIVOT ... IN (...)) the columns are known:
//   a view (a procedure where the query asks for parameters), one column
//   per heading in the list's order, named by the heading's text. A cell
//   belongs to a heading when its column heading value equals the heading
//   as text; a Null in the list stands for the Null value, shown as "<>".
// - Without them the columns are the distinct values at run time: a
//   procedure that gathers them (in ascending order, Null first as "<>",
//   descending where the query sorts its column heading so) and builds and
//   runs the statement.
//
// A row heading that totals (Sum(...) rather than a grouped column) is
// computed over all of its row's records, as Access shows a row total.

#include <string>
#include <string_view>
#include <vector>

#include "engine/views/query_translation.h"

namespace bracken::engine {

// The fixed column headings of `pivotValues` ("Qtr1","Qtr2" or 1999,2000)
// as Access names the columns; an empty name for Null. Throws
// std::invalid_argument with the reason for a list that is not literals.
struct PivotHeading {
  std::string name;  // "<>" for Null
  bool isNull = false;
};
std::vector<PivotHeading> PivotHeadings(std::string_view pivotValues);

// `query` (a crosstab) for `server`.
QueryTranslation TranslateCrosstab(const source::QueryDefinition& query, const QueryCatalog& known,
                                   const expression::ServerDialect& server);

}  // namespace bracken::engine
