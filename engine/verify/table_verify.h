#pragma once

// Verify for one table: every row of the Access table, put through the
// conversion's own value rules, against the rows the server holds. Rows pair
// by the primary key where the table has one; else they compare as a
// multiset of row digests.
//
// Memory: the Access side is held as one compact entry per row and sorted
// (with a key: 32 bytes plus the key's canonical bytes, 9 for a Long key;
// without: 20 bytes); the server's rows stream past one at a time, in key
// order where there is a key (a table without one keeps 20 bytes per server
// row too). Nothing else grows with the table.

#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

inline constexpr std::size_t kShownDifferences = 20;

struct TableVerdict {
  std::string table;     // the Access name
  bool missing = false;  // no such table in MySQL
  bool failed = false;   // the server broke off; `shown` says why
  long accessRows = 0;
  long mysqlRows = 0;
  long differences = 0;
  std::vector<std::string> shown;  // the first kShownDifferences of them

  bool Identical() const { return !missing && !failed && differences == 0; }
};

// `context` holds the table's plan and key state (PlanTable and
// BuildKeyClauses have run for `table`). The server is read through its own
// `connection`; `database` names the converted database.
TableVerdict VerifyTable(ConversionContext& context, const std::string& table,
                         target::MySqlConnection& connection, const std::string& database);

// The report lines of a verdict: "Orders: 830 rows identical", or a line
// with the count of differences followed by each shown one, indented, and
// "... and k more".
std::vector<std::string> VerdictLines(const TableVerdict& verdict);

}  // namespace bracken::engine
