#pragma once

// Verify's schema section: each table's defaults, CHECK constraints,
// comments, character sets, nullability and foreign keys as the server holds
// them (information_schema), against what the conversion's own builders say
// the file and the plan ask for. A rule or relationship the conversion
// leaves out for the data's sake (rows that break a rule, child rows without
// a parent, a MyISAM table) is expected absent: verify cannot see the run's
// report, so it counts the rows itself, and its line says so.

#include <string>
#include <utility>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/schema/check_constraints.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

struct SchemaVerdict {
  std::string table;  // the Access name
  // The file gives the table a default, a rule, a description or a
  // relationship: only then does the section show.
  bool hasRules = false;
  std::vector<std::string> differences;
  std::vector<std::string> absences;  // what is expected absent, and why

  bool AsPlanned() const { return differences.empty(); }
};

// What of a table's own parts differs, for sync to mend: the Access names
// of the columns whose nullability, character set, default or comment
// differ; whether the table's comment differs; the planned CHECK
// constraints missing in MySQL (no row breaks them), those present that
// some rows break (with how many), and the others present under their
// planned name (whose condition sync holds against the server's); the
// constraints in MySQL the plan does not ask for.
struct SchemaGaps {
  std::vector<std::string> columns;
  bool tableComment = false;
  std::vector<PlannedCheck> missingChecks;
  std::vector<std::pair<PlannedCheck, long long>> brokenChecks;
  std::vector<PlannedCheck> presentChecks;
  std::vector<std::string> extraChecks;
};

// The table's own parts: columns, comments and CHECK constraints. `context`
// holds the table's plan and key state, as for VerifyTable; what the
// builders would report goes to `owner`. With `gaps`, what differs is also
// kept there.
SchemaVerdict VerifyTableSchema(ConversionOwner& owner, ConversionContext& context,
                                const std::string& table, target::MySqlConnection& connection,
                                const std::string& database, SchemaGaps* gaps = nullptr);

// The foreign keys that differ: the relationships (their Access names)
// whose key is missing, and the keys in MySQL no relationship asks for
// (their MySQL table and constraint name).
struct ForeignKeyGaps {
  std::vector<std::string> missing;
  std::vector<std::pair<std::string, std::string>> extra;
};

// The foreign keys of the file's relationships between the tables in
// context.convertedTables, added to their child tables' verdicts; with
// `gaps`, what differs is also kept there.
void VerifyForeignKeys(ConversionContext& context, target::MySqlConnection& connection,
                       const std::string& database, std::vector<SchemaVerdict>& verdicts,
                       ForeignKeyGaps* gaps = nullptr);

// "Orders: schema as planned", or "Orders: schema differs: <the first
// difference>" with "(and k more)"; what is expected absent follows after
// "; ".
std::string SchemaVerdictLine(const SchemaVerdict& verdict);

}  // namespace bracken::engine
