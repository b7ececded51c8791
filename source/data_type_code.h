#pragma once

// The type codes the provider reports for columns and fields.

#include <cstdint>

namespace bracken::source {

enum DataTypeCode : int32_t {
  adEmpty = 0,
  adSmallInt = 2,
  adInteger = 3,
  adSingle = 4,
  adDouble = 5,
  adCurrency = 6,
  adDate = 7,
  adBoolean = 11,
  adUnsignedTinyInt = 17,
  adBigInt = 20,
  adGUID = 72,
  adBinary = 128,
  adNumeric = 131,
  adDBTimeStamp = 135,  // Date/Time Extended, shown as "YYYY-MM-DD HH:MM:SS.fffffff"
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

// This reader's own codes for the complex columns of Access 2007 and later:
// an attachment column, and multi-value columns by their element type in
// the order Access keeps its templates (Byte, Integer, Long, Single, Double,
// GUID, Decimal, Text).
inline constexpr int32_t adAttachment = 101;
inline constexpr int32_t adMultiValueByte = 102;
inline constexpr int32_t adMultiValueText = 109;
inline bool IsComplexTypeCode(int32_t code) {
  return code >= adAttachment && code <= adMultiValueText;
}

}  // namespace bracken::source
