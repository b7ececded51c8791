// Which accent-sensitive collation the conversion is given, from the lists
// MariaDB and MySQL keep.
#include "target/server_traits.h"

#include <gtest/gtest.h>

namespace bracken::target {
namespace {

// Part of MariaDB 10.11's list: full names, utf8 called utf8mb3, language
// and NO PAD variants beside the neutral one.
const std::vector<CollationName> kMariaDb = {
    {"utf8mb3", "utf8mb3_general_ci"},          {"utf8mb3", "utf8mb3_uca1400_icelandic_as_ci"},
    {"utf8mb3", "utf8mb3_uca1400_nopad_as_ci"}, {"utf8mb3", "utf8mb3_uca1400_as_ci"},
    {"utf8mb3", "utf8mb3_uca1400_ai_ci"},       {"utf8mb4", "utf8mb4_uca1400_german2_as_ci"},
    {"utf8mb4", "utf8mb4_uca1400_as_cs"},       {"utf8mb4", "utf8mb4_uca1400_as_ci"},
    {"utf8mb4", "utf8mb4_unicode_520_ci"},
};

// Part of MySQL 8.0's: 0900 collations for utf8mb4 only, utf8 by its old name.
const std::vector<CollationName> kMySql8 = {
    {"utf8", "utf8_general_ci"},       {"utf8", "utf8_unicode_ci"},
    {"utf8mb4", "utf8mb4_0900_ai_ci"}, {"utf8mb4", "utf8mb4_de_pb_0900_as_ci"},
    {"utf8mb4", "utf8mb4_0900_as_ci"}, {"utf8mb4", "utf8mb4_ja_0900_as_cs"},
    {"utf8mb4", "utf8mb4_0900_as_cs"},
};

TEST(AccentSensitiveCollation, TheNeutralCaseInsensitiveOneOfEachServer) {
  EXPECT_EQ(ChooseAccentSensitiveCollation(kMariaDb, "utf8mb3"), "utf8mb3_uca1400_as_ci");
  EXPECT_EQ(ChooseAccentSensitiveCollation(kMariaDb, "utf8"), "utf8mb3_uca1400_as_ci");
  EXPECT_EQ(ChooseAccentSensitiveCollation(kMariaDb, "utf8mb4"), "utf8mb4_uca1400_as_ci");
  EXPECT_EQ(ChooseAccentSensitiveCollation(kMySql8, "utf8mb4"), "utf8mb4_0900_as_ci");
  EXPECT_EQ(ChooseAccentSensitiveCollation(kMySql8, "utf8mb3"), "");
  EXPECT_EQ(ChooseAccentSensitiveCollation(kMySql8, "latin1"), "");
}

TEST(AccentSensitiveCollation, TheNewestAlgorithmWinsWhereThereAreTwo) {
  const std::vector<CollationName> both = {{"utf8mb4", "utf8mb4_uca1400_as_ci"},
                                           {"utf8mb4", "utf8mb4_0900_as_ci"}};
  EXPECT_EQ(ChooseAccentSensitiveCollation(both, "utf8mb4"), "utf8mb4_uca1400_as_ci");
  const std::vector<CollationName> reversed(both.rbegin(), both.rend());
  EXPECT_EQ(ChooseAccentSensitiveCollation(reversed, "utf8mb4"), "utf8mb4_uca1400_as_ci");
}

TEST(AccentSensitiveCollation, OlderServersHaveNone) {
  const std::vector<CollationName> mariaDb105 = {{"utf8", "utf8_general_ci"},
                                                 {"utf8mb4", "utf8mb4_unicode_520_ci"},
                                                 {"utf8mb4", "utf8mb4_bin"}};
  EXPECT_EQ(ChooseAccentSensitiveCollation(mariaDb105, "utf8mb4"), "");
  EXPECT_EQ(ChooseAccentSensitiveCollation({}, "utf8"), "");
}

TEST(ServerTraits, CollationByCharsetAndTheStatementLimit) {
  ServerTraits traits;
  traits.utf8AccentSensitiveCollation = "utf8mb3_uca1400_as_ci";
  traits.utf8mb4AccentSensitiveCollation = "utf8mb4_uca1400_as_ci";
  EXPECT_EQ(traits.AccentSensitiveCollation("utf8"), "utf8mb3_uca1400_as_ci");
  EXPECT_EQ(traits.AccentSensitiveCollation("utf8mb3"), "utf8mb3_uca1400_as_ci");
  EXPECT_EQ(traits.AccentSensitiveCollation("utf8mb4"), "utf8mb4_uca1400_as_ci");
  EXPECT_EQ(traits.AccentSensitiveCollation("latin1"), "");
  EXPECT_EQ(traits.MaxStatementBytes(), 0u);
  traits.maxAllowedPacket = 4u << 20;
  EXPECT_EQ(traits.MaxStatementBytes(), (4u << 20) - 2);
}

}  // namespace
}  // namespace bracken::target
