// Saved queries of each construct translated and run on the server:
// grouping and aggregates, subqueries, DISTINCTROW, TOP with its ties and
// PERCENT, unions, parameters, and what is refused. The expected rows are
// worked out by hand from the tables of query_server.cpp.

#include <gtest/gtest.h>

#include "engine/views/select_text_parser.h"
#include "tests/engine/views/query_server.h"

namespace bracken::testing {
namespace {

using source::JoinKind;
using source::QueryDefinition;

class QueryConstructs : public QueryServerTest {
 protected:
  // A query read from its Access SQL text.
  static QueryDefinition Parsed(const std::string& text) {
    QueryDefinition query;
    std::string why;
    EXPECT_TRUE(engine::ParseSelectText(text, query, why)) << text << ": " << why;
    return query;
  }
};

TEST_F(QueryConstructs, JoinsWrittenAsTextNestOnEitherSide) {
  EXPECT_EQ(
      Sorted(Rows(Parsed(
          "SELECT c.Name, l.Product FROM Customers AS c INNER JOIN (Orders AS o LEFT JOIN "
          "[Order Lines] AS l ON o.ID = l.OrderID) ON c.ID = o.CustomerID WHERE o.Amount < 100"))),
      (TextRows{"Ann|Pen", "Bob|Pad"}));
  // Left( in a condition is a function, not a join.
  EXPECT_EQ(Rows(Parsed("SELECT a.Name, b.Name AS Other FROM Customers AS a INNER JOIN Customers b "
                        "ON (Left(a.City, 1) = Left(b.City, 1)) AND (a.ID < b.ID)")),
            (TextRows{"Ann|Cid"}));
  // A bracketed name may hold a dot; a prefixed one is another database's.
  QueryDefinition dotted = Parsed("SELECT * FROM [Sales 2.0] AS s");
  ASSERT_EQ(dotted.sources.size(), 1u);
  EXPECT_EQ(dotted.sources[0].name, "Sales 2.0");
  std::string why;
  EXPECT_FALSE(engine::ParseSelectText("SELECT * FROM Other.Customers", dotted, why));
}

TEST_F(QueryConstructs, GroupingWithAggregatesAndTheirAccessNames) {
  QueryDefinition query = Parsed(
      "SELECT CustomerID, Count(*), Sum(Amount) AS Total, Avg(Amount), Min(Paid), Max(Paid)\r\n"
      "FROM Orders GROUP BY CustomerID HAVING Sum(Amount) > 50 ORDER BY CustomerID;");
  engine::QueryTranslation translation = Create("v", query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  // Yes is -1 in Access: the least of Yes and No is Yes.
  EXPECT_EQ(ViewRows("v"),
            (TextRows{"1|2|150.0000|75|-1|0", "2|1|75.0000|75|-1|-1", "3|1|100.0000|100|-1|-1"}));
  std::vector<std::string> names;
  for (const auto& column : translation.columns) names.push_back(column.accessName);
  EXPECT_EQ(names, (std::vector<std::string>{"CustomerID", "Expr1000", "Total", "AvgOfAmount",
                                             "MinOfPaid", "MaxOfPaid"}));

  // Count of a column leaves its Nulls out; the spread of the quantities
  // 2, 1, 5, 3, 1 (mean 2.4, squares 11.2).
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT City, Count(City) AS n FROM Customers GROUP BY City"))),
            (TextRows{"NULL|0", "Oslo|2", "Rome|1"}));
  ASSERT_TRUE(Create("spread", Parsed("SELECT Var(Qty) AS a, VarP(Qty) AS b, StDev(Qty) AS c, "
                                      "StDevP(Qty) AS d, Avg(Qty) AS e FROM [Order Lines]"))
                  .ok());
  EXPECT_EQ(Text(query_->Rows("SELECT ABS(a - 2.8) < 1e-9, ABS(b - 2.24) < 1e-9, ABS(c * c - 2.8) "
                              "< 1e-9, ABS(d * d - 2.24) < 1e-9, e FROM spread")),
            (TextRows{"1|1|1|1|2.4"}));

  // First and Last take whichever row Access reads first.
  EXPECT_NE(Translate(Select({C("First(Name)")}, {T("Customers")})).reason.find("first or last"),
            std::string::npos);
}

TEST_F(QueryConstructs, SubqueriesInConditionsColumnsAndFrom) {
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT Name FROM Customers WHERE ID In "
                               "(SELECT CustomerID FROM Orders WHERE Amount >= 100)"))),
            (TextRows{"Ann", "Cid"}));
  EXPECT_EQ(Rows(Parsed("SELECT Name FROM Customers WHERE ID Not In "
                        "(SELECT CustomerID FROM Orders WHERE CustomerID Is Not Null)")),
            (TextRows{"Dee"}));
  // Correlated: the inner query reads the outer one's alias.
  EXPECT_EQ(Rows(Parsed("SELECT c.Name FROM Customers AS c WHERE Exists "
                        "(SELECT * FROM Orders WHERE Orders.CustomerID = c.ID AND Paid = False)")),
            (TextRows{"Ann"}));
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT Name, (SELECT Sum(Amount) FROM Orders WHERE CustomerID = "
                               "Customers.ID) AS Spent FROM Customers"))),
            (TextRows{"Ann|150.0000", "Bob|75.0000", "Cid|100.0000", "Dee|NULL"}));
  EXPECT_EQ(Sorted(Rows(Parsed(
                "SELECT Name, s.Total FROM Customers INNER JOIN (SELECT CustomerID, Sum(Amount) AS "
                "Total FROM Orders GROUP BY CustomerID) AS s ON Customers.ID = s.CustomerID "
                "WHERE s.Total > 80"))),
            (TextRows{"Ann|150.0000", "Cid|100.0000"}));
  // The tables a query reads through its subqueries come before it.
  EXPECT_EQ(engine::NamesRead(Parsed("SELECT Name FROM Customers WHERE ID In (SELECT OrderID "
                                     "FROM [Order Lines])")),
            (std::vector<std::string>{"Customers", "Order Lines"}));
}

