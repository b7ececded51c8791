#include "engine/verify/table_verify.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "engine/rows/target_value.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/verify/row_digest.h"
#include "engine/verify/verify_cell.h"
#include "engine/verify/verify_columns.h"
#include "target/mysql_connection.h"
#include "target/row_stream.h"

namespace bracken::engine {

namespace {

// One Access row of a table with a key: where its canonical key stands in
// the key arena, its number in the file and its digest. 32 bytes.
struct KeyEntry {
  uint64_t offset;
  uint32_t length;
  uint32_t ordinal;
  Digest digest;
};

// One row of a table without a key, from either side. 20 bytes.
struct RowEntry {
  Digest digest;
  uint32_t ordinal;
};

bool DigestBefore(const RowEntry& a, const RowEntry& b) {
  return a.digest != b.digest ? a.digest < b.digest : a.ordinal < b.ordinal;
}

// A difference as the comparison finds it; rows are described once the
// second reading has found their values.
struct Pending {
  enum class Kind { Note, Missing, Extra, Changed } kind = Kind::Note;
  uint32_t accessOrdinal = 0;
  uint64_t serverOrdinal = 0;
  std::vector<std::string> serverCanonical;  // per field; Changed only
  std::vector<std::string> serverShown;      // per field; Changed and keyed Extra
  std::string text;
  std::vector<std::string> serverTexts;  // per field, texts and bytes whole; Changed only
  std::vector<bool> serverNull;          // per field; Changed only
};

constexpr std::size_t kValueLimit = 40;
constexpr std::size_t kRowLimit = 160;

class TableCheck {
 public:
  TableCheck(ConversionContext& context, const std::string& table,
             target::MySqlConnection& connection, const std::string& database)
      : context_(context), table_(table), stream_(connection), database_(database) {
    verdict_.table = table;
  }

  TableVerdict Run();

 private:
  bool Prepare(RowSource& rows);
  void ReadAccess(RowSource& rows);
  void NoteMissingRows(RowSource& rows, long found);
  void CompareKeyed();
  void CompareUnkeyed();
  void DescribeFromAccess();
  void DescribeExtrasFromServer();

  void AccessRow(RowSource& rows);
  void ServerRow();
  std::string_view CellAt(std::size_t field) const {
    return std::string_view(row_).substr(starts_[field], starts_[field + 1] - starts_[field]);
  }
  void AppendKey(std::string& out) const {
    for (std::size_t field : keyFields_) out.append(CellAt(field));
  }
  std::string Query() const;
  bool Room() const { return pending_.size() < kShownDifferences; }
  void Note(std::string text);
  void Missing(uint32_t ordinal);
  void Extra(uint64_t ordinal, bool keyed);
  void Changed(uint32_t ordinal, uint64_t serverOrdinal);
  void ServerFailed();
  std::string KeyText(const std::vector<std::string>& shown) const;
  std::string RowText(const std::vector<std::string>& shown) const;
  std::vector<std::string> AccessShown() const;
  std::vector<std::string> ServerShown() const;
  void Describe(Pending& pending, uint32_t ordinal);

  ConversionContext& context_;
  const std::string& table_;
  target::RowStream stream_;
  const std::string& database_;
  TableVerdict verdict_;

  std::vector<FieldPlan> fields_;
  std::vector<CellKind> kinds_;
  ColumnMatch match_;
  std::vector<std::size_t> keyFields_;  // in key order; empty: no key
  std::vector<TargetValue> values_;     // the current Access row
  std::string row_;                     // its canonical cells
  std::vector<std::size_t> starts_;
  std::string key_;
  RowDigester digester_;

