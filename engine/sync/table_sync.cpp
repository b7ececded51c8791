#include "engine/sync/table_sync.h"

#include <algorithm>
#include <future>
#include <memory>
#include <optional>
#include <string_view>

#include "engine/rows/ole_files.h"
#include "engine/rows/oversized_row.h"
#include "engine/rows/row_refusal.h"
#include "engine/rows/target_value.h"
#include "engine/rows/value_literal.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/verify/row_pairing.h"
#include "engine/verify/verify_cell.h"
#include "engine/verify/verify_columns.h"
#include "target/mysql_connection.h"
#include "target/row_stream.h"

namespace bracken::engine {

namespace {

// At most this many changed rows to an UPDATE, as the command line's rows
// to an INSERT.
constexpr std::size_t kUpdateRows = 1000;

// A file row to write on the second reading: inserted, or (with `change`)
// the changed row whose column digests start at change * fields.
struct Wanted {
  uint32_t ordinal;
  int64_t change;  // -1: insert
};

// Whether a cell the server sent for a number may stand in a statement bare.
bool PlainNumber(std::string_view cell) {
  if (cell.empty()) return false;
  return std::all_of(cell.begin(), cell.end(), [](char c) {
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
  });
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  if (bytes.empty()) return "X''";
  std::string text = "0x";
  for (unsigned char c : bytes) {
    text += kDigits[c >> 4];
    text += kDigits[c & 15];
  }
  return text;
}

class TableMend {
 public:
  TableMend(ConversionOwner& owner, ConversionContext& context, const std::string& table,
            target::MySqlConnection& connection, const std::string& database, bool dryRun)
      : owner_(owner),
        context_(context),
        table_(table),
        connection_(connection),
        stream_(connection),
        database_(database),
        dryRun_(dryRun) {
    sync_.table = table;
  }

  TableSync Run();

 private:
  bool Prepare(RowSource& rows);
  void FindMissingIndexes();
  void AddMissingIndexes();
  void ReadFile(RowSource& rows);
  bool PairKeyed();
  bool PairUnkeyed();
  bool Apply();
  bool DeleteExtras();
  bool WriteFromFile();
  bool WriteRow(RowSource& rows, const Wanted& wanted);
  bool Update(uint32_t ordinal, int64_t change);
  bool SendUpdate(uint32_t ordinal, const std::string& statement,
                  const std::vector<std::string_view>& values);
  bool SendUpdates();
  bool Insert(RowSource& rows, uint32_t ordinal);
  bool SendInserts();
  bool SendAlone(uint32_t ordinal, const std::string& statement);
  // Before a statement that writes `rows` rows from `bytes` of text: where
  // the run bounds its write sets (a cluster node), the table's transaction
  // is committed and a new one begun when the statement would take it past
  // the bound. False when that failed.
  bool Room(std::size_t rows, std::size_t bytes);
  bool Failed(const std::string& what);
  bool ServerStopped() const {
    return context_.stoppedDuringWait || context_.executor.LastErrorWasConnectionLost() ||
           TableGoneError(context_.executor.LastErrorNumber());
  }

  std::string ServerKeyLiteral() const;
  std::string Literal(std::size_t field) const;
  std::string Query() const { return pairing_.Query(context_, database_); }
  std::string Column(std::size_t field) const {
    return QuoteIdentifier(FieldTargetName(context_.tablePlan, pairing_.Fields()[field]));
  }

  ConversionOwner& owner_;
  ConversionContext& context_;
  const std::string& table_;
  target::MySqlConnection& connection_;
  target::RowStream stream_;
  const std::string& database_;
  bool dryRun_;
  TableSync sync_;

  std::string quotedTable_;

  // The file's side.
  RowPairing pairing_;
  uint32_t fileRows_ = 0;
  bool fileShort_ = false;  // rows of the file that could not be read
  long serverRows_ = 0;

  // What the pairing found to do.
  std::vector<uint32_t> inserts_;  // file row numbers
  std::vector<uint32_t> changes_;  // file row numbers
  std::vector<Digest> serverColumns_;
  std::vector<std::string> deletes_;  // key literals
  bool replace_ = false;

