#include "engine/rows/target_value.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <string_view>

#include "engine/conversion_context.h"
#include "engine/rows/date_text.h"
#include "engine/rows/ole_files.h"
#include "engine/rows/value_cleanup.h"
#include "engine/rows/value_text.h"
#include "engine/schema/type_mapping.h"

namespace bracken::engine {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

std::string UpperCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool IsBinaryCode(int32_t type) {
  return type == source::adBinary || type == source::adVarBinary || type == source::adLongVarBinary;
}

bool IsIntegerType(const std::string& type) {
  for (const char* name : {"TINYINT", "SMALLINT", "MEDIUMINT", "INT", "BIGINT"}) {
    if (StartsWith(type, name)) return true;
  }
  return false;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// "0x" followed by pairs of hexadecimal digits, none for empty bytes: bytes
// as the row copy writes them.
bool IsHexBytes(const std::string& value) {
  if (value.size() < 2 || value.size() % 2 != 0 || !StartsWith(value, "0x")) return false;
  return std::all_of(value.begin() + 2, value.end(), [](char c) { return HexDigit(c) >= 0; });
}

// Replaces "0x..." in place by the bytes it writes.
void DecodeHex(std::string& text) {
  std::size_t out = 0;
  for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
    text[out++] = static_cast<char>(HexDigit(text[i]) * 16 + HexDigit(text[i + 1]));
  }
  text.resize(out);
}

void Set(TargetValue& value, CellKind kind, LiteralForm form) {
  value.kind = kind;
  value.form = form;
}

// Writes `number` as exactly `width` digits; false when it has more or is
// negative.
bool PutDigits(char* at, int number, int width) {
  if (number < 0) return false;
  for (int i = width - 1; i >= 0; --i, number /= 10) at[i] = static_cast<char>('0' + number % 10);
  return number == 0;
}

// "YYYY-MM-DD HH:MM:SS" or its date alone, without a format to read per value.
bool PutDate(TargetValue& value, const DateTimeParts& parts, bool withTime) {
  char text[19] = {'0', '0', '0', '0', '-', '0', '0', '-', '0', '0',
                   ' ', '0', '0', ':', '0', '0', ':', '0', '0'};
  bool fits = PutDigits(text, parts.year, 4) && PutDigits(text + 5, parts.month, 2) &&
              PutDigits(text + 8, parts.day, 2);
  if (withTime) {
    fits = fits && PutDigits(text + 11, parts.hour, 2) && PutDigits(text + 14, parts.minute, 2) &&
           PutDigits(text + 17, parts.second, 2);
  }
  if (!fits) return false;
  value.text.assign(text, withTime ? 19 : 10);
  Set(value, CellKind::DateTime, LiteralForm::Quoted);
  return true;
}

void SetDate(TargetValue& value, const DateTimeParts& parts, bool withTime) {
  if (PutDate(value, parts, withTime)) return;
  char buffer[48];
  int size = withTime
                 ? std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", parts.year,
                                 parts.month, parts.day, parts.hour, parts.minute, parts.second)
                 : std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts.year, parts.month,
                                 parts.day);
  value.text.assign(buffer, static_cast<std::size_t>(size));
  Set(value, CellKind::DateTime, LiteralForm::Quoted);
}

void SetInvalidDate(TargetValue& value) {
  value.text.assign("Invalid DateTime");
  Set(value, CellKind::Text, LiteralForm::Quoted);
}

// A 12-hour text stays the empty text unless the full date and time is
// asked for; a 24-hour text keeps its time in a date-and-time column; a
// DATE column takes the date alone.
void ClassifyDate(TargetValue& value, bool dateOnly, bool fullDateTime) {
  const std::string& text = value.text;
  const bool twelveHour = !text.empty() && (text.back() == 'M' || text.back() == 'm');
  if (twelveHour && !(fullDateTime && !dateOnly)) {
    value.text.clear();
    Set(value, CellKind::Text, LiteralForm::Quoted);
    return;
  }
  auto parts = ParseDateTimeText(text);
  if (!parts) return SetInvalidDate(value);
  const bool hasTime = text.find(':') != std::string::npos;
  SetDate(value, *parts, !dateOnly && (hasTime || twelveHour));
}

void ClassifyNumber(TargetValue& value, CellKind kind) {
  if (value.text.find_first_of(".eE") == std::string::npos) value.text += ".0";
  Set(value, kind, LiteralForm::Bare);
}

