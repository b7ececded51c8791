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
  adGUID = 72,
  adBinary = 128,
  adNumeric = 131,
  adVarWChar = 202,
  adLongVarWChar = 203,
  adVarBinary = 204,
  adLongVarBinary = 205,
};

}  // namespace bracken::source
