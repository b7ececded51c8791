#include "engine/schema/type_mapping.h"

namespace bracken::engine {

namespace {

std::string Sized(const char* name, int32_t size) {
  return std::string(name) + "(" + std::to_string(size) + ")";
}

std::string TextType(int32_t size) { return size <= 255 ? Sized("VARCHAR", size) : "TEXT"; }

}  // namespace

std::string MapColumnType(int32_t typeCode, int32_t definedSize, uint8_t numericScale,
                          uint8_t precision) {
  switch (typeCode) {
    case 72:  // adGUID
      return "TINYBLOB";
    case 128:  // adBinary
      return "BLOB";
    case 204:  // adVarBinary
    case 205:  // adLongVarBinary
      return "LONGBLOB";
    case 7:  // adDate
      return "DATETIME";
    case 133:  // adDBDate
      return "DATE";
    case 134:  // adDBTime
      return "TIME";
    case 135:  // Date/Time Extended: the seventh fraction digit cannot be held
      return "DATETIME(6)";
    case 11:  // adBoolean
      return "BIT";
    case 16:  // adTinyInt
    case 17:  // adUnsignedTinyInt
      return "TINYINT UNSIGNED";
    case 2:   // adSmallInt
    case 18:  // adUnsignedSmallInt
      return "SMALLINT";
    case 3:   // adInteger
    case 19:  // adUnsignedInt
      return "INT";
    case 20:  // adBigInt
    case 21:  // adUnsignedBigInt
      return "BIGINT";
    case 5:  // adDouble
      return "DOUBLE";
    case 4:  // adSingle
      return "FLOAT";
    case 14:   // adDecimal
    case 131:  // adNumeric
      return "DECIMAL(" + std::to_string(precision) + ", " + std::to_string(numericScale) + ")";
    case 6:  // adCurrency: always 19 digits, 4 of them after the point
      return "DECIMAL(19, 4)";
    case 129:  // adChar
      return definedSize < 255 ? Sized("CHAR", definedSize) : "TEXT";
    case 130:  // adWChar
    case 200:  // adVarChar
    case 202:  // adVarWChar
      return TextType(definedSize);
    case 201:  // adLongVarChar
      return "TEXT";
    case 203:  // adLongVarWChar
      return "LONGTEXT";
    default:
      // An attachment (101) or multi-value (102 to 109) column holds the
      // row's set number; its elements go to a child table.
      if (typeCode >= 101 && typeCode <= 109) return "INT";
      return "";
  }
}

}  // namespace bracken::engine