// Turns the value text in value.text into the value of a column of `type`.
void Classify(TargetValue& value, TypeClass type, bool fullDateTime) {
  value.nonFinite = nullptr;
  if (value.text.empty()) {
    return type == TypeClass::Text ? Set(value, CellKind::Text, LiteralForm::Quoted)
                                   : value.SetNull();
  }
  switch (type) {
    case TypeClass::Bit:
      if (value.text == "-1") value.text = "1";
      return Set(value, CellKind::Integer, LiteralForm::Bare);
    case TypeClass::Integer:
      return Set(value, CellKind::Integer, LiteralForm::Bare);
    case TypeClass::QuotedInteger:
      return Set(value, CellKind::Integer, LiteralForm::Quoted);
    case TypeClass::Float:
      return ClassifyNumber(value, CellKind::Float);
    case TypeClass::Double:
      return ClassifyNumber(value, CellKind::Double);
    case TypeClass::Decimal:
      return ClassifyNumber(value, CellKind::Decimal);
    case TypeClass::Date:
    case TypeClass::DateTime:
      return ClassifyDate(value, type == TypeClass::Date, fullDateTime);
    case TypeClass::Blob:
      if (!IsHexBytes(value.text)) return Set(value, CellKind::Bytes, LiteralForm::Quoted);
      DecodeHex(value.text);
      return Set(value, CellKind::Bytes, LiteralForm::Hex);
    case TypeClass::Text:
    case TypeClass::Other:
      return Set(value, CellKind::Text, LiteralForm::Quoted);
  }
}

bool IsTextTypeName(const std::string& type) {
  return StartsWith(type, "CHAR") || StartsWith(type, "VARCHAR") || type == "TEXT" ||
         type == "LONGTEXT";
}

bool Names(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

void AppendEscaped(std::string& out, const std::string& text) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' && c != '\'' && c != '\0') continue;
    out.append(text, from, i - from);
    out += '\\';
    out += c == '\0' ? '0' : c;
    from = i + 1;
  }
  out.append(text, from, std::string::npos);
}

// The backslash escape that spells `c` in a literal a client reads from a
// file, or 0 when `c` goes as it is.
char DumpEscape(char c) {
  switch (c) {
    case '\\':
    case '\'':
      return c;
    case '\0':
      return '0';
    case '\r':
      return 'r';
    case '\n':
      return 'n';
    case '\x1a':
      return 'Z';
    default:
      return 0;
  }
}

void AppendDumpEscaped(std::string& out, const std::string& text) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char escape = DumpEscape(text[i]);
    if (escape == 0) continue;
    out.append(text, from, i - from);
    out += '\\';
    out += escape;
    from = i + 1;
  }
  out.append(text, from, std::string::npos);
}

// The value text of bytes: "0x" and two digits per byte, "0x" alone for none.
void AppendHex(std::string& out, const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  out.reserve(out.size() + 2 + 2 * bytes.size());
  out += "0x";
  for (unsigned char byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
}

// Bytes in LOAD DATA's escaped form.
void AppendLoadEscaped(std::string& out, std::string_view bytes) {
  std::size_t from = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char escape = 0;
    switch (bytes[i]) {
      case '\\':
        escape = '\\';
        break;
      case '\t':
        escape = 't';
        break;
      case '\n':
        escape = 'n';
        break;
      case '\0':
        escape = '0';
        break;
      default:
        continue;
    }
    out.append(bytes, from, i - from);
    out += '\\';
    out += escape;
    from = i + 1;
  }
  out.append(bytes, from, std::string_view::npos);
}

// The bytes of a BIT value: its number big-endian, one byte at least. A
// text that is no unsigned number goes as it is, which the server refuses
// as the INSERT's literal is.
void AppendBitBytes(std::string& out, const std::string& digits) {
  unsigned long long number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (error != std::errc() || end != digits.data() + digits.size()) {
    AppendLoadEscaped(out, digits);
    return;
  }
  char bytes[8];
  int count = 0;
  do {
    bytes[7 - count++] = static_cast<char>(number & 0xFF);
    number >>= 8;
  } while (number != 0);
  AppendLoadEscaped(out, std::string_view(bytes + 8 - count, static_cast<std::size_t>(count)));
}

const char* NonFiniteName(double number) {
  return std::isnan(number) ? "NaN" : number > 0 ? "Infinity" : "-Infinity";
}

}  // namespace

TypeClass ClassifyType(const std::string& typeName) {
  const std::string type = UpperCase(typeName);
  if (IsTextTypeName(type)) return TypeClass::Text;
  if (type == "BIT") return TypeClass::Bit;
  if (type == "INT" || type == "SMALLINT" || type == "BIGINT" || type == "TINYINT") {
    return TypeClass::Integer;
  }
  if (StartsWith(type, "FLOAT")) return TypeClass::Float;
  if (StartsWith(type, "DOUBLE")) return TypeClass::Double;
  if (StartsWith(type, "DECIMAL")) return TypeClass::Decimal;
  if (type == "DATE") return TypeClass::Date;
  if (type == "DATETIME" || type == "TIMESTAMP") return TypeClass::DateTime;
  if (EndsWith(type, "BLOB")) return TypeClass::Blob;
  return IsIntegerType(type) ? TypeClass::QuotedInteger : TypeClass::Other;
}

namespace {

// The two fields beside an OLE Object column stored as files.
FieldPlan OleCompanion(const FieldPlan& file, const std::string& name, const char* type,
                       OleRole role) {
  FieldPlan p;
  p.name = name;
  p.typeName = type;
  p.typeClass = TypeClass::Text;
  p.nullStaysNull = true;
  p.longValue = true;
  p.sourceIndex = file.sourceIndex;
  p.ole = role;
  p.oleFile = file.oleFile;
  return p;
}

}  // namespace

