#pragma once

// Verify's schema section: each table's defaults, CHECK constraints,
// comments, character sets, nullability and foreign keys as the server holds
// them (information_schema), against what the conversion's own builders say
// the file and the plan ask for. A rule or relationship the conversion
// leaves out for the data's sake (rows that break a rule, child rows without
// a parent, a MyISAM table) is expected absent: verify cannot see the run's
// report, so it counts the rows itself, and its line says so.

#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

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

// The table's own parts: columns, comments and CHECK constraints. `context`
// holds the table's plan and key state, as for VerifyTable; what the
// builders would report goes to `owner`.
SchemaVerdict VerifyTableSchema(ConversionOwner& owner, ConversionContext& context,
                                const std::string& table, target::MySqlConnection& connection,
                                const std::string& database);

// The foreign keys of the file's relationships between the tables in
// context.convertedTables, added to their child tables' verdicts.
void VerifyForeignKeys(ConversionContext& context, target::MySqlConnection& connection,
                       const std::string& database, std::vector<SchemaVerdict>& verdicts);

// "Orders: schema as planned", or "Orders: schema differs: <the first
// difference>" with "(and k more)"; what is expected absent follows after
// "; ".
std::string SchemaVerdictLine(const SchemaVerdict& verdict);

}  // namespace bracken::engine
