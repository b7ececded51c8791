#include "engine/verify/verify_cell.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstring>

namespace bracken::engine {

namespace {

// Tags, one byte before each cell. NULL sorts first, as the server sorts it.
constexpr char kNullTag = 'A';
constexpr char kIntegerTag = 'I';
constexpr char kDecimalTag = 'D';
constexpr char kFloatTag = 'F';
constexpr char kDoubleTag = 'R';
constexpr char kDateTag = 'W';
constexpr char kTextTag = 'T';
constexpr char kBytesTag = 'B';

void AppendBigEndian(std::string& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

// Bytes of an IEEE float whose order is that of the numbers: the sign bit
// flipped for positive numbers, every bit for negative ones.
void AppendOrderedBits(std::string& out, uint64_t bits, int bytes) {
  const uint64_t sign = uint64_t{1} << (8 * bytes - 1);
  const uint64_t mask = bytes == 8 ? ~uint64_t{0} : (uint64_t{1} << (8 * bytes)) - 1;
  bits = (bits & sign) != 0 ? ~bits & mask : bits | sign;
  AppendBigEndian(out, bits, bytes);
}

// Text and bytes: a zero byte becomes 00 FF and the value ends in 00 00, so
// that the encoded bytes sort as the bytes themselves.
void AppendBytes(std::string& out, char tag, std::string_view bytes) {
  out += tag;
  std::size_t from = 0;
  for (std::size_t at; (at = bytes.find('\0', from)) != std::string_view::npos; from = at + 1) {
    out.append(bytes.substr(from, at - from));
    out += '\0';
    out += '\xFF';
  }
  out.append(bytes.substr(from));
  out += '\0';
  out += '\0';
}

bool ReadInteger(std::string_view text, int64_t& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

bool ReadDouble(std::string_view text, double& value) {
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

// Two's complement sorts as the numbers once the sign bit is flipped.
void AppendInteger(std::string& out, int64_t value) {
  out += kIntegerTag;
  AppendBigEndian(out, static_cast<uint64_t>(value) ^ (uint64_t{1} << 63), 8);
}

void AppendFloat(std::string& out, float value) {
  if (value == 0) value = 0;  // -0 is 0
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  out += kFloatTag;
  AppendOrderedBits(out, bits, 4);
}

void AppendDouble(std::string& out, double value) {
  if (value == 0) value = 0;
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  out += kDoubleTag;
  AppendOrderedBits(out, bits, 8);
}

// A decimal as sign, exponent and significant digits, in bytes that sort as
// the numbers: "12.5000" and "12.5" alike. False when `text` is no decimal.
bool AppendDecimal(std::string& out, std::string_view text) {
  bool negative = !text.empty() && (text[0] == '-' || text[0] == '+');
  if (negative) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  std::string digits;
  int exponent = 0;
  bool point = false, any = false;
  for (char c : text) {
    if (c == '.' && !point) {
      point = true;
      continue;
    }
    if (c < '0' || c > '9') return false;
    any = true;
    if (digits.empty() && c == '0') {
      if (point) --exponent;  // a zero after the point before the first digit
      continue;
    }
    digits += c;
    if (!point) ++exponent;
  }
  if (!any) return false;
  while (!digits.empty() && digits.back() == '0') digits.pop_back();
  out += kDecimalTag;
  if (digits.empty()) {
    out += '\x01';  // zero, between the negative and the positive numbers
    return true;
  }
  std::string magnitude;
  AppendBigEndian(magnitude, static_cast<uint64_t>(exponent + 32768), 2);
  magnitude += digits;
  magnitude += '\0';
  out += negative ? '\x00' : '\x02';
  for (char c : magnitude)
    out += negative ? static_cast<char>(0xFF - static_cast<unsigned char>(c)) : c;
  return true;
}

// "YYYY-MM-DD HH:MM:SS": a date alone is at midnight, fractions of a second go.
void AppendDate(std::string& out, std::string_view text) {
  out += kDateTag;
  if (text.size() == 10) {
    out.append(text);
    out += " 00:00:00";
  } else {
    out.append(text.substr(0, 19));
  }
}

// "YYYY-MM-DD HH:MM:SS.ffffff": six fraction digits, a seventh cut, missing
// ones zero.
void AppendFineDate(std::string& out, std::string_view text) {
  out += kDateTag;
  out.append(text.substr(0, 19));
  out += '.';
  std::string_view fraction = text.size() > 20 && text[19] == '.' ? text.substr(20) : "";
  fraction = fraction.substr(0, 6);
  out.append(fraction);
  out.append(6 - fraction.size(), '0');
}

bool LooksLikeDate(std::string_view text) {
  return text.size() >= 10 && text[4] == '-' && text[7] == '-' &&
         (text.size() == 10 || (text.size() >= 19 && text[10] == ' ' && text[13] == ':'));
}

// How many bytes of `text` fit in about `limit`: never more than `limit`, and
// never inside a UTF-8 character.
std::size_t CutAt(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text.size();
  std::size_t cut = limit;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return cut;
}

// The text with what a terminal would not show visibly written out: \r, \n,
// \t, \0 and \xNN for the other control characters (ESC is \x1b); a
// backslash is doubled, so that no text reads as one of these.
std::string Escaped(std::string_view text) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\x";
          out += kDigits[byte >> 4];
          out += kDigits[byte & 0x0F];
        } else {
          out += c;
        }
    }
  }
  return out;
}

// Cuts a text after about `limit` bytes, never inside a UTF-8 character,
// and escapes what it keeps.
std::string Shortened(std::string_view text, std::size_t limit) {
  const std::size_t cut = CutAt(text, limit);
  return Escaped(text.substr(0, cut)) + (cut < text.size() ? "..." : "");
}

std::string HexDigits(std::string_view bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  return out;
}

// Bytes as 0x and hex digits; empty bytes as X'', which no reader takes for
// a cut value.
std::string HexText(std::string_view bytes, std::size_t limit) {
  static const char kDigits[] = "0123456789abcdef";
  if (bytes.empty()) return "X''";
  std::string out = "0x";
  for (unsigned char byte : bytes) {
    if (out.size() + 2 > limit) return out + "... (" + std::to_string(bytes.size()) + " bytes)";
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0x0F];
  }
  return out;
}

