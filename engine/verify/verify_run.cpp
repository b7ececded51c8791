#include "engine/verify/verify_run.h"

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/output/statement_executor.h"
#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/foreign_keys.h"
#include "engine/schema/identifier.h"
#include "engine/schema/key_clauses.h"
#include "engine/schema/table_plan.h"
#include "engine/silent_owner.h"
#include "engine/views/view_creation.h"
#include "target/mysql_connection.h"

namespace bracken::engine {

namespace {

// Whether the object the conversion made of a query is there: a view that
// runs (without reading a row) or a procedure. "" when it is; else what is
// wrong.
std::string CheckQueryObject(target::MySqlConnection& connection, const std::string& database,
                             const QueryOutcome& outcome) {
  const bool view = outcome.kind == QueryObjectKind::View;
  const std::string quotedName = "'" + EscapeText(outcome.targetName) + "'";
  const std::string quotedDatabase = "'" + EscapeText(database) + "'";
  const auto found = connection.QueryRows(
      view ? "SELECT 1 FROM information_schema.VIEWS WHERE TABLE_SCHEMA = " + quotedDatabase +
                 " AND TABLE_NAME = " + quotedName
           : "SELECT 1 FROM information_schema.ROUTINES WHERE ROUTINE_TYPE = 'PROCEDURE' AND "
             "ROUTINE_SCHEMA = " +
                 quotedDatabase + " AND ROUTINE_NAME = " + quotedName);
  const std::string what = (view ? "view " : "procedure ") + Bracketed(outcome.targetName);
  if (!found)
    return "the server cannot say whether the " + what + " exists: " + connection.ErrorText();
  if (found->empty()) return "the database has no " + what;
  if (view &&
      !connection.QueryRows("SELECT * FROM " + QuoteIdentifier(outcome.targetName) + " LIMIT 0")) {
    return "the " + what + " does not run: " + connection.ErrorText();
  }
  return "";
}

// The queries section: the file's queries placed as the conversion places
// them, each made object looked for instead of created.
std::vector<QueryVerdict> VerifyQueries(ConversionContext& context,
                                        target::MySqlConnection& connection,
                                        const std::string& database) {
  std::vector<source::Query> queries;
  try {
    queries = context.source.Queries();
  } catch (const source::SourceError&) {
    // Named with the file's damage.
  }
  std::vector<QueryVerdict> verdicts;
  if (queries.empty()) return verdicts;
  auto check = [&](const QueryOutcome& outcome) {
    return CheckQueryObject(connection, database, outcome);
  };
  for (const QueryOutcome& outcome : PlaceQueries(context, queries, check)) {
    const std::string name = "Query " + Bracketed(outcome.accessName) + ": ";
    const bool lookedFor = !outcome.statement.empty();
    if (outcome.made()) {
      verdicts.push_back({outcome.accessName,
                          name + (outcome.kind == QueryObjectKind::View
                                      ? "view " + Bracketed(outcome.targetName) + " runs"
                                      : "procedure " + Bracketed(outcome.targetName) + " present"),
                          false});
    } else if (lookedFor) {
      verdicts.push_back({outcome.accessName, name + "differs: " + outcome.reason, true});
    } else {
      verdicts.push_back({outcome.accessName, name + "not converted: " + outcome.reason, false});
    }
  }
  return verdicts;
}

}  // namespace

int VerifySummary::QueriesAsConverted() const {
  int count = 0;
  for (const QueryVerdict& verdict : queries) count += verdict.difference ? 0 : 1;
  return count;
}

int VerifySummary::SchemaAsPlanned() const {
  int count = 0;
  for (const SchemaVerdict& verdict : schema) count += verdict.AsPlanned() ? 1 : 0;
  return count;
}

int VerifySummary::Identical() const {
  int count = 0;
  for (const TableVerdict& verdict : tables) count += verdict.Identical() ? 1 : 0;
  return count;
}

VerifySummary VerifyTables(ConversionSource& source, const std::vector<std::string>& tables,
                           target::MySqlConnection& connection, const std::string& database,
                           const std::function<void(const TableVerdict&)>& onTable,
                           const VerifyChoices& choices) {
  // Text keys sort whole however long; the server waits while a table's
  // file side is read.
  connection.Execute("SET SESSION max_sort_length=8388608");
  connection.Execute("SET SESSION net_write_timeout=3600");
  // The schema section counts rows with the conversion's own statements,
  // which name tables without their database.
  connection.Execute("USE " + QuoteIdentifier(database));
  MySqlStatementExecutor executor(connection);
  ConversionContext context(executor, source);
  context.carryRules = choices.rules;
  context.oleObjects = choices.oleObjects;
  SilentOwner owner;
  VerifySummary summary;
  summary.fileDamage = source.FileDamage();
  // Tables made with InnoDB were planned for its row limits and with the
  // character sets their relationships share; verify plans them alike.
  const std::optional<std::vector<std::vector<std::string>>> engines = connection.QueryRows(
      "SELECT COUNT(*) FROM information_schema.TABLES WHERE ENGINE = 'InnoDB' AND TABLE_SCHEMA = "
      "'" +
      EscapeText(database) + "'");
  if (engines && !engines->empty() && !engines->front().empty() &&
      engines->front().front() != "0") {
    context.engine = TableEngine::InnoDB;
    PlanRelationshipCharacters(context, tables);
  }
  auto verify = [&](const std::string& table) {
    context.keyState.Clear();
    context.tablePlan = PlanTable(owner, context, table, context.tableNames);
    BuildKeyClauses(owner, context, table);
    summary.tables.push_back(VerifyTable(context, table, connection, database));
    if (onTable) onTable(summary.tables.back());
    if (summary.tables.back().missing || summary.tables.back().failed) return;
    context.convertedTables.push_back(context.tablePlan);
    summary.schema.push_back(VerifyTableSchema(owner, context, table, connection, database));
  };
  // Each table is followed by the child tables of its attachment and
  // multi-value columns, as the conversion takes them, so that their names
  // come out as the conversion gave them.
  for (const std::string& table : tables) {
    verify(table);
    for (const std::string& child : source.ChildTables(table)) verify(child);
  }
  VerifyForeignKeys(context, connection, database, summary.schema);
  for (const SchemaVerdict& verdict : summary.schema) {
    summary.schemaShown = summary.schemaShown || verdict.hasRules;
  }
  if (choices.queries) summary.queries = VerifyQueries(context, connection, database);
  return summary;
}

std::string VerifySummaryLine(const std::string& database, const VerifySummary& summary) {
  const int total = static_cast<int>(summary.tables.size());
  const int identical = summary.Identical();
  return database + ": " + std::to_string(total) + (total == 1 ? " table" : " tables") +
         " verified, " + std::to_string(identical) + " identical, " +
         std::to_string(total - identical) + " with differences" +
         (summary.schemaShown ? "; schema: " + std::to_string(summary.SchemaAsPlanned()) + " of " +
                                    std::to_string(summary.schema.size()) + " tables as planned"
                              : "") +
         (summary.queries.empty()
              ? ""
              : "; queries: " + std::to_string(summary.QueriesAsConverted()) + " of " +
                    std::to_string(summary.queries.size()) + " as converted") +
         (summary.fileDamage.empty() ? "" : "; the file's catalogue is damaged");
}

std::vector<std::string> SchemaLines(const VerifySummary& summary) {
  std::vector<std::string> lines;
  if (!summary.schemaShown) return lines;
  for (const SchemaVerdict& verdict : summary.schema) lines.push_back(SchemaVerdictLine(verdict));
  return lines;
}

std::vector<std::string> QueryLines(const VerifySummary& summary) {
  std::vector<std::string> lines;
  for (const QueryVerdict& verdict : summary.queries) lines.push_back(verdict.line);
  return lines;
}

std::vector<std::string> FileDamageLines(ConversionSource& source) {
  std::vector<std::string> lines;
  for (const std::string& note : source.FileDamage()) lines.push_back("The file: " + note);
  return lines;
}

}  // namespace bracken::engine
