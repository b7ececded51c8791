#pragma once

// A writer of small and large Jet 4 and Jet 3 (.mdb) files for tests and
// benchmarks. Jet 3 (Access 97) files have 2 KiB pages and keep text in
// Windows-1252; they hold no Decimal columns.
// It is not part of the product: it writes what the tests describe, with the
// structures both the project's reader and independent readers expect:
// the obfuscated header page with the database password, the MSysObjects
// catalogue with each table's properties (Required, DefaultValue,
// ValidationRule, ValidationText, Description, AllowZeroLength), the
// relationships in MSysRelationships, saved queries in MSysQueries, table definitions spread over
// as many pages as they need, usage maps in both forms, data pages, long values kept in the row, on
// one other page or chained over several, and the definitions of every index. Index pages are
// written empty: the files carry each index's name, flags and key columns, but no keys.
//
// Rows may be given as values or produced by a generator, so that a table of
// millions of rows streams to a file without being held in memory.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace bracken::testing {

enum class ColumnKind {
  Boolean,
  Byte,
  Integer,   // 16-bit
  Long,      // 32-bit; with autoNumber a counter
  Currency,  // value: int64_t count of ten-thousandths
  Single,    // value: double, stored as float
  Double,
  DateTime,   // value: double, days since 1899-12-30
  Binary,     // value: std::string of bytes; fixedSize for the fixed form
  Text,       // value: UTF-8 std::string of at most `size` characters
  Ole,        // value: std::string of bytes, any length
  Memo,       // value: UTF-8 std::string, any length
  Hyperlink,  // a memo flagged as hyperlink
  Guid,       // value: std::string of the 16 bytes as stored
  Decimal,    // value: std::string such as "-123.4500", at most `scale` decimals
};

// Null, Boolean, integers (and Currency), floating point (and DateTime), text
// and bytes. Which alternative a column takes follows from its kind.
using FixtureValue = std::variant<std::monostate, bool, int64_t, double, std::string>;

struct FixtureColumn {
  std::string name;
  ColumnKind kind = ColumnKind::Long;
  int size = 0;            // Text: characters (default 50); Binary: bytes (default 50)
  bool fixedSize = false;  // Binary only
  uint8_t precision = 18;  // Decimal
  uint8_t scale = 0;       // Decimal
  bool required = false;
  bool autoNumber = false;       // Long: counter; Guid: generated identifier
  bool compressedText = true;    // Text, Memo, Hyperlink: Unicode compression (Jet 4)
  std::string defaultValue;      // property "DefaultValue" when not empty
  std::string description;       // property "Description" when not empty
  std::string validationRule;    // property "ValidationRule" when not empty
  std::string validationText;    // property "ValidationText" when not empty
  bool allowZeroLength = false;  // property "AllowZeroLength" as Yes when set
  // Memo: the property "TextFormat" as the Byte 1 (rich text).
  bool richText = false;
  // Raw column flags ORed into the ones the kind and the fields above give:
  // 0x01 fixed length, 0x04 counter, 0x40 generated identifier, 0x80
  // hyperlink. Older Access versions leave 0x40 on ordinary columns. The
  // row layout still follows the kind (a flag here moves no value).
  uint8_t extraFlags = 0;
};

// A column of the given kind and size, everything else as it defaults.
FixtureColumn MakeColumn(std::string name, ColumnKind kind, int size = 0);
// A required auto-number Long column.
FixtureColumn MakeCounter(std::string name);

struct FixtureIndex {
  std::string name;
  std::vector<std::string> columns;  // key order, all ascending
  bool primary = false;
  bool unique = false;
  bool ignoreNulls = false;
};

struct FixtureTable {
  std::string name;
  std::vector<FixtureColumn> columns;
  std::vector<FixtureIndex> indexes;
  std::vector<std::vector<FixtureValue>> rows;
  // After `rows`, `generatedRows` more rows are asked of the generator, which
  // fills `row` (already sized to the column count) for row number `index`.
  int64_t generatedRows = 0;
  std::function<void(int64_t index, std::vector<FixtureValue>& row)> generator;
  // Long values (Memo, Hyperlink, Ole) of at most this many stored bytes stay
  // in the row; longer ones go to long-value pages: one page when they fit on
  // it, a chain of pages otherwise.
  size_t inlineLongValueLimit = 64;
  std::string description;     // table property "Description" when not empty
  std::string validationRule;  // table property "ValidationRule" when not empty
  std::string validationText;  // table property "ValidationText" when not empty
};

// A relationship, written to MSysRelationships one row per pair of columns.
// The names are written as given, whether the tables have them or not.
struct FixtureRelationship {
  std::string name;
  std::string table;  // the table that refers
  std::vector<std::string> columns;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
  bool enforced = true;
  bool cascadeUpdates = false;
  bool cascadeDeletes = false;
  bool cascadeNull = false;  // Access 2007 and later
  bool oneToOne = false;
};

// One row of a saved query in MSysQueries, as Access lays it out: the
// attribute (1 kind, 2 parameter, 3 options, 4 source database, 5 table,
// 6 column, 7 join, 8 WHERE, 9 GROUP BY, 10 HAVING, 11 ORDER BY) and what it
// keeps in Name1, Name2, Expression and Flag (empty strings and no flag are
// written as Null).
struct FixtureQueryRow {
  int attribute = 0;
  std::string name1;
  std::string name2;
  std::string expression;
  std::optional<int> flag;
};

// A saved query: its object in MSysObjects (type 5, flags after its kind)
// and its rows in MSysQueries, framed by the start (0) and end (255) rows
// Access always writes. Rows are numbered in their Order per attribute as
// given. A crosstab's fixed column headings are kept among the object's
// properties ("ColumnHeadings") when not empty.
struct FixtureQuery {
  std::string name;
  std::vector<FixtureQueryRow> rows;
  std::string columnHeadings;
  // ORed into the object's flags; "~sq_" names get Access's 0x3 (an object
  // of the system's own) without it.
  uint32_t extraFlags = 0;
};

struct FixtureDatabase {
  std::vector<FixtureTable> tables;
  std::vector<FixtureRelationship> relationships;
  std::vector<FixtureQuery> queries;
  std::string password;  // at most 20 characters; empty for none
  // Not zero: every page after the first is RC4-encoded under this key mixed
  // with the page number, as Access's "Encrypt Database" leaves a file.
  uint32_t pageKey = 0;
  double creationDate = 45000.5;  // days since 1899-12-30 (Jet 4 only)
};

// The file's bytes.
std::string WriteJet4(const FixtureDatabase& database);
// Writes the file page by page, so that a large table never sits in memory.
void WriteJet4File(const FixtureDatabase& database, const std::filesystem::path& path);

// The same as an Access 97 file. Text that Windows-1252 cannot hold, and
// Decimal columns, throw std::invalid_argument.
std::string WriteJet3(const FixtureDatabase& database);
void WriteJet3File(const FixtureDatabase& database, const std::filesystem::path& path);

// Booleans are never null in Jet: a null Boolean is written as false.
inline bool IsNull(const FixtureValue& value) {
  return std::holds_alternative<std::monostate>(value);
}

}  // namespace bracken::testing
