#include "engine/schema/name_spelling.h"

#include <gtest/gtest.h>

namespace bracken::engine {
namespace {

TEST(NameSpellingTest, NamesTheServerRefusesGetTheNearestLegalSpelling) {
  EXPECT_EQ(LegalSpelling("Order Details", "T"), "Order Details");
  EXPECT_EQ(LegalSpelling("Orders  ", "T"), "Orders");
  EXPECT_EQ(LegalSpelling("", "Column1"), "Column1");
  EXPECT_EQ(LegalSpelling("   ", "Column1"), "Column1");
  EXPECT_EQ(LegalSpelling(std::string("a\0b", 3), "T"), "a_b");
  EXPECT_EQ(LegalSpelling("Pets \xF0\x9F\x90\xBE", "T"), "Pets _");
  EXPECT_EQ(LegalSpelling("bad \xFF byte", "T"), "bad _ byte");
  EXPECT_EQ(LegalSpelling("surrogate \xED\xA0\x80", "T"), "surrogate ___");
  // 64 characters, not bytes, and trailing spaces go after the cut too.
  std::string accented;
  for (int i = 0; i < 70; ++i) accented += "\xC3\xA9";
  EXPECT_EQ(LegalSpelling(accented, "T"), accented.substr(0, 128));
  EXPECT_EQ(LegalSpelling(std::string(63, 'a') + "  b", "T"), std::string(63, 'a'));
}

TEST(NameSpellingTest, ColumnNamesCompareWithoutCaseOrAccentsTableNamesWithoutCase) {
  EXPECT_EQ(ColumnNameKey("NAME"), ColumnNameKey("name"));
  EXPECT_EQ(ColumnNameKey("Jos\xC3\xA9"), ColumnNameKey("JOSE"));
  EXPECT_EQ(ColumnNameKey("\xC3\x86ON"), ColumnNameKey("\xC3\xA6on"));
  EXPECT_EQ(ColumnNameKey("\xC5\x81\xC3\xB3"
                          "dz"),
            ColumnNameKey("lodz"));
  EXPECT_NE(ColumnNameKey("Jos\xC3\xA9", false), ColumnNameKey("Jose", false));
  EXPECT_EQ(ColumnNameKey("\xC3\x89T\xC3\x89", false), ColumnNameKey("\xC3\xA9t\xC3\xA9", false));
}

TEST(NameSpellingTest, TheRegistryKeepsEveryNameUnique) {
  NameRegistry columns(true);
  EXPECT_EQ(columns.Claim("Name", "C1"), "Name");
  EXPECT_EQ(columns.Claim("NAME", "C2"), "NAME_2");
  EXPECT_EQ(columns.Claim("name ", "C3"), "name_3");
  EXPECT_EQ(columns.Claim("Jose", "C4"), "Jose");
  EXPECT_EQ(columns.Claim("Jos\xC3\xA9", "C5"), "Jos\xC3\xA9_2");
  // A suffix never pushes a name past 64 characters.
  std::string longName(80, 'x');
  EXPECT_EQ(columns.Claim(longName, "C6"), std::string(64, 'x'));
  EXPECT_EQ(columns.Claim(longName + "y", "C7"), std::string(62, 'x') + "_2");
  NameRegistry tables(false);
  EXPECT_EQ(tables.Claim("Caf\xC3\xA9", "T"), "Caf\xC3\xA9");
  EXPECT_EQ(tables.Claim("Cafe", "T"), "Cafe");
  EXPECT_EQ(tables.Claim("CAFE", "T"), "CAFE_2");
}

}  // namespace
}  // namespace bracken::engine
