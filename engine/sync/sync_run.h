#pragma once

// Sync over the chosen tables of an Access file: each table planned as the
// conversion plans it, then the copy in MySQL brought in line with the file.
// A table whose columns match is mended row by row (table_sync.h); a table
// missing in MySQL is created and converted, and one whose columns no longer
// match the plan (a column added, dropped or retyped in Access) is dropped
// and converted again whole, both by the conversion's own table steps.
// Tables in MySQL that the file no longer has are named and left alone,
// unless they are to be dropped.
//
// Before anything is sent, every table is held against the server: when most
// of them are missing, differ in their columns or are in MySQL only, the
// database was not made from this file and the sync is refused with the
// differences named, unless forced.

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/sync/table_sync.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

struct SyncChoices {
  bool dryRun = false;        // count what would change, send no write
  bool deleteTables = false;  // drop the tables in MySQL that the file no longer has
  bool force = false;         // sync a database that does not look made from the file
  // Look for tables in MySQL only: off when only some tables are chosen.
  bool wholeFile = true;
  // The engine of the tables created when the database holds no InnoDB table.
  TableEngine engine = TableEngine::MyISAM;
};

struct SyncSummary {
  // The database was not made from this file: nothing was changed, and
  // `refusal` names the differences.
  bool refused = false;
  std::vector<std::string> refusal;
  std::vector<TableSync> tables;
  // Left alone and named; they do not keep the copy from matching the file
  // (a nightly sync after a table was deleted in Access still ends well).
  std::vector<std::string> onlyInMySql;
  std::vector<std::string> dropped;  // with deleteTables
  // Tables in MySQL only that the server would not drop, with its reason.
  std::vector<std::pair<std::string, std::string>> notDropped;
  // The database could not be created or used; nothing was done.
  std::string cannotStart;
  // A stop was asked: the tables after the current one were not synced.
  bool stopped = false;
  // The foreign keys, views and procedures brought in line after the
  // tables, and what of them could not be.
  std::vector<std::string> objects;
  std::vector<std::string> objectProblems;

  int InStep() const;
  int NotInLine() const;
  bool InLine() const {
    return !refused && cannotStart.empty() && !stopped && NotInLine() == 0 && notDropped.empty() &&
           objectProblems.empty();
  }
  // With a dry run: true when nothing would change.
  bool NothingToDo() const;
};

// `context` sends through an executor on `connection` and carries the
// conversion's choices (rules, batching, collations are set here). `tables`
// in the order the conversion takes them; the child tables of attachment and
// multi-value columns follow their table. `onTable` sees each table's result
// as soon as it is known; a stop asked through `context` ends the sync
// after the current table. `owner` shows what the conversion shows for the
// tables it creates and the rows the server refuses.
SyncSummary SyncTables(ConversionOwner& owner, ConversionContext& context,
                       const std::vector<std::string>& tables, target::MySqlConnection& connection,
                       const std::string& database, const SyncChoices& choices,
                       const std::function<void(const TableSync&)>& onTable = {});

// "D: 5 tables, 3 in step, 2 brought in line, 0 not in line; rows: 3 added,
// 2 changed, 1 removed, 0 refused", then "; 1 table in MySQL only" or "; 1
// table dropped"; with a dry run "D (dry run): 5 tables, 3 in step, 2 to
// bring in line; rows: 3 to add, 2 to change, 1 to remove". A refused sync:
// "D: not synced, the database was not made from this file".
std::string SyncSummaryLine(const std::string& database, const SyncSummary& summary, bool dryRun);

}  // namespace bracken::engine
