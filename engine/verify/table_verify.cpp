#include "engine/verify/table_verify.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>

#include "engine/rows/target_value.h"
#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/verify/row_pairing.h"
#include "engine/verify/verify_cell.h"
#include "engine/verify/verify_columns.h"
#include "target/mysql_connection.h"
#include "target/row_stream.h"

namespace bracken::engine {

namespace {

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
  void CompareKeyed();
  void CompareUnkeyed();
  void DescribeFromAccess();
  void DescribeExtrasFromServer();

  std::string Query() const { return pairing_.Query(context_, database_); }
  bool Room() const { return pending_.size() < kShownDifferences; }
  // The verdict, with the texts of the differences noted so far, also when
  // the check ends early (the table unreadable in the file or in MySQL).
  TableVerdict Shown();
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

  RowPairing pairing_;
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
  for (std::size_t i = 0; i < pairing_.Fields().size(); ++i) {
    pending.serverCanonical.emplace_back(pairing_.Cell(i));
    const int p = pairing_.Match().position[i];
    const bool whole =
        p >= 0 && (pairing_.Kinds()[i] == CellKind::Text || pairing_.Kinds()[i] == CellKind::Bytes);
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
  for (std::size_t field : pairing_.KeyFields()) {
    if (!text.empty()) text += ", ";
    text += pairing_.Fields()[field].name + "=" + shown[field];
  }
  return text;
}

std::string TableCheck::RowText(const std::vector<std::string>& shown) const {
  std::string text;
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (pairing_.Match().position[i] < 0) continue;
    if (!text.empty()) text += ", ";
    text += shown[i];
    if (text.size() > kRowLimit) return text + ", ...";
  }
  return text;
}

std::vector<std::string> TableCheck::AccessShown() const {
  std::vector<std::string> shown;
  for (const TargetValue& value : pairing_.Values()) {
    shown.push_back(DisplayValue(value, kValueLimit));
  }
  return shown;
}

std::vector<std::string> TableCheck::ServerShown() const {
  std::vector<std::string> shown;
  for (std::size_t i = 0; i < pairing_.Fields().size(); ++i) {
    const int p = pairing_.Match().position[i];
    shown.push_back(p < 0
                        ? std::string()
                        : DisplayCell(pairing_.Kinds()[i], stream_.IsNull(static_cast<unsigned>(p)),
                                      stream_.Cell(static_cast<unsigned>(p)), kValueLimit));
  }
  return shown;
}

// The fields, the server's columns and the key the rows pair by. False when
// there is nothing more to compare.
bool TableCheck::Prepare(RowSource& rows) {
  pairing_.Plan(rows, context_);
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
  ColumnMatch match = MatchColumns(context_.tablePlan, pairing_.Fields(), columns);
  for (std::string& difference : match.differences) Note(std::move(difference));
  pairing_.SetMatch(std::move(match));
  pairing_.FindKey(context_, table_);
  return true;
}

// A row the file cannot give, and what else the reading left out of the
// file, is a difference, so that a table read short is never called
// identical.
void TableCheck::ReadAccess(RowSource& rows) {
  pairing_.ReadFile(
      rows, context_, table_,
      [this](uint32_t ordinal, const source::SourceError& error) {
        Note("row " + std::to_string(ordinal) + " of the file cannot be read (" +
             error.Description() + "), so it cannot be in MySQL");
      },
      [this](std::string text) { Note(std::move(text)); });
  verdict_.accessRows = static_cast<long>(pairing_.FileRows());
}

void TableCheck::CompareKeyed() {
  if (!stream_.Start(Query())) return ServerFailed();
  uint64_t serverOrdinal = 0;
  const bool read = pairing_.PairKeyed(
      stream_,
      [&](std::string_view) {
        ++serverOrdinal;
        ++verdict_.mysqlRows;
      },
      [&](const KeyEntry& entry) { Missing(entry.ordinal); },
      [&](const KeyEntry& entry, bool same) {
        if (!same) Changed(entry.ordinal, serverOrdinal);
      },
      [&] { Extra(serverOrdinal, true); });
  if (!read) return ServerFailed();
}

void TableCheck::CompareUnkeyed() {
  if (!stream_.Start(Query())) return ServerFailed();
  const bool read = pairing_.PairUnkeyed(
      stream_, [&] { ++verdict_.mysqlRows; }, [&](uint32_t ordinal) { Missing(ordinal); },
      [&](uint32_t ordinal) { Extra(ordinal, false); });
  if (!read) return ServerFailed();
}

void TableCheck::Describe(Pending& pending, uint32_t ordinal) {
  const bool keyed = !pairing_.KeyFields().empty();
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
  for (std::size_t i = 0; i < pairing_.Fields().size(); ++i) {
    if (pairing_.Match().position[i] < 0) continue;
    canonical.clear();
    AppendCanonical(canonical, pairing_.Values()[i]);
    if (canonical == pending.serverCanonical[i]) continue;
    if (pending.text.back() != ':') pending.text += ";";
    pending.text += " column " + Bracketed(pairing_.Fields()[i].name) + " ";
    const std::string where =
        FirstDifference(pairing_.Values()[i], pairing_.Kinds()[i], pending.serverNull[i],
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
      pairing_.FileRow(*rows);
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
    if (!Prepare(*rows)) return Shown();
  } catch (const source::SourceError& error) {
    Note("the table cannot be read from the file (" + error.Description() + ")");
    return Shown();
  }
  ReadAccess(*rows);
  rows.reset();
  if (pairing_.KeyFields().empty()) {
    CompareUnkeyed();
  } else {
    CompareKeyed();
  }
  stream_.Finish();
  DescribeFromAccess();
  DescribeExtrasFromServer();
  return Shown();
}

TableVerdict TableCheck::Shown() {
  for (Pending& pending : pending_) verdict_.shown.push_back(std::move(pending.text));
  pending_.clear();
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
