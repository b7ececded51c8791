#include "source/jet/value_decoding.h"

#include "source/jet/calculated_value.h"
#include "source/jet/extended_date.h"
#include "source/jet/long_value.h"
#include "source/jet/text_decoding.h"

namespace bracken::source::jet {

namespace {

Variant DecodeDecimal(const ColumnDefinition& column, Bytes stored) {
  bool negative = (stored.U8(0) & 0x80) != 0;
  uint32_t top = stored.U32(1);
  uint32_t high = stored.U32(5);
  uint64_t low = (uint64_t{stored.U32(9)} << 32) | stored.U32(13);
  if (top != 0) ThrowDamaged("a decimal value exceeds 96 bits");
  if (column.scale > 28) ThrowDamaged("a decimal column has a scale above 28");
  return Variant::Decimal(negative, column.scale, high, low);
}

}  // namespace

Variant LongValueVariant(const ColumnDefinition& column, Bytes whole, const ValueContext& context) {
  if (column.kind == ColumnKind::Ole) return Variant::Binary(whole.String());
  return Variant::Text(DecodeText(whole, context.format.jet3, context.codePage));
}

Variant DecodeValue(const ColumnDefinition& column, Bytes stored, const ValueContext& context) {
  if (column.calculated) return DecodeCalculated(column, stored, context);
  switch (column.kind) {
    case ColumnKind::Boolean:
      return Variant::Boolean(true);
    case ColumnKind::Byte:
      return Variant::Byte(stored.U8(0));
    case ColumnKind::Integer:
      return Variant::Integer(static_cast<int16_t>(stored.U16(0)));
    case ColumnKind::Long:
      return Variant::Long(static_cast<int32_t>(stored.U32(0)));
    case ColumnKind::Currency:
      return Variant::Currency(static_cast<int64_t>(stored.U64(0)));
    case ColumnKind::Single:
      return Variant::Single(stored.F32(0));
    case ColumnKind::Double:
      return Variant::Double(stored.F64(0));
    case ColumnKind::DateTime:
      return Variant::Date(stored.F64(0));
    case ColumnKind::Guid:
      return Variant::Guid(stored.Sub(0, 16).String());
    case ColumnKind::Decimal:
      return DecodeDecimal(column, stored);
    case ColumnKind::Complex:
      return Variant::Long(static_cast<int32_t>(stored.U32(0)));
    case ColumnKind::BigInt:
      return Variant::BigInt(static_cast<int64_t>(stored.U64(0)));
    case ColumnKind::ExtendedDateTime:
      return Variant::Text(ExtendedDateText(stored));
    case ColumnKind::Binary:
      return Variant::Binary(stored.String());
    case ColumnKind::Text:
      return Variant::Text(DecodeText(stored, context.format.jet3, context.codePage));
    case ColumnKind::Ole:
    case ColumnKind::Memo: {
      if (stored.empty()) return LongValueVariant(column, stored, context);
      LongValueReader reader(*context.file, context.format);
      return LongValueVariant(column, reader.Read(stored), context);
    }
  }
  return Variant::Binary(stored.String());
}

}  // namespace bracken::source::jet
