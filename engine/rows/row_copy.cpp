#include "engine/rows/row_copy.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

#include "engine/rows/ole_files.h"
#include "engine/rows/oversized_row.h"
#include "engine/rows/row_batch.h"
#include "engine/rows/row_load.h"
#include "engine/rows/row_refusal.h"
#include "engine/rows/target_value.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/source_connection.h"

namespace bracken::engine {

namespace {

// Where the row being copied stands, for its messages.
struct RowPlace {
  const std::string& table;
  long number;  // from 1
};

std::string Where(const RowPlace& place, const FieldPlan& field) {
  return "Table " + Bracketed(place.table) + ", row " + std::to_string(place.number) + ", column " +
         Bracketed(field.name);
}

// The literal of one field, appended to the statement. A value Access holds
// that MySQL cannot store (NaN, an infinity) arrives as NULL; the change is
// noted for the report, which names it once the row has arrived.
void AppendField(RowSource& rows, const FieldPlan& field, const RowPlace& place,
                 TextEscapes escapes, TargetValue& value, std::string& statement,
                 std::vector<std::string>& changes) {
  ExpectedValue(rows, field, value);
  if (value.nonFinite != nullptr) {
    changes.push_back(NonFiniteChangeText(place.table, place.number, field, value.nonFinite));
  }
  AppendLiteral(statement, value, escapes);
}

// Sends one row (whole when its statement is at most `rowLimit` bytes); a refusal is shown and
// reported, and the copy goes on.
RowResult SendRow(ConversionOwner& owner, ConversionContext& context, RowSource& rows,
                  const std::vector<FieldPlan>& plan, const RowPlace& place,
                  const std::string& statement, const std::vector<std::size_t>& starts,
                  std::size_t rowLimit) {
  StatementExecutor& server = context.executor;
  ++context.summary.rowsSent;
  OversizedRow oversized{owner, context, rows, plan, place.table, place.number};
  bool sent =
      statement.size() <= rowLimit ? server.Execute(statement) : oversized.Send(statement, starts);
  if (sent) return RowResult::Sent;
  if (context.stoppedDuringWait) {
    --context.summary.rowsSent;  // broken off, so neither written nor refused
    return RowResult::Stopped;
  }
  if (oversized.refusedHere) {
    ++context.summary.rowsRefused;
    return RowResult::Refused;
  }
  return AfterRowFailure(owner, context, place.table, place.number);
}

}  // namespace

std::string NonFiniteChangeText(const std::string& table, long row, const FieldPlan& field,
                                const char* value) {
  return Where({table, row}, field) + ": the value " + value +
         " cannot be stored in MySQL and is stored as NULL.";
}

std::string UnreadableRowText(const std::string& table, long row, const FieldPlan& field,
                              const source::SourceError& error) {
  return Where({table, row}, field) + ": the value cannot be read (" + error.Description() +
         "). The row is left out.";
}

// A value that cannot be read or written as text leaves its row out; the
// copy goes on with the next row.
void RefuseUnreadable(ConversionOwner& owner, ConversionContext& context, const std::string& text) {
  ++context.summary.rowsRefused;
  Report(owner, context.summary, text);
  owner.ShowRowRefusal(text, "Message", {});
}

CopyOutcome EndOfReading(ConversionOwner& owner, ConversionContext& context,
                         const std::string& table, long rowCount,
                         const source::SourceError& error) {
  owner.ShowMessage(SourceErrorMessage(error), "Message", MessageButtons::Ok, MessageIcon::None);
  Report(owner, context.summary,
         "Table " + Bracketed(table) + ": reading stopped after row " +
             std::to_string(rowCount > 0 ? rowCount - 1 : 0) + " (" + error.Description() +
             "); the rows after it are not converted.");
  return {CopyResult::SourceFailed, "", rowCount};
}

ProgressCaptions::ProgressCaptions(const std::string& tableName) : head_("Converting Table: [") {
  for (char c : tableName) {
    if (c != '`') head_ += c;
  }
  head_ += "] ";
}

const std::string& ProgressCaptions::For(long rows) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, rows).ptr;
  text_.assign(head_).append(digits, end).append(" rows converted...");
  return text_;
}

