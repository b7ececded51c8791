#pragma once

// The value MySQL must hold for one Access value of a planned column: the
// one place that says what becomes of a value on its way (a null text
// becomes '', hyperlinks and rich text lose their markup, NaN and the
// infinities become NULL, Yes is 1, dates take MySQL's form, bytes stay
// bytes, empty ones empty). The row copy writes it as its literal; verify
// compares what the server returns against it.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/conversion_source.h"

namespace bracken::engine {

struct ConversionContext;

// What kind of value the server holds, which decides how it compares.
// FineDateTime: a DATETIME with fractions of a second (Date/Time Extended),
// compared to the microsecond; the file's seventh fraction digit is cut, as
// the server cuts it.
enum class CellKind : uint8_t {
  Null,
  Text,
  Bytes,
  Integer,
  Decimal,
  Float,
  Double,
  DateTime,
  FineDateTime
};

// How the literal is written.
enum class LiteralForm : uint8_t {
  Null,    // NULL
  Bare,    // the text as it is: 42, 2.5
  Quoted,  // the text escaped between single quotes
  Hex,     // the bytes as 0x and two lowercase hex digits each; X'' for none
};

// How the values of a column of one MySQL type are written, decided once
// per column from its type name.
enum class TypeClass : uint8_t {
  Text,           // CHAR, VARCHAR, TEXT, LONGTEXT: an empty value is ''
  Bit,            // Yes (-1) is 1
  Integer,        // INT, SMALLINT, BIGINT, TINYINT: bare digits
  QuotedInteger,  // other integer types (TINYINT UNSIGNED): digits in quotes
  Float,          // FLOAT: a number, ".0" added to a whole one
  Double,         // DOUBLE
  Decimal,        // DECIMAL(p, s)
  Date,           // DATE: the date alone
  DateTime,       // DATETIME, TIMESTAMP
  Blob,           // the BLOB types: hex bytes, or a quoted text (a GUID)
  Other,          // anything else: a quoted text
};

TypeClass ClassifyType(const std::string& typeName);

struct TargetValue {
  CellKind kind = CellKind::Null;
  LiteralForm form = LiteralForm::Null;
  // Text: the text; Bytes: the raw bytes (or a GUID's text); numbers: their
  // digits as the literal writes them; DateTime: "YYYY-MM-DD HH:MM:SS" or,
  // in a DATE column, "YYYY-MM-DD".
  std::string text;
  // "NaN", "Infinity" or "-Infinity" when the value is stored as NULL
  // because MySQL cannot hold it; nullptr otherwise.
  const char* nonFinite = nullptr;

  void SetNull() {
    kind = CellKind::Null;
    form = LiteralForm::Null;
    text.clear();
  }
};

struct OleFileValue;

// The part a field plays for an OLE Object column stored as files
// (ole_files.h): the file's bytes, or its name or MIME type beside them.
enum class OleRole : uint8_t { None, File, FileName, FileType };

// What stays the same for every row of a table's field. A field is a column
// of the table in MySQL: the file's own columns in their order, each OLE
// Object column stored as files followed by its name and type fields.
struct FieldPlan {
  std::string name;      // the source column's name
  std::string typeName;  // MapColumnType of the field
  TypeClass typeClass = TypeClass::Other;
  bool binary = false;
  bool dateTime = false;
  bool real = false;           // Single or Double
  bool nullStaysNull = false;  // a text column of a UNIQUE key
  bool longValue = false;      // text or bytes, which may be sent apart from the statement
  bool hyperlink = false;
  bool richText = false;
  long sourceIndex = 0;  // the field of the rows the value is read from
  OleRole ole = OleRole::None;
  // File, FileName, FileType: what the current row's OLE value holds, read
  // by the File field (which comes first) and shared with the two after it.
  std::shared_ptr<OleFileValue> oleFile;
};

// The plans of the fields of `rows`, with the table plan and the unique key
// columns of `context` (PlanTable and BuildKeyClauses must have run).
std::vector<FieldPlan> PlanFields(RowSource& rows, const ConversionContext& context);

// The value MySQL must hold for `field` of the current row of `rows`, into
// `out` (whose text buffer is reused). The fields of a row are asked in their
// order. May raise source::SourceError when the value cannot be read or
// written as text.
void ExpectedValue(RowSource& rows, const FieldPlan& field, TargetValue& out);

// The value for a value text in a column of the given type, as the row copy
// makes it from what ExpectedValue reads; `fullDateTime` gives a 12-hour
// text in a DATETIME or TIMESTAMP column its full date and time (else it
// stays the empty text).
void ValueFromText(const std::string& valueText, TypeClass type, bool fullDateTime,
                   TargetValue& out);

// How a quoted literal escapes its text. Server: backslash, quote and NUL,
// the least a statement sent to a server needs. DumpFile: also CR as \r, LF
// as \n and Ctrl-Z as \Z, as the mariadb and mysql clients need when they
// read statements from a file (they drop a CR before an LF there, and Ctrl-Z
// ends a file on Windows); every literal then stays on its one line.
enum class TextEscapes : uint8_t { Server, DumpFile };

// Appends the value's literal and a "," to `out`.
void AppendLiteral(std::string& out, const TargetValue& value,
                   TextEscapes escapes = TextEscapes::Server);

// Appends the value as a field of LOAD DATA's default text format (fields
// ended by a tab, lines by a newline, backslash escapes, read as bytes with
// CHARACTER SET binary), followed by its tab: NULL as \N; text, dates and
// numbers as the literal's text; bytes as themselves; a BIT column's number
// as its big-endian bytes, which is how that format holds a bit value. A
// backslash, tab, newline and NUL are escaped. The server stores from it
// what it stores from AppendLiteral's literal of the same value.
void AppendLoadField(std::string& out, const TargetValue& value, TypeClass type);

// The value text of one non-null field: "0x" and two lowercase hex digits
// per byte for binary types ("0x" alone for empty bytes), else the value's text, a hyperlink
// reduced to its display text or address, a rich-text memo freed of its paragraph markup. Appended
// to `out`.
void AppendValueText(std::string& out, const source::Variant& value, const FieldPlan& field);

}  // namespace bracken::engine
