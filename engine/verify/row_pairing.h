#pragma once

// The pairing of a table's rows, shared by verify and sync: the rows of the
// Access table, put through the conversion's own value rules, against the
// rows the server holds.
//
// Both sides are written as canonical cells (AppendCanonical) and digested
// whole. A table with a primary key the server holds pairs its rows by the
// key's canonical bytes; a table without one compares as a multiset of row
// digests.
//
// The file side is held compactly and sorted: one KeyEntry per row (32 bytes
// plus the key's canonical bytes in one arena) for a keyed table, one
// RowEntry per row (20 bytes) otherwise. The server's rows stream past one
// at a time, in key order where there is a key (Query orders them so); a
// table without a key keeps a RowEntry per server row too.
//
// What each side does with a pair is the caller's: the walks call back for
// every server row, every file row the server lacks, every pair and every
// server row the file lacks. The current row's values and cells stay
// readable during the call.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/conversion_context.h"
#include "engine/rows/target_value.h"
#include "engine/verify/row_digest.h"
#include "engine/verify/verify_columns.h"
#include "target/row_stream.h"

namespace bracken::engine {

// One file row of a keyed table: where its canonical key stands in the key
// arena, its number in the file and its digest. 32 bytes.
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

class RowPairing {
 public:
  // The file's fields as the conversion plans them; `rows` is the table's
  // opened rows.
  void Plan(RowSource& rows, ConversionContext& context);
  // Which server column each field reads from (MatchColumns over Fields()).
  void SetMatch(ColumnMatch match) { match_ = std::move(match); }
  // The rows pair by the table's primary key when the server holds all its
  // columns; else by whole rows (KeyFields() empty).
  void FindKey(ConversionContext& context, const std::string& table);

  const std::vector<FieldPlan>& Fields() const { return fields_; }
  const std::vector<CellKind>& Kinds() const { return kinds_; }
  const ColumnMatch& Match() const { return match_; }
  const std::vector<std::size_t>& KeyFields() const { return keyFields_; }  // in key order

  // The server's rows of the matched columns, in key order where there is a
  // key.
  std::string Query(const ConversionContext& context, const std::string& database) const;

  // The current row: the file's values (after FileRow) and the canonical
  // cells of either side (after FileRow or ServerRow). A field the server
  // lacks has an empty cell on both sides.
  void FileRow(RowSource& rows);
  void ServerRow(const target::RowStream& stream);
  const std::vector<TargetValue>& Values() const { return values_; }
  std::string_view Cell(std::size_t field) const {
    return std::string_view(row_).substr(starts_[field], starts_[field + 1] - starts_[field]);
  }
  Digest DigestOf(std::string_view bytes) { return digester_.Of(bytes); }

  // The first reading of the file: each row as its entry. A row the file
  // cannot give goes to `unreadable(ordinal, error)` and is left out; what
  // else the reading left out goes to `note(text)`: where it stopped, the
  // pages the rows lost and the rows found short of the table's own count.
  // Returns the rows the file gave, read or not.
  template <class Unreadable, class Note>
  uint32_t ReadFile(RowSource& rows, ConversionContext& context, const std::string& table,
                    Unreadable unreadable, Note note);

  // The file's rows held after ReadFile, sorted once a walk has run.
  const std::vector<KeyEntry>& KeyedRows() const { return keyed_; }
  const std::vector<RowEntry>& UnkeyedRows() const { return unkeyed_; }
  std::size_t FileRows() const { return keyed_.size() + unkeyed_.size(); }

  // Walks the started, key-ordered `stream` against the file's keyed rows:
  // `server(key)` for each server row, then `missing(entry)` for the file's
  // rows before it, then `paired(entry, same)` or `extra()`; at the end
  // `missing` for the file's rows left. False when the server broke off (the
  // rows left are then not called).
  template <class Server, class Missing, class Paired, class Extra>
  bool PairKeyed(target::RowStream& stream, Server server, Missing missing, Paired paired,
                 Extra extra);

