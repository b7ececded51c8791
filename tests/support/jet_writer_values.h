#pragma once

// How the fixture writer stores single values: fixed-size fields, text with
// or without Unicode compression, and the bytes of long values.

#include <cstdint>
#include <string>

#include "tests/support/fixture_writer.h"
#include "tests/support/jet_writer_format.h"

namespace bracken::testing::jet {

// The bytes of a fixed-size column (`size` bytes; zeros for null).
void EncodeFixed(const FixtureColumn& column, int size, const FixtureValue& value, char* out);

// Stored text: compressed (0xFF 0xFE, then one byte per character where the
// high byte is zero) when allowed and shorter, otherwise UTF-16LE.
std::string EncodeText(const std::string& utf8, bool allowCompression);

// The stored bytes of a variable or long column value (text encoded as the
// version stores it, binary as given).
std::string EncodeVariable(const FixtureColumn& column, const FixtureValue& value,
                           const WriterFormat& format);

// The 17 bytes of a Decimal: a sign byte, then the magnitude as four 32-bit
// words, the most significant first. Throws std::invalid_argument on text
// that is not a number with at most `scale` decimals.
std::string EncodeDecimal(const std::string& text, uint8_t scale);

}  // namespace bracken::testing::jet
