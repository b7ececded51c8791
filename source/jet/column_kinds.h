#pragma once

// The column types Jet stores in a table definition, and what each one means
// for the reader: its storage size and the type code the provider reports.

#include <cstdint>

namespace bracken::source::jet {

enum class ColumnKind : uint8_t {
  Boolean = 0x01,
  Byte = 0x02,
  Integer = 0x03,
  Long = 0x04,
  Currency = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
  Guid = 0x0F,
  Decimal = 0x10,
  Complex = 0x12,           // attachment or multi-value: the row's set number
  BigInt = 0x13,            // Large Number
  ExtendedDateTime = 0x14,  // Date/Time Extended, 42 bytes of text
};

// Column flags in the table definition, the same in both versions. Each
// means what its name says only on its own kind: a counter on Long, a
// generated identifier on Guid, a hyperlink on Memo. 0x02 is set on nearly
// every column and says nothing about nulls ("Required" is a property).
inline constexpr uint8_t kColumnFixedLength = 0x01;
inline constexpr uint8_t kColumnAutoLong = 0x04;
inline constexpr uint8_t kColumnAutoGuid = 0x40;
inline constexpr uint8_t kColumnHyperlink = 0x80;
// The second flag byte of Jet 4 and ACE column entries: a calculated column.
inline constexpr uint8_t kColumnCalculated = 0xC0;

bool IsKnownKind(uint8_t code);
// Memo and OLE values live in long-value storage.
inline bool IsLongValue(ColumnKind kind) {
  return kind == ColumnKind::Ole || kind == ColumnKind::Memo;
}
// The type code reported for a column: Binary is 128 when fixed length.
int32_t AdoTypeCode(ColumnKind kind, bool fixedLength);
// Bytes a fixed-size kind takes in a row (0 for text, binary, memo and OLE).
uint32_t FixedSize(ColumnKind kind);

}  // namespace bracken::source::jet