TEST_F(QueryConstructs, DistinctRowKeepsWholeRowsOfTheTablesShown) {
  const std::string from = " FROM Customers INNER JOIN Orders ON Customers.ID = Orders.CustomerID";
  // Ann has two orders: one row of hers; Ann and Cid both live in Oslo.
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT DISTINCTROW Customers.City" + from))),
            (TextRows{"Oslo", "Oslo", "Rome"}));
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT DISTINCT Customers.City" + from))),
            (TextRows{"Oslo", "Rome"}));
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT Customers.City" + from))),
            (TextRows{"Oslo", "Oslo", "Oslo", "Rome"}));
  // Columns of every table: nothing to drop.
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT DISTINCTROW Customers.City, Orders.Paid" + from))),
            (TextRows{"Oslo|0", "Oslo|1", "Oslo|1", "Rome|1"}));
  // Sorted by a column shown.
  EXPECT_EQ(
      Rows(Parsed("SELECT DISTINCTROW Customers.Name" + from + " ORDER BY Customers.Name DESC")),
      (TextRows{"Cid", "Bob", "Ann"}));
}

TEST_F(QueryConstructs, DistinctRowKeepsEachRecordThatHasAMatch) {
  // A table without a key holds two identical rows; Ann (1) has two orders.
  query_->Execute("CREATE TABLE `Visits` (`CustomerID` INT, `Note` VARCHAR(20))");
  query_->Execute("INSERT INTO `Visits` VALUES (1, 'call'), (1, 'call'), (2, 'mail'), (4, 'fax')");
  catalog_.objects.push_back({"Visits",
                              "Visits",
                              {{"CustomerID", "`CustomerID`", expression::ValueKind::Number, true},
                               {"Note", "`Note`", expression::ValueKind::Text, false}}});
  const std::string joined =
      " FROM Visits INNER JOIN Orders ON Visits.CustomerID = Orders.CustomerID";
  // Each visit once, however many orders match it; Dee (4) has none.
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT DISTINCTROW Visits.Note" + joined))),
            (TextRows{"call", "call", "mail"}));
  // The WHERE reads the table not shown: only Ann has an unpaid order.
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT DISTINCTROW Visits.*" + joined + " WHERE Orders.Paid = 0"))),
            (TextRows{"1|call", "1|call"}));
  // A table not shown behind one more table: orders with a line of Pen.
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT DISTINCTROW Visits.Note FROM Visits INNER JOIN (Orders "
                               "INNER JOIN [Order Lines] ON Orders.ID = [Order Lines].OrderID) ON "
                               "Visits.CustomerID = Orders.CustomerID WHERE Product = 'Pad'"))),
            (TextRows{"mail"}));
  // An outer join among the tables shown is kept as written.
  EXPECT_EQ(Sorted(Rows(Parsed(
                "SELECT DISTINCTROW Customers.Name, Visits.Note FROM (Customers LEFT JOIN Visits "
                "ON Customers.ID = Visits.CustomerID) INNER JOIN Orders ON Customers.ID = "
                "Orders.CustomerID"))),
            (TextRows{"Ann|call", "Ann|call", "Bob|mail", "Cid|NULL"}));
  // TOP counts records too.
  EXPECT_EQ(Rows(Parsed("SELECT DISTINCTROW TOP 2 Visits.Note" + joined + " ORDER BY Visits.Note")),
            (TextRows{"call", "call"}));
  // An outer join to a table not shown would keep records without a match.
  engine::QueryTranslation outer = Translate(
      Parsed("SELECT DISTINCTROW Visits.Note FROM Visits LEFT JOIN Orders ON Visits.CustomerID = "
             "Orders.CustomerID"));
  EXPECT_NE(outer.reason.find("outer join"), std::string::npos) << outer.reason;
}

