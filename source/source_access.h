#pragma once

// The access operations over an Access (.mdb) file: a catalogue of tables with
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

namespace bracken::source {

// Type codes as the provider reports them for columns and fields.
enum DataTypeCode : int32_t {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBoolean = 11,
  adUnsignedTinyInt = 17,
  adGUID = 72,
  adBinary = 128,
  adNumeric = 131,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

// A failure of a source operation: numeric code, source name, description.
class SourceError : public std::runtime_error {
 public:
  SourceError(long code, std::string source, std::string description);
  long Code() const { return code_; }
  const std::string& Source() const { return source_; }
  const std::string& Description() const { return description_; }

 private:
  long code_;
  std::string source_;
  std::string description_;
};

// A field or property value. Text is UTF-8.
class Variant {
 public:
  enum class Kind {
    Null,
    Boolean,
    Byte,
    Integer,   // 16-bit
    Long,      // 32-bit
    Currency,  // 64-bit count of ten-thousandths
    Single,
    Double,
    Date,  // days since 1899-12-30, fraction = time of day
    Text,
    Binary,
    Guid,     // 16 bytes as stored
    Decimal,  // sign, scale and 96-bit magnitude
  };

  Variant() = default;
  static Variant Boolean(bool value);
  static Variant Byte(uint8_t value);
  static Variant Integer(int16_t value);
  static Variant Long(int32_t value);
  static Variant Currency(int64_t tenThousandths);
  static Variant Single(float value);
  static Variant Double(double value);
  static Variant Date(double serial);
  static Variant Text(std::string utf8);
  static Variant Binary(std::string bytes);
  static Variant Guid(std::string sixteenBytes);
  static Variant Decimal(bool negative, uint8_t scale, uint32_t hi, uint64_t lo);

  Kind kind() const { return kind_; }
  bool IsNull() const { return kind_ == Kind::Null; }

  // The value as text in the program's fixed conventions: dates
  // "3/15/2008 2:30:00 PM" (date alone at midnight, time alone on day 0),
  // "." as decimal separator, Single and Double in their shortest exact
  // form, Currency and Decimal as exact decimals without trailing zeros,
  // booleans "-1"/"0", GUIDs "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
  // Binary values give their raw bytes; Null gives "".
  std::string ToText() const;
  // Appends what ToText() returns, without a temporary string.
  void AppendText(std::string& out) const;

  bool ToBool() const;      // Boolean, or any number (non-zero = true)
  int64_t ToInt64() const;  // integer kinds and Boolean (-1/0)
  double ToDouble() const;  // numeric kinds and Date
  // The raw bytes of Binary and Guid, the UTF-8 of Text.
  const std::string& Bytes() const { return bytes_; }

  // Decimal parts.
  bool DecimalNegative() const { return negative_; }
  uint8_t DecimalScale() const { return scale_; }
  uint32_t DecimalHigh() const { return hi_; }
  uint64_t DecimalLow() const { return static_cast<uint64_t>(integer_); }

 private:
  Kind kind_ = Kind::Null;
  int64_t integer_ = 0;
  double real_ = 0;
  std::string bytes_;
  bool negative_ = false;
  uint8_t scale_ = 0;
  uint32_t hi_ = 0;
};

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
  // The table's own properties as the catalogue keeps them ("Description", ...).
  const source::Properties& Properties() const;

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

 private:
  std::shared_ptr<DatabaseData> database_;
  source::Tables tables_;
};

class RecordsetCursor;

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
  Variant Value() const;

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

 private:
  std::unique_ptr<RecordsetCursor> cursor_;
};

}  // namespace bracken::source
