#pragma once

// The access operations over an Access (.mdb or .accdb) file: a catalogue of tables with
// their columns and indexes, and recordsets that stream a table's rows. The
// objects and members follow the ADO/ADOX model the rest of the program is
// written against; underneath, the Jet reader in source/jet/ does the work.
//
// Every failure raises SourceError. Objects are cheap handles: copying one
// shares the underlying data.

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "source/data_type_code.h"
#include "source/saved_query.h"
#include "source/source_error.h"
#include "source/variant.h"

namespace bracken::source {

class Property {
 public:
  Property(std::string name, Variant value);
  const std::string& Name() const { return name_; }
  const Variant& Value() const { return value_; }

 private:
  std::string name_;
  Variant value_;
};

// A column's properties: at least "Nullable" and "Autoincrement" (booleans),
// and whatever else the catalogue keeps ("Default", "Description", ...).
// Item() of an unknown name raises SourceError.
class Properties {
 public:
  Properties() = default;
  explicit Properties(std::vector<Property> items);
  long Count() const;
  const Property& Item(long index) const;
  const Property& Item(std::string_view name) const;
  // The property of that name, or null where there is none.
  const Property* Find(std::string_view name) const;

 private:
  std::vector<Property> items_;
};

struct ColumnData;
class Column {
 public:
  explicit Column(std::shared_ptr<const ColumnData> data);
  const std::string& Name() const;
  int32_t Type() const;
  int32_t DefinedSize() const;
  uint8_t NumericScale() const;
  uint8_t Precision() const;
  const source::Properties& Properties() const;
  // The rules Access keeps for the column, its texts exactly as stored (the
  // expressions untranslated); "" where the column has none. They are the
  // properties "Default", "Jet OLEDB:Column Validation Rule", "Jet
  // OLEDB:Column Validation Text" and "Description".
  std::string DefaultValue() const;
  std::string ValidationRule() const;
  std::string ValidationText() const;
  std::string Description() const;
  // Access's "Required" and "Allow Zero Length" (property "Jet OLEDB:Allow
  // Zero Length"); false where the column was never given them. An
  // auto-number is not nullable without being required.
  bool Required() const;
  bool AllowZeroLength() const;

 private:
  std::shared_ptr<const ColumnData> data_;
};

// Columns of a table (ordered by name without regard to case) or of an
// index (in key order). Item(name) finds a name without regard to case.
class Columns {
 public:
  Columns() = default;
  explicit Columns(std::vector<Column> items);
  long Count() const;
  Column Item(long index) const;
  Column Item(std::string_view name) const;

 private:
  std::vector<Column> items_;
};

struct IndexData;
class Index {
 public:
  explicit Index(std::shared_ptr<const IndexData> data);
  const std::string& Name() const;
  bool PrimaryKey() const;
  bool Unique() const;
  source::Columns Columns() const;

 private:
  std::shared_ptr<const IndexData> data_;
};

class Indexes {
 public:
  Indexes() = default;
  explicit Indexes(std::vector<Index> items);
  long Count() const;
  Index Item(long index) const;

 private:
  std::vector<Index> items_;
};

struct TableData;
class Table {
 public:
  explicit Table(std::shared_ptr<const TableData> data);
  const std::string& Name() const;
  // "TABLE", "SYSTEM TABLE", "LINK" or "VIEW".
  const std::string& Type() const;
  source::Columns Columns() const;
  source::Indexes Indexes() const;
  // The table's own properties as the catalogue keeps them ("Description",
  // "Jet OLEDB:Table Validation Rule", ...).
  const source::Properties& Properties() const;
  // The table's rule over whole rows, the text Access shows when a row breaks
  // it, and its description, exactly as stored; "" where it has none.
  std::string ValidationRule() const;
  std::string ValidationText() const;
  std::string Description() const;
  // What of the table's definition could not be read, one note each, worded
  // to follow "Table [name]: " ("its properties cannot be read (...); they are
  // unknown"). A table whose definition cannot be read at all has that one
  // note, no columns or indexes, and a recordset that will not open.
  const std::vector<std::string>& Damage() const;
  // The row count the table's definition keeps; -1 where it keeps none (a
  // query, a link, a definition that cannot be read). Access keeps it up to
  // date, but damaged and some old files hold a stale one.
  long StoredRowCount() const;

 private:
  std::shared_ptr<const TableData> data_;
};

// The catalogue's objects ordered by type text, then by name without regard
// to case. Item(name) finds a name without regard to case.
class Tables {
 public:
  Tables() = default;
  explicit Tables(std::vector<Table> items);
  long Count() const;
  Table Item(long index) const;
  Table Item(std::string_view name) const;

