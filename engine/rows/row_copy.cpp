#include "engine/rows/row_copy.h"

#include <algorithm>
#include <charconv>
#include <optional>
#include <vector>

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
// With `line`, the value's LOAD field is appended to it too.
void AppendField(RowSource& rows, long i, const FieldPlan& field, const RowPlace& place,
                 TextEscapes escapes, TargetValue& value, std::string& statement,
                 std::vector<std::string>& changes, std::string* line) {
  ExpectedValue(rows, i, field, value);
  if (value.nonFinite != nullptr) {
    changes.push_back(Where(place, field) + ": the value " + value.nonFinite +
                      " cannot be stored in MySQL and is stored as NULL.");
  }
  AppendLiteral(statement, value, escapes);
  if (line != nullptr) AppendLoadField(*line, value, field.typeClass);
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

// A value that cannot be read or written as text leaves its row out; the
// copy goes on with the next row.
void RefuseUnreadable(ConversionOwner& owner, ConversionContext& context, const RowPlace& place,
                      const FieldPlan& field, const source::SourceError& error) {
  ++context.summary.rowsRefused;
  std::string text = Where(place, field) + ": the value cannot be read (" + error.Description() +
                     "). The row is left out.";
  Report(owner, context.summary, text);
  owner.ShowRowRefusal(text, "Message", {});
}

}  // namespace

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
  RowBatch batch(owner, context, tableName, quotedTarget, insertStart);
  std::optional<RowLoad> load;
  if (batched && context.batching.loadData && !context.executor.WritesDumpFile()) {
    load.emplace(owner, context, tableName, quotedTarget, batch);
  }
  // The rows pending in the load, then those in the batch, sent and
  // answered; false when the copy must end (Ending() tells why).
  const auto flush = [&] { return (!load || load->Flush()) && batch.Flush(); };
  const auto ending = [&]() -> const CopyOutcome& {
    return load && load->Ending().result != CopyResult::Finished ? load->Ending() : batch.Ending();
  };
  std::string line;  // the row's LOAD text while the load is active
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
    const long fieldCount = rows.FieldCount();
    const std::vector<FieldPlan> plan = PlanFields(rows, context);
    starts.resize(static_cast<std::size_t>(fieldCount) + 1);
    for (; !rows.Eof(); rows.MoveNext()) {
      RowPlace place{tableName, ++rowCount};
      statement.assign(statementStart);
      changes.clear();
      line.clear();
      std::string* loadLine = load && load->Active() ? &line : nullptr;
      long i = 0;
      try {
        for (; i < fieldCount; ++i) {
          starts[static_cast<std::size_t>(i)] = statement.size();
          AppendField(rows, i, plan[static_cast<std::size_t>(i)], place, escapes, value, statement,
                      changes, loadLine);
        }
      } catch (const source::SourceError& error) {
        if (batched && !flush()) return ending();
        RefuseUnreadable(owner, context, place, plan[static_cast<std::size_t>(i)], error);
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
          if (loadLine != nullptr) {
            if (!line.empty()) line.back() = '\n';
            if (!load->Add(tuple, line, rowCount, changes)) return ending();
          } else if (!batch.Add(tuple, rowCount, changes)) {
            return batch.Ending();
          }
          continue;
        }
        // Too large to share a statement: alone, after the rows before it.
        if (!flush()) return ending();
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
    if (batched && !flush()) return ending();
  } catch (const source::SourceError& error) {
    // The rows read before the error arrive before it is told.
    if (batched && !flush()) return ending();
    owner.ShowMessage(SourceErrorMessage(error), "Message", MessageButtons::Ok, MessageIcon::None);
    Report(owner, context.summary,
           "Table " + Bracketed(tableName) + ": reading stopped after row " +
               std::to_string(rowCount > 0 ? rowCount - 1 : 0) + " (" + error.Description() +
               "); the rows after it are not converted.");
    return {CopyResult::SourceFailed, "", rowCount};
  }
  return {CopyResult::Finished, "", rowCount};
}

}  // namespace bracken::engine
