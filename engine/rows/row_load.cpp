#include "engine/rows/row_load.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/rows/ole_files.h"
#include "engine/rows/oversized_row.h"
#include "engine/rows/row_refusal.h"
#include "engine/rows/target_value.h"
#include "engine/run_report.h"
#include "target/local_load.h"

namespace bracken::engine {

namespace {

// What the LOAD tells once it counts, in the order of the rows: a value
// stored otherwise of a row sent, or a row left out because it cannot be
// read.
struct Told {
  bool refusal;
  long rowsBefore;  // rows sent before it; a change's own row is the next
  std::string text;
};

// The table's rows as LOAD text (AppendLoadField's fields, a newline after
// each row), read from the source as the client library asks for them.
class TableStream : public target::LocalLoadStream {
 public:
  TableStream(ConversionOwner& owner, ConversionContext& context, const std::string& table)
      : owner_(owner),
        context_(context),
        table_(table),
        rows_(*context.recordset),
        plan_(PlanFields(rows_, context)),
        kept_(plan_),
        captions_(table),
        captionEvery_(static_cast<long>(std::max<std::size_t>(1, context.batching.rows))),
        rowLimit_(MaxRowStatementBytes(context.executor)),
        chunkRows_(context.batching.writeSetRows),
        chunkBytes_(context.batching.writeSetBytes) {}

  int Read(char* buffer, unsigned int size) override;

  // The rows of one LOAD end where the next row would take the chunk past
  // the write-set bound (RowBatching::writeSetRows, writeSetBytes); that row
  // opens the next chunk, which the next LOAD sends after NextChunk.
  bool ChunkFull() const { return chunkFull_; }
  void NextChunk() {
    chunkFull_ = false;
    rowsInChunk_ = 0;
    bytesInChunk_ = 0;
  }

  bool Started() const { return started_; }
  // A row that the batched INSERTs may refuse for its size came: the
  // stream ended before it.
  bool TooLarge() const { return tooLarge_; }
  bool BrokenOff() const { return brokenOff_; }
  long RowsRead() const { return rowsRead_; }  // begun, the unreadable ones too
  long RowsSent() const { return rowsSent_; }
  const std::optional<source::SourceError>& ReadingError() const { return readingError_; }
  const std::vector<Told>& ToTell() const { return told_; }
  const KeptContainers& Kept() const { return kept_; }

 private:
  bool NextLine();
  // Counts the row in line_, row `number` of the table, as sent in this
  // chunk.
  bool Count(long number);

