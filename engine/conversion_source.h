#pragma once

// What the conversion reads from the Access file, in the shape it needs:
// a table's catalogue columns and indexes, the flags of a column, and the
// rows of a table. Every operation may raise source::SourceError; callers
// catch it where the conversion decides what a failure means. The program
// reads through CatalogSource (engine/catalog_source.h); tests use fakes.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "source/source_access.h"

namespace bracken::engine {

// A column's name and type description, as the catalogue or a recordset
// field reports it.
struct ColumnDescription {
  std::string name;
  int32_t type = 0;
  int32_t definedSize = 0;
  uint8_t numericScale = 0;
  uint8_t precision = 0;
};

struct IndexDescription {
  std::string name;
  bool primaryKey = false;
  bool unique = false;
  std::vector<std::string> columns;  // in key order
};

struct ColumnFlags {
  bool nullable = true;
  bool autoIncrement = false;
  bool hyperlink = false;       // a memo holding display#address#subaddress#tip
  bool richText = false;        // a memo stored as HTML (text format 1)
  std::string expression = "";  // a calculated column's expression; "" for others
};

// The rules and descriptions a column or table keeps in Access, exactly as
// stored; "" where it has none.
struct ColumnRules {
  std::string defaultValue;
  std::string validationRule;
  std::string validationText;
  std::string description;
};

struct TableRules {
  std::string validationRule;
  std::string validationText;
  std::string description;
};

// The open rows of one table, read forward only.
class RowSource {
 public:
  virtual ~RowSource() = default;
  virtual long FieldCount() = 0;
  // Fields in the table's own column order.
  virtual ColumnDescription Field(long index) = 0;
  virtual bool Eof() = 0;
  virtual void MoveNext() = 0;
  // This row's value length; 0 for a null or empty value.
  virtual long ActualSize(long index) = 0;
  virtual source::Variant Value(long index) = 0;
  // The parts of the table left out so far because they cannot be read, one
  // note each to follow "Table [name]: "; see source::Recordset::Damage.
  virtual std::vector<std::string> Damage() { return {}; }
};

class ConversionSource {
 public:
  virtual ~ConversionSource() = default;
  // The table's catalogue columns, in the table's column order.
  virtual std::vector<ColumnDescription> Columns(const std::string& table) = 0;
  virtual long IndexCount(const std::string& table) = 0;
  virtual IndexDescription Index(const std::string& table, long index) = 0;
  // "Nullable" and "Autoincrement" of the catalogue column named like a field.
  virtual ColumnFlags Flags(const std::string& table, const std::string& column) = 0;
  // Opens "SELECT * FROM [table]", positioned on its first row.
  virtual std::unique_ptr<RowSource> OpenRows(const std::string& table) = 0;
  // The child tables holding the elements of the table's attachment and
  // multi-value columns, in column order; converted right after the table.
  virtual std::vector<std::string> ChildTables(const std::string& /*table*/) { return {}; }
  // What of the table's definition could not be read, one note each to
  // follow "Table [name]: "; see source::Table::Damage.
  virtual std::vector<std::string> TableDamage(const std::string& /*table*/) { return {}; }
  // The row count the table's definition keeps; -1 where it keeps none.
  virtual long StoredRowCount(const std::string& /*table*/) { return -1; }
  // What of the file's catalogue could not be read, whole sentences.
  virtual std::vector<std::string> FileDamage() { return {}; }

  // For the foreign keys: the file's relationships, as the catalogue keeps them.
  virtual std::vector<source::Relationship> Relationships() { return {}; }

  // For the views and procedures: the file's saved queries (hidden ones left
  // out), in the catalogue's order.
  virtual std::vector<source::Query> Queries() { return {}; }

  // Defaults, validation rules and descriptions (DEFAULT, CHECK and COMMENT).
  virtual ColumnRules Rules(const std::string& /*table*/, const std::string& /*column*/) {
    return {};
  }
  virtual TableRules Rules(const std::string& /*table*/) { return {}; }
};

}  // namespace bracken::engine