  // The writing.
  bool transactional_ = false;
  std::size_t budget_ = 0;
  std::size_t rowsPerStatement_ = 0;
  // The rows and bytes written in the open transaction, and whether an
  // earlier part of the table's changes was committed (Room).
  std::size_t pieceRows_ = 0;
  std::size_t pieceBytes_ = 0;
  bool committedPart_ = false;
  std::string insertStart_;
  std::string batch_;
  std::vector<std::pair<uint32_t, std::size_t>> batchRows_;  // number, tuple offset
  std::optional<long long> tableRows_;
  std::vector<std::string> missingIndexes_;  // "ADD INDEX `name` (...)"
  // Changed rows waiting for their UPDATE: the key's literal, the changed
  // columns with their literals, and the row's own statement.
  struct PendingUpdate {
    uint32_t ordinal;
    std::string key;
    std::vector<std::pair<std::size_t, std::string>> sets;
    std::string statement;
  };
  std::vector<PendingUpdate> updates_;
  std::size_t updateBytes_ = 0;
};

// The key of the server's current row as it stands in a statement: "(a,b)"
// for a key of many columns.
std::string TableMend::ServerKeyLiteral() const {
  std::string text;
  for (std::size_t field : pairing_.KeyFields()) {
    const auto column = static_cast<unsigned>(pairing_.Match().position[field]);
    const std::string_view cell = stream_.Cell(column);
    if (!text.empty()) text += ",";
    const CellKind kind = pairing_.Kinds()[field];
    if (stream_.IsNull(column)) {
      text += "NULL";
    } else if (kind == CellKind::Bytes) {
      text += Hex(cell);
    } else if ((kind == CellKind::Integer || kind == CellKind::Decimal || kind == CellKind::Float ||
                kind == CellKind::Double) &&
               PlainNumber(cell)) {
      text += cell;
    } else {
      text += "'" + EscapeText(cell) + "'";
    }
  }
  return pairing_.KeyFields().size() > 1 ? "(" + text + ")" : text;
}

// The literal of the file's current value of `field`, without its comma.
std::string TableMend::Literal(std::size_t field) const {
  std::string text;
  AppendLiteral(text, pairing_.Values()[field]);
  text.pop_back();
  return text;
}

bool TableMend::Prepare(RowSource& rows) {
  pairing_.Plan(rows, context_);
  quotedTable_ = QuoteIdentifier(context_.tablePlan.targetName);
  std::vector<ServerColumn> columns;
  if (!ReadServerColumns(stream_, database_, context_.tablePlan.targetName, columns)) {
    return Failed("its columns cannot be read from MySQL: " + stream_.ErrorText());
  }
  ColumnMatch match = MatchColumns(context_.tablePlan, pairing_.Fields(), columns);
  if (!match.differences.empty() ||
      std::find(match.position.begin(), match.position.end(), -1) != match.position.end()) {
    return Failed("its columns no longer match the file");
  }
  pairing_.SetMatch(std::move(match));
  // Every column matched: a key is one the server can give.
  pairing_.FindKey(context_, table_);
  const auto engine = connection_.QueryRows(
      "SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA='" + EscapeText(database_) +
      "' AND TABLE_NAME='" + EscapeText(context_.tablePlan.targetName) + "'");
  transactional_ =
      engine && !engine->empty() && !engine->front().empty() && engine->front().front() == "InnoDB";
  const auto disabled = connection_.QueryRows(
      "SELECT COUNT(*) FROM information_schema.STATISTICS WHERE COMMENT = 'disabled' AND "
      "TABLE_SCHEMA='" +
      EscapeText(database_) + "' AND TABLE_NAME='" + EscapeText(context_.tablePlan.targetName) +
      "'");
  sync_.indexesDisabled = disabled && !disabled->empty() && !disabled->front().empty() &&
                          disabled->front().front() != "0";
  if (transactional_) FindMissingIndexes();
  return true;
}

// The name of "ADD INDEX `name` (...)", unquoted.
std::string IndexName(const std::string& clause) {
  std::string name;
  std::size_t i = clause.find('`');
  if (i == std::string::npos) return name;
  for (++i; i < clause.size(); ++i) {
    if (clause[i] == '`') {
      if (i + 1 < clause.size() && clause[i + 1] == '`') {
        name += '`';
        ++i;
        continue;
      }
      break;
    }
    name += clause[i];
  }
  return name;
}

// A conversion adds an InnoDB table's plain indexes after its rows; one cut
// short before that leaves the table without them.
void TableMend::FindMissingIndexes() {
  const std::vector<std::string>& planned = context_.keyState.indexesAfterRows;
  if (planned.empty()) return;
  const auto rows = connection_.QueryRows(
      "SELECT DISTINCT INDEX_NAME FROM information_schema.STATISTICS WHERE TABLE_SCHEMA='" +
      EscapeText(database_) + "' AND TABLE_NAME='" + EscapeText(context_.tablePlan.targetName) +
      "'");
  if (!rows) return;
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return text;
  };
  std::vector<std::string> present;
  for (const auto& row : *rows) {
    if (!row.empty()) present.push_back(lower(row.front()));
  }
  for (const std::string& clause : planned) {
    const std::string name = IndexName(clause);
    if (std::find(present.begin(), present.end(), lower(name)) != present.end()) continue;
    missingIndexes_.push_back(clause);
    sync_.indexesAdded.push_back(QuoteIdentifier(name));
  }
}

// The missing plain indexes in one statement; when the server refuses it,
// each alone, and each it refuses named.
void TableMend::AddMissingIndexes() {
  if (missingIndexes_.empty()) return;
  const std::string start = "ALTER TABLE " + quotedTable_ + " ";
  std::string all = start;
  for (std::size_t i = 0; i < missingIndexes_.size(); ++i) {
    all += (i > 0 ? ", " : "") + missingIndexes_[i];
  }
  if (context_.executor.Execute(all)) return;
  for (std::size_t i = 0; i < missingIndexes_.size(); ++i) {
    if (context_.executor.Execute(start + missingIndexes_[i])) continue;
    sync_.problems.push_back("the index " + sync_.indexesAdded[i] +
                             " could not be added: " + context_.executor.ErrorText());
  }
}

// The file's rows, each as its key and digest. A row the file cannot give
// is named; the table then loses no row of MySQL to it.
void TableMend::ReadFile(RowSource& rows) {
  fileRows_ = pairing_.ReadFile(
      rows, context_, table_,
      [this](uint32_t ordinal, const source::SourceError& error) {
        fileShort_ = true;
        sync_.problems.push_back("row " + std::to_string(ordinal) +
                                 " of the file cannot be read (" + error.Description() + ")");
      },
      [this](std::string text) {
        fileShort_ = true;
        sync_.problems.push_back(std::move(text));
      });
}

bool TableMend::PairKeyed() {
  std::string previous;
  bool repeated = false;
  const bool read = pairing_.PairKeyed(
      stream_,
      [&](std::string_view key) {
        ++serverRows_;
        repeated = repeated || (serverRows_ > 1 && key == previous);
        previous.assign(key);
      },
      [&](const KeyEntry& entry) { inserts_.push_back(entry.ordinal); },
      [&](const KeyEntry& entry, bool same) {
        if (same) {
          ++sync_.unchanged;
          return;
        }
        changes_.push_back(entry.ordinal);
        for (std::size_t i = 0; i < pairing_.Fields().size(); ++i) {
          serverColumns_.push_back(pairing_.DigestOf(pairing_.Cell(i)));
        }
      },
      [&] { deletes_.push_back(ServerKeyLiteral()); });
  if (!read) return Failed("reading it from MySQL failed: " + stream_.ErrorText());
  if (repeated) {
    // The server holds a key twice (the file's key is not the copy's):
    // deleting by key would take the paired row too, so the table is
    // replaced whole.
    sync_.reasons.push_back("its key is not unique in MySQL");
    inserts_.clear();
    changes_.clear();
    deletes_.clear();
    serverColumns_.clear();
    for (const KeyEntry& entry : pairing_.KeyedRows()) inserts_.push_back(entry.ordinal);
    replace_ = true;
    sync_.kind = TableSync::Kind::Replaced;
    sync_.changed = 0;
    sync_.unchanged = 0;
    sync_.rows = static_cast<long>(inserts_.size());
    sync_.added = sync_.rows;
    sync_.removed = serverRows_;
    return true;
  }
  sync_.added = static_cast<long>(inserts_.size());
  sync_.changed = static_cast<long>(changes_.size());
  sync_.removed = static_cast<long>(deletes_.size());
  return true;
}

bool TableMend::PairUnkeyed() {
  long differing = 0;
  const bool read = pairing_.PairUnkeyed(
      stream_, [&] { ++serverRows_; }, [&](uint32_t) { ++differing; },
      [&](uint32_t) { ++differing; });
  if (!read) return Failed("reading it from MySQL failed: " + stream_.ErrorText());
  if (differing == 0) {
    sync_.unchanged = static_cast<long>(pairing_.UnkeyedRows().size());
    return true;
  }
  replace_ = true;
  sync_.kind = TableSync::Kind::Replaced;
  sync_.changed = differing;
  sync_.rows = static_cast<long>(pairing_.UnkeyedRows().size());
  sync_.removed = serverRows_;
  for (const RowEntry& entry : pairing_.UnkeyedRows()) inserts_.push_back(entry.ordinal);
  sync_.added = static_cast<long>(inserts_.size());
  return true;
}

bool TableMend::Failed(const std::string& what) {
  sync_.kind = TableSync::Kind::Failed;
  sync_.problems.push_back(what);
  return false;
}

bool TableMend::Room(std::size_t rows, std::size_t bytes) {
  const RowBatching& bound = context_.batching;
  if (!transactional_ || bound.writeSetBytes == 0) return true;
  if (pieceRows_ > 0 && ((bound.writeSetRows != 0 && pieceRows_ + rows > bound.writeSetRows) ||
                         pieceBytes_ + bytes > bound.writeSetBytes)) {
    if (!context_.executor.Execute("COMMIT")) {
      return Failed("its changes could not be committed: " + context_.executor.ErrorText());
    }
    committedPart_ = true;
    pieceRows_ = 0;
    pieceBytes_ = 0;
    if (!context_.executor.Execute("START TRANSACTION")) {
      return Failed("its transaction could not start: " + context_.executor.ErrorText());
    }
  }
  pieceRows_ += rows;
  pieceBytes_ += bytes;
  return true;
}

bool TableMend::DeleteExtras() {
  if (replace_) {
    // Within a bounded write set, the rows go a bounded number at a time;
    // the last DELETE takes what is left.
    if (transactional_ && context_.batching.writeSetBytes != 0) {
      const std::size_t step = std::max<std::size_t>(1, rowsPerStatement_);
      const std::string some = "DELETE FROM " + quotedTable_ + " LIMIT " + std::to_string(step);
      for (long gone = 0; gone < serverRows_; gone += static_cast<long>(step)) {
        if (!Room(step, some.size())) return false;
        if (!context_.executor.Execute(some)) {
          return Failed("its rows could not be replaced: " + context_.executor.ErrorText());
        }
      }
    }
    if (!Room(1, 0) || !context_.executor.Execute("DELETE FROM " + quotedTable_)) {
      return Failed("its rows could not be replaced: " + context_.executor.ErrorText());
    }
    return true;
  }
  std::string start = "DELETE FROM " + quotedTable_ + " WHERE ";
  if (pairing_.KeyFields().size() == 1) {
    start += Column(pairing_.KeyFields().front());
  } else {
    start += "(";
    for (std::size_t k = 0; k < pairing_.KeyFields().size(); ++k) {
      start += (k > 0 ? "," : "") + Column(pairing_.KeyFields()[k]);
    }
    start += ")";
  }
  start += " IN (";
  std::string statement;
  std::size_t keys = 0;
  auto send = [&] {
    if (statement.empty()) return true;
    statement += ")";
    if (!Room(keys, statement.size())) return false;
    if (context_.executor.Execute(statement)) {
      statement.clear();
      keys = 0;
      return true;
    }
    return Failed("rows no longer in the file could not be removed: " +
                  context_.executor.ErrorText());
  };
  for (const std::string& key : deletes_) {
    if (!statement.empty() &&
        (statement.size() + key.size() + 2 > budget_ || keys >= rowsPerStatement_) && !send()) {
      return false;
    }
    statement += statement.empty() ? start : ",";
    statement += key;
    ++keys;
  }
  return send();
}

bool TableMend::SendAlone(uint32_t ordinal, const std::string& statement) {
  if (!Room(1, statement.size())) return false;
  if (context_.executor.Execute(statement)) {
    if (tableRows_) ++*tableRows_;
    return true;
  }
  const RowResult result = AfterRowFailure(owner_, context_, table_, ordinal);
  if (result != RowResult::Refused) {
    return Failed("the server broke off: " + context_.executor.ErrorText());
  }
  ++sync_.refused;
  --sync_.added;
  return true;
}

// The pending rows in one INSERT. When the server refuses it, the rows that
// did not arrive are sent one by one, so that each refusal is reported with
// the server's text for its own row, as the conversion reports it.
bool TableMend::SendInserts() {
  if (batchRows_.empty()) return true;
  if (!Room(batchRows_.size(), batch_.size())) return false;
  context_.summary.rowsSent += static_cast<long>(batchRows_.size());
  const bool sent = context_.executor.Execute(batch_);
  std::size_t arrived = batchRows_.size();
  if (!sent) {
    if (ServerStopped()) return Failed("the server broke off: " + context_.executor.ErrorText());
    // A refused row ends the statement; MyISAM keeps the rows before it.
    arrived = 0;
    if (!transactional_ && tableRows_) {
      const auto now = context_.executor.CountRows(quotedTable_);
      if (now && *now > *tableRows_) arrived = static_cast<std::size_t>(*now - *tableRows_);
    }
  }
  if (tableRows_) *tableRows_ += static_cast<long long>(arrived);
  for (std::size_t i = arrived; i < batchRows_.size(); ++i) {
    const std::size_t end =
        i + 1 < batchRows_.size() ? batchRows_[i + 1].second - 1 : batch_.size();
    const std::string statement =
        insertStart_ + batch_.substr(batchRows_[i].second, end - batchRows_[i].second);
    if (!SendAlone(batchRows_[i].first, statement)) return false;
  }
  batch_.clear();
  batchRows_.clear();
  return true;
}

bool TableMend::Insert(RowSource& rows, uint32_t ordinal) {
  std::string statement = insertStart_ + "(";
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < pairing_.Fields().size(); ++i) {
    starts.push_back(statement.size());
    AppendLiteral(statement, pairing_.Values()[i]);
  }
  starts.push_back(statement.size());
  statement.back() = ')';
  const std::size_t tuple = statement.size() - insertStart_.size();
  if (insertStart_.size() + tuple <= budget_) {
    if (!batch_.empty() &&
        (batch_.size() + tuple + 1 > budget_ || batchRows_.size() >= rowsPerStatement_) &&
        !SendInserts()) {
      return false;
    }
    if (batch_.empty()) {
      batch_ = insertStart_;
    } else {
      batch_ += ",";
    }
    batchRows_.emplace_back(ordinal, batch_.size());
    batch_.append(statement, insertStart_.size());
    return true;
  }
  // Too long for one statement: its long values go apart from it.
  if (!SendInserts() || !Room(1, statement.size())) return false;
  ++context_.summary.rowsSent;
  OversizedRow oversized{
      owner_, context_, rows, pairing_.Fields(), table_, static_cast<long>(ordinal)};
  if (oversized.Send(statement, starts)) {
    if (tableRows_) ++*tableRows_;
    return true;
  }
  if (oversized.refusedHere) {
    ++context_.summary.rowsRefused;
    ++sync_.refused;
    --sync_.added;
    return true;
  }
  const RowResult result = AfterRowFailure(owner_, context_, table_, static_cast<long>(ordinal));
  if (result != RowResult::Refused) {
    return Failed("the server broke off: " + context_.executor.ErrorText());
  }
  ++sync_.refused;
  --sync_.added;
  return true;
}

