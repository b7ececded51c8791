#include "tests/support/jet_writer_values.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

#include "tests/support/jet_writer_bytes.h"

namespace bracken::testing::jet {
namespace {

int64_t AsInteger(const FixtureValue& value) {
  if (const auto* b = std::get_if<bool>(&value)) return *b ? -1 : 0;
  if (const auto* d = std::get_if<double>(&value)) return static_cast<int64_t>(*d);
  return std::get<int64_t>(value);
}

double AsReal(const FixtureValue& value) {
  if (const auto* i = std::get_if<int64_t>(&value)) return static_cast<double>(*i);
  return std::get<double>(value);
}

const std::string& AsBytes(const FixtureValue& value) { return std::get<std::string>(value); }

// Compressed form: runs of characters 0x01-0xFF take one byte, other runs two;
// a zero byte switches between the two. A character whose low byte is zero
// cannot be written in either mode without reading as a switch.
bool Compress(const std::u16string& text, std::string& out) {
  out.assign("\xff\xfe", 2);
  bool compressed = true;
  for (char16_t c : text) {
    if ((c & 0xff) == 0) return false;
    bool narrow = c < 0x100;
    if (narrow != compressed) {
      out.push_back('\0');
      compressed = narrow;
    }
    out.push_back(static_cast<char>(c & 0xff));
    if (!narrow) out.push_back(static_cast<char>(c >> 8));
  }
  return true;
}

}  // namespace

std::u16string Utf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    auto b = static_cast<unsigned char>(utf8[i]);
    int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
    if (extra < 0 || i + extra >= utf8.size()) {
      out.push_back(u'\xfffd');
      ++i;
      continue;
    }
    uint32_t code = extra == 0 ? b : b & (0x3f >> extra);
    for (int k = 1; k <= extra; ++k) code = code << 6 | (utf8[i + k] & 0x3f);
    i += extra + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xd800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xdc00 + (code & 0x3ff)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
  }
  return out;
}

std::string Ucs2Bytes(std::string_view utf8) {
  std::string out;
  for (char16_t c : Utf16(utf8)) Append<uint16_t>(out, c);
  return out;
}

std::string Cp1252Bytes(std::string_view utf8) {
  // Windows-1252 bytes 0x80 to 0x9F; 0 where the code page has no character.
  static constexpr char16_t kHigh[32] = {
      0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
      0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
      0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
  std::string out;
  for (char16_t c : Utf16(utf8)) {
    if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    const char16_t* found = std::find(std::begin(kHigh), std::end(kHigh), c);
    if (c == 0 || found == std::end(kHigh)) {
      throw std::invalid_argument("text not in Windows-1252: " + std::string(utf8));
    }
    out.push_back(static_cast<char>(0x80 + (found - std::begin(kHigh))));
  }
  return out;
}

std::string NameBytes(std::string_view utf8, const WriterFormat& format) {
  return format.jet3 ? Cp1252Bytes(utf8) : Ucs2Bytes(utf8);
}

std::string EncodeText(const std::string& utf8, bool allowCompression) {
  std::u16string text = Utf16(utf8);
  std::string compressed;
  if (allowCompression && !text.empty() && Compress(text, compressed) &&
      compressed.size() < text.size() * 2) {
    return compressed;
  }
  std::string plain;
  plain.reserve(text.size() * 2);
  for (char16_t c : text) Append<uint16_t>(plain, c);
  return plain;
}

std::string EncodeDecimal(const std::string& text, uint8_t scale) {
  size_t i = 0;
  bool negative = !text.empty() && text[0] == '-';
  if (negative || (!text.empty() && text[0] == '+')) ++i;
  unsigned __int128 magnitude = 0;
  int decimals = -1;
  bool digits = false;
  for (; i < text.size(); ++i) {
    char c = text[i];
    if (c == '.' && decimals < 0) {
      decimals = 0;
      continue;
    }
    if (c < '0' || c > '9') throw std::invalid_argument("not a decimal number: " + text);
    magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
    digits = true;
    if (decimals >= 0) ++decimals;
  }
  if (!digits || decimals > scale) throw std::invalid_argument("not a decimal number: " + text);
  for (int k = decimals < 0 ? 0 : decimals; k < scale; ++k) magnitude *= 10;
  std::string out(17, '\0');
  out[0] = negative && magnitude != 0 ? '\x80' : '\0';
  for (int word = 0; word < 4; ++word) {
    auto bits = static_cast<uint32_t>(magnitude >> (32 * (3 - word)));
    Place<uint32_t>(out, 1 + 4 * word, bits);
  }
  return out;
}

void EncodeFixed(const FixtureColumn& column, int size, const FixtureValue& value, char* out) {
  std::memset(out, 0, size);
  if (IsNull(value)) return;
  switch (column.kind) {
    case ColumnKind::Byte:
      Place<uint8_t>(out, 0, static_cast<uint8_t>(AsInteger(value)));
      break;
    case ColumnKind::Integer:
      Place<int16_t>(out, 0, static_cast<int16_t>(AsInteger(value)));
      break;
    case ColumnKind::Long:
      Place<int32_t>(out, 0, static_cast<int32_t>(AsInteger(value)));
      break;
    case ColumnKind::Currency:
      Place<int64_t>(out, 0, AsInteger(value));
      break;
    case ColumnKind::Single:
      Place<float>(out, 0, static_cast<float>(AsReal(value)));
      break;
    case ColumnKind::Double:
    case ColumnKind::DateTime:
      Place<double>(out, 0, AsReal(value));
      break;
    case ColumnKind::Guid:
    case ColumnKind::Binary: {
      const std::string& bytes = AsBytes(value);
      std::memcpy(out, bytes.data(), std::min<size_t>(bytes.size(), size));
      break;
    }
    case ColumnKind::Decimal: {
      std::string bytes = EncodeDecimal(AsBytes(value), column.scale);
      std::memcpy(out, bytes.data(), bytes.size());
      break;
    }
    default:
      throw std::logic_error("not a fixed-size column: " + column.name);
  }
}

std::string EncodeVariable(const FixtureColumn& column, const FixtureValue& value,
                           const WriterFormat& format) {
  switch (column.kind) {
    case ColumnKind::Text:
      if (format.jet3) return Cp1252Bytes(AsBytes(value));
      return EncodeText(AsBytes(value), column.compressedText);
    case ColumnKind::Memo:
    case ColumnKind::Hyperlink: {
      if (format.jet3) return Cp1252Bytes(AsBytes(value));
      // Only memos of up to 1024 characters are ever stored compressed.
      const std::string& text = AsBytes(value);
      return EncodeText(text, column.compressedText && Utf16(text).size() <= 1024);
    }
    default:
      return AsBytes(value);
  }
}

}  // namespace bracken::testing::jet