// Like with a pattern the query builds when it runs, from a parameter or a
// column, as search queries write it.
TEST_F(QueryConstructs, LikeWithAPatternBuiltWhenTheQueryRuns) {
  engine::QueryTranslation translation =
      Create("search", Parsed("SELECT Name FROM Customers WHERE Name Like \"*\" & [Search?] & "
                              "\"*\" ORDER BY Name"));
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(CallRows("search", "'N'"), (TextRows{"Ann"}));
  EXPECT_EQ(CallRows("search", "'?e'"), (TextRows{"Dee"}));
  EXPECT_EQ(CallRows("search", "'.'"), (TextRows{}));
  // Nothing typed: "**" matches every name.
  EXPECT_EQ(CallRows("search", "NULL"), (TextRows{"Ann", "Bob", "Cid", "Dee"}));
  // A [ without its ] is an invalid pattern: Access refuses to run the
  // query, and so does the server.
  EXPECT_THROW(CallRows("search", "'a['"), std::runtime_error);
  EXPECT_THROW(CallRows("search", "'[!]'"), std::runtime_error);
  EXPECT_EQ(CallRows("search", "'[[]'"), (TextRows{}));
  // A range with an end beyond ASCII follows Access's sort order, which the
  // server does not know: refused too; a - first or last is no range.
  EXPECT_THROW(CallRows("search", "'[à-ü]'"), std::runtime_error);
  EXPECT_THROW(CallRows("search", "'[a-ü]'"), std::runtime_error);
  EXPECT_EQ(CallRows("search", "'[-é]'"), (TextRows{}));
  EXPECT_EQ(CallRows("search", "'B[é-]'"), (TextRows{}));
  EXPECT_EQ(CallRows("search", "'[!-é]n'"), (TextRows{"Ann"}));

  query_->Execute("CREATE TABLE `Words` (`Word` VARCHAR(20), `Pattern` VARCHAR(20))");
  query_->Execute(
      "INSERT INTO `Words` VALUES ('Ölçü', 'öl*'), ('a😀b', 'a?b'), ('a+b', 'a+b'), ('aab', "
      "'a+b'), ('x(1)', 'x([0-9])'), ('a.c', 'a[.]c'), ('abc', 'a.c'), ('a*c', 'a[*]c'), "
      "('abc', 'a[*]c'), ('$^|', '$^|'), ('{2}', '{#}'), ('b', '[!a-c]'), ('d', '[!a-c]'), "
      "('C:\\\\x', 'C:\\\\*'), ('x', NULL), (NULL, '*')");
  catalog_.objects.push_back({"Words",
                              "Words",
                              {{"Word", "`Word`", expression::ValueKind::Text, false},
                               {"Pattern", "`Pattern`", expression::ValueKind::Text, false}}});
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT Word, Word Like Pattern AS Matches FROM Words"))),
            (TextRows{"$^||1", "C:\\x|1", "NULL|NULL", "a*c|1", "a+b|1", "a.c|1", "aab|0", "abc|0",
                      "abc|0", "a😀b|1", "b|0", "d|1", "x(1)|1", "x|NULL", "{2}|1", "Ölçü|1"}));
}

