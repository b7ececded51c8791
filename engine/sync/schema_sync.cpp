#include "engine/sync/schema_sync.h"

#include <algorithm>
#include <optional>
#include <set>

#include "engine/output/statement_executor.h"
#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/column_definitions.h"
#include "engine/schema/foreign_keys.h"
#include "engine/schema/identifier.h"
#include "engine/schema/rule_clauses.h"
#include "engine/silent_owner.h"
#include "engine/verify/schema_verify.h"
#include "engine/views/view_creation.h"
#include "target/mysql_connection.h"

namespace bracken::engine {

namespace {

std::string Quoted(const std::string& text) { return "'" + EscapeText(text) + "'"; }

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

// Sends `statement` unless a dry run; a refusal is a problem named `what`.
void Send(ConversionContext& context, bool dryRun, const std::string& statement,
          const std::string& change, const std::string& what, SchemaSync& sync) {
  if (dryRun || context.executor.Execute(statement)) {
    sync.changes.push_back(change);
  } else {
    sync.problems.push_back(what + ": " + context.executor.ErrorText());
  }
}

// The first cell of the first row; nothing when there is no row or the
// server refused the query.
std::optional<std::string> FirstCell(target::MySqlConnection& connection, const std::string& query,
                                     std::size_t column = 0) {
  const auto rows = connection.QueryRows(query);
  if (!rows || rows->empty() || rows->front().size() <= column) return std::nullopt;
  return rows->front()[column];
}

// The text from `word` on: a procedure's statement without what the server
// puts before its name (DEFINER=...).
std::string From(const std::string& text, const std::string& word) {
  const std::size_t at = text.find(word);
  return at == std::string::npos ? text : text.substr(at);
}

// How the server's optimizer writes `select` out (the note EXPLAIN leaves):
// two statements that read alike come out alike, however each was spelled,
// and nothing is run or written. Nothing when the server gives no such note,
// or when the optimizer read rows to write it: a table of one row, or one
// found by a unique key, stands in the note as its values, and two
// different conditions that both miss it come out alike.
std::optional<std::string> OptimizerSpelling(target::MySqlConnection& connection,
                                             const std::string& select) {
  for (const char* explain : {"EXPLAIN EXTENDED ", "EXPLAIN "}) {
    const auto plan = connection.QueryRows(explain + select);
    if (!plan) continue;
    for (const auto& step : *plan) {
      // id, select_type, table, type, ..., Extra
      if (step.size() < 4 || step[3] == "system" || step[3] == "const" ||
          step.back().find("const") != std::string::npos ||
          step.back().find("optimized away") != std::string::npos) {
        return std::nullopt;
      }
    }
    const auto notes = connection.QueryRows("SHOW WARNINGS");
    if (!notes) return std::nullopt;
    for (const auto& note : *notes) {
      if (note.size() >= 3 && note[1] == "1003") return note[2];
    }
  }
  return std::nullopt;
}

// Whether two statements read alike: as the optimizer writes them out, else
// (a server without that note) by their text in one spelling.
bool ReadAlike(target::MySqlConnection& connection, const std::string& database,
               const std::string& a, const std::string& b) {
  const auto first = OptimizerSpelling(connection, a);
  const auto second = first ? OptimizerSpelling(connection, b) : std::nullopt;
  if (first && second) return *first == *second;
  return ComparableViewText(a, database) == ComparableViewText(b, database);
}

// Whether the object of a placed query is on the server as its translation
// makes it; else what to do about it.
enum class Found { InStep, Missing, Differs, Unknown };

Found LookForQueryObject(target::MySqlConnection& connection, const std::string& database,
                         const QueryOutcome& outcome) {
  if (outcome.kind == QueryObjectKind::View) {
    const auto rows = connection.QueryRows(
        "SELECT VIEW_DEFINITION FROM information_schema.VIEWS WHERE TABLE_SCHEMA = " +
        Quoted(database) + " AND TABLE_NAME = " + Quoted(outcome.targetName));
    if (!rows) return Found::Unknown;
    if (rows->empty() || rows->front().empty()) return Found::Missing;
    const std::string start = "CREATE VIEW " + QuoteIdentifier(outcome.targetName) + " AS ";
    const std::string body =
        outcome.statement.substr(std::min(start.size(), outcome.statement.size()));
    // The server keeps a view's text in its own spelling.
    if (!ReadAlike(connection, database, rows->front().front(), body)) return Found::Differs;
    // A view whose tables were rebuilt under it may no longer run.
    return connection.QueryRows("SELECT * FROM " + QuoteIdentifier(outcome.targetName) + " LIMIT 0")
               ? Found::InStep
               : Found::Differs;
  }
  const auto exists = connection.QueryRows(
      "SELECT 1 FROM information_schema.ROUTINES WHERE ROUTINE_TYPE = "
      "'PROCEDURE' AND ROUTINE_SCHEMA = " +
      Quoted(database) + " AND ROUTINE_NAME = " + Quoted(outcome.targetName));
  if (!exists) return Found::Unknown;
  if (exists->empty()) return Found::Missing;
  const auto shown =
      FirstCell(connection, "SHOW CREATE PROCEDURE " + QuoteIdentifier(outcome.targetName), 2);
  if (!shown) return Found::Unknown;
  return From(*shown, "PROCEDURE ") == From(outcome.statement, "PROCEDURE ") ? Found::InStep
                                                                             : Found::Differs;
}

}  // namespace

std::string ComparableViewText(const std::string& text, const std::string& database) {
  const std::string prefix = QuoteIdentifier(database) + ".";
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\'' || c == '"') {
      // A literal stays as it is, its escapes with it.
      const std::size_t start = i++;
      while (i < text.size()) {
        // A backslash escape, or the quote written twice.
        if (i + 1 < text.size() && (text[i] == '\\' || (text[i] == c && text[i + 1] == c))) {
          i += 2;
        } else if (text[i++] == c) {
          break;
        }
      }
      out.append(text, start, i - start);
      continue;
    }
    if (text.compare(i, prefix.size(), prefix) == 0) {
      i += prefix.size();
      continue;
    }
    ++i;
    if (c == '`' || c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '(' || c == ')') {
      continue;
    }
    out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  }
  return out;
}

