#include "engine/schema/type_mapping.h"

#include <gtest/gtest.h>

namespace bracken::engine {
namespace {

struct Mapping {
  int32_t code;
  int32_t size;
  uint8_t scale;
  uint8_t precision;
  const char* expected;
};

TEST(MapColumnType, GivesTheMySqlTypeForEveryAccessDescription) {
  const Mapping cases[] = {
      // Text: the variable-length limit is 255, the fixed-length one 254.
      {202, 50, 0, 0, "VARCHAR(50)"},
      {202, 255, 0, 0, "VARCHAR(255)"},
      {202, 256, 0, 0, "TEXT"},
      {202, 0, 0, 0, "VARCHAR(0)"},
      {130, 255, 0, 0, "VARCHAR(255)"},
      {200, 300, 0, 0, "TEXT"},
      {129, 254, 0, 0, "CHAR(254)"},
      {129, 255, 0, 0, "TEXT"},
      {201, 10, 0, 0, "TEXT"},
      {203, 536870910, 0, 0, "LONGTEXT"},
      // Numbers: Currency is fixed, Decimal takes precision first.
      {6, 8, 2, 7, "DECIMAL(19, 4)"},
      {131, 19, 4, 18, "DECIMAL(18, 4)"},
      {14, 16, 0, 18, "DECIMAL(18, 0)"},
      {17, 1, 0, 3, "TINYINT UNSIGNED"},
      {16, 1, 0, 3, "TINYINT UNSIGNED"},
      {2, 2, 0, 5, "SMALLINT"},
      {18, 2, 0, 5, "SMALLINT"},
      {3, 4, 0, 10, "INT"},
      {19, 4, 0, 10, "INT"},
      {20, 8, 0, 19, "BIGINT"},
      {21, 8, 0, 20, "BIGINT"},
      {4, 4, 0, 7, "FLOAT"},
      {5, 8, 0, 15, "DOUBLE"},
      {11, 2, 0, 0, "BIT"},
      // Dates, binaries and GUIDs.
      {7, 8, 0, 0, "DATETIME"},
      {133, 6, 0, 0, "DATE"},
      {134, 6, 0, 0, "TIME"},
      {135, 42, 0, 0, "DATETIME(6)"},
      {101, 4, 0, 0, "INT"},
      {109, 4, 0, 0, "INT"},
      {72, 16, 0, 0, "TINYBLOB"},
      {128, 510, 0, 0, "BLOB"},
      {204, 255, 0, 0, "LONGBLOB"},
      {205, 1073741823, 0, 0, "LONGBLOB"},
      // Codes outside the table.
      {8, 0, 0, 0, ""},
      {12, 16, 0, 0, ""},
      {0, 0, 0, 0, ""},
      {-1, 0, 0, 0, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(MapColumnType(c.code, c.size, c.scale, c.precision), c.expected)
        << "code " << c.code << ", size " << c.size;
  }
}

}  // namespace
}  // namespace bracken::engine
