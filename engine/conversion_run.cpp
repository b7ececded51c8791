#include "engine/conversion_run.h"

#include <optional>
#include <vector>

#include "engine/control_ids.h"
#include "engine/rows/row_copy.h"
#include "engine/run_report.h"
#include "engine/schema/check_constraints.h"
#include "engine/schema/column_definitions.h"
#include "engine/schema/foreign_keys.h"
#include "engine/schema/identifier.h"
#include "engine/schema/key_clauses.h"
#include "engine/schema/row_key.h"
#include "engine/schema/rule_clauses.h"
#include "engine/schema/table_plan.h"
#include "engine/table_jobs.h"
#include "engine/views/view_creation.h"

namespace bracken::engine {

namespace {

using namespace control;

void Tell(ConversionOwner& owner, const std::string& text, const std::string& caption) {
  owner.ShowMessage(text, caption, MessageButtons::Ok, MessageIcon::None);
}

// While the run works, the user can neither change the selection or the
// name nor start a second run.
void LockPage(ConversionOwner& owner) {
  owner.SetControlEnabled(kTableList, false);
  owner.SetControlEnabled(kSelectAll, false);
  owner.SetControlEnabled(kDestinationName, false);
  owner.SetControlVisible(kConvertButton, false);
  owner.SetControlVisible(kBackButton, false);
  owner.SetControlVisible(kConvertingImage, true);
}

void UnlockPage(ConversionOwner& owner) {
  owner.SetControlEnabled(kTableList, true);
  owner.SetControlEnabled(kSelectAll, true);
  owner.SetControlEnabled(kDestinationName, true);
  owner.SetControlVisible(kConvertingImage, false);
  owner.SetControlVisible(kConvertButton, true);
  owner.SetControlVisible(kBackButton, true);
}

void ShowProgressArea(ConversionOwner& owner) {
  owner.SetControlVisible(kStopButton, true);
  owner.SetProgressPosition(kActivityBar, 0);
  owner.SetProgressPosition(kTableBar, 0);
  for (int id : {kActivityBar, kTableBar, kPleaseWaitLabel, kStatusLabel}) {
    owner.SetControlVisible(id, true);
  }
  owner.StartTimer(kActivityTimer, 10);
}

void ResetPage(ConversionOwner& owner) {
  owner.SetChecked(kSelectAll, false);
  UnlockPage(owner);
  for (int id : {kStopButton, kActivityBar, kTableBar, kPleaseWaitLabel, kStatusLabel}) {
    owner.SetControlVisible(id, false);
  }
}

ConversionSummary End(ConversionContext& context, RunEnding ending) {
  context.summary.ending = ending;
  return context.summary;
}

// The server's answer to CREATE DATABASE for a name that exists.
constexpr unsigned int kDatabaseExists = 1007;

// The server's own schemas, never a destination.
bool IsSystemSchema(const std::string& name) {
  std::string lower;
  for (char c : name) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return lower == "mysql" || lower == "sys" || lower == "information_schema" ||
         lower == "performance_schema";
}

// No is the default: Enter keeps the database.
bool AskToOverwrite(ConversionOwner& owner, ConversionContext& context, const std::string& name) {
  const std::string question = OverwriteQuestion(name, context.executor.CountTables(name));
  MessageAnswer answer =
      owner.ShowMessage(question, "Message", MessageButtons::YesNoDefaultNo, MessageIcon::Warning);
  if (answer == MessageAnswer::Yes) return true;
  UnlockPage(owner);
  End(context, RunEnding::OverwriteDeclined);
  return false;
}

// A stop asked while a statement waited for another client's lock ends the
// run without a message; the page returns to idle.
bool EndStopped(ConversionOwner& owner, ConversionContext& context) {
  UnlockPage(owner);
  End(context, RunEnding::Stopped);
  return false;
}

bool RefuseDatabase(ConversionOwner& owner, ConversionContext& context) {
  if (context.stoppedDuringWait) return EndStopped(owner, context);
  Tell(owner, context.executor.ErrorText(), "Bracken");
  UnlockPage(owner);
  End(context, RunEnding::DatabaseRefused);
  return false;
}

// False, with the message shown, when the login's grants show that it could
// drop the existing database `name` but not create it again; true when they
// allow both, or cannot be read (the server then answers the statements).
bool MayReplace(ConversionOwner& owner, ConversionContext& context, const std::string& name) {
  std::optional<target::DatabaseRights> rights = context.executor.RightsOn(name);
  if (!rights || rights->create) return true;
  Tell(owner, CreateNotGrantedMessage(name, rights->drop), "Message");
  UnlockPage(owner);
  End(context, RunEnding::CreateNotGranted);
  return false;
}

// Replaces the database the user agreed to replace. A CREATE DATABASE that
// fails after the DROP was accepted has lost the database: the run says so
// rather than ending as if nothing had been done.
bool Recreate(ConversionOwner& owner, ConversionContext& context, const std::string& name,
              const std::string& quotedName) {
  StatementExecutor& server = context.executor;
  const bool dropped = server.Execute("DROP DATABASE IF EXISTS " + quotedName);
  if (context.stoppedDuringWait) return EndStopped(owner, context);
  if (server.Execute("CREATE DATABASE " + quotedName)) return true;
  if (!dropped) return RefuseDatabase(owner, context);
  if (!context.stoppedDuringWait) Tell(owner, server.ErrorText(), "Bracken");
  Tell(owner, DatabaseDroppedMessage(name), "Message");
  UnlockPage(owner);
  End(context, RunEnding::DatabaseDropped);
  return false;
}

// Creates the destination database, asking before an existing one is
// replaced. A database that USE cannot find is created without a DROP, so
// a database that appeared meanwhile (another run) is never dropped
// unasked. False when the run ends here (its message has been shown).
bool PrepareDatabase(ConversionOwner& owner, ConversionContext& context, const std::string& name) {
  StatementExecutor& server = context.executor;
  const std::string quotedName = QuoteIdentifier(name);
  auto replace = [&] {
    return MayReplace(owner, context, name) && AskToOverwrite(owner, context, name) &&
           Recreate(owner, context, name, quotedName);
  };
  bool ready = false;
  if (server.Execute("USE " + quotedName)) {
    ready = replace();
  } else if (server.Execute("CREATE DATABASE " + quotedName)) {
    ready = true;
  } else if (server.LastErrorNumber() == kDatabaseExists) {
    ready = replace();
  } else {
    RefuseDatabase(owner, context);
  }
  if (ready) server.Execute("USE " + quotedName);
  return ready;
}

TableStep Fail(ConversionOwner& owner, ConversionContext& context, const std::string& table,
               const std::string& failure, TableStep step) {
  ++context.summary.tablesFailed;
  Report(owner, context.summary,
         "Table " + Bracketed(table) + " was not converted completely: " + failure);
  return step;
}

// What the source says of a damaged file or table; a lookup that fails
// itself says nothing (the table's own steps name that failure).
template <typename Read>
auto Quietly(Read read, decltype(read()) none) -> decltype(read()) {
  try {
    return read();
  } catch (const source::SourceError&) {
    return none;
  }
}

// The parts of the catalogue that cannot be read, named once at the start.
void ReportFileDamage(ConversionOwner& owner, ConversionContext& context) {
  const auto notes = Quietly([&] { return context.source.FileDamage(); }, {});
  for (const std::string& note : notes) {
    ++context.summary.partsUnread;
    Report(owner, context.summary, note);
  }
}

// The parts of the table's definition that cannot be read.
void ReportTableDamage(ConversionOwner& owner, ConversionContext& context,
                       const std::string& table) {
  const auto notes = Quietly([&] { return context.source.TableDamage(table); }, {});
  for (const std::string& note : notes) {
    ++context.summary.partsUnread;
    Report(owner, context.summary, "Table " + Bracketed(table) + ": " + note + ".");
  }
}

// After the copy: the pages the reading left out and the rows found against
// the table's own count. True when rows are missing, so the table is cut short.
bool ReportMissingRows(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                       long rowsRead) {
  bool missing = false;
  const auto notes = context.recordset ? context.recordset->Damage() : std::vector<std::string>{};
  for (const std::string& note : notes) {
    missing = true;
    Report(owner, context.summary, "Table " + Bracketed(table) + ": " + note + ".");
  }
  const long stored = Quietly([&] { return context.source.StoredRowCount(table); }, -1L);
  const std::string note = RowCountNote(rowsRead, stored);
  if (!note.empty()) {
    missing |= rowsRead < stored;
    Report(owner, context.summary, "Table " + Bracketed(table) + ": " + note + ".");
  }
  return missing;
}

// The command line's batched copy into a MyISAM table builds the table's
// plain indexes once after its rows instead of row by row; its primary and
// unique keys are still checked as each row arrives, so a duplicate is
// refused at its own row as before. The window's row-by-row run and the
// dump file keep their statements as they are.
bool BuildsKeysAfterRows(const ConversionContext& context) {
  return context.batching.Batched() && context.keysAfterRows &&
         context.engine == TableEngine::MyISAM && context.keyState.plainIndexes &&
         !context.executor.WritesDumpFile();
}

// Turns the plain indexes of a table whose keys were disabled back on, after
// its rows or after a copy that stopped or broke off reading: the table never
// stays without them. Not once the server has gone or the table with it, nor
// when the program ends at once (no statement may reach the server then).
void EnableKeys(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                const std::string& quotedTarget) {
  StatementExecutor& server = context.executor;
  if (server.Execute("ALTER TABLE " + quotedTarget + " ENABLE KEYS;")) return;
  ++context.summary.indexesNotCreated;
  Report(owner, context.summary,
         "Table " + Bracketed(table) + ": its indexes could not be built after its rows (" +
             server.ErrorText() + "); they stay disabled until ALTER TABLE ... ENABLE KEYS.");
}

// The command line's batched copy into an InnoDB table adds the table's plain
// indexes after its rows, each built once from sorted keys, rather than with
// every row; the primary and unique keys stay in CREATE TABLE, so a duplicate
// is refused at its own row with its message as before.
bool AddsIndexesAfterRows(const ConversionContext& context) {
  return context.batching.Batched() && context.keysAfterRows &&
         context.engine == TableEngine::InnoDB && !context.keyState.indexesAfterRows.empty() &&
         !context.executor.WritesDumpFile();
}

// The plain indexes held back from CREATE TABLE, in one statement. When the
// server refuses it, each is tried alone and each it refuses is reported.
void AddIndexesAfterRows(ConversionOwner& owner, ConversionContext& context,
                         const std::string& table, const std::string& quotedTarget) {
  StatementExecutor& server = context.executor;
  const std::vector<std::string>& indexes = context.keyState.indexesAfterRows;
  const std::string start = "ALTER TABLE " + quotedTarget + " ";
  std::string all = start;
  for (std::size_t i = 0; i < indexes.size(); ++i) all += (i > 0 ? ", " : "") + indexes[i];
  if (server.Execute(all + ";")) return;
  for (const std::string& index : indexes) {
    const bool alone = !context.stoppedDuringWait && !server.LastErrorWasConnectionLost();
    if (alone && server.Execute(start + index + ";")) continue;
    ++context.summary.indexesNotCreated;
    Report(owner, context.summary,
           "Table " + Bracketed(table) + ": the index " + index.substr(sizeof "ADD INDEX " - 1) +
               " was not created: " + server.ErrorText() + ".");
  }
}

// One checked table: its plan, keys, columns, CREATE TABLE and rows. On
// Failed and Vanished, `failure` holds the server's text.
TableStep ConvertTable(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                       std::string& failure) {
  StatementExecutor& server = context.executor;
  ReportTableDamage(owner, context, table);
  context.tablePlan = PlanTable(owner, context, table, context.tableNames);
  const std::string& target = context.tablePlan.targetName;
  server.Execute("DROP TABLE IF EXISTS " + QuoteIdentifier(target));
  if (context.stoppedDuringWait) return TableStep::Stopped;
  std::string keys = BuildKeyClauses(owner, context, table);
  std::string definitions = BuildColumnDefinitions(owner, context, table);
  if (definitions.empty()) {
    ++context.summary.tablesSkipped;
    Report(owner, context.summary, "Table " + Bracketed(table) + " was skipped.");
    owner.StartTimer(kActivityTimer, 10);
    return TableStep::Skipped;
  }
  std::string rowKey;
  if (context.addRowKeys && !context.keyState.primaryKeyEmitted) {
    rowKey = RowKeyColumnName(context.tablePlan);
    definitions += RowKeyDefinition(rowKey);
  }
  const std::string tableComment = TableCommentOption(owner, context, table);
  const std::string checks = CheckClauses(context, table);
  const bool indexesLater = AddsIndexesAfterRows(context);
  if (indexesLater) keys = context.keyState.keyTextBeforeRows;
  bool created = server.Execute(CreateTableStatement(
      target, definitions, keys + checks, context.textCollation, context.engine, tableComment));
  if (!created && !checks.empty() && !context.stoppedDuringWait &&
      !server.LastErrorWasConnectionLost()) {
    // A constraint the server refuses costs only its own rule.
    created = server.Execute(CreateTableStatement(target, definitions, keys, context.textCollation,
                                                  context.engine, tableComment));
    if (created) AddCheckConstraintsAlone(context);
  }
  if (!created) {
    if (context.stoppedDuringWait) return TableStep::Stopped;
    failure = server.ErrorText();
    return Fail(owner, context, table, failure, TableStep::Failed);
  }
  if (!rowKey.empty()) {
    ++context.summary.rowKeysAdded;
    Report(owner, context.summary, RowKeyReportLine(table, rowKey));
  }
  const std::string quotedTarget = QuoteIdentifier(target);
  const bool keysDisabled = BuildsKeysAfterRows(context) &&
                            server.Execute("ALTER TABLE " + quotedTarget + " DISABLE KEYS;");
  context.keysDisabled = keysDisabled;
  CopyOutcome copy = CopyTableRows(owner, context, table);
  failure = copy.errorText;
  const bool tableHeld =
      copy.result != CopyResult::ConnectionLost && copy.result != CopyResult::TableGone;
  if (keysDisabled && tableHeld) EnableKeys(owner, context, table, quotedTarget);
  if (indexesLater && tableHeld) AddIndexesAfterRows(owner, context, table, quotedTarget);
  if (copy.result == CopyResult::Stopped) {
    // The rows that did arrive met no constraint yet.
    if (context.checksPrepared) AddCheckConstraints(owner, context, table);
    return TableStep::Stopped;
  }
  if (copy.result == CopyResult::ConnectionLost) {
    return Fail(owner, context, table, failure, TableStep::Failed);
  }
  // Another client dropped the table (or the database) under the copy.
  if (copy.result == CopyResult::TableGone) {
    return Fail(owner, context, table, failure, TableStep::Vanished);
  }
  context.convertedTables.push_back(context.tablePlan);  // for the foreign keys
  const bool missing = ReportMissingRows(owner, context, table, copy.rowsRead);
  if (copy.result == CopyResult::SourceFailed || missing) ++context.summary.tablesIncomplete;
  AddCheckConstraints(owner, context, table);
  return TableStep::Converted;
}

// A checked table, then the child tables of its attachment and multi-value
// columns; a child that fails or vanishes ends the step as the table would.
TableStep ConvertTableWithChildren(ConversionOwner& owner, ConversionContext& context,
                                   const std::string& table, std::string& failure) {
  TableStep step = ConvertTable(owner, context, table, failure);
  if (step != TableStep::Converted) return step;
  for (const std::string& child : context.source.ChildTables(table)) {
    if (context.stopRequested) break;
    context.keyState.Clear();
    TableStep childStep = ConvertTable(owner, context, child, failure);
    if (childStep == TableStep::Failed || childStep == TableStep::Vanished) return childStep;
  }
  return step;
}

// Several jobs copy the tables when the run was given more than one and a
// way to open their sessions, there is more than one table, and the
// statements go to a server (a dump file is written in one piece).
bool CopiesInJobs(const ConversionContext& context, std::size_t tables) {
  return context.jobs > 1 && context.openJob && tables > 1 && !context.executor.WritesDumpFile();
}

// The checked tables among `names` (the list's rows in order).
std::vector<std::string> CheckedTables(ConversionOwner& owner,
                                       const std::vector<std::string>& names) {
  std::vector<std::string> checked;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (owner.ListItemChecked(kTableList, static_cast<int>(i))) checked.push_back(names[i]);
  }
  return checked;
}

// The closing message: plain success only when nothing was lost, changed
// or renamed; otherwise the report with its count.
void ShowOutcome(ConversionOwner& owner, const ConversionSummary& summary, bool stopped) {
  if (summary.Lost()) {
    owner.ShowReport(LossMessage(summary), {});
  } else if (summary.reportLines > 0) {
    owner.ShowReport(stopped ? "Bracken database conversion was stopped." : kCompletedMessage, {});
  } else if (!stopped) {
    Tell(owner, kCompletedMessage, "Message");
  }
}

}  // namespace