// Only the columns whose values differ from the server's are set.
bool TableMend::Update(uint32_t ordinal, int64_t change) {
  std::vector<std::size_t> set;
  std::string canonical;
  for (std::size_t i = 0; i < pairing_.Fields().size(); ++i) {
    canonical.clear();
    AppendCanonical(canonical, pairing_.Values()[i]);
    if (pairing_.DigestOf(canonical) !=
        serverColumns_[static_cast<std::size_t>(change) * pairing_.Fields().size() + i]) {
      set.push_back(i);
    }
  }
  if (set.empty()) return true;
  std::string where;
  for (std::size_t k = 0; k < pairing_.KeyFields().size(); ++k) {
    where += (k == 0 ? " WHERE " : " AND ") + Column(pairing_.KeyFields()[k]) + "=" +
             Literal(pairing_.KeyFields()[k]);
  }
  // Long texts and bytes go apart from the statement when it would be too
  // long for the server otherwise, the longest first, as a row's INSERT does.
  std::vector<std::string> literals;
  literals.reserve(set.size());
  for (std::size_t i : set) literals.push_back(Literal(i));
  std::vector<bool> apart(set.size(), false);
  auto statementText = [&] {
    std::string text = "UPDATE " + quotedTable_ + " SET ";
    for (std::size_t j = 0; j < set.size(); ++j) {
      text += (j > 0 ? "," : "") + Column(set[j]) + "=" + (apart[j] ? "?" : literals[j]);
    }
    return text + where;
  };
  const std::size_t limit = MaxRowStatementBytes(context_.executor);
  std::string statement = statementText();
  std::vector<std::size_t> order(set.size());
  for (std::size_t j = 0; j < order.size(); ++j) order[j] = j;
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return literals[a].size() > literals[b].size(); });
  std::vector<std::string_view> values;
  for (std::size_t j : order) {
    if (statement.size() <= limit) break;
    // What goes apart is bound as bytes, so a NULL would arrive as empty.
    if (!pairing_.Fields()[set[j]].longValue || pairing_.Values()[set[j]].form == LiteralForm::Null)
      continue;
    apart[j] = true;
    statement = statementText();
  }
  const std::size_t packet = context_.executor.Traits().maxAllowedPacket;
  bool fits = statement.size() <= limit;
  for (std::size_t j = 0; j < set.size(); ++j) {
    if (!apart[j]) continue;
    fits = fits && pairing_.Values()[set[j]].text.size() <= packet;
    values.emplace_back(pairing_.Values()[set[j]].text);
  }
  if (!fits) {
    ++context_.summary.rowsRefused;
    ++sync_.refused;
    --sync_.changed;
    const std::string why = "Table " + Bracketed(table_) + ", row " + std::to_string(ordinal) +
                            ": its changed values are larger than the server's max_allowed_packet "
                            "of " +
                            std::to_string(packet) + " bytes; the row was not updated.";
    Report(owner_, context_.summary, why);
    owner_.ShowRowRefusal(why, "Message", {});
    return true;
  }
  if (values.empty() && statement.size() <= budget_ / 4) {
    // Many rows to an UPDATE, as many to an INSERT.
    PendingUpdate pending{ordinal, "", {}, statement};
    for (std::size_t k = 0; k < pairing_.KeyFields().size(); ++k) {
      pending.key += (k > 0 ? "," : "") + Literal(pairing_.KeyFields()[k]);
    }
    if (pairing_.KeyFields().size() > 1) pending.key = "(" + pending.key + ")";
    for (std::size_t j = 0; j < set.size(); ++j) pending.sets.emplace_back(set[j], literals[j]);
    const std::size_t bytes = statement.size() + pending.key.size() * 2;
    if (!updates_.empty() &&
        (updateBytes_ + bytes > budget_ ||
         updates_.size() >= std::min(kUpdateRows, rowsPerStatement_)) &&
        !SendUpdates()) {
      return false;
    }
    updateBytes_ += bytes;
    updates_.push_back(std::move(pending));
    return true;
  }
  return SendUpdate(ordinal, statement, values);
}

