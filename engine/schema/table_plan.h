#pragma once

// What a table becomes in MySQL before anything is sent for it: the names
// the server can hold, the type each column is created with, which text
// columns need four-byte UTF-8, and which columns carry hyperlinks or rich
// text. The keys, the column definitions and the row copy all read it.

#include <string>
#include <vector>

namespace bracken::engine {

class ConversionOwner;
struct ConversionContext;
class NameRegistry;

struct ColumnPlan {
  std::string sourceName;
  std::string targetName;  // legal and unique in the table
  // The mapped type, or "TEXT" for a VARCHAR widened so the row fits.
  std::string typeText;
  bool extendedCharacters = false;  // text holding characters above U+FFFF: utf8mb4
  bool holdsNonFinite = false;      // a Single or Double holding NaN or an infinity
  bool hyperlink = false;           // display#address#subaddress#tip
  bool richText = false;            // a memo stored as HTML
  // An OLE Object column stored as the files its values hold: the names of
  // the two columns beside it, the file's name and its MIME type (legal and
  // unique in the table, claimed after the file's own columns); empty
  // otherwise.
  std::string fileNameColumn;
  std::string fileTypeColumn;
  bool OleFiles() const { return !fileNameColumn.empty(); }
};

struct TablePlan {
  std::string sourceName;
  std::string targetName;           // legal and unique in the database
  std::vector<ColumnPlan> columns;  // catalogue order

  // The plan of the column with this source name; nullptr when unknown.
  const ColumnPlan* Find(const std::string& sourceName) const;
  ColumnPlan* Find(const std::string& sourceName);
  // Its name in MySQL; the source name itself for a column not planned.
  const std::string& TargetName(const std::string& sourceName) const;
};

// MySQL's limit on the bytes of one row, not counting what TEXT and BLOB
// columns keep apart from it.
inline constexpr long kMaxRowBytes = 65535;

// InnoDB's limit on the bytes one row keeps in its page (half a page of
// 16 KB), and what a column stored on pages of its own leaves in the row.
inline constexpr long kMaxInnoDbRowBytes = 8126;
inline constexpr long kInnoDbLongColumnBytes = 21;

// Bytes a column of this type takes in a MyISAM row (a TEXT or BLOB column
// its length and pointer).
long ColumnRowBytes(const std::string& typeText, bool extendedCharacters);

// Plans `table`: reads its catalogue columns, flags and indexes, scans its
// rows once for four-byte characters and values MySQL cannot store, gives
// names their legal spelling (table names through `tableNames`, unless
// given out before in context.givenTableNames) and widens
// VARCHAR columns until the row fits (with InnoDB, also its limit on the
// bytes kept in the row's page). Every rename and widening is reported
// through the owner, and the rows the scan found go to the owner's
// TableRowsFound. A value that cannot be read passes its row over; any other
// source error ends the planning quietly with what it has: the steps after
// it report the same error in their own way.
TablePlan PlanTable(ConversionOwner& owner, ConversionContext& context, const std::string& table,
                    NameRegistry& tableNames);

}  // namespace bracken::engine
