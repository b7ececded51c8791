#pragma once

// Sync for one table: the rows of the Access table, put through the
// conversion's own value rules, paired with the rows the server holds as
// verify pairs them, then the copy brought in line with the file.
//
// A table with a primary key is mended row by row: rows missing in MySQL are
// inserted (many to an INSERT), rows that differ have only their differing
// columns updated, rows no longer in the file are deleted (many keys to a
// DELETE); statements stay within the server's packet limit. A table without
// a key is replaced whole when its rows differ as a multiset. An unchanged
// table gets no write statement at all.
//
// Memory: the file side is held as one compact entry per row (its canonical
// key and digest) and the server's rows stream past in key order, as in
// verify; what is kept beyond that grows with the changes only: the file
// row's number per insert, a digest per column per changed row, the key's
// literal per deleted row. The file is read while the server sorts its rows.
// The rows to insert and update are read from the file a second time.
//
// InnoDB tables take their changes in one transaction: a table that fails
// part-way is rolled back and stays as it was. Where the run bounds its write
// sets (a cluster node, RowBatching::BoundWriteSets), every statement stays
// within the bound and the transaction is committed whenever the next
// statement would take it past: a table that then fails part-way is partly
// brought in line, says so, and the next sync completes it.

#include <string>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

struct TableSync {
  enum class Kind {
    Kept,      // a keyed table mended row by row (or already in step)
    Replaced,  // a table without a key whose rows differed (or whose key MySQL holds twice)
    Created,   // in the file, not in MySQL
    Rebuilt,   // its columns no longer matched the file's plan
    Failed,    // the server broke off; `problems` say why
  };
  std::string table;  // the Access name
  Kind kind = Kind::Kept;
  long added = 0;
  long changed = 0;
  long removed = 0;
  long unchanged = 0;
  long rows = 0;     // Replaced, Created, Rebuilt: the rows the table now holds
  long refused = 0;  // rows the server refused
  // A MyISAM table whose plain indexes were left disabled (a conversion cut
  // short while it copied the rows): they are enabled again.
  bool indexesDisabled = false;
  // Why the table was rebuilt (the columns that differ) or replaced though
  // keyed.
  std::vector<std::string> reasons;
  // Plain indexes an InnoDB table lacked (a conversion cut short before it
  // added them after the rows): added again.
  std::vector<std::string> indexesAdded;
  // Its defaults, comments and CHECK constraints brought in line.
  std::vector<std::string> schema;
  // What could not be brought in line, named.
  std::vector<std::string> problems;

  bool InLine() const { return kind != Kind::Failed && refused == 0 && problems.empty(); }
  bool Changes() const {
    return kind != Kind::Kept || added + changed + removed > 0 || indexesDisabled ||
           !indexesAdded.empty() || !schema.empty();
  }
};

// The shape of the table in MySQL against the file's plan: missing, or the
// columns that differ (none when they match). `context` holds the table's
// plan and key state (PlanTable and BuildKeyClauses have run for `table`).
// False when the file or the server could not be read (`problem` says why).
struct TableShape {
  bool missing = false;
  std::vector<std::string> differences;
  // The columns of both sides: the planned ones and those in MySQL only.
  std::size_t columns = 0;
  // The key column the conversion added to the table in MySQL
  // (schema/row_key.h), not counted among its columns; empty when none.
  std::string rowKey;
};
bool ReadTableShape(ConversionContext& context, const std::string& table,
                    target::MySqlConnection& connection, const std::string& database,
                    TableShape& shape, std::string& problem);

// Brings a table whose columns match the plan in line with the file; with
// `dryRun`, counts what would change and sends nothing. Statements go
// through `context.executor`, which sends on `connection`, the database in use.
TableSync SyncTableRows(ConversionOwner& owner, ConversionContext& context,
                        const std::string& table, target::MySqlConnection& connection,
                        const std::string& database, bool dryRun);

// The report lines of a table: "Orders: 3 added, 2 changed, 1 removed, 824
// unchanged", "Notes: replaced, 12 rows (no key; 3 rows differed)",
// "Shippers: created, 3 rows", "Orders: rebuilt, 830 rows" followed by its
// reasons; with `dryRun`, what would happen: "Orders: 3 to add, 2 to
// change, 1 to remove, 824 unchanged", "Shippers: to be created, 3 rows".
// Problems follow, indented.
std::vector<std::string> TableSyncLines(const TableSync& sync, bool dryRun);

}  // namespace bracken::engine