bool ConvertOneTable(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                     std::string& failure) {
  const TableStep step = ConvertTable(owner, context, table, failure);
  if (step == TableStep::Skipped) failure = "its columns cannot be read from the file";
  return step == TableStep::Converted;
}

std::string ReservedNameMessage(const std::string& name) {
  return "MySQL Destination Database Name [" + name +
         "] is one of the server's own databases. Please choose another name.";
}

std::string StatusText(int converted, int checked) {
  return std::to_string(converted) + " of " + std::to_string(checked) + " Table(s) are converted.";
}

std::string CreateTableStatement(const std::string& tableName, const std::string& definitions,
                                 const std::string& keys, const std::string& collation,
                                 TableEngine engine, const std::string& options) {
  std::string statement = "CREATE TABLE " + QuoteIdentifier(tableName) + "(" + definitions + keys +
                          ")" + EngineOption(engine) + " DEFAULT CHARSET=utf8";
  if (!collation.empty()) statement += " COLLATE=" + collation;
  return statement + options + ";";
}

ConversionSummary RunConversion(ConversionOwner& owner, ConversionContext& context) {
  context.summary = ConversionSummary{};
  context.stoppedDuringWait = false;
  context.tableNames = NameRegistry(false);
  context.constraintNames.clear();
  // The run may be on a new session: its checks are on until it says.
  context.checksDeferred = false;
  const int rowCount = owner.ListItemCount(kTableList);
  int checked = 0;
  for (int i = 0; i < rowCount; ++i) checked += owner.ListItemChecked(kTableList, i) ? 1 : 0;
  context.summary.tablesChecked = checked;
  if (checked == 0) {
    Tell(owner, "Please select at least one table to continue the conversion.", "Message");
    UnlockPage(owner);
    return End(context, RunEnding::NoTableChecked);
  }
  owner.SetProgressRange(kTableBar, 0, checked);
  owner.SetProgressStep(kTableBar, 1);
  const std::string name = owner.ControlText(kDestinationName);
  int converted = 0;
  owner.SetControlText(kStatusLabel, StatusText(converted, checked));
  if (name.empty()) {
    Tell(owner, "Please enter MySQL destination database name.", "Message");
    UnlockPage(owner);
    return End(context, RunEnding::NameEmpty);
  }
  if (CharacterCount(name) > kMaxDatabaseNameCharacters) {
    Tell(owner, "MySQL Destination Database Name [" + name + "] is too long.Maximum length is 64.",
         "Message");
    return End(context, RunEnding::NameTooLong);
  }
  if (IsSystemSchema(name)) {
    Tell(owner, ReservedNameMessage(name), "Message");
    return End(context, RunEnding::NameReserved);
  }
  LockPage(owner);
  // Text compares as Access compares it where the server has the collation.
  context.textCollation = context.executor.Traits().utf8AccentSensitiveCollation;
  context.extendedTextCollation = context.executor.Traits().utf8mb4AccentSensitiveCollation;
  if (!PrepareDatabase(owner, context, name)) return context.summary;
  ShowProgressArea(owner);
  ReportFileDamage(owner, context);

  const std::vector<std::string> tableNames = owner.SelectedTableNames();
  context.convertedTables.clear();
  const std::vector<std::string> checkedTables = CheckedTables(owner, tableNames);
  PlanRelationshipCharacters(context, checkedTables);
  JobsEnding jobsEnding = JobsEnding::NoJobs;
  if (CopiesInJobs(context, checkedTables.size())) {
    GiveOutTableNames(context, checkedTables);
    // Each table's end, in table order, as the loop below takes it; a failed
    // table fails only itself.
    const auto tableEnd = [&](const std::string&, TableStep step, const std::string& failure,
                              bool stopAsked) {
      if (step == TableStep::Vanished || step == TableStep::Failed) Tell(owner, failure, "Message");
      if (step != TableStep::Converted || stopAsked) return;
      owner.SetControlText(kStatusLabel, StatusText(context.summary.tablesConverted, checked));
      owner.StepProgress(kTableBar);
    };
    jobsEnding =
        CopyTablesInJobs(owner, context, checkedTables, name, ConvertTableWithChildren, tableEnd);
    if (jobsEnding == JobsEnding::NoJobs) {
      // The tables go one after another over the run's own session.
      context.givenTableNames.clear();
      context.tableNames = NameRegistry(false);
    }
  }
  if (jobsEnding == JobsEnding::SessionsLost) {
    owner.SetCaption(kProductTitle);
    owner.StopTimer(kActivityTimer);
    ResetPage(owner);
    ShowOutcome(owner, context.summary, true);
    return End(context, RunEnding::TableFailed);
  }
  for (int i = 0; i < rowCount && jobsEnding == JobsEnding::NoJobs; ++i) {
    context.keyState.Clear();
    if (!owner.ListItemChecked(kTableList, i)) continue;
    const std::string table = i < static_cast<int>(tableNames.size()) ? tableNames[i] : "";
    std::string failure;
    TableStep step = ConvertTableWithChildren(owner, context, table, failure);
    if (step == TableStep::Skipped) continue;
    if (step == TableStep::Stopped) break;
    if (step == TableStep::Vanished) {
      Tell(owner, failure, "Message");
      continue;
    }
    if (step == TableStep::Failed) {
      Tell(owner, failure, "Message");
      owner.SetCaption(kProductTitle);
      owner.StopTimer(kActivityTimer);
      ResetPage(owner);
      ShowOutcome(owner, context.summary, true);
      return End(context, RunEnding::TableFailed);
    }
    if (context.stopRequested) break;
    context.summary.tablesConverted = ++converted;
    owner.SetControlText(kStatusLabel, StatusText(converted, checked));
    owner.StepProgress(kTableBar);
  }

  if (!context.stopRequested && !context.stoppedDuringWait) AddForeignKeys(owner, context);
  // The saved queries read the tables (and each other) as they now stand.
  if (!context.stopRequested && !context.stoppedDuringWait) CreateQueryObjects(owner, context);

  // Completion, also after a skipped last table: the progress stops and the
  // page returns to idle.
  owner.SetProgressPosition(kActivityBar, 100);
  owner.StopTimer(kActivityTimer);
  for (int i = 0; i < rowCount; ++i) owner.SetListItemChecked(kTableList, i, false);
  owner.SetCaption(kProductTitle);
  bool stopped = context.stopRequested || context.stoppedDuringWait;
  if (!stopped) ResetPage(owner);
  ShowOutcome(owner, context.summary, stopped);
  ResetPage(owner);
  return End(context, stopped ? RunEnding::Stopped : RunEnding::Completed);
}

std::string OverwriteQuestion(const std::string& name, std::optional<long long> tables) {
  std::string text =
      "Are you sure you want to overwrite?\n\nThe conversion will delete the database " +
      Bracketed(name);
  if (!tables) return text + " and everything it holds.";
  if (*tables == 0) return text + "; it holds no tables.";
  return text + " and the " + std::to_string(*tables) + (*tables == 1 ? " table" : " tables") +
         " it holds.";
}

std::string CreateNotGrantedMessage(const std::string& name, bool mayDrop) {
  const std::string lacks = mayDrop ? "may drop it but lacks the CREATE privilege on it, so it "
                                      "could not be created again"
                                    : "lacks the DROP and CREATE privileges on it";
  return "The database " + Bracketed(name) + " was not replaced: the MySQL login " + lacks +
         ". Nothing was dropped.";
}

std::string DatabaseDroppedMessage(const std::string& name) {
  return "The database " + Bracketed(name) +
         " was dropped and could not be created again; what it held is lost.";
}

}  // namespace bracken::engine
