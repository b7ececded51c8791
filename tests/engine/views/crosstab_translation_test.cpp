// Crosstab queries made into views and procedures on the test server, their
// rows compared with the rows Access shows, worked out by hand.

#include "engine/views/crosstab_translation.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "tests/engine/views/procedure_server.h"

namespace bracken::engine {
namespace {

using source::CrosstabRole;
using source::QueryColumn;
using source::QueryDefinition;
using views_testing::Cell;
using views_testing::ProcedureServer;
using views_testing::Row;
using views_testing::Sorted;

const Cell kNull = std::nullopt;

// Sales by region, quarter and year; East sold only in a quarter outside
// the fixed headings, South once without a quarter.
void CreateSales(ProcedureServer& server) {
  server.Execute(
      "CREATE TABLE Sales (Region VARCHAR(20), Qtr VARCHAR(5), Amount INT, Yr INT) "
      "COLLATE utf8mb4_general_ci");
  server.Execute(
      "INSERT INTO Sales VALUES ('North','Q1',10,1999), ('North','q1',5,2000), "
      "('North','Q2',7,1999), ('South','Q2',3,2000), ('South',NULL,4,1999), "
      "('East','Q3',8,2000)");
}

// TRANSFORM <value> SELECT <rows> FROM Sales GROUP BY <grouped rows> PIVOT <heading>
// Each row heading is its expression and its alias ("" for none).
using Heading = std::pair<std::string, std::string>;
QueryDefinition Crosstab(const std::string& value, const std::vector<Heading>& rows,
                         const std::string& heading, const std::vector<std::string>& grouped) {
  QueryDefinition query;
  query.kind = source::QueryKind::Crosstab;
  query.sources.push_back({"Sales", "", ""});
  for (const auto& [expression, alias] : rows) {
    query.columns.push_back({expression, alias, "", CrosstabRole::RowHeading});
  }
  query.columns.push_back({value, "", "", CrosstabRole::Value});
  query.columns.push_back({heading, "", "", CrosstabRole::ColumnHeading});
  for (const std::string& group : grouped) {
    query.groupBy.push_back({group, "", "", CrosstabRole::RowHeading});
  }
  query.groupBy.push_back({heading, "", "", CrosstabRole::ColumnHeading});
  return query;
}

class CrosstabTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto server = testing::TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << testing::kNoServerMessage;
    server_.emplace(*server, testing::CurrentTestDatabaseName("ct"));
    CreateSales(*server_);
  }
  QueryTranslation Translate(const QueryDefinition& query) {
    return TranslateCrosstab(query, server_->Catalog(), expression::ServerDialect{});
  }
  std::optional<ProcedureServer> server_;
};

TEST(PivotHeadingsTest, NamesTextsNumbersAndNullAsAccessShowsThem) {
  auto headings = PivotHeadings("\"Q1\",\"Q 2\",1999,-3,Null");
  ASSERT_EQ(headings.size(), 5U);
  EXPECT_EQ(headings[0].name, "Q1");
  EXPECT_EQ(headings[1].name, "Q 2");
  EXPECT_EQ(headings[2].name, "1999");
  EXPECT_EQ(headings[3].name, "-3");
  EXPECT_EQ(headings[4].name, "<>");
  EXPECT_TRUE(headings[4].isNull);
  EXPECT_THROW(PivotHeadings("\"A\",\"a\""), std::invalid_argument);
  EXPECT_THROW(PivotHeadings("[Qtr]"), std::invalid_argument);
  EXPECT_THROW(PivotHeadings("\"A\","), std::invalid_argument);
}

