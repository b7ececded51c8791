#include "source/jet/calculated_value.h"

#include <algorithm>

#include "source/jet/long_value.h"
#include "source/jet/text_decoding.h"

namespace bracken::source::jet {

namespace {

constexpr size_t kLengthOffset = 16;
constexpr size_t kDataOffset = 20;

Bytes ResultBytes(Bytes whole) {
  if (whole.size() < kDataOffset) ThrowDamaged("a calculated value is shorter than its header");
  size_t length = std::min<size_t>(whole.U32(kLengthOffset), whole.size() - kDataOffset);
  return whole.Sub(kDataOffset, length);
}

Variant CalculatedDecimal(Bytes data) {
  if (data.size() < 16) ThrowDamaged("a calculated decimal is too short");
  uint8_t scale = data.U8(2);
  if (scale > 28) ThrowDamaged("a calculated decimal has a scale above 28");
  bool negative = (data.U8(3) & 0x80) != 0;
  return Variant::Decimal(negative, scale, data.U32(4), data.U64(8));
}

}  // namespace

Variant DecodeCalculated(const ColumnDefinition& column, Bytes stored,
                         const ValueContext& context) {
  if (IsLongValue(column.resultKind)) {
    if (stored.empty()) return Variant();
    LongValueReader reader(*context.file, context.format);
    Bytes data = ResultBytes(reader.Read(stored));
    if (column.resultKind == ColumnKind::Ole) return Variant::Binary(data.String());
    return Variant::Text(DecodeText(data, context.format.jet3, context.codePage));
  }
  Bytes data = ResultBytes(stored);
  if (data.empty()) return Variant();
  switch (column.resultKind) {
    case ColumnKind::Boolean:
      return Variant::Boolean(
          std::any_of(data.data(), data.data() + data.size(), [](uint8_t b) { return b != 0; }));
    case ColumnKind::Decimal:
      return CalculatedDecimal(data);
    default: {
      ColumnDefinition plain = column;
      plain.kind = column.resultKind;
      plain.calculated = false;
      if (FixedSize(plain.kind) > data.size()) ThrowDamaged("a calculated value is too short");
      return DecodeValue(plain, data, context);
    }
  }
}

}  // namespace bracken::source::jet