std::string ProgressCaption(const std::string& tableName, long rows) {
  return ProgressCaptions(tableName).For(rows);
}

CopyOutcome CopyTableRows(ConversionOwner& owner, ConversionContext& context,
                          const std::string& tableName) {
  context.stopRequested = false;
  const TablePlan& table = context.tablePlan;
  const std::string& target = table.sourceName == tableName ? table.targetName : tableName;
  const std::string quotedTarget = QuoteIdentifier(target);
  const std::string insertStart = "INSERT INTO " + quotedTarget + " VALUES";
  const std::string statementStart = insertStart + "(";
  const bool batched = context.batching.Batched();
  if (batched && context.batching.loadData && !context.executor.WritesDumpFile()) {
    if (std::optional<CopyOutcome> loaded =
            LoadTableRows(owner, context, tableName, quotedTarget)) {
      return *loaded;
    }
  }
  RowBatch batch(owner, context, tableName, quotedTarget, insertStart);
  ProgressCaptions captions(tableName);
  const std::size_t rowLimit = MaxRowStatementBytes(context.executor);
  const TextEscapes escapes =
      context.executor.WritesDumpFile() ? TextEscapes::DumpFile : TextEscapes::Server;
  std::string statement;
  TargetValue value;
  std::vector<std::size_t> starts;
  std::vector<std::string> changes;  // values of the current row stored otherwise
  long rowCount = 0;
  try {
    RowSource& rows = *context.recordset;
    const std::vector<FieldPlan> plan = PlanFields(rows, context);
    const long fieldCount = static_cast<long>(plan.size());
    KeptContainers kept(plan);
    starts.resize(plan.size() + 1);
    for (; !rows.Eof(); rows.MoveNext()) {
      RowPlace place{tableName, ++rowCount};
      statement.assign(statementStart);
      changes.clear();
      long i = 0;
      try {
        for (; i < fieldCount; ++i) {
          starts[static_cast<std::size_t>(i)] = statement.size();
          AppendField(rows, plan[static_cast<std::size_t>(i)], place, escapes, value, statement,
                      changes);
        }
        kept.CountRow();
      } catch (const source::SourceError& error) {
        if (batched && !batch.Flush()) return batch.Ending();
        RefuseUnreadable(
            owner, context,
            UnreadableRowText(tableName, place.number, plan[static_cast<std::size_t>(i)], error));
        owner.SetCaption(captions.For(rowCount));
        continue;
      }
      starts[static_cast<std::size_t>(fieldCount)] = statement.size();
      if (fieldCount > 0) statement.pop_back();
      statement += ");";
      if (batched) {
        // The row's "(...)", without the statement's start and its ";".
        std::string_view tuple(statement);
        tuple = tuple.substr(insertStart.size(), tuple.size() - insertStart.size() - 1);
        if (batch.Takes(tuple.size())) {
          if (!batch.Add(tuple, rowCount, changes)) return batch.Ending();
          continue;
        }
        // Too large to share a statement: alone, after the rows before it.
        if (!batch.Flush()) return batch.Ending();
      }
      RowResult result = SendRow(owner, context, rows, plan, place, statement, starts, rowLimit);
      if (result == RowResult::Stopped) return {CopyResult::Stopped, ""};
      if (result == RowResult::ConnectionLost) {
        return {CopyResult::ConnectionLost, context.executor.ErrorText()};
      }
      if (result == RowResult::TableGone) {
        return {CopyResult::TableGone, context.executor.ErrorText()};
      }
      if (result == RowResult::Sent) {
        batch.ArrivedAlone();
        for (const std::string& change : changes) Report(owner, context.summary, change);
        context.summary.valuesChanged += static_cast<long>(changes.size());
      }
      owner.SetCaption(captions.For(rowCount));
      if (context.stoppedDuringWait) return {CopyResult::Stopped, ""};
    }
    if (batched && !batch.Flush()) return batch.Ending();
    kept.Report(owner, context, tableName);
  } catch (const source::SourceError& error) {
    // The rows read before the error arrive before it is told.
    if (batched && !batch.Flush()) return batch.Ending();
    return EndOfReading(owner, context, tableName, rowCount, error);
  }
  return {CopyResult::Finished, "", rowCount};
}

}  // namespace bracken::engine