// One row's UPDATE; a row the server refuses is reported as the
// conversion reports it.
bool TableMend::SendUpdate(uint32_t ordinal, const std::string& statement,
                           const std::vector<std::string_view>& values) {
  std::size_t bytes = statement.size();
  for (const std::string_view value : values) bytes += value.size();
  if (!Room(1, bytes)) return false;
  const bool sent = values.empty() ? context_.executor.Execute(statement)
                                   : context_.executor.ExecuteWithLongValues(statement, values);
  if (sent) return true;
  const RowResult result = AfterRowFailure(owner_, context_, table_, static_cast<long>(ordinal));
  if (result != RowResult::Refused) {
    return Failed("the server broke off: " + context_.executor.ErrorText());
  }
  ++sync_.refused;
  --sync_.changed;
  return true;
}

// The pending updates in one statement: each column takes a CASE over the
// keys of the rows that change it ("`c`=CASE `Id` WHEN 5 THEN 'x' ... ELSE
// `c` END"), so every row still gets only its own changed columns. When the
// server refuses it, each row's own UPDATE is sent alone (setting a value
// again changes nothing), so that each refusal is reported for its row.
bool TableMend::SendUpdates() {
  if (updates_.empty()) return true;
  std::vector<PendingUpdate> pending = std::move(updates_);
  updates_.clear();
  updateBytes_ = 0;
  if (pending.size() == 1) return SendUpdate(pending[0].ordinal, pending[0].statement, {});
  const bool single = pairing_.KeyFields().size() == 1;
  std::string key;
  for (std::size_t k = 0; k < pairing_.KeyFields().size(); ++k)
    key += (k > 0 ? "," : "") + Column(pairing_.KeyFields()[k]);
  if (!single) key = "(" + key + ")";
  std::string statement = "UPDATE " + quotedTable_ + " SET ";
  bool first = true;
  for (std::size_t field = 0; field < pairing_.Fields().size(); ++field) {
    std::string cases;
    for (const PendingUpdate& update : pending) {
      for (const auto& [changed, literal] : update.sets) {
        if (changed != field) continue;
        cases += single ? " WHEN " + update.key : " WHEN " + key + "=" + update.key;
        cases += " THEN " + literal;
      }
    }
    if (cases.empty()) continue;
    const std::string column = Column(field);
    statement.append(first ? "" : ",").append(column).append("=CASE");
    if (single) statement.append(" ").append(key);
    statement.append(cases).append(" ELSE ").append(column).append(" END");
    first = false;
  }
  statement += " WHERE " + key + " IN (";
  for (std::size_t i = 0; i < pending.size(); ++i) statement += (i > 0 ? "," : "") + pending[i].key;
  statement += ")";
  if (!Room(pending.size(), statement.size())) return false;
  if (context_.executor.Execute(statement)) return true;
  if (ServerStopped()) return Failed("the server broke off: " + context_.executor.ErrorText());
  for (const PendingUpdate& update : pending) {
    if (!SendUpdate(update.ordinal, update.statement, {})) return false;
  }
  return true;
}

