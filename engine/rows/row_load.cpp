#include "engine/rows/row_load.h"

#include <algorithm>

#include "engine/rows/row_refusal.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"

namespace bracken::engine {

namespace {

// A chunk holds this many batches' rows, and at most this much LOAD text:
// large enough that a LOAD's own cost is small beside its rows, small
// enough that a chunk sent again as INSERTs costs little.
constexpr std::size_t kBatchesPerChunk = 50;
constexpr std::size_t kChunkBytes = std::size_t{16} << 20;

// The twin's name, never that of the table it stands for.
std::string TwinName(const std::string& target) {
  const std::string name = "#bracken_load";
  return target == name ? name + "_2" : name;
}

}  // namespace

RowLoad::RowLoad(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                 std::string quotedTarget, RowBatch& batch)
    : owner_(owner),
      context_(context),
      quotedTarget_(std::move(quotedTarget)),
      batch_(batch),
      captions_(table),
      chunkRows_(std::max<std::size_t>(1, context.batching.rows) * kBatchesPerChunk),
      chunkBytes_(kChunkBytes) {}

RowLoad::~RowLoad() {
  batch_.Abandon();
  if (twinReady_) context_.executor.Execute("DROP TEMPORARY TABLE IF EXISTS " + quotedTwin_);
}

bool RowLoad::Add(std::string_view tuple, std::string_view line, long number,
                  const std::vector<std::string>& changes) {
  if (!rows_.empty() && data_.size() + line.size() > chunkBytes_ && !Send()) return false;
  const std::size_t firstChange = changes_.size();
  changes_.insert(changes_.end(), changes.begin(), changes.end());
  rows_.push_back({number, tuples_.size(), tuple.size(), firstChange, changes_.size()});
  tuples_.append(tuple);
  data_.append(line);
  return rows_.size() < chunkRows_ || Send();
}

bool RowLoad::Flush() { return rows_.empty() || Send(); }

bool RowLoad::Send() {
  const long count = static_cast<long>(rows_.size());
  if (!Active()) return ByBatch(0);
  // Counted as sent before the statement starts, as the batch counts its
  // rows (see ConversionContext::endingAtOnce).
  context_.summary.rowsSent += count;
  const bool goOn = context_.engine == TableEngine::InnoDB ? SendInnoDb(count) : SendMyIsam(count);
  if (goOn) Clear();
  return goOn;
}

std::string RowLoad::LoadStatement(const std::string& quotedTable) const {
  // The bytes go as they are (CHARACTER SET binary): text is utf8mb4 as on
  // the session, and the columns check it as they check an INSERT's text.
  return "LOAD DATA LOCAL INFILE 'rows' INTO TABLE " + quotedTable +
         " CHARACTER SET binary FIELDS TERMINATED BY '\\t' ENCLOSED BY '' ESCAPED BY '\\\\'"
         " LINES STARTING BY '' TERMINATED BY '\\n'";
}

bool RowLoad::SendInnoDb(long count) {
  StatementExecutor& server = context_.executor;
  if (!server.Execute("START TRANSACTION")) return EndAfterFailure(count);
  target::LocalLoadCounts counts;
  const target::LocalLoadResult result =
      server.LoadFromMemory(LoadStatement(quotedTarget_), data_, counts);
  const bool clean = result == target::LocalLoadResult::Loaded && counts.warnings == 0 &&
                     counts.rows == static_cast<unsigned long long>(count);
  if (clean) {
    if (!server.Execute("COMMIT")) return EndAfterFailure(count);
    batch_.ArrivedElsewhere(count);
    Arrived(0, rows_.size());
    owner_.SetCaption(captions_.For(rows_.back().number));
    return true;
  }
  const std::string why = server.ErrorText();
  const bool failed = result != target::LocalLoadResult::Loaded;
  if (failed && (context_.stoppedDuringWait || server.LastErrorWasConnectionLost() ||
                 TableGoneError(server.LastErrorNumber()))) {
    if (server.LastErrorWasConnectionLost()) return EndAfterFailure(count);
    // The transaction is closed before the copy ends, keeping the reason.
    const RowResult ending = context_.stoppedDuringWait ? RowResult::Stopped : RowResult::TableGone;
    server.Execute("ROLLBACK");
    context_.summary.rowsSent -= count;
    return End(ending, why);
  }
  if (!server.Execute("ROLLBACK")) return EndAfterFailure(count);
  context_.summary.rowsSent -= count;
  if (result == target::LocalLoadResult::NotTaken) TurnOff(why);
  return ByBatch(0);
}

bool RowLoad::PrepareTwin() {
  if (twinReady_) return true;
  quotedTwin_ = QuoteIdentifier(TwinName(quotedTarget_.substr(1, quotedTarget_.size() - 2)));
  StatementExecutor& server = context_.executor;
  if (!server.Execute("CREATE TEMPORARY TABLE " + quotedTwin_ + " LIKE " + quotedTarget_)) {
    return false;
  }
  twinReady_ = true;
  return true;
}

bool RowLoad::SendMyIsam(long count) {
  StatementExecutor& server = context_.executor;
  if (!PrepareTwin()) {
    if (context_.stoppedDuringWait || server.LastErrorWasConnectionLost() ||
        TableGoneError(server.LastErrorNumber())) {
      return EndAfterFailure(count);
    }
    context_.summary.rowsSent -= count;
    TurnOff(server.ErrorText());
    return ByBatch(0);
  }
  target::LocalLoadCounts counts;
  const target::LocalLoadResult result =
      server.LoadFromMemory(LoadStatement(quotedTwin_), data_, counts);
  const bool clean = result == target::LocalLoadResult::Loaded && counts.warnings == 0 &&
                     counts.rows == static_cast<unsigned long long>(count);
  if (!clean) {
    const std::string why = server.ErrorText();
    // Nothing reached the table: the twin is emptied and the chunk goes as
    // INSERTs.
    if (result != target::LocalLoadResult::Loaded &&
        (context_.stoppedDuringWait || server.LastErrorWasConnectionLost())) {
      return EndAfterFailure(count);
    }
    if (!server.Execute("TRUNCATE TABLE " + quotedTwin_)) return EndAfterFailure(count);
    context_.summary.rowsSent -= count;
    if (result == target::LocalLoadResult::NotTaken) TurnOff(why);
    return ByBatch(0);
  }
  const bool moved =
      server.Execute("INSERT INTO " + quotedTarget_ + " SELECT * FROM " + quotedTwin_);
  if (moved) {
    batch_.ArrivedElsewhere(count);
    Arrived(0, rows_.size());
    owner_.SetCaption(captions_.For(rows_.back().number));
    return server.Execute("TRUNCATE TABLE " + quotedTwin_) || EndAfterFailure(0);
  }
  // Refused part way (a duplicate of an earlier chunk's row, a rule) or
  // broken off: the table kept the rows before, as after a batched INSERT.
  const bool stopped = context_.stoppedDuringWait;
  if (!stopped &&
      (server.LastErrorWasConnectionLost() || TableGoneError(server.LastErrorNumber()))) {
    return EndAfterFailure(count);
  }
  const std::optional<long long> held = server.CountRows(quotedTarget_);
  if (!held) {
    if (stopped || context_.stoppedDuringWait) return End(RowResult::Stopped);
    return EndAfterFailure(count);
  }
  const long kept = static_cast<long>(std::clamp<long long>(*held - batch_.TableRows(), 0, count));
  batch_.ArrivedElsewhere(kept);
  context_.summary.rowsSent -= count - kept;
  Arrived(0, static_cast<std::size_t>(kept));
  if (stopped) return End(RowResult::Stopped);
  if (!server.Execute("TRUNCATE TABLE " + quotedTwin_)) return EndAfterFailure(0);
  return ByBatch(static_cast<std::size_t>(kept));
}

void RowLoad::TurnOff(const std::string& why) {
  context_.batching.loadData = false;
  owner_.Notice("LOAD DATA LOCAL INFILE is not available (" + why +
                "); the rows go as INSERT statements.");
}

// Rows_[from...] as batched INSERTs, answered before the next chunk.
bool RowLoad::ByBatch(std::size_t from) {
  for (std::size_t i = from; i < rows_.size(); ++i) {
    const Pending& row = rows_[i];
    const std::vector<std::string> changes(changes_.begin() + static_cast<long>(row.firstChange),
                                           changes_.begin() + static_cast<long>(row.endChange));
    if (!batch_.Add(std::string_view(tuples_).substr(row.offset, row.length), row.number,
                    changes)) {
      ending_ = batch_.Ending();
      return false;
    }
  }
  if (!batch_.Flush()) {
    ending_ = batch_.Ending();
    return false;
  }
  Clear();
  return true;
}

// A statement of the chunk failed so that the copy ends; `count` rows
// counted as sent did not arrive.
bool RowLoad::EndAfterFailure(long count) {
  StatementExecutor& server = context_.executor;
  context_.summary.rowsSent -= count;
  if (context_.stoppedDuringWait) return End(RowResult::Stopped);
  if (TableGoneError(server.LastErrorNumber())) return End(RowResult::TableGone);
  return End(RowResult::ConnectionLost);
}

bool RowLoad::End(RowResult result) { return End(result, context_.executor.ErrorText()); }

bool RowLoad::End(RowResult result, const std::string& errorText) {
  switch (result) {
    case RowResult::Stopped:
      ending_ = {CopyResult::Stopped, ""};
      break;
    case RowResult::TableGone:
      ending_ = {CopyResult::TableGone, errorText};
      break;
    default:
      ending_ = {CopyResult::ConnectionLost, errorText};
  }
  return false;
}

void RowLoad::Arrived(std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i) {
    for (std::size_t c = rows_[i].firstChange; c < rows_[i].endChange; ++c) {
      Report(owner_, context_.summary, changes_[c]);
      ++context_.summary.valuesChanged;
    }
  }
}

void RowLoad::Clear() {
  rows_.clear();
  changes_.clear();
  tuples_.clear();
  data_.clear();
}

}  // namespace bracken::engine
