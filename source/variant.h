#pragma once

// The value of a field or property, independent of the file it came from.

#include <cstdint>
#include <string>

namespace bracken::source {

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
    BigInt,   // 64-bit
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
  static Variant BigInt(int64_t value);

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

}  // namespace bracken::source