bool TableMend::WriteRow(RowSource& rows, const Wanted& wanted) {
  try {
    pairing_.FileRow(rows);
  } catch (const source::SourceError& error) {
    sync_.problems.push_back("row " + std::to_string(wanted.ordinal) +
                             " of the file cannot be read (" + error.Description() + ")");
    return true;
  }
  return wanted.change < 0 ? Insert(rows, wanted.ordinal) : Update(wanted.ordinal, wanted.change);
}

// The second reading of the file: the rows to insert and to update, in the
// file's order.
bool TableMend::WriteFromFile() {
  std::vector<Wanted> wanted;
  wanted.reserve(inserts_.size() + changes_.size());
  for (uint32_t ordinal : inserts_) wanted.push_back({ordinal, -1});
  for (std::size_t i = 0; i < changes_.size(); ++i) {
    wanted.push_back({changes_[i], static_cast<int64_t>(i)});
  }
  std::sort(wanted.begin(), wanted.end(),
            [](const Wanted& a, const Wanted& b) { return a.ordinal < b.ordinal; });
  if (wanted.empty()) return true;
  insertStart_ = "INSERT INTO " + quotedTable_ + " (";
  for (std::size_t i = 0; i < pairing_.Fields().size(); ++i)
    insertStart_ += (i > 0 ? "," : "") + Column(i);
  insertStart_ += ") VALUES";
  if (!transactional_ && !inserts_.empty()) tableRows_ = context_.executor.CountRows(quotedTable_);
  std::size_t next = 0;
  try {
    std::unique_ptr<RowSource> rows = context_.source.OpenRows(table_);
    uint32_t ordinal = 0;
    for (; !rows->Eof() && next < wanted.size(); rows->MoveNext()) {
      ++ordinal;
      if (wanted[next].ordinal != ordinal) continue;
      if (!WriteRow(*rows, wanted[next++])) return false;
    }
  } catch (const source::SourceError& error) {
    sync_.problems.push_back("the file could not be read a second time (" + error.Description() +
                             ")");
  }
  if (next < wanted.size()) {
    sync_.problems.push_back(std::to_string(wanted.size() - next) +
                             " rows of the file could not be read again");
  }
  return SendInserts() && SendUpdates();
}