// Fixed headings: one column per heading in the list's order, a cell per
// heading compared as text (so "q1" falls under "Q1", as Access ignores
// case), Null under "<>", East's row kept with empty cells.
TEST_F(CrosstabTest, FixedHeadingsMakeAViewWithTheListsColumnsInOrder) {
  QueryDefinition query = Crosstab("Sum(Amount)", {{"Region", ""}}, "Qtr", {"Region"});
  query.pivotValues = "\"Q2\",\"Q1\",Null";
  QueryTranslation translation = Translate(query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(translation.kind, QueryObjectKind::View);
  server_->Create("Sales by quarter", translation);
  auto result = server_->Run("SELECT * FROM `Sales by quarter`");
  EXPECT_EQ(result.names, (std::vector<std::string>{"Region", "Q2", "Q1", "<>"}));
  EXPECT_EQ(result.rows, (std::vector<Row>{{"East", kNull, kNull, kNull},
                                           {"North", "7", "15", kNull},
                                           {"South", "3", kNull, "4"}}));
  ASSERT_EQ(translation.columns.size(), 4U);
  EXPECT_EQ(translation.columns[3].accessName, "<>");
}

// A total row heading sums the whole row (after WHERE), numbers as headings.
TEST_F(CrosstabTest, TotalRowHeadingCountsEveryRecordOfItsRow) {
  QueryDefinition query =
      Crosstab("Sum(Amount)", {{"Region", ""}, {"Sum(Amount)", "Total"}}, "Yr", {"Region"});
  query.where = "Amount > 3";
  query.pivotValues = "2000,1999";
  query.orderBy.push_back({"Region", true});
  QueryTranslation translation = Translate(query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  server_->Create("Totals", translation);
  auto result = server_->Run("SELECT * FROM Totals");
  EXPECT_EQ(result.names, (std::vector<std::string>{"Region", "Total", "2000", "1999"}));
  EXPECT_EQ(Sorted(result.rows), (std::vector<Row>{{"East", "8", "8", kNull},
                                                   {"North", "22", "5", "17"},
                                                   {"South", "4", kNull, "4"}}));
}

// Without fixed headings: a procedure whose columns are the values found
// when it runs, ascending with Null first as "<>"; empty cells stay Null
// even for Count, rows in the query's order.
TEST_F(CrosstabTest, RunTimeHeadingsMakeAProcedureThatFindsTheColumns) {
  QueryDefinition query = Crosstab("Count(Amount)", {{"Region", ""}}, "Qtr", {"Region"});
  query.orderBy.push_back({"Region", true});
  QueryTranslation translation = Translate(query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(translation.kind, QueryObjectKind::Procedure);
  server_->Create("Counts", translation);
  auto result = server_->Run("CALL Counts()");
  EXPECT_EQ(result.names, (std::vector<std::string>{"Region", "<>", "Q1", "Q2", "Q3"}));
  EXPECT_EQ(result.rows, (std::vector<Row>{{"South", "1", kNull, "1", kNull},
                                           {"North", kNull, "2", "1", kNull},
                                           {"East", kNull, kNull, kNull, "1"}}));
  // A second call finds the rows as they are then.
  server_->Execute("INSERT INTO Sales VALUES ('West','Q4',1,2001)");
  result = server_->Run("CALL Counts()");
  EXPECT_EQ(result.names.back(), "Q4");
  EXPECT_EQ(result.rows.size(), 4U);
  // A call that fails leaves the session's settings and tables as they were.
  server_->Execute("ALTER TABLE Sales RENAME TO Sold");
  auto after = server_->Run({"SET SESSION group_concat_max_len = 2048", "CALL Counts()",
                             "SELECT @@SESSION.group_concat_max_len"},
                            "CALL Counts()");
  EXPECT_EQ(after.rows, (std::vector<Row>{{"2048"}}));
  EXPECT_THROW(server_->Run("CALL Counts()"), std::runtime_error);
}

// Headings sorted descending order the columns; a total row heading and a
// parameter work at run time as well.
TEST_F(CrosstabTest, RunTimeHeadingsTakeParametersTotalsAndDescendingColumns) {
  QueryDefinition query =
      Crosstab("Sum(Amount)", {{"Region", ""}, {"Count(*)", "Deals"}}, "Yr", {"Region"});
  query.parameters.push_back({"Least", "Long"});
  query.where = "Amount >= [Least]";
  query.orderBy.push_back({"Yr", true});
  QueryTranslation translation = Translate(query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  ASSERT_EQ(translation.parameters.size(), 1U);
  server_->Create("Years", translation);
  auto result = server_->Run("CALL Years(5)");
  EXPECT_EQ(result.names, (std::vector<std::string>{"Region", "Deals", "2000", "1999"}));
  EXPECT_EQ(Sorted(result.rows),
            (std::vector<Row>{{"East", "1", "8", kNull}, {"North", "3", "5", "17"}}));
}

// Numbers with decimals as headings are named without trailing zeros, as
// Access writes them ("10", not the server's "10.0000").
TEST_F(CrosstabTest, RunTimeHeadingsNameNumbersAsAccessWritesThem) {
  server_->Execute("CREATE TABLE Prices (Item VARCHAR(5), Price DECIMAL(19,4))");
  server_->Execute("INSERT INTO Prices VALUES ('a', 10), ('a', 2.5), ('b', 10), ('b', 0.125)");
  QueryDefinition query = Crosstab("Count(*)", {{"Item", ""}}, "Price", {"Item"});
  query.sources = {{"Prices", "", ""}};
  QueryTranslation translation = Translate(query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  server_->Create("By price", translation);
  auto result = server_->Run("CALL `By price`()");
  EXPECT_EQ(result.names, (std::vector<std::string>{"Item", "0.125", "2.5", "10"}));
  EXPECT_EQ(result.rows, (std::vector<Row>{{"a", kNull, "1", "1"}, {"b", "1", kNull, "1"}}));
}

// A fixed-heading crosstab with a parameter is a procedure running the
// same SELECT.
TEST_F(CrosstabTest, FixedHeadingsWithAParameterMakeAProcedure) {
  QueryDefinition query = Crosstab("Max(Amount)", {{"Region", ""}}, "Qtr", {"Region"});
  query.parameters.push_back({"Year", "Long"});
  query.where = "Yr = [Year]";
  query.pivotValues = "\"Q1\",\"Q2\"";
  QueryTranslation translation = Translate(query);
  ASSERT_TRUE(translation.ok()) << translation.reason;
  EXPECT_EQ(translation.kind, QueryObjectKind::Procedure);
  server_->Create("Best", translation);
  EXPECT_EQ(server_->Rows("CALL Best(1999)"),
            (std::vector<Row>{{"North", "10", "7"}, {"South", kNull, kNull}}));
}

TEST_F(CrosstabTest, RefusesWhatItCannotLayOutWithTheReason) {
  QueryDefinition noRows = Crosstab("Sum(Amount)", {}, "Qtr", {});
  EXPECT_EQ(Translate(noRows).reason, "its crosstab has no row heading");
  QueryDefinition clash = Crosstab("Sum(Amount)", {{"Region", ""}}, "Qtr", {"Region"});
  clash.pivotValues = "\"region\"";
  EXPECT_EQ(Translate(clash).reason, "two of its columns would be named region");
  QueryDefinition badOrder = Crosstab("Sum(Amount)", {{"Region", ""}}, "Qtr", {"Region"});
  badOrder.orderBy.push_back({"Amount", false});
  EXPECT_EQ(Translate(badOrder).reason,
            "it sorts by Amount, which is no row heading of the crosstab");
  QueryDefinition top = Crosstab("Sum(Amount)", {{"Region", ""}}, "Qtr", {"Region"});
  top.top = "2";
  EXPECT_FALSE(Translate(top).ok());
  QueryDefinition dates = Crosstab("Sum(Amount)", {{"Region", ""}}, "Qtr", {"Region"});
  dates.pivotValues = "#1/1/2000#";
  EXPECT_FALSE(Translate(dates).ok());
}

}  // namespace
}  // namespace bracken::engine
