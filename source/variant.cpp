#include "source/variant.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "source/date_serial.h"
#include "source/shortest_number.h"
#include "source/source_error.h"

namespace bracken::source {

namespace {

// Appends [first, end) by its length, the quickest way into a string.
void Append(std::string& out, const char* first, const char* end) {
  out.append(first, static_cast<size_t>(end - first));
}

// Writes the decimal digits of value so that they end at end; returns
// where they start.
template <typename Unsigned>
char* PutDigitsBefore(Unsigned value, char* end) {
  do {
    *--end = static_cast<char>('0' + static_cast<int>(value % 10));
    value /= 10;
  } while (value != 0);
  return end;
}

char* PutUnsigned(uint64_t value, char* out) { return std::to_chars(out, out + 20, value).ptr; }

void AppendSigned(int64_t value, std::string& out) {
  char buffer[24];
  Append(out, buffer, std::to_chars(buffer, buffer + sizeof buffer, value).ptr);
}

char* PutTwoDigits(int value, char* out) {
  out[0] = static_cast<char>('0' + value / 10);
  out[1] = static_cast<char>('0' + value % 10);
  return out + 2;
}

// A magnitude with the given number of decimals, without trailing zeros.
template <typename Unsigned>
void AppendScaled(bool negative, Unsigned magnitude, int scale, std::string& out) {
  char buffer[2 + 40 + 256];  // sign, point, 39 digits, leading zeros up to any scale
  char* end = buffer + sizeof buffer;
  char* first = PutDigitsBefore(magnitude, end);
  while (end - first <= scale) *--first = '0';
  char* point = end - scale;
  char* last = end;  // drop trailing zeros of the fraction
  while (last > point && last[-1] == '0') --last;
  if (last > point) {  // the whole part moves one place left for the point
    std::memmove(first - 1, first, point - first);
    --first;
    point[-1] = '.';
  }
  if (negative && magnitude != 0) *--first = '-';
  Append(out, first, last);
}

char* PutTime(int64_t seconds, char* out) {
  int hour = static_cast<int>(seconds / 3600);
  out = PutUnsigned(hour % 12 == 0 ? 12 : hour % 12, out);
  *out++ = ':';
  out = PutTwoDigits(static_cast<int>(seconds / 60 % 60), out);
  *out++ = ':';
  out = PutTwoDigits(static_cast<int>(seconds % 60), out);
  *out++ = ' ';
  *out++ = hour < 12 ? 'A' : 'P';
  *out++ = 'M';
  return out;
}

// "M/D/YYYY h:mm:ss AM": the date alone at midnight, the time alone on day 0.
void AppendDate(double serial, std::string& out) {
  DateParts parts;
  if (!SplitDateSerial(serial, parts)) {
    ThrowSourceError("A date value is out of the range Access supports.");
  }
  char buffer[32];
  char* end = buffer;
  if (parts.dayNumber == 0) {
    end = PutTime(parts.secondOfDay, end);
  } else {
    end = PutUnsigned(parts.month, end);
    *end++ = '/';
    end = PutUnsigned(parts.day, end);
    *end++ = '/';
    end = PutUnsigned(parts.year, end);
    if (parts.secondOfDay != 0) {
      *end++ = ' ';
      end = PutTime(parts.secondOfDay, end);
    }
  }
  Append(out, buffer, end);
}

template <typename T>
void AppendShortest(T value, std::string& out) {
  char buffer[64];
  Append(out, buffer, PutShortest(value, buffer));
}

void AppendGuid(const std::string& bytes, std::string& out) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  // The first three groups are little-endian numbers, the rest plain bytes.
  static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  char text[38];
  char* p = text;
  *p++ = '{';
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) *p++ = '-';
    uint8_t b =
        kOrder[i] < static_cast<int>(bytes.size()) ? static_cast<uint8_t>(bytes[kOrder[i]]) : 0;
    *p++ = kHex[b >> 4];
    *p++ = kHex[b & 15];
  }
  *p++ = '}';
  Append(out, text, p);
}

[[noreturn]] void ThrowTypeMismatch() { ThrowSourceError("Type mismatch."); }

}  // namespace

}  // namespace bracken::source

