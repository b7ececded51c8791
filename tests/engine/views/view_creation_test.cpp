// Saved queries made into views during a conversion into the test server,
// for Jet 3, Jet 4 and ACE files: views that read tables and other views
// return the rows worked out by hand, a query on a table left out and one
// the translator refuses are named and make the run incomplete, a query's
// name never takes a table's, --no-queries leaves them all out, the dump
// replays them through the mariadb client, and verify finds each one.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/dump_executor.h"
#include "engine/output/statement_executor.h"
#include "engine/verify/verify_run.h"
#include "target/mysql_connection.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::engine {
namespace {

namespace fs = std::filesystem;
using testing::ColumnKind;
using testing::FixtureDatabase;
using testing::FixtureQuery;
using testing::FixtureQueryRow;
using testing::FixtureTable;
using testing::FixtureValue;
using testing::MakeColumn;
using testing::Row;
using V = std::vector<FixtureValue>;

// Attribute numbers of MSysQueries rows.
enum Attribute { kKind = 1, kParameter = 2, kTable = 5, kColumn = 6, kJoin = 7, kWhere = 8 };
constexpr int kOrderBy = 11;

FixtureQueryRow QueryRow(int attribute, std::string name1, std::string name2,
                         std::string expression, std::optional<int> flag = std::nullopt) {
  return {attribute, std::move(name1), std::move(name2), std::move(expression), flag};
}

FixtureQuery Select(std::string name, std::vector<FixtureQueryRow> rows) {
  rows.insert(rows.begin(), QueryRow(kKind, "", "", "", 1));
  return {std::move(name), std::move(rows), {}};
}

// Customers, Orders and Cities, and select queries: one on a table, one on
// that query and a table (named to come first), one on Cities, one the
// translator refuses, one whose name MySQL takes only as the table's, one
// with a parameter (a procedure) and one reading that one.
FixtureDatabase ShopFile() {
  FixtureTable customers;
  customers.name = "Customers";
  customers.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text),
                       MakeColumn("City", ColumnKind::Text)};
  customers.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  customers.rows = {V{int64_t{1}, std::string("Ann"), std::string("Oslo")},
                    V{int64_t{2}, std::string("Bo"), std::string("Rome")},
                    V{int64_t{3}, std::string("Cy"), FixtureValue()}};
  FixtureTable orders;
  orders.name = "Orders";
  orders.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Customer", ColumnKind::Long),
                    MakeColumn("Amount", ColumnKind::Double)};
  orders.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  orders.rows = {V{int64_t{10}, int64_t{1}, 250.0}, V{int64_t{11}, int64_t{1}, 20.0},
                 V{int64_t{12}, int64_t{2}, 120.5}, V{int64_t{13}, int64_t{3}, 99.0}};
  FixtureTable cities;
  cities.name = "Cities";
  cities.columns = {MakeColumn("Name", ColumnKind::Text)};
  cities.rows = {V{std::string("Oslo")}};
  FixtureDatabase file;
  file.tables = {customers, orders, cities};
  file.queries = {
      Select(
          "Big Orders",
          {QueryRow(kTable, "Orders", "", ""), QueryRow(kColumn, "", "", "Orders.Id"),
           QueryRow(kColumn, "", "", "Orders.Customer"), QueryRow(kColumn, "", "", "Orders.Amount"),
           QueryRow(kWhere, "", "", "Orders.Amount>100")}),
      Select("A Big Buyers",
             {QueryRow(kTable, "Customers", "", ""), QueryRow(kTable, "Big Orders", "B", ""),
              QueryRow(kColumn, "", "", "Customers.Name"), QueryRow(kColumn, "", "", "B.Amount"),
              QueryRow(kJoin, "Customers", "B", "Customers.Id = B.Customer", 1)}),
      Select("City List",
             {QueryRow(kTable, "Cities", "", ""), QueryRow(kColumn, "", "", "Cities.Name")}),
      Select("Looked Up", {QueryRow(kTable, "Orders", "", ""),
                           QueryRow(kColumn, "Who", "", "DLookUp(\"Name\",\"Customers\")")}),
      Select("Orders ",
             {QueryRow(kTable, "Orders", "", ""), QueryRow(kColumn, "", "", "Orders.Id")}),
      Select("Orders Over",
             {QueryRow(kParameter, "Least", "", "", 4), QueryRow(kTable, "Orders", "", ""),
              QueryRow(kColumn, "", "", "Orders.Id"),
              QueryRow(kWhere, "", "", "Orders.Amount>[Least]"),
              QueryRow(kOrderBy, "", "", "Orders.Id")}),
      Select("Over Names", {QueryRow(kTable, "Orders Over", "", ""),
                            QueryRow(kColumn, "", "", "[Orders Over].Id")}),
  };
  return file;
}

