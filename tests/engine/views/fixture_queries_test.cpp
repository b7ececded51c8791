// Saved queries written into files of each format, read back from
// MSysQueries, translated after the file's tables are converted, and run:
// the whole way from the file to the rows of a view or procedure.

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/source_connection.h"
#include "engine/views/query_translation.h"
#include "tests/engine/server_conversion.h"
#include "tests/engine/views/query_server.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"

namespace bracken::engine {
namespace {

using testing::ColumnKind;
using testing::FixtureQuery;
using testing::FixtureQueryRow;
using V = std::vector<testing::FixtureValue>;

FixtureQueryRow Row(int attribute, std::string name1, std::string name2, std::string expression,
                    std::optional<int> flag = std::nullopt) {
  return {attribute, std::move(name1), std::move(name2), std::move(expression), flag};
}

FixtureQuery Query(std::string name, int kind, std::vector<FixtureQueryRow> rows) {
  rows.insert(rows.begin(), Row(1, "", "", "", kind));
  return {std::move(name), std::move(rows), {}};
}

// Two tables and three queries: the biggest buyers (a join, grouping and
// TOP with ties), every place (a union), and the orders of a city (a
// parameter).
testing::FixtureDatabase Shop() {
  testing::FixtureTable customers;
  customers.name = "Customers";
  customers.columns = {testing::MakeCounter("Id"), testing::MakeColumn("Name", ColumnKind::Text),
                       testing::MakeColumn("City", ColumnKind::Text)};
  customers.rows = {V{int64_t{1}, std::string("Ann"), std::string("Oslo")},
                    V{int64_t{2}, std::string("Bob"), std::string("Rome")},
                    V{int64_t{3}, std::string("Cid"), std::string("Oslo")}};
  testing::FixtureTable orders;
  orders.name = "Orders";
  orders.columns = {testing::MakeCounter("Id"), testing::MakeColumn("Customer", ColumnKind::Long),
                    testing::MakeColumn("Amount", ColumnKind::Long)};
  orders.rows = {V{int64_t{1}, int64_t{1}, int64_t{30}}, V{int64_t{2}, int64_t{1}, int64_t{20}},
                 V{int64_t{3}, int64_t{2}, int64_t{50}}, V{int64_t{4}, int64_t{3}, int64_t{10}}};
  testing::FixtureDatabase database;
  database.tables = {customers, orders};
  database.queries = {
      Query("Big Buyers", 1,
            {Row(3, "1", "", "", 0x10), Row(5, "Customers", "C", ""), Row(5, "Orders", "O", ""),
             Row(6, "", "", "C.Name"), Row(6, "Total", "", "Sum(O.Amount)"),
             Row(7, "C", "O", "C.Id = O.Customer", 1), Row(9, "", "", "C.Name"),
             Row(11, "D", "", "Sum(O.Amount)")}),
      Query("Places", 9,
            {Row(3, "", "", "", 3), Row(5, "", "X7YZ_____1", "SELECT City FROM Customers"),
             Row(5, "", "X7YZ_____2", "SELECT Name FROM Customers"), Row(11, "", "", "City")}),
      Query(
          "City Orders", 1,
          {Row(2, "Town", "", "", 10), Row(5, "Customers", "", ""), Row(5, "Orders", "", ""),
           Row(6, "", "", "Orders.Id"), Row(7, "Customers", "Orders", "Customers.Id = Customer", 1),
           Row(8, "", "", "City = [Town]"), Row(11, "", "", "Orders.Id")}),
  };
  return database;
}

class FixtureQueries : public ::testing::TestWithParam<const char*> {};

TEST_P(FixtureQueries, EachKindReadFromTheFileRunsOnTheServer) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const std::string format = GetParam();
  std::string bytes = format == "Jet3"   ? testing::WriteJet3(Shop())
                      : format == "Jet4" ? testing::WriteJet4(Shop())
                                         : testing::AceFromJet4(testing::WriteJet4(Shop()));
  source::Catalog catalog;
  catalog.OpenBuffer(bytes);
  CatalogSource source(catalog, "");
  const std::string database = "eng_views_fixture_" + format;
  ConvertAll(server, source, ListTableNames(catalog), database);
  testing::ServerQuery query(server, database);
  QueryCatalog known = testing::CatalogOf(query, database);
  const auto dialect = expression::ServerDialect::FromVersion(*query.Value("SELECT VERSION()"));

  auto translate = [&](const std::string& name) {
    for (const source::Query& saved : catalog.Queries()) {
      if (saved.name == name) return TranslateQuery(saved.definition, known, dialect);
    }
    ADD_FAILURE() << name << " is not read";
    return QueryTranslation{};
  };
  auto text = [](const std::vector<testing::Row>& rows) {
    testing::TextRows out;
    for (const testing::Row& row : rows) {
      std::string line;
      for (const testing::Cell& cell : row)
        line += (line.empty() ? "" : "|") + cell.value_or("NULL");
      out.push_back(line);
    }
    return out;
  };

  // Ann 50, Bob 50, Cid 10: the top one is two tied.
  QueryTranslation buyers = translate("Big Buyers");
  ASSERT_TRUE(buyers.ok()) << buyers.reason;
  query.Execute("CREATE VIEW `Big Buyers` AS " + buyers.body);
  testing::TextRows buyersRows = text(query.Rows("SELECT * FROM `Big Buyers`"));
  std::sort(buyersRows.begin(), buyersRows.end());
  EXPECT_EQ(buyersRows, (testing::TextRows{"Ann|50", "Bob|50"}));

  QueryTranslation places = translate("Places");
  ASSERT_TRUE(places.ok()) << places.reason;
  query.Execute("CREATE VIEW `Places` AS " + places.body);
  EXPECT_EQ(text(query.Rows("SELECT * FROM `Places`")),
            (testing::TextRows{"Ann", "Bob", "Cid", "Oslo", "Rome"}));

  QueryTranslation cityOrders = translate("City Orders");
  ASSERT_TRUE(cityOrders.ok()) << cityOrders.reason;
  ASSERT_EQ(cityOrders.kind, QueryObjectKind::Procedure);
  ASSERT_EQ(cityOrders.parameters.size(), 1u);
  query.Execute("CREATE PROCEDURE `City Orders`(IN " + cityOrders.parameters[0].name + " " +
                cityOrders.parameters[0].type + ") BEGIN " + cityOrders.body + " END");
  {
    testing::ServerQuery call(server, database);
    EXPECT_EQ(text(call.Rows("CALL `City Orders`('Oslo')")), (testing::TextRows{"1", "2", "4"}));
  }
  query.Execute("DROP DATABASE `" + database + "`");
}

INSTANTIATE_TEST_SUITE_P(Formats, FixtureQueries, ::testing::Values("Jet3", "Jet4", "ACE"));

}  // namespace
}  // namespace bracken::engine