SchemaSync SyncTableSchema(ConversionOwner& owner, ConversionContext& context,
                           const std::string& table, target::MySqlConnection& connection,
                           const std::string& database, bool dryRun) {
  (void)owner;
  SchemaSync sync;
  // What the builders would report, the conversion reported when it made
  // the table.
  SilentOwner quiet;
  SchemaGaps gaps;
  VerifyTableSchema(quiet, context, table, connection, database, &gaps);
  const std::string quotedTable = QuoteIdentifier(context.tablePlan.targetName);
  std::string alter;
  std::vector<std::string> changes;
  try {
    for (const std::string& column : gaps.columns) {
      for (const ColumnDescription& field : context.source.Columns(table)) {
        if (field.name != column) continue;
        alter +=
            (alter.empty() ? "" : ", ") + std::string("MODIFY COLUMN ") +
            ColumnDefinition(quiet, context, table, field, context.source.Flags(table, field.name));
        changes.push_back("column " + Bracketed(column) +
                          ": its default, comment and NULL as the file has them");
      }
    }
  } catch (const source::SourceError& error) {
    sync.problems.push_back("its columns cannot be read from the file (" + error.Description() +
                            ")");
  }
  if (gaps.tableComment) {
    const std::string option = TableCommentOption(quiet, context, table);
    alter += (alter.empty() ? "" : ", ") + (option.empty() ? std::string(" COMMENT=''") : option);
    changes.emplace_back("the table's comment");
  }
  if (!alter.empty()) {
    if (dryRun || context.executor.Execute("ALTER TABLE " + quotedTable + " " + alter)) {
      sync.changes.insert(sync.changes.end(), changes.begin(), changes.end());
    } else {
      sync.problems.push_back("its columns and comment could not be brought in line: " +
                              context.executor.ErrorText());
    }
  }
  // A rule changed in Access keeps its constraint's name: its condition
  // tells, as the server writes it back.
  std::vector<PlannedCheck> changed;
  if (!gaps.presentChecks.empty()) {
    const auto rows = connection.QueryRows(
        "SELECT CONSTRAINT_NAME, CHECK_CLAUSE FROM information_schema.CHECK_CONSTRAINTS WHERE "
        "CONSTRAINT_SCHEMA = " +
        Quoted(database) + " AND TABLE_NAME = " + Quoted(context.tablePlan.targetName));
    for (const PlannedCheck& check : gaps.presentChecks) {
      if (!rows) break;
      for (const auto& row : *rows) {
        if (row.size() < 2 || Lower(row[0]) != Lower(check.name)) continue;
        const std::string select = "SELECT 1 FROM " + quotedTable + " WHERE ";
        if (!ReadAlike(connection, database, select + row[1], select + check.condition)) {
          changed.push_back(check);
        }
      }
    }
  }
  for (const PlannedCheck& check : changed) {
    const std::string what = "the CHECK constraint " + check.name;
    if (dryRun) {
      sync.changes.push_back(what + " made again: its rule is now " + check.accessText);
      continue;
    }
    const std::optional<long long> breaches =
        context.executor.CountRowsWhere(quotedTable, "NOT (" + check.condition + ")");
    if (!breaches || *breaches > 0) {
      // The conversion keeps no rule the rows break: the old one goes too.
      Send(context, dryRun,
           "ALTER TABLE " + quotedTable + " DROP CONSTRAINT " + QuoteIdentifier(check.name),
           what + " dropped: its rule is now " + check.accessText + ", which " +
               (breaches ? std::to_string(*breaches) + " rows break" : "cannot be held"),
           what + " could not be dropped", sync);
      continue;
    }
    Send(context, dryRun,
         "ALTER TABLE " + quotedTable + " DROP CONSTRAINT " + QuoteIdentifier(check.name) +
             ", ADD CONSTRAINT " + QuoteIdentifier(check.name) + " CHECK (" + check.condition + ")",
         what + " made again: its rule is now " + check.accessText,
         what + " could not be made again", sync);
  }
  // Rows are never refused for a rule (the session leaves the checks to
  // later, as the conversion does): a rule the rows now break is not kept.
  for (const auto& [check, broken] : gaps.brokenChecks) {
    const std::string why = std::to_string(broken) + (broken == 1 ? " row breaks" : " rows break");
    const std::string what =
        "the CHECK constraint " + check.name + " (the rule " + check.accessText + ")";
    if (dryRun || context.executor.Execute("ALTER TABLE " + quotedTable + " DROP CONSTRAINT " +
                                           QuoteIdentifier(check.name))) {
      sync.problems.push_back(std::string(what)
                                  .append(dryRun ? " is to be dropped: " : " was dropped: ")
                                  .append(why)
                                  .append(" it"));
    } else {
      sync.problems.push_back(std::string(what)
                                  .append(" could not be dropped though ")
                                  .append(why)
                                  .append(" it: ")
                                  .append(context.executor.ErrorText()));
    }
  }
  for (const std::string& name : gaps.extraChecks) {
    Send(context, dryRun,
         "ALTER TABLE " + quotedTable + " DROP CONSTRAINT " + QuoteIdentifier(name),
         "the CHECK constraint " + name + " dropped: the file has no such rule",
         "the CHECK constraint " + name + " could not be dropped", sync);
  }
  for (const PlannedCheck& check : gaps.missingChecks) {
    Send(context, dryRun,
         "ALTER TABLE " + quotedTable + " ADD CONSTRAINT " + QuoteIdentifier(check.name) +
             " CHECK (" + check.condition + ")",
         "the CHECK constraint " + check.name + " (the rule " + check.accessText + ") added",
         "the CHECK constraint " + check.name + " could not be added", sync);
  }
  return sync;
}

