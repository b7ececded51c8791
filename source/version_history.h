#pragma once

// The version history of an append-only memo (Access 2007 and later) as a
// child table. Access keeps every version of such a memo in a hidden complex
// column: its flat table holds each version's text and the date it was
// written, tied to the row by the set number the hidden column holds. The
// child table "TABLE_MEMO_history" gives one row per version: the columns
// that name the parent row (its primary key, else a unique index of required
// columns, else the row's position), then "Modified" and the memo's name.
// Rows come in the parent's order, by date within a row; versions whose set
// number no row holds (a damaged file) come last, with empty key columns,
// and are named.

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "source/source_error.h"
#include "source/variant.h"

namespace bracken::source {

struct TableData;

namespace jet {
struct Database;
}

// What a history child table's rows are joined from: two plain scans.
struct VersionHistoryData {
  // The parent table; its fields are the key columns, then the set number.
  // Without key columns the row's position stands for the key.
  std::shared_ptr<const TableData> parentRows;
  // The flat table; its fields are the set number, the date and the text.
  std::shared_ptr<const TableData> versionRows;
  size_t keyCount = 0;
  bool keyedByPosition = false;
  std::string parentTable;  // for the notes
};

// The history child tables of a table's append-only memos, in column order.
// A history that cannot be read leaves a note in the table's damage and
// no child table.
std::vector<std::shared_ptr<TableData>> MakeHistoryTables(TableData& table,
                                                          const jet::Database& database);

// A field value with the size the recordset reports for it; or the error
// reading it raised, raised again when the field is asked for, so that only
// the row of a value that cannot be read is refused.
struct HistoryCell {
  Variant value;
  long size = 0;
  std::shared_ptr<const SourceError> error;
};

// One stored version: its date and text as the flat table holds them.
struct StoredVersion {
  HistoryCell date;
  HistoryCell text;
};

// Joins the versions of a flat table to the parent rows that hold their set
// numbers. The versions are all added first; then each parent row, in order,
// takes its own; what no row took is left for the end.
class VersionHistoryJoin {
 public:
  // A version of the set `set` (Null: the version names no set).
  void Add(const Variant& set, StoredVersion version);
  // The versions of a parent row's set, oldest first (a version without a
  // date before the dated ones, equal dates in stored order). A set taken
  // once is empty for a second row that holds the same number.
  std::vector<StoredVersion> Take(const Variant& set);
  // The versions no row took, by set number and then as Take orders them;
  // those that name no set come first.
  std::vector<StoredVersion> Leftover();
  // How many versions Leftover gave.
  size_t LeftoverVersions() const { return leftoverVersions_; }

 private:
  std::map<int64_t, std::vector<StoredVersion>> sets_;
  std::vector<StoredVersion> unnumbered_;
  size_t leftoverVersions_ = 0;
};

// The note for versions no row took, to follow "Table [history]: ".
std::string LeftoverNote(size_t versions, const std::string& parentTable);

}  // namespace bracken::source