namespace bracken::source {

Variant Variant::Boolean(bool value) {
  Variant v;
  v.kind_ = Kind::Boolean;
  v.integer_ = value ? -1 : 0;
  return v;
}

Variant Variant::Byte(uint8_t value) {
  Variant v;
  v.kind_ = Kind::Byte;
  v.integer_ = value;
  return v;
}

Variant Variant::Integer(int16_t value) {
  Variant v;
  v.kind_ = Kind::Integer;
  v.integer_ = value;
  return v;
}

Variant Variant::Long(int32_t value) {
  Variant v;
  v.kind_ = Kind::Long;
  v.integer_ = value;
  return v;
}

Variant Variant::Currency(int64_t tenThousandths) {
  Variant v;
  v.kind_ = Kind::Currency;
  v.integer_ = tenThousandths;
  return v;
}

Variant Variant::Single(float value) {
  Variant v;
  v.kind_ = Kind::Single;
  v.real_ = value;
  return v;
}

Variant Variant::Double(double value) {
  Variant v;
  v.kind_ = Kind::Double;
  v.real_ = value;
  return v;
}

Variant Variant::Date(double serial) {
  Variant v;
  v.kind_ = Kind::Date;
  v.real_ = serial;
  return v;
}

Variant Variant::Text(std::string utf8) {
  Variant v;
  v.kind_ = Kind::Text;
  v.bytes_ = std::move(utf8);
  return v;
}

Variant Variant::Binary(std::string bytes) {
  Variant v;
  v.kind_ = Kind::Binary;
  v.bytes_ = std::move(bytes);
  return v;
}

Variant Variant::Guid(std::string sixteenBytes) {
  Variant v;
  v.kind_ = Kind::Guid;
  v.bytes_ = std::move(sixteenBytes);
  return v;
}

Variant Variant::Decimal(bool negative, uint8_t scale, uint32_t hi, uint64_t lo) {
  Variant v;
  v.kind_ = Kind::Decimal;
  v.negative_ = negative;
  v.scale_ = scale;
  v.hi_ = hi;
  v.integer_ = static_cast<int64_t>(lo);
  return v;
}

Variant Variant::BigInt(int64_t value) {
  Variant v;
  v.kind_ = Kind::BigInt;
  v.integer_ = value;
  return v;
}

std::string Variant::ToText() const {
  std::string out;
  AppendText(out);
  return out;
}

void Variant::AppendText(std::string& out) const {
  switch (kind_) {
    case Kind::Null:
      return;
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
      AppendSigned(integer_, out);
      return;
    case Kind::Currency: {
      bool negative = integer_ < 0;
      uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(integer_) : integer_;
      AppendScaled(negative, magnitude, 4, out);
      return;
    }
    case Kind::Single:
      AppendShortest(static_cast<float>(real_), out);
      return;
    case Kind::Double:
      AppendShortest(real_, out);
      return;
    case Kind::Date:
      AppendDate(real_, out);
      return;
    case Kind::Text:
    case Kind::Binary:
      out.append(bytes_);
      return;
    case Kind::Guid:
      AppendGuid(bytes_, out);
      return;
    case Kind::Decimal: {
      if (hi_ == 0) {
        AppendScaled(negative_, static_cast<uint64_t>(integer_), scale_, out);
        return;
      }
      unsigned __int128 magnitude =
          (static_cast<unsigned __int128>(hi_) << 64) | static_cast<uint64_t>(integer_);
      AppendScaled(negative_, magnitude, scale_, out);
      return;
    }
  }
}

bool Variant::ToBool() const { return ToDouble() != 0; }

int64_t Variant::ToInt64() const {
  switch (kind_) {
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
      return integer_;
    default:
      ThrowTypeMismatch();
  }
}

double Variant::ToDouble() const {
  switch (kind_) {
    case Kind::Boolean:
    case Kind::Byte:
    case Kind::Integer:
    case Kind::Long:
    case Kind::BigInt:
      return static_cast<double>(integer_);
    case Kind::Currency:
      return static_cast<double>(integer_) / 10000.0;
    case Kind::Single:
    case Kind::Double:
    case Kind::Date:
      return real_;
    case Kind::Decimal: {
      double magnitude = static_cast<double>(hi_) * 18446744073709551616.0 +
                         static_cast<double>(static_cast<uint64_t>(integer_));
      magnitude /= std::pow(10.0, scale_);
      return negative_ ? -magnitude : magnitude;
    }
    default:
      ThrowTypeMismatch();
  }
}

}  // namespace bracken::source
