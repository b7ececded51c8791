// The names of CHECK constraints and the cutting of comments: within the
// server's limits, unique in the database, never split inside a character.

#include "engine/schema/rule_clauses.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "engine/schema/check_constraints.h"
#include "engine/schema/identifier.h"

namespace bracken::engine {
namespace {

TEST(ConstraintNames, StayWithinTheLimitAndUniqueWithoutRegardToCase) {
  std::set<std::string> taken;
  EXPECT_EQ(ClaimConstraintName("Orders", "Qty", taken), "Orders_Qty");
  EXPECT_EQ(ClaimConstraintName("orders", "QTY", taken), "orders_QTY_2");
  EXPECT_EQ(ClaimConstraintName("Orders", "Qty", taken), "Orders_Qty_3");
  const std::string longTable(40, 'T');
  const std::string longColumn(40, 'C');
  const std::string first = ClaimConstraintName(longTable, longColumn, taken);
  EXPECT_EQ(first, longTable + "_" + std::string(23, 'C'));
  const std::string second = ClaimConstraintName(longTable, longColumn, taken);
  EXPECT_EQ(second, longTable + "_" + std::string(21, 'C') + "_2");
  // Characters, not bytes; and no name ends in a space once cut.
  std::string wide;
  for (int i = 0; i < 70; ++i) wide += "\xc3\xa9";
  EXPECT_EQ(CharacterCount(ClaimConstraintName(wide, "x", taken)), 64u);
  EXPECT_EQ(ClaimConstraintName(std::string(63, 'b') + " q", "c", taken), std::string(63, 'b'));
}

TEST(CommentCutting, CutsAtWholeCharacters) {
  EXPECT_EQ(CutToCharacters("abc", 5), "abc");
  EXPECT_EQ(CutToCharacters("abc", 3), "abc");
  EXPECT_EQ(CutToCharacters("a\xc3\xa9"
                            "b",
                            2),
            "a\xc3\xa9");
  EXPECT_EQ(CutToCharacters("\xf0\x9f\x98\x80\xf0\x9f\x98\x80", 1), "\xf0\x9f\x98\x80");
  EXPECT_EQ(CutToCharacters("", 0), "");
}

}  // namespace
}  // namespace bracken::engine