bool TableMend::Apply() {
  budget_ = std::min<std::size_t>(context_.batching.BytesPerStatement(),
                                  MaxRowStatementBytes(context_.executor));
  rowsPerStatement_ = std::max<std::size_t>(1, context_.batching.RowsPerStatement());
  if (transactional_ && !context_.executor.Execute("START TRANSACTION")) {
    return Failed("its transaction could not start: " + context_.executor.ErrorText());
  }
  bool done = DeleteExtras() && WriteFromFile();
  if (transactional_) {
    if (done && !context_.executor.Execute("COMMIT")) {
      done = Failed("its changes could not be committed: " + context_.executor.ErrorText());
    }
    if (!done) {
      context_.executor.Execute("ROLLBACK");
      sync_.problems.push_back(committedPart_
                                   ? "the table is partly brought in line"
                                   : "its changes were rolled back; the table is as it was");
    }
  } else if (!done) {
    sync_.problems.push_back("the table is partly brought in line");
  }
  return done;
}

TableSync TableMend::Run() {
  std::unique_ptr<RowSource> rows;
  try {
    rows = context_.source.OpenRows(table_);
    if (!Prepare(*rows)) return sync_;
  } catch (const source::SourceError& error) {
    Failed("the table cannot be read from the file (" + error.Description() + ")");
    return sync_;
  }
  // The file is read while the server sorts its rows by the key (it answers
  // only once sorted): the two machines' work overlaps. Nothing else uses
  // the file or the summary meanwhile.
  std::future<void> reading = std::async(std::launch::async, [&] { ReadFile(*rows); });
  const bool started = stream_.Start(Query());
  reading.get();
  rows.reset();
  if (!started) {
    Failed("reading it from MySQL failed: " + stream_.ErrorText());
    stream_.Finish();
    return sync_;
  }
  const bool paired = pairing_.KeyFields().empty() ? PairUnkeyed() : PairKeyed();
  stream_.Finish();
  if (!paired) return sync_;
  if (fileShort_ && (replace_ || !deletes_.empty())) {
    // A row the file cannot give is no reason to delete it from MySQL.
    sync_.problems.push_back(replace_ ? "the table was not replaced while the file lacks rows"
                                      : "rows in MySQL only were kept while the file lacks rows");
    deletes_.clear();
    sync_.removed = 0;
    if (replace_) {
      replace_ = false;
      inserts_.clear();
      sync_.kind = TableSync::Kind::Kept;
      sync_.added = 0;
      sync_.changed = 0;
    }
  }
  if (dryRun_) return sync_;
  if (!inserts_.empty() || !changes_.empty() || !deletes_.empty() || replace_) Apply();
  if (sync_.kind != TableSync::Kind::Failed) AddMissingIndexes();
  if (sync_.indexesDisabled && sync_.kind != TableSync::Kind::Failed &&
      !context_.executor.Execute("ALTER TABLE " + quotedTable_ + " ENABLE KEYS")) {
    sync_.problems.push_back("its indexes could not be enabled again: " +
                             context_.executor.ErrorText());
  }
  return sync_;
}

