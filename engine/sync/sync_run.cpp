#include "engine/sync/sync_run.h"

#include <algorithm>
#include <set>

#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/foreign_keys.h"
#include "engine/schema/identifier.h"
#include "engine/schema/key_clauses.h"
#include "engine/schema/table_plan.h"
#include "engine/silent_owner.h"
#include "engine/sync/schema_sync.h"
#include "target/mysql_connection.h"

namespace bracken::engine {

namespace {

// One table of the file as the server holds it, before anything changes,
// with its plan: planning reads every row of the table, so it is done once.
struct Planned {
  std::string table;
  std::string targetName;
  TableShape shape;
  std::string problem;  // the file or the server could not be read
  TablePlan plan;
  KeyState keyState;
  NameRegistry namesBefore{false};  // the names given out before the table's
  NameRegistry namesAfter{false};
};

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string Count(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// The first cell of each row the server answers; nothing when it refused.
std::optional<std::vector<std::string>> Column(target::MySqlConnection& connection,
                                               const std::string& query) {
  auto rows = connection.QueryRows(query);
  if (!rows) return std::nullopt;
  std::vector<std::string> cells;
  for (const auto& row : *rows) cells.push_back(row.empty() ? std::string() : row.front());
  return cells;
}

// Plans the table as the conversion does, quietly: the conversion has
// reported its renames already.
void Plan(ConversionContext& context, const std::string& table) {
  SilentOwner quiet;
  context.keyState.Clear();
  context.tablePlan = PlanTable(quiet, context, table, context.tableNames);
  BuildKeyClauses(quiet, context, table);
}

// The tables in the conversion's order: each followed by its child tables.
std::vector<std::string> InOrder(ConversionSource& source, const std::vector<std::string>& tables) {
  std::vector<std::string> ordered;
  for (const std::string& table : tables) {
    ordered.push_back(table);
    for (const std::string& child : source.ChildTables(table)) ordered.push_back(child);
  }
  return ordered;
}

// Whether the database looks made from this file: at least half of the
// tables of both sides are on both, and at least half of their columns
// match in name and type.
void HoldAgainstFile(const std::vector<Planned>& planned,
                     const std::vector<std::string>& onlyInMySql, SyncSummary& summary) {
  std::size_t common = 0, columns = 0, differing = 0;
  std::vector<std::string> differences;
  for (const Planned& table : planned) {
    const std::string name = "table " + Bracketed(table.table);
    if (!table.problem.empty()) {
      differences.push_back(name + ": " + table.problem);
      continue;
    }
    if (table.shape.missing) {
      differences.push_back(name + ": not in MySQL");
      continue;
    }
    ++common;
    columns += table.shape.columns;
    differing += table.shape.differences.size();
    for (const std::string& difference : table.shape.differences) {
      differences.emplace_back(name).append(": ").append(difference);
    }
  }
  for (const std::string& table : onlyInMySql) {
    differences.push_back("table " + Bracketed(table) + ": in MySQL only");
  }
  const std::size_t tables = planned.size() + onlyInMySql.size();
  if (common * 2 >= tables && differing * 2 <= columns) return;
  summary.refused = true;
  summary.refusal.push_back(std::to_string(tables - common) + " of " + std::to_string(tables) +
                            " tables are not on both sides, " + std::to_string(differing) + " of " +
                            std::to_string(columns) + " columns of the others differ:");
  for (const std::string& difference : differences) summary.refusal.push_back("  " + difference);
}

long StoredRows(ConversionSource& source, const std::string& table) {
  try {
    return std::max(0L, source.StoredRowCount(table));
  } catch (const source::SourceError&) {
    return 0;
  }
}

// A table created or rebuilt by the conversion's own table steps.
TableSync Convert(ConversionOwner& owner, ConversionContext& context, const Planned& planned,
                  bool dryRun) {
  TableSync sync;
  sync.table = planned.table;
  sync.kind = planned.shape.missing ? TableSync::Kind::Created : TableSync::Kind::Rebuilt;
  sync.reasons = planned.shape.differences;
  if (dryRun) {
    sync.rows = StoredRows(context.source, planned.table);
    return sync;
  }
  const long sentBefore = context.summary.rowsSent;
  const long refusedBefore = context.summary.rowsRefused;
  const long incompleteBefore = context.summary.tablesIncomplete;
  context.keyState.Clear();
  std::string failure;
  // A table rebuilt keeps the key column the conversion had given it.
  const bool addRowKeys = context.addRowKeys;
  context.addRowKeys = addRowKeys || !planned.shape.rowKey.empty();
  const bool converted = ConvertOneTable(owner, context, planned.table, failure);
  context.addRowKeys = addRowKeys;
  sync.refused = context.summary.rowsRefused - refusedBefore;
  sync.rows = context.summary.rowsSent - sentBefore - sync.refused;
  if (!converted) {
    sync.kind = TableSync::Kind::Failed;
    sync.problems.push_back(failure.empty() ? "stopped" : failure);
  } else if (context.summary.tablesIncomplete > incompleteBefore) {
    sync.problems.push_back("the file's rows were cut short by a read error");
  }
  return sync;
}

}  // namespace

int SyncSummary::InStep() const {
  return static_cast<int>(std::count_if(tables.begin(), tables.end(), [](const TableSync& sync) {
    return sync.InLine() && !sync.Changes();
  }));
}

int SyncSummary::NotInLine() const {
  return static_cast<int>(std::count_if(tables.begin(), tables.end(),
                                        [](const TableSync& sync) { return !sync.InLine(); }));
}

bool SyncSummary::NothingToDo() const {
  return !refused && cannotStart.empty() && !stopped && dropped.empty() && notDropped.empty() &&
         objects.empty() && objectProblems.empty() && InStep() == static_cast<int>(tables.size());
}

SyncSummary SyncTables(ConversionOwner& owner, ConversionContext& context,
                       const std::vector<std::string>& tables, target::MySqlConnection& connection,
                       const std::string& database, const SyncChoices& choices,
                       const std::function<void(const TableSync&)>& onTable) {
  SyncSummary summary;
  // Text keys sort whole however long; the server waits while a table's
  // file side is read.
  connection.Execute("SET SESSION max_sort_length=8388608");
  connection.Execute("SET SESSION net_write_timeout=3600");
  // Every table ends as the file has it, and the file's rows keep its
  // relationships: a delete in a parent table must not cascade into a child
  // that is synced later (or earlier), and a parent may be rebuilt.
  connection.Execute("SET SESSION foreign_key_checks=0");
  // Nor is a row refused for a validation rule: a rule the rows break is
  // dropped and named after them, as the conversion does (MariaDB; MySQL
  // has no such setting and refuses the row, which is named).
  context.checksDeferred = context.executor.Traits().isMariaDb &&
                           connection.Execute("SET SESSION check_constraint_checks=0");
  context.textCollation = context.executor.Traits().utf8AccentSensitiveCollation;
  context.extendedTextCollation = context.executor.Traits().utf8mb4AccentSensitiveCollation;
  const std::string quotedDatabase = "'" + EscapeText(database) + "'";
  const auto schemas = Column(
      connection,
      "SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = " + quotedDatabase);
  if (!schemas) {
    summary.cannotStart = connection.ErrorText();
    return summary;
  }
  const bool exists = !schemas->empty();
  if (!exists && !choices.dryRun &&
      !context.executor.Execute("CREATE DATABASE " + QuoteIdentifier(database))) {
    summary.cannotStart = context.executor.ErrorText();
    return summary;
  }
  if ((exists || !choices.dryRun) &&
      !context.executor.Execute("USE " + QuoteIdentifier(database))) {
    summary.cannotStart = context.executor.ErrorText();
    return summary;
  }

  // The tables the server holds, and their engines: the tables created take
  // InnoDB when the copy has it, and are planned for it.
  std::vector<std::string> serverTables;
  bool innoDb = false;
  if (exists) {
    const auto rows = connection.QueryRows(
        "SELECT TABLE_NAME, ENGINE FROM information_schema.TABLES WHERE TABLE_TYPE = 'BASE TABLE' "
        "AND TABLE_SCHEMA = " +
        quotedDatabase + " ORDER BY TABLE_NAME");
    if (!rows) {
      summary.cannotStart = connection.ErrorText();
      return summary;
    }
    for (const auto& row : *rows) {
      if (row.size() < 2) continue;
      serverTables.push_back(row[0]);
      innoDb = innoDb || row[1] == "InnoDB";
    }
  }
  context.engine = innoDb ? TableEngine::InnoDB : choices.engine;
  const std::vector<std::string> ordered = InOrder(context.source, tables);
  if (context.engine == TableEngine::InnoDB) PlanRelationshipCharacters(context, tables);

  // Every table held against the server before anything changes.
  std::vector<Planned> planned;
  context.tableNames = NameRegistry(false);
  std::set<std::string> plannedNames;
  for (const std::string& table : ordered) {
    NameRegistry before = context.tableNames;
    Plan(context, table);
    Planned entry{table,
                  context.tablePlan.targetName,
                  {},
                  {},
                  context.tablePlan,
                  context.keyState,
                  std::move(before),
                  context.tableNames};
    if (!exists) {
      entry.shape.missing = true;
    } else {
      ReadTableShape(context, table, connection, database, entry.shape, entry.problem);
    }
    plannedNames.insert(Lower(entry.targetName));
    planned.push_back(std::move(entry));
  }
  std::vector<std::string> onlyInMySql;
  if (choices.wholeFile) {
    for (const std::string& name : serverTables) {
      if (plannedNames.count(Lower(name)) == 0) onlyInMySql.push_back(name);
    }
  }
  if (!serverTables.empty() && !choices.force) {
    HoldAgainstFile(planned, onlyInMySql, summary);
    if (summary.refused) return summary;
  }

  // In the same order, each table under the name it was planned with.
  context.constraintNames.clear();
  context.convertedTables.clear();
  for (const Planned& entry : planned) {
    if (context.stopRequested || context.stoppedDuringWait) {
      summary.stopped = true;
      break;
    }
    const NameRegistry& before = entry.namesBefore;
    context.tableNames = entry.namesAfter;
    context.tablePlan = entry.plan;
    context.keyState = entry.keyState;
    TableSync sync;
    if (!entry.problem.empty()) {
      sync.table = entry.table;
      sync.kind = TableSync::Kind::Failed;
      sync.problems.push_back(entry.problem);
    } else if (entry.shape.missing || !entry.shape.differences.empty()) {
      // The conversion plans the table itself, under the name it had.
      context.tableNames = before;
      sync = Convert(owner, context, entry, choices.dryRun);
    } else {
      sync = SyncTableRows(owner, context, entry.table, connection, database, choices.dryRun);
      if (sync.kind != TableSync::Kind::Failed) {
        SchemaSync schema =
            SyncTableSchema(owner, context, entry.table, connection, database, choices.dryRun);
        sync.schema = std::move(schema.changes);
        sync.problems.insert(sync.problems.end(), schema.problems.begin(), schema.problems.end());
      }
      context.convertedTables.push_back(context.tablePlan);
    }
    summary.tables.push_back(std::move(sync));
    if (onTable) onTable(summary.tables.back());
  }

  // The relationships and saved queries, once every table is in line, as
  // the conversion makes them after the rows.
  if (!summary.stopped && !context.stopRequested && !context.stoppedDuringWait) {
    for (const SchemaSync& step :
         {SyncForeignKeys(owner, context, connection, database, choices.dryRun),
          SyncQueryObjects(owner, context, connection, database, choices.dryRun)}) {
      summary.objects.insert(summary.objects.end(), step.changes.begin(), step.changes.end());
      summary.objectProblems.insert(summary.objectProblems.end(), step.problems.begin(),
                                    step.problems.end());
    }
  }

  for (const std::string& name : onlyInMySql) {
    if (!choices.deleteTables) {
      summary.onlyInMySql.push_back(name);
    } else if (choices.dryRun || context.executor.Execute("DROP TABLE " + QuoteIdentifier(name))) {
      summary.dropped.push_back(name);
    } else {
      summary.notDropped.emplace_back(name, context.executor.ErrorText());
    }
  }
  return summary;
}

std::string SyncSummaryLine(const std::string& database, const SyncSummary& summary, bool dryRun) {
  if (summary.refused) return database + ": not synced, the database was not made from this file";
  if (!summary.cannotStart.empty()) return database + ": not synced: " + summary.cannotStart;
  long added = 0, changed = 0, removed = 0, refused = 0;
  for (const TableSync& sync : summary.tables) {
    added += sync.kind == TableSync::Kind::Kept ? sync.added : 0;
    changed += sync.kind == TableSync::Kind::Kept ? sync.changed : 0;
    removed += sync.kind == TableSync::Kind::Kept ? sync.removed : 0;
    refused += sync.refused;
  }
  const int total = static_cast<int>(summary.tables.size());
  const int inStep = summary.InStep();
  const int notInLine = summary.NotInLine();
  std::string line = database + (dryRun ? " (dry run): " : ": ") +
                     Count(static_cast<std::size_t>(total), "table", "tables") + ", " +
                     std::to_string(inStep) + " in step, ";
  if (dryRun) {
    line += std::to_string(total - inStep) + " to bring in line; rows: " + std::to_string(added) +
            " to add, " + std::to_string(changed) + " to change, " + std::to_string(removed) +
            " to remove";
  } else {
    line += std::to_string(total - inStep - notInLine) + " brought in line, " +
            std::to_string(notInLine) + " not in line; rows: " + std::to_string(added) +
            " added, " + std::to_string(changed) + " changed, " + std::to_string(removed) +
            " removed, " + std::to_string(refused) + " refused";
  }
  if (!summary.onlyInMySql.empty()) {
    line += "; " + Count(summary.onlyInMySql.size(), "table", "tables") + " in MySQL only";
  }
  if (!summary.dropped.empty()) {
    line += "; " + Count(summary.dropped.size(), "table", "tables") +
            (dryRun ? " to drop" : " dropped");
  }
  if (!summary.notDropped.empty()) {
    line += "; " + Count(summary.notDropped.size(), "table", "tables") + " not dropped";
  }
  if (!summary.objects.empty()) {
    line += "; " +
            Count(summary.objects.size(), "foreign key or query", "foreign keys and queries") +
            (dryRun ? " to bring in line" : " brought in line");
  }
  if (!summary.objectProblems.empty()) {
    line +=
        "; " +
        Count(summary.objectProblems.size(), "foreign key or query", "foreign keys and queries") +
        " not in line";
  }
  if (summary.stopped) line += "; stopped";
  return line;
}

}  // namespace bracken::engine