  std::string arena_;  // the canonical keys of the Access rows
  std::vector<KeyEntry> keyed_;
  std::vector<RowEntry> unkeyed_;
  std::vector<Pending> pending_;
};

void TableCheck::Note(std::string text) {
  ++verdict_.differences;
  if (Room()) pending_.push_back({Pending::Kind::Note, 0, 0, {}, {}, std::move(text), {}, {}});
}

void TableCheck::Missing(uint32_t ordinal) {
  ++verdict_.differences;
  if (Room()) pending_.push_back({Pending::Kind::Missing, ordinal, 0, {}, {}, {}, {}, {}});
}

void TableCheck::Extra(uint64_t ordinal, bool keyed) {
  ++verdict_.differences;
  if (!Room()) return;
  Pending pending{Pending::Kind::Extra, 0, ordinal, {}, {}, {}, {}, {}};
  if (keyed) pending.text = "row " + KeyText(ServerShown()) + " is in MySQL only";
  pending_.push_back(std::move(pending));
}

void TableCheck::Changed(uint32_t ordinal, uint64_t serverOrdinal) {
  ++verdict_.differences;
  if (!Room()) return;
  Pending pending{Pending::Kind::Changed, ordinal, serverOrdinal, {}, ServerShown(), {}, {}, {}};
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    pending.serverCanonical.emplace_back(CellAt(i));
    const int p = match_.position[i];
    const bool whole = p >= 0 && (kinds_[i] == CellKind::Text || kinds_[i] == CellKind::Bytes);
    const bool isNull = p >= 0 && stream_.IsNull(static_cast<unsigned>(p));
    pending.serverNull.push_back(isNull);
    pending.serverTexts.emplace_back(whole && !isNull ? stream_.Cell(static_cast<unsigned>(p))
                                                      : std::string_view());
  }
  pending_.push_back(std::move(pending));
}

void TableCheck::ServerFailed() {
  verdict_.failed = true;
  Note("reading the table from MySQL failed: " + stream_.ErrorText());
}

std::string TableCheck::KeyText(const std::vector<std::string>& shown) const {
  std::string text;
  for (std::size_t field : keyFields_) {
    if (!text.empty()) text += ", ";
    text += fields_[field].name + "=" + shown[field];
  }
  return text;
}

std::string TableCheck::RowText(const std::vector<std::string>& shown) const {
  std::string text;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (match_.position[i] < 0) continue;
    if (!text.empty()) text += ", ";
    text += shown[i];
    if (text.size() > kRowLimit) return text + ", ...";
  }
  return text;
}

std::vector<std::string> TableCheck::AccessShown() const {
  std::vector<std::string> shown;
  for (const TargetValue& value : values_) shown.push_back(DisplayValue(value, kValueLimit));
  return shown;
}

std::vector<std::string> TableCheck::ServerShown() const {
  std::vector<std::string> shown;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const int p = match_.position[i];
    shown.push_back(p < 0 ? std::string()
                          : DisplayCell(kinds_[i], stream_.IsNull(static_cast<unsigned>(p)),
                                        stream_.Cell(static_cast<unsigned>(p)), kValueLimit));
  }
  return shown;
}

void TableCheck::AccessRow(RowSource& rows) {
  row_.clear();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    ExpectedValue(rows, static_cast<long>(i), fields_[i], values_[i]);
    // The file's Date/Time Extended text compares as the date it is.
    if (kinds_[i] == CellKind::FineDateTime && values_[i].kind == CellKind::Text) {
      values_[i].kind = CellKind::FineDateTime;
    }
    starts_[i] = row_.size();
    if (match_.position[i] >= 0) AppendCanonical(row_, values_[i]);
  }
  starts_[fields_.size()] = row_.size();
}

void TableCheck::ServerRow() {
  row_.clear();
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    starts_[i] = row_.size();
    const int p = match_.position[i];
    if (p < 0) continue;
    const auto column = static_cast<unsigned>(p);
    AppendCanonical(row_, kinds_[i], stream_.IsNull(column), stream_.Cell(column));
  }
  starts_[fields_.size()] = row_.size();
}

std::string TableCheck::Query() const {
  std::string query = "SELECT " + (match_.selectList.empty() ? "0" : match_.selectList) + " FROM " +
                      QuoteIdentifier(database_) + "." +
                      QuoteIdentifier(context_.tablePlan.targetName);
  for (std::size_t k = 0; k < keyFields_.size(); ++k) {
    const std::size_t field = keyFields_[k];
    const ColumnPlan* planned = context_.tablePlan.Find(fields_[field].name);
    query += k == 0 ? " ORDER BY " : ",";
    query += OrderExpression(
        QuoteIdentifier(planned != nullptr ? planned->targetName : fields_[field].name),
        kinds_[field]);
  }
  return query;
}

// The fields, the server's columns and the key the rows pair by. False when
// there is nothing more to compare.
bool TableCheck::Prepare(RowSource& rows) {
  fields_ = PlanFields(rows, context_);
  for (const FieldPlan& field : fields_) kinds_.push_back(KindOf(field));
  values_.resize(fields_.size());
  starts_.resize(fields_.size() + 1);
  std::vector<ServerColumn> columns;
  if (!ReadServerColumns(stream_, database_, context_.tablePlan.targetName, columns)) {
    ServerFailed();
    return false;
  }
  if (columns.empty()) {
    verdict_.missing = true;
    ++verdict_.differences;
    return false;
  }
  match_ = MatchColumns(context_.tablePlan, fields_, columns);
  for (std::string& difference : match_.differences) Note(std::move(difference));
  const long indexes = context_.source.IndexCount(table_);
  for (long i = 0; i < indexes; ++i) {
    IndexDescription index = context_.source.Index(table_, i);
    if (!index.primaryKey) continue;
    for (const std::string& name : index.columns) {
      auto found = std::find_if(fields_.begin(), fields_.end(),
                                [&](const FieldPlan& field) { return field.name == name; });
      const auto at = static_cast<std::size_t>(found - fields_.begin());
      if (found == fields_.end() || match_.position[at] < 0) {
        keyFields_.clear();  // a key the server cannot give: compare whole rows
        break;
      }
      keyFields_.push_back(at);
    }
    break;
  }
  return true;
}

