// The spelling views are compared in where the optimizer cannot say: the
// server's own text of a view and the body the conversion writes read alike,
// while a change inside a literal or a name still shows.

#include "engine/sync/schema_sync.h"

#include <gtest/gtest.h>

namespace bracken::engine {
namespace {

TEST(ComparableViewText, TheServersSpellingReadsAsTheBodyAndChangesShow) {
  const std::string server =
      "select `shop`.`Customers`.`Name` AS `Name` from `shop`.`Customers` where "
      "`shop`.`Customers`.`City` = 'Bern'";
  const std::string body =
      "SELECT `Customers`.`Name` AS `Name` FROM `Customers` WHERE (`Customers`.`City` = 'Bern')";
  EXPECT_EQ(ComparableViewText(server, "shop"), ComparableViewText(body, "shop"));
  // Letter case and quotes inside a literal are the data's own.
  EXPECT_NE(ComparableViewText(server, "shop"),
            ComparableViewText("SELECT `Customers`.`Name` AS `Name` FROM `Customers` WHERE "
                               "`Customers`.`City` = 'BERN'",
                               "shop"));
  EXPECT_NE(ComparableViewText("select 'it''s (a) `x`'", "shop"),
            ComparableViewText("select 'it''s a `x`'", "shop"));
  EXPECT_EQ(ComparableViewText("select 'a\\'b' AS `x`", "shop"), "select'a\\'b'asx");
  // Another database's tables are not this one's.
  EXPECT_NE(ComparableViewText("select `other`.`T`.`a` from `other`.`T`", "shop"),
            ComparableViewText("select `T`.`a` from `T`", "shop"));
}

}  // namespace
}  // namespace bracken::engine