struct Flavour {
  const char* name;
  std::function<std::string(const FixtureDatabase&)> write;
};

struct QueryRun {
  ConversionSummary summary;
  std::vector<std::string> reportLines;
  std::string reportMessage;
};

QueryRun Convert(const testing::TestServer& server, ConversionSource& source,
                 const std::string& database, bool carryQueries) {
  target::MySqlConnection connection;
  EXPECT_EQ(connection.Connect(server.host, server.user, server.password),
            target::MySqlConnection::ConnectResult::Connected);
  MySqlStatementExecutor executor(connection);
  ConversionContext context(executor, source);
  context.carryQueries = carryQueries;
  testing::RecordingOwner owner;
  owner.SetTables({"Customers", "Orders"}, {true, true});
  owner.SetDestinationName(database);
  QueryRun run;
  run.summary = RunConversion(owner, context);
  run.reportLines = owner.reportLines;
  run.reportMessage = owner.reportMessage;
  return run;
}

std::vector<Row> Sorted(std::vector<Row> rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

bool Mentions(const std::vector<std::string>& lines, const std::string& text) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

// What every run of ShopFile's queries must leave: the views' rows.
void ExpectViewRows(testing::ServerQuery& query) {
  EXPECT_EQ(Sorted(query.Rows("SELECT * FROM `Big Orders`")),
            (std::vector<Row>{{"10", "1", "250"}, {"12", "2", "120.5"}}));
  EXPECT_EQ(Sorted(query.Rows("SELECT * FROM `A Big Buyers`")),
            (std::vector<Row>{{"Ann", "250"}, {"Bo", "120.5"}}));
  EXPECT_EQ(Sorted(query.Rows("SELECT * FROM `Orders_2`")),
            (std::vector<Row>{{"10"}, {"11"}, {"12"}, {"13"}}));
}

class QueryConversion : public ::testing::TestWithParam<Flavour> {};

TEST_P(QueryConversion, ViewsReturnTheirRowsAndEveryOtherQueryIsNamed) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const std::string database = std::string("eng_views_") + GetParam().name;
  source::Catalog catalog;
  catalog.OpenBuffer(GetParam().write(ShopFile()), "");
  CatalogSource source(catalog, "");
  QueryRun run = Convert(server, source, database, true);
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_EQ(run.summary.queriesNotCreated, 3);
  EXPECT_TRUE(run.summary.Lost());
  EXPECT_NE(run.reportMessage.find("not everything was converted: 3 queries not converted"),
            std::string::npos)
      << run.reportMessage;
  EXPECT_TRUE(Mentions(run.reportLines,
                       "Query [City List] was not converted: it reads [Cities], which was not "
                       "converted. Access SQL: SELECT Cities.Name FROM Cities;"))
      << ::testing::PrintToString(run.reportLines);
  EXPECT_TRUE(
      Mentions(run.reportLines, "Query [Looked Up] was not converted: not translatable, because "))
      << ::testing::PrintToString(run.reportLines);
  EXPECT_TRUE(Mentions(run.reportLines, "Access SQL: SELECT DLookUp("))
      << ::testing::PrintToString(run.reportLines);
  EXPECT_TRUE(Mentions(run.reportLines,
                       "Query [Orders ] is created as [Orders_2] (MySQL does "
                       "not accept the name as it is)."))
      << ::testing::PrintToString(run.reportLines);
  EXPECT_TRUE(Mentions(run.reportLines,
                       "Query [Over Names] was not converted: it reads the query "
                       "[Orders Over], which became a procedure"))
      << ::testing::PrintToString(run.reportLines);

  testing::ServerQuery query(server, database);
  ExpectViewRows(query);
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Orders"), "4");  // the table keeps its name
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(TABLE_NAME ORDER BY TABLE_NAME) FROM "
                        "information_schema.VIEWS WHERE TABLE_SCHEMA = '" +
                        database + "'"),
            "A Big Buyers,Big Orders,Orders_2");

  // Verify finds each view running and names the three not converted; a
  // view dropped afterwards is a difference.
  target::MySqlConnection connection;
  ASSERT_EQ(connection.Connect(server.host, server.user, server.password),
            target::MySqlConnection::ConnectResult::Connected);
  VerifySummary verified = VerifyTables(source, {"Customers", "Orders"}, connection, database);
  EXPECT_TRUE(verified.AllIdentical()) << ::testing::PrintToString(QueryLines(verified));
  EXPECT_EQ(verified.queries.size(), 7u);
  EXPECT_EQ(verified.QueriesAsConverted(), 7);
  EXPECT_TRUE(
      Mentions(QueryLines(verified), "Query [Orders Over]: procedure [Orders Over] present"));
  EXPECT_TRUE(Mentions(QueryLines(verified), "Query [A Big Buyers]: view [A Big Buyers] runs"));
  EXPECT_TRUE(
      Mentions(QueryLines(verified), "Query [City List]: not converted: it reads [Cities]"));
  EXPECT_NE(VerifySummaryLine(database, verified).find("; queries: 7 of 7 as converted"),
            std::string::npos);
  query.Execute("DROP VIEW `Big Orders`");
  verified = VerifyTables(source, {"Customers", "Orders"}, connection, database);
  EXPECT_FALSE(verified.AllIdentical());
  EXPECT_TRUE(Mentions(QueryLines(verified),
                       "Query [Big Orders]: differs: the database has no view [Big Orders]"))
      << ::testing::PrintToString(QueryLines(verified));
  // Without the queries section, the tables alone decide.
  EXPECT_TRUE(VerifyTables(source, {"Customers", "Orders"}, connection, database, {},
                           VerifyChoices{true, false})
                  .AllIdentical());
  query.Execute("DROP DATABASE `" + database + "`");
}

