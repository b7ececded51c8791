#include "engine/row_batch.h"

#include <algorithm>

#include "engine/oversized_row.h"
#include "engine/run_report.h"

namespace bracken::engine {

RowBatch::RowBatch(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                   std::string quotedTarget, std::string insertStart)
    : owner_(owner),
      context_(context),
      table_(table),
      quotedTarget_(std::move(quotedTarget)),
      insertStart_(std::move(insertStart)),
      budget_(std::min(context.batching.bytes, MaxRowStatementBytes(context.executor))),
      captions_(table) {}

bool RowBatch::Takes(std::size_t tupleBytes) const {
  return insertStart_.size() + tupleBytes + 1 <= budget_;
}

bool RowBatch::Add(std::string_view tuple, long number, const std::vector<std::string>& changes) {
  if (!rows_.empty() && statement_.size() + 1 + tuple.size() + 1 > budget_ && !Flush()) {
    return false;
  }
  if (rows_.empty()) {
    statement_.assign(insertStart_);
  } else {
    statement_ += ',';
  }
  const std::size_t firstChange = changes_.size();
  changes_.insert(changes_.end(), changes.begin(), changes.end());
  rows_.push_back({number, statement_.size(), tuple.size(), firstChange, changes_.size()});
  statement_.append(tuple);
  return rows_.size() < context_.batching.rows || Flush();
}

bool RowBatch::Flush() {
  if (rows_.empty()) return true;
  statement_ += ';';
  const bool goOn = SendFrom(0);
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
// by its row count, the refused row goes alone and the rest go on.
bool RowBatch::SendFrom(std::size_t from) {
  StatementExecutor& server = context_.executor;
  ConversionSummary& summary = context_.summary;
  while (from < rows_.size()) {
    const long count = static_cast<long>(rows_.size() - from);
    summary.rowsSent += count;
    if (server.Execute(from == 0 ? statement_ : StatementFrom(from))) {
      tableRows_ += count;
      Arrived(from, rows_.size());
      break;
    }
    summary.rowsSent -= count;
    if (context_.stoppedDuringWait) return End(RowResult::Stopped);
    if (server.LastErrorWasConnectionLost()) return End(RowResult::ConnectionLost);
    if (TableGoneError(server.LastErrorNumber())) return End(RowResult::TableGone);
    const std::optional<long long> held = server.CountRows(quotedTarget_);
    if (!held) {
      if (context_.stoppedDuringWait) return End(RowResult::Stopped);
      return End(TableGoneError(server.LastErrorNumber()) ? RowResult::TableGone
                                                          : RowResult::ConnectionLost);
    }
    const long kept = static_cast<long>(std::clamp<long long>(*held - tableRows_, 0, count));
    tableRows_ = *held;
    summary.rowsSent += kept;
    Arrived(from, from + static_cast<std::size_t>(kept));
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