std::string Rows(long count) { return std::to_string(count) + (count == 1 ? " row" : " rows"); }

}  // namespace

bool ReadTableShape(ConversionContext& context, const std::string& table,
                    target::MySqlConnection& connection, const std::string& database,
                    TableShape& shape, std::string& problem) {
  std::vector<FieldPlan> fields;
  try {
    std::unique_ptr<RowSource> rows = context.source.OpenRows(table);
    fields = PlanFields(*rows, context);
  } catch (const source::SourceError& error) {
    problem = "the table cannot be read from the file (" + error.Description() + ")";
    return false;
  }
  target::RowStream stream(connection);
  std::vector<ServerColumn> columns;
  std::string rowKey;
  if (!ReadServerColumns(stream, database, context.tablePlan.targetName, columns, &rowKey)) {
    problem = "its columns cannot be read from MySQL: " + stream.ErrorText();
    return false;
  }
  shape = TableShape{};
  shape.rowKey = std::move(rowKey);
  if (columns.empty()) {
    shape.missing = true;
    return true;
  }
  ColumnMatch match = MatchColumns(context.tablePlan, fields, columns);
  const auto matched = static_cast<std::size_t>(
      std::count_if(match.position.begin(), match.position.end(), [](int p) { return p >= 0; }));
  shape.columns = fields.size() + (columns.size() - std::min(matched, columns.size()));
  shape.differences = std::move(match.differences);
  return true;
}