  // Reads the started `stream` whole (`server()` for each row), then meets
  // the two multisets of digests: `missing(ordinal)` for a file row the
  // server lacks, `extra(serverOrdinal)` for a server row the file lacks.
  // False when the server broke off.
  template <class Server, class Missing, class Extra>
  bool PairUnkeyed(target::RowStream& stream, Server server, Missing missing, Extra extra);

 private:
  std::string_view KeyOf(const KeyEntry& entry) const {
    return std::string_view(arena_).substr(entry.offset, entry.length);
  }
  void AppendKey(std::string& out) const {
    for (std::size_t field : keyFields_) out.append(Cell(field));
  }
  void HoldFileRow(uint32_t ordinal);
  void NoteShortfall(RowSource& rows, ConversionContext& context, const std::string& table,
                     long found, std::vector<std::string>& notes) const;
  void SortKeyed();

  std::vector<FieldPlan> fields_;
  std::vector<CellKind> kinds_;
  ColumnMatch match_;
  std::vector<std::size_t> keyFields_;
  std::vector<TargetValue> values_;
  std::string row_;  // the current row's canonical cells
  std::vector<std::size_t> starts_;
  std::string key_;
  RowDigester digester_;

  std::string arena_;  // the canonical keys of the file's rows
  std::vector<KeyEntry> keyed_;
  std::vector<RowEntry> unkeyed_;
};

bool DigestBefore(const RowEntry& a, const RowEntry& b);

template <class Unreadable, class Note>
uint32_t RowPairing::ReadFile(RowSource& rows, ConversionContext& context, const std::string& table,
                              Unreadable unreadable, Note note) {
  uint32_t ordinal = 0;
  try {
    for (; !rows.Eof(); rows.MoveNext()) {
      ++ordinal;
      try {
        FileRow(rows);
      } catch (const source::SourceError& error) {
        unreadable(ordinal, error);
        continue;
      }
      HoldFileRow(ordinal);
    }
  } catch (const source::SourceError& error) {
    note("reading the file stopped after row " + std::to_string(ordinal > 0 ? ordinal - 1 : 0) +
         " (" + error.Description() + ")");
  }
  std::vector<std::string> notes;
  NoteShortfall(rows, context, table, ordinal, notes);
  for (std::string& text : notes) note(std::move(text));
  return ordinal;
}

template <class Server, class Missing, class Paired, class Extra>
bool RowPairing::PairKeyed(target::RowStream& stream, Server server, Missing missing, Paired paired,
                           Extra extra) {
  SortKeyed();
  std::size_t a = 0;
  while (stream.Next()) {
    ServerRow(stream);
    key_.clear();
    AppendKey(key_);
    server(std::string_view(key_));
    while (a < keyed_.size() && KeyOf(keyed_[a]).compare(key_) < 0) missing(keyed_[a++]);
    if (a < keyed_.size() && KeyOf(keyed_[a]) == key_) {
      paired(keyed_[a], digester_.Of(row_) == keyed_[a].digest);
      ++a;
    } else {
      extra();
    }
  }
  if (stream.Failed()) return false;
  while (a < keyed_.size()) missing(keyed_[a++]);
  return true;
}

template <class Server, class Missing, class Extra>
bool RowPairing::PairUnkeyed(target::RowStream& stream, Server server, Missing missing,
                             Extra extra) {
  std::vector<RowEntry> served;
  uint32_t serverOrdinal = 0;
  while (stream.Next()) {
    server();
    ServerRow(stream);
    served.push_back({digester_.Of(row_), ++serverOrdinal});
  }
  if (stream.Failed()) return false;
  std::sort(unkeyed_.begin(), unkeyed_.end(), DigestBefore);
  std::sort(served.begin(), served.end(), DigestBefore);
  std::size_t a = 0, s = 0;
  while (a < unkeyed_.size() || s < served.size()) {
    if (s == served.size() || (a < unkeyed_.size() && unkeyed_[a].digest < served[s].digest)) {
      missing(unkeyed_[a++].ordinal);
    } else if (a == unkeyed_.size() || served[s].digest < unkeyed_[a].digest) {
      extra(served[s++].ordinal);
    } else {
      ++a;
      ++s;
    }
  }
  return true;
}

}  // namespace bracken::engine
