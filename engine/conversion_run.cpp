#include "engine/conversion_run.h"

#include <vector>

#include "engine/column_definitions.h"
#include "engine/control_ids.h"
#include "engine/identifier.h"
#include "engine/key_clauses.h"
#include "engine/row_copy.h"

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

// Creates the destination database, asking before an existing one is
// replaced. False when the run ends here (its message has been shown).
bool PrepareDatabase(ConversionOwner& owner, ConversionContext& context,
                     const std::string& quotedName) {
  StatementExecutor& server = context.executor;
  if (server.Execute("USE " + quotedName)) {
    MessageAnswer answer = owner.ShowMessage("Are you sure you want to overwrite?", "Message",
                                             MessageButtons::YesNo, MessageIcon::None);
    if (answer != MessageAnswer::Yes) {
      UnlockPage(owner);
      End(context, RunEnding::OverwriteDeclined);
      return false;
    }
  }
  server.Execute("DROP DATABASE IF EXISTS " + quotedName);
  if (!server.Execute("CREATE DATABASE " + quotedName)) {
    Tell(owner, server.ErrorText(), "Bracken");
    UnlockPage(owner);
    End(context, RunEnding::DatabaseRefused);
    return false;
  }
  server.Execute("USE " + quotedName);
  return true;
}

enum class TableStep { Converted, Skipped, Failed };

// One checked table: its keys, columns, CREATE TABLE and rows. On Failed,
// `failure` holds the server's text.
TableStep ConvertTable(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                       std::string& failure) {
  StatementExecutor& server = context.executor;
  server.Execute("DROP TABLE IF EXISTS " + QuoteIdentifier(table));
  std::string keys = BuildKeyClauses(owner, context, table);
  std::string definitions = BuildColumnDefinitions(owner, context, table);
  if (definitions.empty()) {
    ++context.summary.tablesSkipped;
    owner.StartTimer(kActivityTimer, 10);
    return TableStep::Skipped;
  }
  if (!server.Execute(CreateTableStatement(table, definitions, keys))) {
    failure = server.ErrorText();
    return TableStep::Failed;
  }
  CopyOutcome copy = CopyTableRows(owner, context, table);
  if (copy.result == CopyResult::ConnectionLost) {
    failure = copy.errorText;
    return TableStep::Failed;
  }
  if (copy.result == CopyResult::SourceFailed) ++context.summary.tablesIncomplete;
  return TableStep::Converted;
}

}  // namespace

std::string StatusText(int converted, int checked) {
  return std::to_string(converted) + " of " + std::to_string(checked) + " Table(s) are converted.";
}

std::string CreateTableStatement(const std::string& tableName, const std::string& definitions,
                                 const std::string& keys) {
  return "CREATE TABLE " + QuoteIdentifier(tableName) + "(" + definitions + keys +
         ")ENGINE=myisam DEFAULT CHARSET=utf8;";
}

ConversionSummary RunConversion(ConversionOwner& owner, ConversionContext& context) {
  context.summary = ConversionSummary{};
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
  LockPage(owner);
  if (!PrepareDatabase(owner, context, QuoteIdentifier(name))) return context.summary;
  ShowProgressArea(owner);

  const std::vector<std::string> tableNames = owner.SelectedTableNames();
  for (int i = 0; i < rowCount; ++i) {
    context.keyState.Clear();
    if (!owner.ListItemChecked(kTableList, i)) continue;
    const std::string table = i < static_cast<int>(tableNames.size()) ? tableNames[i] : "";
    std::string failure;
    TableStep step = ConvertTable(owner, context, table, failure);
    if (step == TableStep::Skipped) continue;
    if (step == TableStep::Failed) {
      Tell(owner, failure, "Message");
      owner.SetCaption(kProductTitle);
      owner.StopTimer(kActivityTimer);
      ResetPage(owner);
      return End(context, RunEnding::TableFailed);
    }
    if (context.stopRequested) break;
    context.summary.tablesConverted = ++converted;
    owner.SetControlText(kStatusLabel, StatusText(converted, checked));
    owner.StepProgress(kTableBar);
  }

  // Completion, also after a skipped last table: the progress stops and the
  // page returns to idle.
  owner.SetProgressPosition(kActivityBar, 100);
  owner.StopTimer(kActivityTimer);
  for (int i = 0; i < rowCount; ++i) owner.SetListItemChecked(kTableList, i, false);
  owner.SetCaption(kProductTitle);
  bool stopped = context.stopRequested;
  if (!stopped) {
    ResetPage(owner);
    Tell(owner, "Bracken database conversion completed successfully.", "Message");
  }
  ResetPage(owner);
  return End(context, stopped ? RunEnding::Stopped : RunEnding::Completed);
}

}  // namespace bracken::engine
