#pragma once

// Turns a column's stored bytes into a value: numbers little-endian,
// Currency as a count of ten-thousandths, Date/Time as a day count with the
// time as fraction, Decimal as a sign byte and four 32-bit words (most
// significant first), text and long values through their own decoders.

#include <cstdint>

#include "source/jet/bytes.h"
#include "source/jet/format.h"
#include "source/jet/page_file.h"
#include "source/jet/table_definition.h"
#include "source/variant.h"

namespace bracken::source::jet {

struct ValueContext {
  const PageFile* file = nullptr;
  Format format;
  uint16_t codePage = 1252;
};

// The value of a present (non-null) column; Yes/No values come from the
// null mask and are not decoded here.
Variant DecodeValue(const ColumnDefinition& column, Bytes stored, const ValueContext& context);
// A memo or OLE value from the whole of its stored bytes.
Variant LongValueVariant(const ColumnDefinition& column, Bytes whole, const ValueContext& context);

}  // namespace bracken::source::jet