SchemaSync SyncForeignKeys(ConversionOwner& owner, ConversionContext& context,
                           target::MySqlConnection& connection, const std::string& database,
                           bool dryRun) {
  SchemaSync sync;
  std::vector<SchemaVerdict> verdicts;
  for (const TablePlan& plan : context.convertedTables) {
    verdicts.emplace_back();
    verdicts.back().table = plan.sourceName;
  }
  ForeignKeyGaps gaps;
  VerifyForeignKeys(context, connection, database, verdicts, &gaps);
  for (const auto& [table, name] : gaps.extra) {
    Send(context, dryRun,
         "ALTER TABLE " + QuoteIdentifier(table) + " DROP FOREIGN KEY " + QuoteIdentifier(name),
         "the foreign key " + name + " of " + Bracketed(table) +
             " dropped: no relationship of the file asks for it",
         "the foreign key " + name + " of " + Bracketed(table) + " could not be dropped", sync);
  }
  if (gaps.missing.empty()) return sync;
  if (dryRun) {
    for (const std::string& name : gaps.missing) {
      sync.changes.push_back("the foreign key of relationship " + Bracketed(name) + " added");
    }
    return sync;
  }
  const std::set<std::string> missing(gaps.missing.begin(), gaps.missing.end());
  const long before = context.summary.relationshipsNotCreated;
  // Each is added once its child rows are counted against the parent's, as
  // the conversion adds them.
  AddForeignKeys(owner, context, [&](const source::Relationship& relationship) {
    return missing.count(relationship.name) > 0;
  });
  if (context.summary.relationshipsNotCreated > before) {
    sync.problems.push_back(std::to_string(context.summary.relationshipsNotCreated - before) +
                            " foreign keys could not be added (named above)");
  }
  for (const std::string& name : gaps.missing) {
    sync.changes.push_back("the foreign key of relationship " + Bracketed(name) + " added");
  }
  return sync;
}