// What the reading left out of the file, so that a table read short is
// never called identical: the pages its rows lost and the rows found short
// of the table's own count (more rows than counted lose nothing).
void TableCheck::NoteMissingRows(RowSource& rows, long found) {
  for (const std::string& note : rows.Damage()) Note(note);
  long stored = -1;
  try {
    stored = context_.source.StoredRowCount(table_);
  } catch (const source::SourceError&) {
    // No count to hold the rows against.
  }
  if (found < stored) Note(RowCountNote(found, stored));
}

void TableCheck::ReadAccess(RowSource& rows) {
  uint32_t ordinal = 0;
  try {
    for (; !rows.Eof(); rows.MoveNext()) {
      ++ordinal;
      try {
        AccessRow(rows);
      } catch (const source::SourceError& error) {
        Note("row " + std::to_string(ordinal) + " of the file cannot be read (" +
             error.Description() + "), so it cannot be in MySQL");
        continue;
      }
      ++verdict_.accessRows;
      const Digest digest = digester_.Of(row_);
      if (keyFields_.empty()) {
        unkeyed_.push_back({digest, ordinal});
        continue;
      }
      const uint64_t offset = arena_.size();
      AppendKey(arena_);
      keyed_.push_back({offset, static_cast<uint32_t>(arena_.size() - offset), ordinal, digest});
    }
  } catch (const source::SourceError& error) {
    Note("reading the file stopped after row " + std::to_string(ordinal > 0 ? ordinal - 1 : 0) +
         " (" + error.Description() + ")");
  }
  NoteMissingRows(rows, ordinal);
}

void TableCheck::CompareKeyed() {
  auto keyOf = [this](const KeyEntry& entry) {
    return std::string_view(arena_).substr(entry.offset, entry.length);
  };
  std::sort(keyed_.begin(), keyed_.end(), [&](const KeyEntry& a, const KeyEntry& b) {
    const int order = keyOf(a).compare(keyOf(b));
    return order != 0 ? order < 0 : a.ordinal < b.ordinal;
  });
  if (!stream_.Start(Query())) return ServerFailed();
  std::size_t a = 0;
  uint64_t serverOrdinal = 0;
  while (stream_.Next()) {
    ++serverOrdinal;
    ++verdict_.mysqlRows;
    ServerRow();
    key_.clear();
    AppendKey(key_);
    while (a < keyed_.size() && keyOf(keyed_[a]).compare(key_) < 0) Missing(keyed_[a++].ordinal);
    if (a < keyed_.size() && keyOf(keyed_[a]) == key_) {
      if (digester_.Of(row_) != keyed_[a].digest) Changed(keyed_[a].ordinal, serverOrdinal);
      ++a;
    } else {
      Extra(serverOrdinal, true);
    }
  }
  if (stream_.Failed()) return ServerFailed();
  while (a < keyed_.size()) Missing(keyed_[a++].ordinal);
}

void TableCheck::CompareUnkeyed() {
  if (!stream_.Start(Query())) return ServerFailed();
  std::vector<RowEntry> server;
  uint32_t serverOrdinal = 0;
  while (stream_.Next()) {
    ++verdict_.mysqlRows;
    ServerRow();
    server.push_back({digester_.Of(row_), ++serverOrdinal});
  }
  if (stream_.Failed()) return ServerFailed();
  std::sort(unkeyed_.begin(), unkeyed_.end(), DigestBefore);
  std::sort(server.begin(), server.end(), DigestBefore);
  std::size_t a = 0, s = 0;
  while (a < unkeyed_.size() || s < server.size()) {
    if (s == server.size() || (a < unkeyed_.size() && unkeyed_[a].digest < server[s].digest)) {
      Missing(unkeyed_[a++].ordinal);
    } else if (a == unkeyed_.size() || server[s].digest < unkeyed_[a].digest) {
      Extra(server[s++].ordinal, false);
    } else {
      ++a;
      ++s;
    }
  }
}