 private:
  std::vector<Table> items_;
};

// A relationship between two tables as the file keeps it: the table that
// refers and its columns, the table referred to and its columns, pair by pair
// in the relationship's own order (a self-relationship names one table
// twice). Names are spelt as the tables and columns spell them.
struct Relationship {
  std::string name;
  std::string table;
  std::vector<std::string> columns;
  std::string referencedTable;
  std::vector<std::string> referencedColumns;
  uint32_t attributes = 0;  // the flags as stored

  // Access checks that every row's columns name a row of the referenced table.
  bool Enforced() const;
  // Changing the referenced columns changes the referring rows with them.
  bool CascadeUpdates() const;
  // Deleting a referenced row deletes the rows that refer to it.
  bool CascadeDeletes() const;
  // Deleting a referenced row sets the referring columns to Null (Access 2007 and later).
  bool CascadeNull() const;
  bool OneToOne() const;
  // Kept from the database a linked table comes from, not made in this one.
  bool Inherited() const;
};

struct DatabaseData;

// The opened file. ActiveConnection takes the connection text
// "Provider=...;Data Source=PATH;Jet OLEDB:Database Password=PASSWORD";
// everything after "Jet OLEDB:Database Password=" is the password.
class Catalog {
 public:
  Catalog();
  void SetActiveConnection(const std::string& connectionText);
  // Opens a database held in memory (tests and fuzzing).
  void OpenBuffer(std::string bytes, const std::string& password = {});
  source::Tables Tables() const;
  std::shared_ptr<DatabaseData> Database() const { return database_; }
  // True for an Access 97 (Jet 3) file, false for Jet 4.
  bool IsJet3() const;
  // "Jet3", "Jet4", "ACE12", "ACE14", "ACE16" or "ACE17"; "" before a file is open.
  std::string FormatName() const;
  // What of the catalogue itself could not be read (rows of it, the tables of
  // attachment columns), one whole sentence each; empty for a sound file. A
  // file whose catalogue cannot be read at all does not open.
  const std::vector<std::string>& Damage() const;
  // The relationships between the file's tables, ordered by name without
  // regard to case; the ones Access keeps between its own system tables are
  // left out. One that cannot be read, or that names a table or column the
  // file does not have, is left out with a sentence in Damage().
  const std::vector<Relationship>& Relationships() const;
  // The file's saved queries, ordered by name without regard to case; the
  // hidden ones Access keeps as the record sources of forms and reports
  // ("~sq_...") are left out. One whose rows cannot be read, or make no
  // query, is left out with a sentence in Damage().
  const std::vector<Query>& Queries() const;

 private:
  std::shared_ptr<DatabaseData> database_;
  source::Tables tables_;
};

class RecordsetCursor;

// One element of an attachment or multi-value field: its named values, an
// attachment's "FileName", "FileType", "FileData" (the file's bytes) and,
// where the file keeps them, "FileURL", "FileTimeStamp", "FileFlags"; a
// multi-value element's "Value".
using ComplexItem = std::vector<Property>;

// One field of the current row of a recordset.
class Field {
 public:
  Field(const RecordsetCursor* cursor, long index) : cursor_(cursor), index_(index) {}
  const std::string& Name() const;
  int32_t Type() const;
  int32_t DefinedSize() const;
  uint8_t NumericScale() const;
  uint8_t Precision() const;
  // This row's value length in bytes; 0 for null.
  long ActualSize() const;
  // Attachment and multi-value fields (types 101 to 109) hold the row's set
  // number (Null when it has none); Items() gives the set's elements.
  Variant Value() const;
  std::vector<ComplexItem> Items() const;

 private:
  const RecordsetCursor* cursor_;
  long index_;
};

// The fields of a recordset, in the table's own column order.
class Fields {
 public:
  explicit Fields(const RecordsetCursor* cursor) : cursor_(cursor) {}
  long Count() const;
  Field Item(long index) const { return Field(cursor_, index); }
  Field Item(std::string_view name) const;

 private:
  const RecordsetCursor* cursor_;
};

// Rows of one table, streamed. Open takes "SELECT * FROM [name]" (the name is
// what stands between the first "[" and the last "]") and the connection text.
class Recordset {
 public:
  Recordset();
  ~Recordset();
  Recordset(Recordset&&) noexcept;
  Recordset& operator=(Recordset&&) noexcept;
  void Open(const std::string& sourceText, const std::string& connectionText);
  // Opens on a database already open (the catalogue's).
  void Open(const std::string& sourceText, const Catalog& catalog);
  source::Fields Fields() const;
  // True past the last row (ADO's EOF; that name is a C macro).
  bool Eof() const;
  void MoveNext();
  // The parts of the table the scan so far has left out because they cannot
  // be read (a data page, a row), one note each, worded to follow
  // "Table [name]: " ("page 57 cannot be read (...); its rows are left out").
  std::vector<std::string> Damage() const;

 private:
  std::unique_ptr<RecordsetCursor> cursor_;
};

}  // namespace bracken::source