std::string Shown(CellKind kind, std::string_view text, std::size_t limit) {
  switch (kind) {
    case CellKind::Null:
      return "NULL";
    case CellKind::Bytes:
      return HexText(text, limit);
    case CellKind::Text:
      return "'" + Shortened(text, limit) + "'";
    default:
      return Shortened(text, limit);
  }
}

std::string Normalized(const std::string& type) {
  std::string out;
  for (char c : type) {
    if (c != ' ') out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  if (out == "bit(1)") return "bit";
  for (const char* name : {"tinyint", "smallint", "mediumint", "bigint", "int"}) {
    const std::size_t length = std::strlen(name);
    if (out.compare(0, length, name) != 0 || out.size() <= length || out[length] != '(') continue;
    const std::size_t close = out.find(')', length);
    if (close != std::string::npos) out.erase(length, close - length + 1);
    break;
  }
  return out;
}

}  // namespace

void AppendCanonical(std::string& out, const TargetValue& value) {
  AppendCanonical(out, value.kind, value.kind == CellKind::Null, value.text);
}

void AppendCanonical(std::string& out, CellKind kind, bool isNull, std::string_view cell) {
  if (isNull || kind == CellKind::Null) {
    out += kNullTag;
    return;
  }
  int64_t integer = 0;
  double real = 0;
  switch (kind) {
    case CellKind::Integer:
      if (ReadInteger(cell, integer)) return AppendInteger(out, integer);
      break;
    case CellKind::Float:
      if (ReadDouble(cell, real)) return AppendFloat(out, static_cast<float>(real));
      break;
    case CellKind::Double:
      if (ReadDouble(cell, real)) return AppendDouble(out, real);
      break;
    case CellKind::Decimal:
      if (AppendDecimal(out, cell)) return;
      break;
    case CellKind::DateTime:
      if (LooksLikeDate(cell)) return AppendDate(out, cell);
      break;
    case CellKind::FineDateTime:
      if (LooksLikeDate(cell) && cell.size() >= 19) return AppendFineDate(out, cell);
      break;
    case CellKind::Bytes:
      return AppendBytes(out, kBytesTag, cell);
    case CellKind::Text:
    case CellKind::Null:
      break;
  }
  AppendBytes(out, kTextTag, cell);
}

std::string DisplayValue(const TargetValue& value, std::size_t limit) {
  return Shown(value.kind, value.text, limit);
}

std::string DisplayCell(CellKind kind, bool isNull, std::string_view cell, std::size_t limit) {
  if (isNull) return "NULL";
  return Shown(kind == CellKind::Null ? CellKind::Text : kind, cell, limit);
}

std::string FirstDifference(const TargetValue& value, CellKind kind, bool isNull,
                            std::string_view cell, std::size_t limit) {
  if (kind == CellKind::Null) kind = CellKind::Text;
  if (isNull || value.kind != kind || (kind != CellKind::Text && kind != CellKind::Bytes))
    return {};
  const std::string_view file = value.text;
  const bool text = kind == CellKind::Text;
  // Bytes show as two digits each.
  const std::size_t room = text ? limit : limit / 2;
  if (file.size() <= room && cell.size() <= room) return {};
  std::size_t at = 0;
  while (at < file.size() && at < cell.size() && file[at] == cell[at]) ++at;
  if (at == file.size() && at == cell.size()) return {};
  // A text is counted in characters, from the one the first differing byte belongs to.
  auto lead = [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; };
  auto count = [&](std::string_view part) {
    return text ? static_cast<std::size_t>(std::count_if(part.begin(), part.end(), lead))
                : part.size();
  };
  if (text) {
    while (at > 0 &&
           ((at < file.size() && !lead(file[at])) || (at < cell.size() && !lead(cell[at]))))
      --at;
  }
  // The excerpt starts a little before the place, at a character's start.
  std::size_t from = at > room / 4 ? at - room / 4 : 0;
  if (text) {
    while (from > 0 && !lead(file[from])) --from;
  }
  auto excerpt = [&](std::string_view whole) {
    const std::string_view rest = whole.substr(from);
    const std::size_t cut = text ? CutAt(rest, room) : std::min(rest.size(), room);
    std::string shown = text ? Escaped(rest.substr(0, cut)) : HexDigits(rest.substr(0, cut));
    if (from > 0) shown = "..." + shown;
    if (cut < rest.size()) shown += "...";
    return text ? "'" + shown + "'" : (from > 0 ? shown : "0x" + shown);
  };
  const char* unit = text ? "character" : "byte";
  return "first differs at " + std::string(unit) + " " +
         std::to_string(count(file.substr(0, at)) + 1) + " (of " + std::to_string(count(file)) +
         " in the file, " + std::to_string(count(cell)) + " in MySQL): " + excerpt(file) +
         " in the file, " + excerpt(cell) + " in MySQL";
}

bool SameColumnType(const std::string& planned, const std::string& columnType) {
  return Normalized(planned) == Normalized(columnType);
}

}  // namespace bracken::engine