INSTANTIATE_TEST_SUITE_P(
    Files, QueryConversion,
    ::testing::Values(
        Flavour{"jet3", [](const FixtureDatabase& file) { return testing::WriteJet3(file); }},
        Flavour{"jet4", [](const FixtureDatabase& file) { return testing::WriteJet4(file); }},
        Flavour{"ace",
                [](const FixtureDatabase& file) {
                  return testing::AceFromJet4(testing::WriteJet4(file));
                }}),
    [](const ::testing::TestParamInfo<Flavour>& info) { return std::string(info.param.name); });

// Without queries nothing of them is sent or said: the run is complete and
// the database holds no view.
TEST(QueryConversionChoice, NoQueriesLeavesThemOut) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const std::string database = "eng_views_none";
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(ShopFile()), "");
  CatalogSource source(catalog, "");
  QueryRun run = Convert(server, source, database, false);
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_FALSE(run.summary.Lost());
  EXPECT_EQ(run.reportLines, std::vector<std::string>{});
  testing::ServerQuery query(server, database);
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = '" +
                        database + "'"),
            "0");
  query.Execute("DROP DATABASE `" + database + "`");
}

// A text parameter takes any character a caller gives, whatever the
// server's default character set (latin1 on many), and compares as the
// tables' text does, without regard to case.
TEST(QueryProcedure, TextParametersTakeEveryCharacter) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const fs::path dir = fs::temp_directory_path() / ("bracken_param_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string database = "eng_views_param";
  FixtureDatabase file = ShopFile();
  file.tables[0].rows.push_back(V{int64_t{4}, std::string("\u216b Club"), FixtureValue()});
  file.tables[0].rows.push_back(V{int64_t{5}, std::string("Zo\u00eb \U0001F600"), FixtureValue()});
  file.queries = {Select(
      "Named", {QueryRow(kParameter, "Who", "", "", 10), QueryRow(kTable, "Customers", "", ""),
                QueryRow(kColumn, "", "", "Customers.Id"),
                QueryRow(kWhere, "", "", "Customers.Name=[Who]")})};
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(file), "");
  CatalogSource source(catalog, "");
  QueryRun run = Convert(server, source, database, true);
  EXPECT_EQ(run.summary.queriesNotCreated, 0) << ::testing::PrintToString(run.reportLines);
  const std::string client =
      "MYSQL_PWD=" + testing::ShellQuoted(server.password) +
      " mariadb --default-character-set=utf8mb4 -h " + testing::ShellQuoted(server.host) + " -P " +
      std::to_string(server.port) + " -u " + testing::ShellQuoted(server.user) + " -N " +
      testing::ShellQuoted(database) + " -e ";
  for (const auto& [given, found] : std::vector<std::pair<std::string, std::string>>{
           {"\u216b club", "4\n"}, {"ANN", "1\n"}, {"zo\u00eb \U0001F600", "5\n"}}) {
    testing::ShellRun called =
        testing::RunShell(client + testing::ShellQuoted("CALL Named('" + given + "')"), dir);
    EXPECT_EQ(called.status, 0) << called.errors;
    EXPECT_EQ(called.output, found) << given;
  }
  testing::ServerQuery(server, database).Execute("DROP DATABASE `" + database + "`");
  fs::remove_all(dir);
}