TEST_F(QueryConstructs, TopKeepsEveryRowTiedWithTheLast) {
  // Amounts: 100 (10), 50 (11), 75 (12), 100 (13), 20 (14).
  EXPECT_EQ(Sorted(Rows(Parsed("SELECT TOP 1 ID FROM Orders ORDER BY Amount DESC"))),
            (TextRows{"10", "13"}));
  EXPECT_EQ(Rows(Parsed("SELECT TOP 3 ID, Amount FROM Orders ORDER BY Amount DESC, ID")),
            (TextRows{"10|100.0000", "13|100.0000", "12|75.0000"}));
  // Two unpaid, then three paid tied.
  EXPECT_EQ(Rows(Parsed("SELECT TOP 3 ID FROM Orders ORDER BY Paid")).size(), 5u);
  // Of five rows: 40% is 2, 50% rounds up to 3, 70% to 4 and the tie with it.
  EXPECT_EQ(Rows(Parsed("SELECT TOP 40 PERCENT ID FROM Orders ORDER BY Amount")),
            (TextRows{"14", "11"}));
  EXPECT_EQ(Rows(Parsed("SELECT TOP 50 PERCENT ID FROM Orders ORDER BY Amount")),
            (TextRows{"14", "11", "12"}));
  EXPECT_EQ(Rows(Parsed("SELECT TOP 70 PERCENT ID FROM Orders ORDER BY Amount")).size(), 5u);
  // Sorted by a column it does not show, with DISTINCT: the rows first.
  EXPECT_EQ(Rows(Parsed("SELECT DISTINCT TOP 2 City FROM Customers ORDER BY City")),
            (TextRows{"NULL", "Oslo"}));
  // Without window functions the ties cannot be kept.
  expression::ServerDialect old = expression::ServerDialect::FromVersion("5.7.40");
  engine::QueryTranslation refused =
      engine::TranslateQuery(Parsed("SELECT TOP 1 ID FROM Orders ORDER BY Amount"), catalog(), old);
  EXPECT_NE(refused.reason.find("window functions"), std::string::npos) << refused.reason;
}

