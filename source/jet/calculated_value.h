#pragma once

// Calculated columns keep their stored result behind a header of 16 bytes
// and a 32-bit length, in the layout of the result's kind; a Decimal result
// has a layout of its own (precision, scale, sign, then the 96-bit magnitude
// as a high word and a low double word) and a Yes/No result is a 32-bit word.

#include "source/jet/bytes.h"
#include "source/jet/table_definition.h"
#include "source/jet/value_decoding.h"
#include "source/variant.h"

namespace bracken::source::jet {

// The value of a present calculated column from its bytes in the row.
Variant DecodeCalculated(const ColumnDefinition& column, Bytes stored, const ValueContext& context);

}  // namespace bracken::source::jet