  ConversionOwner& owner_;
  ConversionContext& context_;
  const std::string& table_;
  RowSource& rows_;
  std::vector<FieldPlan> plan_;
  KeptContainers kept_;
  ProgressCaptions captions_;
  long captionEvery_;
  std::size_t rowLimit_;
  std::size_t chunkRows_;   // 0: no bound
  std::size_t chunkBytes_;  // 0: no bound
  std::size_t rowsInChunk_ = 0;
  std::size_t bytesInChunk_ = 0;
  bool held_ = false;  // line_ holds the row that opens the next chunk
  bool chunkFull_ = false;
  TargetValue value_;
  std::string line_;       // the row being handed out ...
  std::size_t taken_ = 0;  // ... up to here
  bool started_ = false;
  bool ended_ = false;
  bool brokenOff_ = false;
  bool tooLarge_ = false;
  long rowsRead_ = 0;
  long rowsSent_ = 0;
  std::optional<source::SourceError> readingError_;
  std::vector<Told> told_;
};

// Whole rows while they fit, so that a stream broken off ends with a whole
// row; a row longer than the piece is handed out over several.
int TableStream::Read(char* buffer, unsigned int size) {
  started_ = true;
  std::size_t filled = 0;
  for (;;) {
    if (chunkFull_ || (taken_ == line_.size() && !NextLine())) break;
    const std::size_t rest = line_.size() - taken_;
    if (filled + rest > size) {
      if (filled > 0) break;
      std::memcpy(buffer, line_.data() + taken_, size);
      taken_ += size;
      filled = size;
      break;
    }
    std::memcpy(buffer + filled, line_.data() + taken_, rest);
    filled += rest;
    taken_ = line_.size();
  }
  // The rows of this piece count as sent already; a summary taken as the
  // program ends at once sees them, or the piece does not go.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (context_.endingAtOnce.load()) {
    brokenOff_ = true;
    return -1;
  }
  return static_cast<int>(filled);
}

// The next row's line in line_, counted as sent; false at the end of the
// rows or when reading broke off. A row with a value that cannot be read is
// left out, to be told.
bool TableStream::NextLine() {
  if (chunkFull_) return false;
  taken_ = 0;
  if (held_) {
    held_ = false;
    return Count(rowsRead_);
  }
  line_.clear();
  while (!ended_) {
    try {
      if (rowsRead_ > 0) rows_.MoveNext();
      if (rows_.Eof()) break;
    } catch (const source::SourceError& error) {
      readingError_ = error;
      break;
    }
    const long number = ++rowsRead_;
    const std::size_t toldBefore = told_.size();
    std::size_t i = 0;
    try {
      for (; i < plan_.size(); ++i) {
        ExpectedValue(rows_, plan_[i], value_);
        if (value_.nonFinite != nullptr) {
          told_.push_back(
              {false, rowsSent_, NonFiniteChangeText(table_, number, plan_[i], value_.nonFinite)});
        }
        AppendLoadField(line_, value_, plan_[i].typeClass);
      }
    } catch (const source::SourceError& error) {
      told_.resize(toldBefore);
      told_.push_back({true, rowsSent_, UnreadableRowText(table_, number, plan_[i], error)});
      line_.clear();
      if (number % captionEvery_ == 0) owner_.SetCaption(captions_.For(number));
      continue;
    }
    kept_.CountRow();
    if (line_.size() >= rowLimit_) {
      // The INSERTs send a row this large alone, its long values apart, or
      // refuse it when a value exceeds the server's packet limit: only they
      // tell it as the other copies do.
      tooLarge_ = true;
      told_.resize(toldBefore);
      line_.clear();
      break;
    }
    if (line_.empty()) line_ += '\t';
    line_.back() = '\n';
    if (rowsInChunk_ > 0 && ((chunkRows_ != 0 && rowsInChunk_ >= chunkRows_) ||
                             (chunkBytes_ != 0 && bytesInChunk_ + line_.size() > chunkBytes_))) {
      held_ = true;
      chunkFull_ = true;
      taken_ = line_.size();  // handed out by the next chunk's first NextLine
      return false;
    }
    return Count(number);
  }
  ended_ = true;
  return false;
}

bool TableStream::Count(long number) {
  ++rowsInChunk_;
  bytesInChunk_ += line_.size();
  ++rowsSent_;
  ++context_.summary.rowsSent;
  if (number % captionEvery_ == 0) owner_.SetCaption(captions_.For(number));
  return true;
}

std::string LoadStatement(const std::string& quotedTable) {
  // The bytes go as they are (CHARACTER SET binary): text is utf8mb4 as on
  // the session, and the columns check it as they check an INSERT's text.
  return "LOAD DATA LOCAL INFILE 'rows' INTO TABLE " + quotedTable +
         " CHARACTER SET binary FIELDS TERMINATED BY '\\t' ENCLOSED BY '' ESCAPED BY '\\\\'"
         " LINES STARTING BY '' TERMINATED BY '\\n'";
}

// Tells what the stream held back for the rows that arrived: all of them,
// or the first `kept` rows sent.
void Tell(ConversionOwner& owner, ConversionContext& context, const TableStream& stream,
          long kept) {
  for (const Told& told : stream.ToTell()) {
    if (told.refusal) {
      if (told.rowsBefore <= kept) RefuseUnreadable(owner, context, told.text);
    } else if (told.rowsBefore < kept) {
      Report(owner, context.summary, told.text);
      ++context.summary.valuesChanged;
    }
  }
}

// A statement around the LOAD failed so that the copy ends.
CopyOutcome Ended(const ConversionContext& context) {
  const StatementExecutor& server = context.executor;
  if (context.stoppedDuringWait) return {CopyResult::Stopped, ""};
  if (TableGoneError(server.LastErrorNumber())) return {CopyResult::TableGone, server.ErrorText()};
  return {CopyResult::ConnectionLost, server.ErrorText()};
}

// The LOAD broke off by a stop, a lost connection or the table dropped by
// another client. An InnoDB table holds the rows of the chunks committed
// before it (`committed`, none unless the write sets are bounded); a MyISAM
// table keeps those the server stored before the break.
CopyOutcome EndBrokenLoad(ConversionOwner& owner, ConversionContext& context,
                          const std::string& quotedTarget, const TableStream& stream,
                          long committed) {
  StatementExecutor& server = context.executor;
  ConversionSummary& summary = context.summary;
  const long sent = stream.RowsSent();
  const bool stopped = context.stoppedDuringWait;
  const std::string why = server.ErrorText();
  const bool innoDb = context.engine == TableEngine::InnoDB;
  if (!stopped && server.LastErrorWasConnectionLost()) {
    // MyISAM rows may be stored: they stay counted as sent.
    if (innoDb) {
      summary.rowsSent -= sent - committed;
      if (committed > 0) Tell(owner, context, stream, committed);
    }
    return {CopyResult::ConnectionLost, why};
  }
  if (innoDb) {
    server.Execute("ROLLBACK");
    summary.rowsSent -= sent - committed;
    if (committed > 0) Tell(owner, context, stream, committed);
  } else if (stopped) {
    const std::optional<long long> held = server.CountRows(quotedTarget);
    const long kept = held ? static_cast<long>(std::clamp<long long>(*held, 0, sent)) : sent;
    summary.rowsSent -= sent - kept;
    Tell(owner, context, stream, kept);
  }
  if (stopped) return {CopyResult::Stopped, ""};
  return {CopyResult::TableGone, why};
}

// Empties the table the LOAD filled: InnoDB's transaction is rolled back,
// a MyISAM table truncated (which enables its keys; they are disabled again
// as before its rows). A rollback keeps InnoDB's AUTO_INCREMENT counter past
// the rows it took back, so the empty table's counter is set back too: the
// copy that follows must leave the next AutoNumber a copy by INSERTs leaves.
// An InnoDB table that holds committed chunks is truncated after the
// rollback, which sets its counter back as well. False when the table
// cannot be emptied.
bool Undo(ConversionContext& context, const std::string& quotedTarget, long committed) {
  StatementExecutor& server = context.executor;
  if (context.engine == TableEngine::InnoDB) {
    if (!server.Execute("ROLLBACK")) return false;
    if (committed > 0) return server.Execute("TRUNCATE TABLE " + quotedTarget);
    // Refused only with the connection, which the copy then finds lost.
    server.Execute("ALTER TABLE " + quotedTarget + " AUTO_INCREMENT = 1;");
    return true;
  }
  if (!server.Execute("TRUNCATE TABLE " + quotedTarget)) return false;
  if (context.keysDisabled) server.Execute("ALTER TABLE " + quotedTarget + " DISABLE KEYS;");
  return true;
}

void TurnOff(ConversionOwner& owner, ConversionContext& context, const std::string& why) {
  context.batching.loadData = false;
  owner.Notice("LOAD DATA LOCAL INFILE is not available (" + why +
               "); the rows go as INSERT statements.");
}

}  // namespace