// The dump carries the views after the rows, and a procedure between
// DELIMITER lines, so the mariadb client replays both.
TEST(QueryDump, TheReplayCreatesTheViewsAndProcedures) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const fs::path dir = fs::temp_directory_path() / ("bracken_views_" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string database = "eng_views_dump";
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(ShopFile()), "");
  target::ServerTraits traits;
  traits.version = "10.11.6-MariaDB";
  traits.isMariaDb = true;
  traits.maxAllowedPacket = 16u << 20;
  std::ostringstream out;
  out << DumpHeader("shop.mdb", "today", traits);
  DumpStatementExecutor executor(out, traits, "the dump");
  CatalogSource source(catalog, "");
  ConversionContext context(executor, source);
  testing::RecordingOwner owner;
  owner.SetTables({"Customers", "Orders"}, {true, true});
  owner.SetDestinationName(database);
  ConversionSummary summary = RunConversion(owner, context);
  EXPECT_EQ(summary.queriesNotCreated, 3);
  // One more, with the new delimiter inside a text.
  executor.Execute(
      "CREATE PROCEDURE `Orders Above`(IN `p_Least` DOUBLE)\nBEGIN\nSELECT Id FROM Orders WHERE "
      "Amount > p_Least AND ';;' <> '' ORDER BY Id;\nEND");
  const std::string text = out.str();
  EXPECT_LT(text.find("INSERT INTO `Orders`"), text.find("CREATE VIEW"));
  const fs::path dump = dir / "views.sql";
  std::ofstream(dump, std::ios::binary) << text;
  const std::string client = "MYSQL_PWD=" + testing::ShellQuoted(server.password) + " mariadb -h " +
                             testing::ShellQuoted(server.host) + " -P " +
                             std::to_string(server.port) + " -u " +
                             testing::ShellQuoted(server.user);
  testing::ShellRun loaded =
      testing::RunShell(client + " < " + testing::ShellQuoted(dump.string()), dir);
  ASSERT_EQ(loaded.status, 0) << loaded.errors;
  testing::ServerQuery query(server, database);
  ExpectViewRows(query);
  for (const std::string procedure : {"Orders Over", "Orders Above"}) {
    testing::ShellRun called = testing::RunShell(
        client + " -N -e 'CALL `" + procedure + "`(100)' " + testing::ShellQuoted(database), dir);
    EXPECT_EQ(called.status, 0) << called.errors;
    EXPECT_EQ(called.output, "10\n12\n") << procedure;
  }
  query.Execute("DROP DATABASE `" + database + "`");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace bracken::engine