TEST_F(QueryConstructs, UnionsWithAllAndTheOrderOfTheWhole) {
  QueryDefinition query;
  query.kind = source::QueryKind::Union;
  query.unionParts = {"SELECT Name, City FROM Customers WHERE City = 'Oslo'",
                      "SELECT Product, \"Line\" FROM [Order Lines] WHERE Qty >= 3\r\n"
                      "ORDER BY Name DESC;"};
  EXPECT_EQ(Rows(query), (TextRows{"Pen|Line", "Pad|Line", "Cid|Oslo", "Ann|Oslo"}));

  QueryDefinition all;
  all.kind = source::QueryKind::Union;
  all.unionAll = true;
  all.unionParts = {"SELECT Product FROM [Order Lines]",
                    "SELECT Product FROM [Order Lines] WHERE Qty = 1"};
  EXPECT_EQ(Sorted(Rows(all)), (TextRows{"Ink", "Ink", "Pad", "Pen", "Pen", "Pen", "Pen"}));
  all.unionAll = false;
  EXPECT_EQ(Sorted(Rows(all)), (TextRows{"Ink", "Pad", "Pen"}));
  // A part that holds a further UNION ALL: the parts before it lose their
  // duplicates, the rows after it are all kept.
  all.unionParts[1] +=
      " UNION ALL SELECT Name FROM Customers WHERE ID = 1 UNION ALL SELECT [Name] FROM Customers "
      "WHERE ID < 3";
  EXPECT_EQ(Sorted(Rows(all)), (TextRows{"Ann", "Ann", "Bob", "Ink", "Pad", "Pen"}));
}

TEST_F(QueryConstructs, ParametersMakeAProcedureOfTheirDeclaredTypes) {
  QueryDefinition declared = Parsed(
      "PARAMETERS [Least] Currency, [Town] Text ( 10 );\r\n"
      "SELECT Orders.ID FROM Orders INNER JOIN Customers ON Orders.CustomerID = Customers.ID\r\n"
      "WHERE Amount >= [Least] AND City = [Town] ORDER BY Orders.ID;");
  engine::QueryTranslation translation = Create("p", declared);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(translation.kind, engine::QueryObjectKind::Procedure);
  ASSERT_EQ(translation.parameters.size(), 2u);
  EXPECT_EQ(translation.parameters[0].type, "DECIMAL(19,4)");
  EXPECT_EQ(translation.parameters[1].type, "VARCHAR(10)");
  EXPECT_EQ(CallRows("p", "75, 'Oslo'"), (TextRows{"10", "13"}));
  EXPECT_EQ(CallRows("p", "75, 'oslo'"), (TextRows{"10", "13"}));

  // Names that are no column: a typed answer, and a control of an open form.
  QueryDefinition asked = Parsed(
      "SELECT Name FROM Customers WHERE City = [Which city?] OR ID = [Forms]![Main]![Customer] "
      "ORDER BY Name");
  translation = Create("asked", asked);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  ASSERT_EQ(translation.parameters.size(), 2u);
  EXPECT_EQ(translation.parameters[0].accessName, "Which city?");
  EXPECT_EQ(translation.parameters[0].type, "VARCHAR(255)");
  EXPECT_EQ(translation.parameters[1].name, "p_Forms_Main_Customer");
  EXPECT_EQ(CallRows("asked", "'Oslo', 2"), (TextRows{"Ann", "Bob", "Cid"}));
  EXPECT_EQ(CallRows("asked", "NULL, 4"), (TextRows{"Dee"}));

  // A parameter named like a column would hide the column in the procedure.
  query_->Execute("CREATE TABLE `Marks` (`p_Mark` INT)");
  query_->Execute("INSERT INTO `Marks` VALUES (1), (2)");
  catalog_.objects.push_back(
      {"Marks", "Marks", {{"p_Mark", "`p_Mark`", expression::ValueKind::Number, true}}});
  translation = Create("marked", Parsed("SELECT p_Mark FROM Marks WHERE p_Mark >= [Mark]"));
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(translation.parameters[0].name, "p_Mark_2");
  EXPECT_EQ(CallRows("marked", "2"), (TextRows{"2"}));
}

