// Select queries translated and run on the server: columns and their names,
// joins of every kind and nesting, conditions and order.

#include <gtest/gtest.h>

#include "tests/engine/views/query_server.h"

namespace bracken::testing {
namespace {

using source::JoinKind;
using source::QueryDefinition;

class SelectQuery : public QueryServerTest {};

TEST_F(SelectQuery, ColumnsConditionAndOrderOfOneTable) {
  QueryDefinition query = Select({C("[Name]"), C("City", "Town"), C("[ID]*2")}, {T("Customers")});
  query.where = "[City] = \"Oslo\" Or [City] Is Null";
  query.orderBy = {Desc("Name")};
  engine::QueryTranslation translation = Create("v", query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(ViewRows("v"), (TextRows{"Dee|NULL|8", "Cid|Oslo|6", "Ann|Oslo|2"}));
  // The names a later query reads the view by, as Access gives them.
  ASSERT_EQ(translation.columns.size(), 3u);
  EXPECT_EQ(translation.columns[0].accessName, "Name");
  EXPECT_EQ(translation.columns[1].accessName, "Town");
  EXPECT_EQ(translation.columns[2].accessName, "Expr1000");
  // A query on the query.
  QueryDefinition onView = Select({C("[Town]"), C("[Expr1000]+1")}, {T("v")});
  onView.orderBy = {Asc("Expr1000")};
  EXPECT_EQ(Rows(onView), (TextRows{"Oslo|3", "Oslo|7", "NULL|9"}));
  // A later column may read an earlier one by its alias.
  QueryDefinition alias =
      Select({C("Amount * 2", "Twice"), C("[Twice] + 1", "More")}, {T("Orders")});
  alias.where = "ID = 11";
  EXPECT_EQ(Rows(alias), (TextRows{"100.0000|101.0000"}));
}

TEST_F(SelectQuery, JoinsOfEachKindNestedAndWithSeveralConditions) {
  // Customers without orders, and orders without customers, on either side.
  QueryDefinition left =
      Select({C("Customers.Name"), C("Orders.ID")}, {T("Customers"), T("Orders")});
  left.joins = {{JoinKind::Left, "Customers", "Orders", "Customers.ID = Orders.CustomerID"}};
  EXPECT_EQ(Sorted(Rows(left)), (TextRows{"Ann|10", "Ann|11", "Bob|12", "Cid|13", "Dee|NULL"}));

  QueryDefinition right = left;
  right.joins[0].kind = JoinKind::Right;
  EXPECT_EQ(Sorted(Rows(right)), (TextRows{"Ann|10", "Ann|11", "Bob|12", "Cid|13", "NULL|14"}));

  // (Customers INNER JOIN Orders) LEFT JOIN [Order Lines], aliases, and a
  // second condition between the first two.
  QueryDefinition nested = Select({C("c.Name"), C("o.ID", "Order"), C("[l].[Product]")},
                                  {T("Customers", "c"), T("Orders", "o"), T("Order Lines", "l")});
  nested.joins = {{JoinKind::Inner, "c", "o", "c.ID = o.CustomerID"},
                  {JoinKind::Left, "o", "l", "o.ID = l.OrderID"},
                  {JoinKind::Inner, "c", "o", "o.Amount >= 75"}};
  nested.orderBy = {Asc("o.ID"), Asc("l.Product")};
  EXPECT_EQ(Rows(nested), (TextRows{"Ann|10|Ink", "Ann|10|Pen", "Bob|12|Pad", "Cid|13|Pen"}));

  // Tables named side by side, joined by the condition alone.
  QueryDefinition comma = Select({C("Name"), C("Qty")}, {T("Customers"), T("Order Lines")});
  comma.where = "[ID] = [OrderID] - 9";
  EXPECT_EQ(Sorted(Rows(comma)), (TextRows{"Ann|1", "Ann|2", "Bob|5", "Cid|3", "Dee|1"}));
}

TEST_F(SelectQuery, StarAndTableStarNameSharedColumnsByTheirTable) {
  QueryDefinition star = Select({}, {T("Customers"), T("Orders")});
  star.allColumns = true;
  star.joins = {{JoinKind::Inner, "Customers", "Orders", "Customers.ID = Orders.CustomerID"}};
  star.where = "Orders.ID = 12";
  engine::QueryTranslation translation = Create("v", star);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(ViewRows("v"), (TextRows{"2|Bob|Rome|12|2|75.0000|2024-01-20 00:00:00|1"}));
  ASSERT_EQ(translation.columns.size(), 8u);
  EXPECT_EQ(translation.columns[0].accessName, "Customers.ID");
  EXPECT_EQ(translation.columns[3].accessName, "Orders.ID");

  QueryDefinition tableStar = Select({C("[Order Lines].*"), C("Name")}, star.sources);
  tableStar.sources.push_back(T("Order Lines"));
  tableStar.joins = star.joins;
  tableStar.joins.push_back({JoinKind::Inner, "Orders", "Order Lines", "Orders.ID = OrderID"});
  tableStar.where = "Qty > 2";
  EXPECT_EQ(Sorted(Rows(tableStar)), (TextRows{"11|Pen|5|Ann", "12|Pad|3|Bob"}));
}

TEST_F(SelectQuery, RefusesWhatItCannotReadFaithfully) {
  // A bare name two tables hold.
  QueryDefinition ambiguous = Select({C("ID")}, {T("Customers"), T("Orders")});
  engine::QueryTranslation translation = Translate(ambiguous);
  EXPECT_EQ(translation.reason,
            "its column ID is not translatable: [ID] could be a column of Customers or of Orders");
  // A table the conversion does not hold.
  EXPECT_EQ(Translate(Select({C("X")}, {T("Missing")})).reason,
            "it reads Missing, which is not a table or query of the conversion");
  // Other databases and other kinds.
  QueryDefinition other = Select({C("X")}, {T("T")});
  other.sourceDatabase = "C:\\data\\other.mdb";
  EXPECT_FALSE(Translate(other).ok());
  QueryDefinition passThrough;
  passThrough.kind = source::QueryKind::PassThrough;
  passThrough.statement = "SELECT 1";
  EXPECT_EQ(Translate(passThrough).reason,
            "a pass-through query runs on another server, in that server's own SQL");
}

}  // namespace
}  // namespace bracken::testing