void TableCheck::Describe(Pending& pending, uint32_t ordinal) {
  const bool keyed = !keyFields_.empty();
  const std::vector<std::string> shown = AccessShown();
  const std::string where =
      keyed ? "row " + KeyText(shown) : "row " + std::to_string(ordinal) + " of the file";
  if (pending.kind == Pending::Kind::Missing) {
    pending.text = where + " is missing in MySQL";
    if (!keyed) pending.text += ": " + RowText(shown);
    return;
  }
  pending.text = where + ":";
  std::string canonical;
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (match_.position[i] < 0) continue;
    canonical.clear();
    AppendCanonical(canonical, values_[i]);
    if (canonical == pending.serverCanonical[i]) continue;
    if (pending.text.back() != ':') pending.text += ";";
    pending.text += " column " + Bracketed(fields_[i].name) + " ";
    const std::string where = FirstDifference(values_[i], kinds_[i], pending.serverNull[i],
                                              pending.serverTexts[i], kValueLimit);
    pending.text += where.empty()
                        ? "is " + shown[i] + " in the file, " + pending.serverShown[i] + " in MySQL"
                        : where;
  }
}

// A second reading of the Access table for the rows the report describes.
void TableCheck::DescribeFromAccess() {
  uint32_t last = 0;
  for (const Pending& pending : pending_) last = std::max(last, pending.accessOrdinal);
  if (last == 0) return;
  try {
    std::unique_ptr<RowSource> rows = context_.source.OpenRows(table_);
    uint32_t ordinal = 0;
    for (; !rows->Eof() && ordinal < last; rows->MoveNext()) {
      ++ordinal;
      bool wanted = false;
      for (const Pending& pending : pending_) wanted |= pending.accessOrdinal == ordinal;
      if (!wanted) continue;
      AccessRow(*rows);
      for (Pending& pending : pending_) {
        if (pending.accessOrdinal == ordinal && pending.text.empty()) Describe(pending, ordinal);
      }
    }
  } catch (const source::SourceError&) {
    // The rows not described keep a plain description below.
  }
  for (Pending& pending : pending_) {
    if (pending.text.empty() && pending.accessOrdinal != 0) {
      pending.text = "row " + std::to_string(pending.accessOrdinal) + " of the file differs";
    }
  }
}

// A second reading from the server for rows in MySQL only of a table
// without a key: the rows come in the same order when nothing changed.
void TableCheck::DescribeExtrasFromServer() {
  uint64_t last = 0;
  for (const Pending& pending : pending_) {
    if (pending.kind == Pending::Kind::Extra && pending.text.empty()) {
      last = std::max(last, pending.serverOrdinal);
    }
  }
  if (last == 0 || !stream_.Start(Query())) return;
  for (uint64_t ordinal = 1; ordinal <= last && stream_.Next(); ++ordinal) {
    for (Pending& pending : pending_) {
      if (pending.kind == Pending::Kind::Extra && pending.serverOrdinal == ordinal &&
          pending.text.empty()) {
        pending.text = "a row in MySQL only: " + RowText(ServerShown());
      }
    }
  }
  stream_.Finish();
  for (Pending& pending : pending_) {
    if (pending.text.empty()) pending.text = "a row in MySQL only";
  }
}

TableVerdict TableCheck::Run() {
  std::unique_ptr<RowSource> rows;
  try {
    // What of the table's definition cannot be read is not in MySQL either.
    for (const std::string& note : context_.source.TableDamage(table_)) Note(note);
    rows = context_.source.OpenRows(table_);
    if (!Prepare(*rows)) return verdict_;
  } catch (const source::SourceError& error) {
    Note("the table cannot be read from the file (" + error.Description() + ")");
    return verdict_;
  }
  ReadAccess(*rows);
  rows.reset();
  if (keyFields_.empty()) {
    CompareUnkeyed();
  } else {
    CompareKeyed();
  }
  stream_.Finish();
  DescribeFromAccess();
  DescribeExtrasFromServer();
  for (Pending& pending : pending_) verdict_.shown.push_back(std::move(pending.text));
  return verdict_;
}

std::string Counted(long count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

TableVerdict VerifyTable(ConversionContext& context, const std::string& table,
                         target::MySqlConnection& connection, const std::string& database) {
  return TableCheck(context, table, connection, database).Run();
}

std::vector<std::string> VerdictLines(const TableVerdict& verdict) {
  if (verdict.missing) return {verdict.table + ": missing in MySQL"};
  if (verdict.Identical()) {
    return {verdict.table + ": " + Counted(verdict.accessRows, "row", "rows") + " identical"};
  }
  std::vector<std::string> lines = {
      verdict.table + ": " + Counted(verdict.differences, "difference", "differences") + " (" +
      Counted(verdict.accessRows, "row", "rows") + " in the file, " +
      std::to_string(verdict.mysqlRows) + " in MySQL)"};
  for (const std::string& line : verdict.shown) lines.push_back("  " + line);
  const long more = verdict.differences - static_cast<long>(verdict.shown.size());
  if (more > 0) lines.push_back("  ... and " + std::to_string(more) + " more");
  return lines;
}

}  // namespace bracken::engine