std::vector<FieldPlan> PlanFields(RowSource& rows, const ConversionContext& context) {
  const long count = rows.FieldCount();
  std::vector<FieldPlan> plan;
  plan.reserve(static_cast<std::size_t>(count));
  for (long i = 0; i < count; ++i) {
    ColumnDescription field = rows.Field(i);
    FieldPlan& p = plan.emplace_back();
    p.sourceIndex = i;
    p.name = field.name;
    p.typeName = MapColumnType(field.type, field.definedSize, field.numericScale, field.precision);
    p.typeClass = ClassifyType(p.typeName);
    p.binary = IsBinaryCode(field.type);
    p.dateTime = p.typeName == "DATETIME" || p.typeName == "TIMESTAMP";
    p.real = field.type == source::adSingle || field.type == source::adDouble;
    p.nullStaysNull =
        IsTextTypeName(p.typeName) && Names(context.keyState.uniqueKeyColumns, field.name);
    p.longValue = p.binary || IsTextTypeName(p.typeName);
    const ColumnPlan* column = context.tablePlan.Find(field.name);
    if (column != nullptr) {
      p.hyperlink = column->hyperlink;
      p.richText = column->richText;
    }
    if (column != nullptr && column->OleFiles() && field.type == source::adLongVarBinary) {
      p.ole = OleRole::File;
      p.oleFile = std::make_shared<OleFileValue>();
      const FieldPlan file = p;  // `p` moves as the plan grows
      plan.push_back(
          OleCompanion(file, column->fileNameColumn, kOleFileNameType, OleRole::FileName));
      plan.push_back(
          OleCompanion(file, column->fileTypeColumn, kOleFileTypeType, OleRole::FileType));
    }
  }
  return plan;
}

void ExpectedValue(RowSource& rows, const FieldPlan& field, TargetValue& out) {
  if (field.ole == OleRole::FileName || field.ole == OleRole::FileType) {
    return ExpectedOleCompanion(*field.oleFile, field.ole == OleRole::FileName, out);
  }
  out.nonFinite = nullptr;
  out.text.clear();
  // The value is read once: an empty text takes the same way as a null one
  // below (it classifies as a null does); empty bytes stay empty bytes, apart
  // from a null.
  const source::Variant value = rows.Value(field.sourceIndex);
  if (field.ole == OleRole::File) {
    if (!value.IsNull()) return ExpectedOleFile(value, field.name, out, *field.oleFile);
    *field.oleFile = OleFileValue{};
  }
  if (value.IsNull()) {
    // '' in a text column, except in a UNIQUE key, where a null stays NULL
    // so that many such rows fit the key.
    if (field.nullStaysNull) return out.SetNull();
    return Classify(out, field.typeClass, field.dateTime);
  }
  if (field.real && !std::isfinite(value.ToDouble())) {
    out.SetNull();
    out.nonFinite = NonFiniteName(value.ToDouble());
    return;
  }
  if (field.binary) {
    out.text = value.Bytes();
    return Set(out, CellKind::Bytes, LiteralForm::Hex);
  }
  AppendValueText(out.text, value, field);
  Classify(out, field.typeClass, field.dateTime);
}

void ValueFromText(const std::string& valueText, TypeClass type, bool fullDateTime,
                   TargetValue& out) {
  out.text = valueText;
  Classify(out, type, fullDateTime);
}

void AppendLiteral(std::string& out, const TargetValue& value, TextEscapes escapes) {
  switch (value.form) {
    case LiteralForm::Null:
      out += "NULL,";
      return;
    case LiteralForm::Bare:
      out += value.text;
      break;
    case LiteralForm::Quoted:
      out += '\'';
      if (escapes == TextEscapes::DumpFile) {
        AppendDumpEscaped(out, value.text);
      } else {
        AppendEscaped(out, value.text);
      }
      out += '\'';
      break;
    case LiteralForm::Hex:
      // "0x" alone is no literal: empty bytes are written X''.
      if (value.text.empty()) {
        out += "X''";
      } else {
        AppendHex(out, value.text);
      }
      break;
  }
  out += ',';
}

void AppendLoadField(std::string& out, const TargetValue& value, TypeClass type) {
  if (value.form == LiteralForm::Null) {
    out += "\\N";
  } else if (type == TypeClass::Bit && value.form == LiteralForm::Bare) {
    AppendBitBytes(out, value.text);
  } else {
    AppendLoadEscaped(out, value.text);
  }
  out += '\t';
}

void AppendValueText(std::string& out, const source::Variant& value, const FieldPlan& field) {
  if (field.binary) {
    AppendHex(out, value.Bytes());
    return;
  }
  std::size_t start = out.size();
  AppendExactText(out, value);
  if (!field.hyperlink && !field.richText) return;
  std::string text = out.substr(start);
  if (field.hyperlink) text = HyperlinkText(text);
  if (field.richText) RemoveRichTextMarkup(text);
  out.resize(start);
  out += text;
}

}  // namespace bracken::engine