std::optional<CopyOutcome> LoadTableRows(ConversionOwner& owner, ConversionContext& context,
                                         const std::string& tableName,
                                         const std::string& quotedTarget) {
  StatementExecutor& server = context.executor;
  const bool innoDb = context.engine == TableEngine::InnoDB;
  std::optional<TableStream> stream;
  try {
    stream.emplace(owner, context, tableName);
  } catch (const source::SourceError& error) {
    return EndOfReading(owner, context, tableName, 0, error);
  }
  // An InnoDB table takes the rows in one transaction, which stores them
  // into the empty table without undoing each row; where the write sets are
  // bounded, one transaction per chunk.
  long committed = 0;  // rows of the chunks stored before this one
  target::LocalLoadResult result = target::LocalLoadResult::Loaded;
  long sent = 0;
  bool clean = false;
  for (;;) {
    if (innoDb && !server.Execute("START TRANSACTION")) {
      context.summary.rowsSent -= stream->RowsSent() - committed;
      if (committed > 0) Tell(owner, context, *stream, committed);
      return Ended(context);
    }
    target::LocalLoadCounts counts;
    result = server.LoadFromStream(LoadStatement(quotedTarget), *stream, counts);
    sent = stream->RowsSent();
    clean = result == target::LocalLoadResult::Loaded && counts.warnings == 0 &&
            counts.rows == static_cast<unsigned long long>(sent - committed) && !stream->TooLarge();
    if (clean && innoDb && !server.Execute("COMMIT")) {
      if (context.stoppedDuringWait || server.LastErrorWasConnectionLost() ||
          TableGoneError(server.LastErrorNumber())) {
        context.summary.rowsSent -= sent - committed;
        if (committed > 0) Tell(owner, context, *stream, committed);
        return Ended(context);
      }
      clean = false;  // refused at its end: undone below
    }
    if (!clean || !stream->ChunkFull()) break;
    committed = sent;
    stream->NextChunk();
  }
  if (clean) {
    Tell(owner, context, *stream, sent);
    stream->Kept().Report(owner, context, tableName);
    if (stream->RowsRead() > 0) owner.SetCaption(ProgressCaption(tableName, stream->RowsRead()));
    if (stream->ReadingError()) {
      return EndOfReading(owner, context, tableName, stream->RowsRead(), *stream->ReadingError());
    }
    return CopyOutcome{CopyResult::Finished, "", stream->RowsRead()};
  }
  // The program ends at once: nothing more goes to the server.
  if (stream->BrokenOff()) return CopyOutcome{CopyResult::Stopped, ""};
  if (result == target::LocalLoadResult::NotTaken && committed == 0) {
    // Refused before a row was read.
    const std::string why = server.ErrorText();
    if (innoDb && !server.Execute("ROLLBACK")) return Ended(context);
    TurnOff(owner, context, why);
    return std::nullopt;
  }
  if (result == target::LocalLoadResult::Failed &&
      (context.stoppedDuringWait || server.LastErrorWasConnectionLost() ||
       TableGoneError(server.LastErrorNumber()))) {
    return EndBrokenLoad(owner, context, quotedTarget, *stream, committed);
  }
  // Some row was not stored as sent: the table is emptied and copied again.
  if (!Undo(context, quotedTarget, committed)) {
    if (innoDb) context.summary.rowsSent -= sent - committed;
    return Ended(context);
  }
  context.summary.rowsSent -= sent;
  if (!stream->Started()) return std::nullopt;
  stream.reset();
  try {
    context.recordset.reset();
    context.recordset = context.source.OpenRows(tableName);
  } catch (const source::SourceError& error) {
    return EndOfReading(owner, context, tableName, 0, error);
  }
  return std::nullopt;
}

}  // namespace bracken::engine