SchemaSync SyncQueryObjects(ConversionOwner& owner, ConversionContext& context,
                            target::MySqlConnection& connection, const std::string& database,
                            bool dryRun) {
  (void)owner;
  SchemaSync sync;
  if (!context.carryQueries) return sync;
  std::vector<source::Query> queries;
  try {
    queries = context.source.Queries();
  } catch (const source::SourceError&) {
    return sync;  // the file's damage is named by verify
  }
  if (queries.empty()) return sync;
  StatementExecutor& server = context.executor;
  auto make = [&](const QueryOutcome& outcome) -> std::string {
    const bool view = outcome.kind == QueryObjectKind::View;
    const std::string what = (view ? "the view " : "the procedure ") +
                             Bracketed(outcome.targetName) + " of query " +
                             Bracketed(outcome.accessName);
    const Found found = LookForQueryObject(connection, database, outcome);
    if (found == Found::InStep) return "";
    if (found == Found::Unknown) {
      sync.problems.push_back(what + " cannot be read from MySQL: " + connection.ErrorText());
      return "it cannot be read from MySQL";
    }
    const std::string change = what + (found == Found::Missing ? " created" : " made again");
    if (dryRun) {
      sync.changes.push_back(change);
      return "";
    }
    bool made = false;
    if (view) {
      // The view takes its new body in one statement; nothing reads it meanwhile.
      made = server.Execute(found == Found::Missing
                                ? outcome.statement
                                : "CREATE OR REPLACE" + outcome.statement.substr(6));
    } else {
      made = (found == Found::Missing ||
              server.Execute("DROP PROCEDURE " + QuoteIdentifier(outcome.targetName))) &&
             server.Execute(outcome.statement);
    }
    if (made) {
      sync.changes.push_back(change);
      return "";
    }
    sync.problems.push_back(what + " could not be made: " + server.ErrorText());
    return "the server refused it: " + server.ErrorText();
  };
  PlaceQueries(context, queries, make);
  return sync;
}

}  // namespace bracken::engine