// Access turns what the user types for an undeclared parameter into a date
// where the query compares it with one: the procedure takes a date there.
TEST_F(QueryConstructs, UndeclaredParametersComparedWithDatesTakeADate) {
  engine::QueryTranslation since =
      Create("since", Parsed("SELECT ID FROM Orders WHERE Placed >= [Start date] ORDER BY ID"));
  ASSERT_TRUE(since.ok()) << since.reason;
  ASSERT_EQ(since.parameters.size(), 1u);
  EXPECT_EQ(since.parameters[0].type, "DATETIME");
  EXPECT_EQ(CallRows("since", "'2024-02-10'"), (TextRows{"11", "13", "14"}));
  EXPECT_EQ(CallRows("since", "NULL"), (TextRows{}));
  // Between, with the bounds in either order, and a parameter of a subquery.
  engine::QueryTranslation between =
      Create("between",
             Parsed("SELECT ID FROM Orders WHERE Placed Between [From] And [To] AND "
                    "CustomerID In (SELECT ID FROM Customers WHERE City = [Town]) ORDER BY ID"));
  ASSERT_TRUE(between.ok()) << between.reason;
  ASSERT_EQ(between.parameters.size(), 3u);
  EXPECT_EQ(between.parameters[0].type, "DATETIME");
  EXPECT_EQ(between.parameters[1].type, "DATETIME");
  EXPECT_EQ(between.parameters[2].type, "VARCHAR(255)");
  EXPECT_EQ(CallRows("between", "'2024-03-31', '2024-01-10', 'oslo'"), (TextRows{"11", "13"}));
  // Used otherwise too, the text typed would be read by regional settings.
  engine::QueryTranslation shown =
      Translate(Parsed("SELECT ID, [Start] AS Asked FROM Orders WHERE Placed >= [Start]"));
  EXPECT_NE(shown.reason.find("regional settings"), std::string::npos) << shown.reason;
  // Texts written out between dates stay refused: their reading depends on
  // the computer too.
  engine::QueryTranslation written =
      Translate(Parsed("SELECT ID FROM Orders WHERE Placed Between \"1/1/2024\" And \"2/1/2024\""));
  EXPECT_NE(written.reason.find("regional settings"), std::string::npos) << written.reason;
}

TEST_F(QueryConstructs, RefusalsNameTheirReason) {
  QueryDefinition crosstab;
  crosstab.kind = source::QueryKind::Crosstab;
  EXPECT_FALSE(Translate(crosstab).ok());
  QueryDefinition definition;
  definition.kind = source::QueryKind::DataDefinition;
  definition.statement = "CREATE TABLE T (A TEXT)";
  EXPECT_NE(Translate(definition).reason.find("data-definition"), std::string::npos);
  // A parameter of a type no procedure takes, and a union part without tables.
  QueryDefinition odd = Parsed("PARAMETERS X Widget; SELECT Name FROM Customers");
  EXPECT_NE(Translate(odd).reason.find("Widget"), std::string::npos);
  QueryDefinition noFrom;
  noFrom.kind = source::QueryKind::Union;
  noFrom.unionParts = {"SELECT Customers.Name WHERE Customers.ID = 1",
                       "SELECT Name FROM Customers"};
  EXPECT_EQ(Translate(noFrom).reason, "a part of its union reads no table (it has no FROM clause)");
  std::string why;
  QueryDefinition unread;
  EXPECT_FALSE(engine::ParseSelectText("SELECT Name FROM (Customers", unread, why));
  EXPECT_FALSE(engine::ParseSelectText("DELETE FROM Customers", unread, why));
  // Nesting far deeper than Access writes is refused, not followed down.
  std::string deep = "SELECT ID FROM Customers";
  for (int i = 0; i < 100; ++i) deep = "SELECT ID FROM Customers WHERE ID In (" + deep + ")";
  EXPECT_NE(Translate(Parsed(deep)).reason.find("nested too deeply"), std::string::npos);
  std::string joins = std::string(100000, '(') + "Customers" + std::string(100000, ')');
  EXPECT_FALSE(engine::ParseSelectText("SELECT * FROM " + joins, unread, why));
}

}  // namespace
}  // namespace bracken::testing