TableSync SyncTableRows(ConversionOwner& owner, ConversionContext& context,
                        const std::string& table, target::MySqlConnection& connection,
                        const std::string& database, bool dryRun) {
  return TableMend(owner, context, table, connection, database, dryRun).Run();
}

std::vector<std::string> TableSyncLines(const TableSync& sync, bool dryRun) {
  std::string line = sync.table + ": ";
  switch (sync.kind) {
    case TableSync::Kind::Kept:
      line += dryRun ? std::to_string(sync.added) + " to add, " + std::to_string(sync.changed) +
                           " to change, " + std::to_string(sync.removed) + " to remove, "
                     : std::to_string(sync.added) + " added, " + std::to_string(sync.changed) +
                           " changed, " + std::to_string(sync.removed) + " removed, ";
      line += std::to_string(sync.unchanged) + " unchanged";
      break;
    case TableSync::Kind::Replaced:
      line += std::string(dryRun ? "to be replaced, " : "replaced, ") + Rows(sync.rows) +
              (sync.reasons.empty() ? " (no key; " + Rows(sync.changed) + " differed)" : "");
      break;
    case TableSync::Kind::Created:
      line += std::string(dryRun ? "to be created, " : "created, ") + Rows(sync.rows);
      break;
    case TableSync::Kind::Rebuilt:
      line += std::string(dryRun ? "to be rebuilt, " : "rebuilt, ") + Rows(sync.rows) +
              ": its columns no longer match the file";
      break;
    case TableSync::Kind::Failed:
      line += "not brought in line";
      break;
  }
  if (sync.refused > 0) line += ", " + std::to_string(sync.refused) + " refused";
  if (sync.indexesDisabled) {
    line += dryRun ? "; its disabled indexes to be enabled" : "; its disabled indexes enabled";
  }
  std::vector<std::string> lines = {line};
  for (const std::string& reason : sync.reasons) lines.push_back("  " + reason);
  for (const std::string& index : sync.indexesAdded) {
    lines.push_back("  the index " + index + (dryRun ? " to be added" : " added"));
  }
  for (const std::string& change : sync.schema) {
    lines.push_back(std::string(dryRun ? "  to bring in line: " : "  brought in line: ") + change);
  }
  for (const std::string& problem : sync.problems) lines.push_back("  " + problem);
  return lines;
}

}  // namespace bracken::engine
