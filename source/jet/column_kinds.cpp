#include "source/jet/column_kinds.h"

#include "source/data_type_code.h"

namespace bracken::source::jet {

bool IsKnownKind(uint8_t code) {
  return (code >= 0x01 && code <= 0x0C) || code == 0x0F || code == 0x10 ||
         (code >= 0x12 && code <= 0x14);
}

int32_t AdoTypeCode(ColumnKind kind, bool fixedLength) {
  switch (kind) {
    case ColumnKind::Boolean:
      return adBoolean;
    case ColumnKind::Byte:
      return adUnsignedTinyInt;
    case ColumnKind::Integer:
      return adSmallInt;
    case ColumnKind::Long:
      return adInteger;
    case ColumnKind::Currency:
      return adCurrency;
    case ColumnKind::Single:
      return adSingle;
    case ColumnKind::Double:
      return adDouble;
    case ColumnKind::DateTime:
      return adDate;
    case ColumnKind::Binary:
      return fixedLength ? adBinary : adVarBinary;
    case ColumnKind::Text:
      return adVarWChar;
    case ColumnKind::Ole:
      return adLongVarBinary;
    case ColumnKind::Memo:
      return adLongVarWChar;
    case ColumnKind::Guid:
      return adGUID;
    case ColumnKind::Decimal:
      return adNumeric;
    case ColumnKind::Complex:
      return adAttachment;
    case ColumnKind::BigInt:
      return adBigInt;
    case ColumnKind::ExtendedDateTime:
      return adDBTimeStamp;
  }
  return adVarBinary;
}

uint32_t FixedSize(ColumnKind kind) {
  switch (kind) {
    case ColumnKind::Boolean:
      return 0;
    case ColumnKind::Byte:
      return 1;
    case ColumnKind::Integer:
      return 2;
    case ColumnKind::Long:
    case ColumnKind::Single:
    case ColumnKind::Complex:
      return 4;
    case ColumnKind::Currency:
    case ColumnKind::Double:
    case ColumnKind::DateTime:
    case ColumnKind::BigInt:
      return 8;
    case ColumnKind::ExtendedDateTime:
      return 42;
    case ColumnKind::Guid:
      return 16;
    case ColumnKind::Decimal:
      return 17;
    default:
      return 0;
  }
}

}  // namespace bracken::source::jet
