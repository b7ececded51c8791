#include "engine/verify/verify_run.h"

#include "engine/conversion_context.h"
#include "engine/conversion_owner.h"
#include "engine/output/statement_executor.h"
#include "engine/rows/value_literal.h"
#include "engine/schema/foreign_keys.h"
#include "engine/schema/identifier.h"
#include "engine/schema/key_clauses.h"
#include "engine/schema/table_plan.h"
#include "target/mysql_connection.h"

namespace bracken::engine {

namespace {

// The planning steps report renames and widenings to their owner; the
// conversion has shown them already, verify keeps quiet about them.
class SilentOwner : public ConversionOwner {
 public:
  MessageAnswer ShowMessage(const std::string&, const std::string&, MessageButtons,
                            MessageIcon) override {
    return MessageAnswer::Ok;
  }
  void SetControlVisible(int, bool) override {}
  void SetControlEnabled(int, bool) override {}
  void SetControlText(int, const std::string&) override {}
  std::string ControlText(int) override { return {}; }
  void SetChecked(int, bool) override {}
  int ListItemCount(int) override { return 0; }
  bool ListItemChecked(int, int) override { return false; }
  void SetListItemChecked(int, int, bool) override {}
  std::vector<std::string> SelectedTableNames() override { return {}; }
  void SetProgressRange(int, int, int) override {}
  void SetProgressStep(int, int) override {}
  void SetProgressPosition(int, int) override {}
  void StepProgress(int) override {}
  void SetCaption(const std::string&) override {}
  void StartTimer(int, int) override {}
  void StopTimer(int) override {}
  void ReportLine(const std::string&) override {}
  void ShowReport(const std::string&, const std::vector<std::string>&) override {}
};

}  // namespace

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
         (summary.fileDamage.empty() ? "" : "; the file's catalogue is damaged");
}

std::vector<std::string> SchemaLines(const VerifySummary& summary) {
  std::vector<std::string> lines;
  if (!summary.schemaShown) return lines;
  for (const SchemaVerdict& verdict : summary.schema) lines.push_back(SchemaVerdictLine(verdict));
  return lines;
}

std::vector<std::string> FileDamageLines(ConversionSource& source) {
  std::vector<std::string> lines;
  for (const std::string& note : source.FileDamage()) lines.push_back("The file: " + note);
  return lines;
}

}  // namespace bracken::engine
