#include "engine/rows/row_batch.h"

#include <algorithm>

#include "engine/rows/oversized_row.h"
#include "engine/run_report.h"

namespace bracken::engine {

RowBatch::RowBatch(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                   std::string quotedTarget, std::string insertStart)
    : owner_(owner),
      context_(context),
      table_(table),
      quotedTarget_(std::move(quotedTarget)),
      insertStart_(std::move(insertStart)),
      budget_(std::min(context.batching.BytesPerStatement(),
                       MaxRowStatementBytes(context.executor))),
      captions_(table) {}

RowBatch::~RowBatch() { Abandon(); }

void RowBatch::Abandon() {
  if (onItsWay_ && !context_.executor.FinishStatement()) {
    context_.summary.rowsSent -= static_cast<long>(rows_.size());
  }
  onItsWay_ = false;
}

bool RowBatch::Takes(std::size_t tupleBytes) const {
  return insertStart_.size() + tupleBytes + 1 <= budget_;
}

bool RowBatch::Add(std::string_view tuple, long number, const std::vector<std::string>& changes) {
  if (!fillRows_.empty() && fillStatement_.size() + 1 + tuple.size() + 1 > budget_ && !Launch()) {
    return false;
  }
  if (fillRows_.empty()) {
    fillStatement_.assign(insertStart_);
  } else {
    fillStatement_ += ',';
  }
  const std::size_t firstChange = fillChanges_.size();
  fillChanges_.insert(fillChanges_.end(), changes.begin(), changes.end());
  fillRows_.push_back(
      {number, fillStatement_.size(), tuple.size(), firstChange, fillChanges_.size()});
  fillStatement_.append(tuple);
  return fillRows_.size() < context_.batching.RowsPerStatement() || Launch();
}

bool RowBatch::Flush() { return Launch() && Settle(); }

bool RowBatch::Launch() {
  if (fillRows_.empty()) return true;
  if (!Settle()) return false;
  std::swap(statement_, fillStatement_);
  std::swap(rows_, fillRows_);
  std::swap(changes_, fillChanges_);
  fillStatement_.clear();
  fillRows_.clear();
  fillChanges_.clear();
  statement_ += ';';
  // Rows on their way count as sent from now: a run ended at once while the
  // server stores them (which it goes on doing) must not tell fewer rows
  // sent than the table holds.
  context_.summary.rowsSent += static_cast<long>(rows_.size());
  context_.executor.StartStatement(statement_);
  onItsWay_ = true;
  return true;
}

bool RowBatch::Settle() {
  if (!onItsWay_) return true;
  onItsWay_ = false;
  const bool answered = context_.executor.FinishStatement();
  const bool goOn = SendFrom(0, answered);
  Clear();
  return goOn;
}

void RowBatch::Clear() {
  rows_.clear();
  changes_.clear();
  statement_.clear();
}

std::string RowBatch::StatementFrom(std::size_t from) const {
  return insertStart_ + statement_.substr(rows_[from].offset);
}

// Sends rows_[from...]; after a refusal, the rows the table kept are known
// by its row count, the refused row goes alone and the rest go on. With
// `firstAnswer` the rows were sent already (and counted as sent) and that is
// the server's answer. After a statement broken off by a stop, the table's
// row count tells how many of its rows arrived all the same (a MyISAM table
// keeps the rows written before the break); the rest are taken off the rows
// sent, unless the table cannot tell, when they stay counted.
bool RowBatch::SendFrom(std::size_t from, std::optional<bool> firstAnswer) {
  StatementExecutor& server = context_.executor;
  ConversionSummary& summary = context_.summary;
  while (from < rows_.size()) {
    const long count = static_cast<long>(rows_.size() - from);
    if (!firstAnswer) summary.rowsSent += count;
    const bool answered = firstAnswer ? *firstAnswer : server.Execute(StatementFrom(from));
    firstAnswer.reset();
    if (answered) {
      tableRows_ += count;
      Arrived(from, rows_.size());
      break;
    }
    const bool stopped = context_.stoppedDuringWait;
    if (!stopped && server.LastErrorWasConnectionLost()) {
      summary.rowsSent -= count;
      return End(RowResult::ConnectionLost);
    }
    if (!stopped && TableGoneError(server.LastErrorNumber())) {
      summary.rowsSent -= count;
      return End(RowResult::TableGone);
    }
    const std::optional<long long> held = server.CountRows(quotedTarget_);
    if (!held) {
      if (stopped || context_.stoppedDuringWait) return End(RowResult::Stopped);
      summary.rowsSent -= count;
      return End(TableGoneError(server.LastErrorNumber()) ? RowResult::TableGone
                                                          : RowResult::ConnectionLost);
    }
    const long kept = static_cast<long>(std::clamp<long long>(*held - tableRows_, 0, count));
    tableRows_ = *held;
    summary.rowsSent -= count - kept;
    Arrived(from, from + static_cast<std::size_t>(kept));
    if (stopped) return End(RowResult::Stopped);
    if (kept == count) break;
    from += static_cast<std::size_t>(kept);
    if (!SendAlone(rows_[from])) return false;
    ++from;
  }
  owner_.SetCaption(captions_.For(rows_.back().number));
  return true;
}

// The refused row as the one-row copy sends it, so that its refusal reads
// as that copy's does ("at row 1", its own text).
bool RowBatch::SendAlone(const Pending& row) {
  ++context_.summary.rowsSent;
  std::string statement = insertStart_;
  statement.append(statement_, row.offset, row.length).append(";");
  if (context_.executor.Execute(statement)) {
    ++tableRows_;
    const std::size_t index = static_cast<std::size_t>(&row - rows_.data());
    Arrived(index, index + 1);
    return true;
  }
  RowResult result = AfterRowFailure(owner_, context_, table_, row.number);
  if (result == RowResult::Refused) return true;
  if (result == RowResult::Stopped) --context_.summary.rowsSent;
  return End(result);
}

bool RowBatch::End(RowResult result) {
  switch (result) {
    case RowResult::Stopped:
      ending_ = {CopyResult::Stopped, ""};
      break;
    case RowResult::TableGone:
      ending_ = {CopyResult::TableGone, context_.executor.ErrorText()};
      break;
    default:
      ending_ = {CopyResult::ConnectionLost, context_.executor.ErrorText()};
  }
  return false;
}

void RowBatch::Arrived(std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) {
    for (std::size_t c = rows_[i].firstChange; c < rows_[i].endChange; ++c) {
      Report(owner_, context_.summary, changes_[c]);
      ++context_.summary.valuesChanged;
    }
  }
}

}  // namespace bracken::engine
