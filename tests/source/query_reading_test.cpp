// Saved queries read back from written files of each format and from the
// corpus: each kind's parts and its Access SQL, parameters, the hidden
// record sources left out, and a query whose rows make no sense left out
// with a note while the others are kept.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/ace_header.h"
#include "tests/support/file_damage.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/json_value.h"

namespace bracken::testing {
namespace {

using source::Catalog;
using source::Query;

using Writer = std::function<std::string(const FixtureDatabase&)>;

struct Format {
  const char* name;
  Writer write;
};

std::vector<Format> Formats() {
  return {{"Jet3", WriteJet3},
          {"Jet4", WriteJet4},
          {"ACE12", [](const FixtureDatabase& d) { return AceFromJet4(WriteJet4(d)); }},
          {"ACE17", [](const FixtureDatabase& d) { return AceFromJet4(WriteJet4(d), 6); }}};
}

// Attribute numbers of MSysQueries rows.
enum Attribute {
  kKind = 1,
  kParameter = 2,
  kOptions = 3,
  kSourceDatabase = 4,
  kTable = 5,
  kColumn = 6,
  kJoin = 7,
  kWhere = 8,
  kGroupBy = 9,
  kHaving = 10,
  kOrderBy = 11,
};

FixtureQueryRow Row(int attribute, std::string name1, std::string name2, std::string expression,
                    std::optional<int> flag = std::nullopt) {
  return {attribute, std::move(name1), std::move(name2), std::move(expression), flag};
}

FixtureQuery MakeQuery(std::string name, int kind, std::vector<FixtureQueryRow> rows) {
  rows.insert(rows.begin(), Row(kKind, "", "", "", kind));
  return {std::move(name), std::move(rows), {}};
}

// Customers, Orders and Cities, and a saved query of every kind.
FixtureDatabase QueryDatabase() {
  FixtureTable customers;
  customers.name = "Customers";
  customers.columns = {MakeCounter("Id"), MakeColumn("Name", ColumnKind::Text),
                       MakeColumn("City", ColumnKind::Text)};
  FixtureTable orders;
  orders.name = "Orders";
  orders.columns = {MakeCounter("Id"), MakeColumn("Customer", ColumnKind::Long),
                    MakeColumn("Amount", ColumnKind::Double),
                    MakeColumn("Placed", ColumnKind::DateTime)};
  FixtureTable cities;
  cities.name = "Cities";
  cities.columns = {MakeColumn("Name", ColumnKind::Text)};
  FixtureDatabase database;
  database.tables = {customers, orders, cities};
  database.queries = {
      MakeQuery("Big Orders", 1,
                {Row(kOptions, "10", "", "", 0x08 | 0x10 | 0x20), Row(kTable, "Customers", "C", ""),
                 Row(kTable, "Orders", "O", ""), Row(kColumn, "Who", "", "C.Name"),
                 Row(kColumn, "", "", "O.Amount"), Row(kJoin, "C", "O", "C.Id = O.Customer", 2),
                 Row(kWhere, "", "", "O.Amount>100"), Row(kOrderBy, "D", "", "O.Amount"),
                 Row(kOrderBy, "", "", "C.Name")}),
      MakeQuery(
          "City Totals", 1,
          {Row(kOptions, "", "", "", 0x02), Row(kTable, "Customers", "", ""),
           Row(kTable, "Orders", "", ""), Row(kTable, "Cities", "", ""),
           Row(kTable, "Order Notes", "", ""), Row(kColumn, "", "", "Cities.Name"),
           Row(kColumn, "Total", "", "Sum(Orders.Amount)"),
           Row(kJoin, "Customers", "Orders", "Customers.Id = Orders.Customer", 1),
           Row(kJoin, "Customers", "Cities", "Customers.City = Cities.Name", 3),
           Row(kJoin, "Orders", "Customers", "Orders.Amount > 0", 1),
           Row(kGroupBy, "", "", "Cities.Name", 0), Row(kHaving, "", "", "Sum(Orders.Amount)>0"),
           Row(kOrderBy, "", "", "Cities.Name")}),
      MakeQuery("Places", 9,
                {Row(kOptions, "", "", "", 3),
                 Row(kTable, "", "X7YZ_____1", "SELECT City FROM Customers\r\n"),
                 Row(kTable, "", "X7YZ_____2", "SELECT Name FROM Cities")}),
      MakeQuery("Every Place", 9,
                {Row(kOptions, "", "", "", 1),
                 Row(kTable, "", "X7YZ_____1", "SELECT City FROM Customers"),
                 Row(kTable, "", "X7YZ_____2", "SELECT Name FROM Cities")}),
      MakeQuery("Sales By Year", 6,
                {Row(kTable, "Customers", "", ""), Row(kTable, "Orders", "", ""),
                 Row(kColumn, "Sales", "", "Sum(Orders.Amount)", 0),
                 Row(kColumn, "", "", "Customers.Name", 2),
                 Row(kColumn, "", "", "Year(Orders.Placed)", 1),
                 Row(kJoin, "Customers", "Orders", "Customers.Id = Orders.Customer", 1),
                 Row(kGroupBy, "", "", "Customers.Name", 2),
                 Row(kGroupBy, "", "", "Year(Orders.Placed)", 1)}),
      MakeQuery("Orders Since", 1,
                {Row(kParameter, "Since", "", "", 8), Row(kParameter, "Buyer Name", "", "", 10),
                 Row(kTable, "Orders", "", ""), Row(kWhere, "", "", "Orders.Placed>=[Since]")}),
      MakeQuery("Keep Old", 2,
                {Row(kOptions, "", "", "", 0), Row(kTable, "Orders", "", ""),
                 Row(kColumn, "", "", "Orders.Id"), Row(kColumn, "", "", "Orders.Amount"),
                 Row(kWhere, "", "", "Orders.Placed<#1/1/2020#")}),
      MakeQuery("Add Old", 3,
                {Row(kOptions, "", "", "", 0), Row(kTable, "Orders", "", ""),
                 Row(kColumn, "", "Id", "Orders.Id"), Row(kColumn, "", "Amount", "Orders.Amount")}),
      MakeQuery("Raise", 4,
                {Row(kOptions, "", "", "", 0), Row(kTable, "Orders", "", ""),
                 Row(kColumn, "", "Orders.Amount", "[Orders].[Amount]*1.1"),
                 Row(kWhere, "", "", "Orders.Amount<10")}),
      MakeQuery("Purge", 5,
                {Row(kOptions, "", "", "", 0), Row(kTable, "Orders", "", ""),
                 Row(kColumn, "", "", "Orders.*"), Row(kWhere, "", "", "Orders.Amount=0")}),
      MakeQuery("Server Time", 8, {}),
      MakeQuery("Make Log", 7, {}),
      MakeQuery("Remote Clients", 1,
                {Row(kSourceDatabase, "C:\\Data\\Other.mdb", "", ""),
                 Row(kTable, "Clients", "", ""), Row(kColumn, "", "", "Clients.Name")}),
      MakeQuery("Recent Buyers", 1,
                {Row(kTable, "Customers", "", ""),
                 Row(kTable, "", "R", "SELECT Orders.Customer FROM Orders WHERE Orders.Amount>5"),
                 Row(kColumn, "", "", "Customers.Name"),
                 Row(kJoin, "Customers", "R", "Customers.Id = R.Customer", 1)}),
      MakeQuery("~sq_fCustomers", 1,
                {Row(kTable, "Customers", "", ""), Row(kColumn, "", "", "Customers.Name")}),
  };
  FixtureQuery control =
      MakeQuery("Report Source", 1, {Row(kTable, "Cities", "", ""), Row(kColumn, "", "", "*")});
  control.extraFlags = 0x3;
  database.queries.push_back(control);
  database.queries[4].columnHeadings = "1999,2000";
  database.queries[6].rows[0].name1 = "Old Orders";
  database.queries[6].rows[0].name2 = "C:\\Archive\\old.mdb";
  database.queries[7].rows[0].name1 = "Old Orders";
  database.queries[10].rows[0].name1 = "ODBC;DSN=Server";
  database.queries[10].rows[0].expression = std::string("SELECT NOW()") + '\0';
  database.queries[11].rows[0].expression = "CREATE TABLE Log (Id LONG);";
  return database;
}

const Query* Find(const Catalog& catalog, const std::string& name) {
  const auto& queries = catalog.Queries();
  auto found =
      std::find_if(queries.begin(), queries.end(), [&](const Query& q) { return q.name == name; });
  return found == queries.end() ? nullptr : &*found;
}

TEST(QueryReading, EveryKindReadsBackWithItsAccessSql) {
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.name);
    const bool jet3 = std::string(format.name) == "Jet3";
    Catalog catalog;
    catalog.OpenBuffer(format.write(QueryDatabase()));
    EXPECT_TRUE(catalog.Damage().empty()) << ::testing::PrintToString(catalog.Damage());
    std::vector<std::string> names;
    for (const Query& q : catalog.Queries()) {
      names.push_back(q.name + " " + std::string(source::QueryKindName(q.Kind())));
    }
    // By name, the hidden record sources of a form and a report left out.
    EXPECT_EQ(names,
              (std::vector<std::string>{
                  "Add Old append", "Big Orders select", "City Totals select", "Every Place union",
                  "Keep Old make-table", "Make Log data-definition", "Orders Since select",
                  "Places union", "Purge delete", "Raise update", "Recent Buyers select",
                  "Remote Clients select", "Sales By Year crosstab", "Server Time pass-through"}));
    auto sql = [&](const std::string& name) {
      const Query* q = Find(catalog, name);
      return q == nullptr ? std::string("(missing)") : q->sql;
    };
    EXPECT_EQ(sql("Big Orders"),
              "SELECT DISTINCTROW TOP 10 PERCENT C.Name AS Who, O.Amount\r\n"
              "FROM Customers AS C LEFT JOIN Orders AS O ON C.Id = O.Customer\r\n"
              "WHERE O.Amount>100\r\n"
              "ORDER BY O.Amount DESC, C.Name;");
    // Joins nest in their order, a second condition between joined tables
    // joins the first, and a table no join names stands apart.
    EXPECT_EQ(sql("City Totals"),
              "SELECT DISTINCT Cities.Name, Sum(Orders.Amount) AS Total\r\n"
              "FROM (Customers INNER JOIN Orders ON (Customers.Id = Orders.Customer) AND "
              "(Orders.Amount > 0)) RIGHT JOIN Cities ON Customers.City = Cities.Name, "
              "[Order Notes]\r\n"
              "GROUP BY Cities.Name\r\n"
              "HAVING Sum(Orders.Amount)>0\r\n"
              "ORDER BY Cities.Name;");
    EXPECT_EQ(sql("Places"), "SELECT City FROM Customers\r\nUNION SELECT Name FROM Cities;");
    EXPECT_EQ(sql("Every Place"),
              "SELECT City FROM Customers\r\nUNION ALL SELECT Name FROM Cities;");
    EXPECT_EQ(sql("Sales By Year"),
              "TRANSFORM Sum(Orders.Amount) AS Sales\r\n"
              "SELECT Customers.Name\r\n"
              "FROM Customers INNER JOIN Orders ON Customers.Id = Orders.Customer\r\n"
              "GROUP BY Customers.Name\r\n"
              "PIVOT Year(Orders.Placed) IN (1999,2000);");
    // No column named: all of them.
    EXPECT_EQ(sql("Orders Since"),
              std::string("PARAMETERS Since DateTime, [Buyer Name] ") +
                  (jet3 ? "Text" : "Text ( 255 )") +
                  ";\r\nSELECT *\r\nFROM Orders\r\nWHERE Orders.Placed>=[Since];");
    EXPECT_EQ(sql("Keep Old"),
              "SELECT Orders.Id, Orders.Amount INTO [Old Orders] IN 'C:\\Archive\\old.mdb'\r\n"
              "FROM Orders\r\nWHERE Orders.Placed<#1/1/2020#;");
    EXPECT_EQ(sql("Add Old"),
              "INSERT INTO [Old Orders] ( Id, Amount )\r\n"
              "SELECT Orders.Id, Orders.Amount\r\nFROM Orders;");
    EXPECT_EQ(sql("Raise"),
              "UPDATE Orders SET Orders.Amount = [Orders].[Amount]*1.1\r\nWHERE Orders.Amount<10;");
    EXPECT_EQ(sql("Purge"), "DELETE Orders.*\r\nFROM Orders\r\nWHERE Orders.Amount=0;");
    EXPECT_EQ(sql("Server Time"), "SELECT NOW()");
    EXPECT_EQ(sql("Make Log"), "CREATE TABLE Log (Id LONG);");
    // A query of another database, and a subquery in a table's place.
    EXPECT_EQ(sql("Remote Clients"),
              "SELECT Clients.Name\r\nFROM Clients IN 'C:\\Data\\Other.mdb';");
    EXPECT_EQ(sql("Recent Buyers"),
              "SELECT Customers.Name\r\nFROM Customers INNER JOIN (SELECT Orders.Customer FROM "
              "Orders WHERE Orders.Amount>5) AS R ON Customers.Id = R.Customer;");

    // The parts the translation works from.
    const Query* big = Find(catalog, "Big Orders");
    ASSERT_NE(big, nullptr);
    ASSERT_EQ(big->definition.sources.size(), 2u);
    EXPECT_EQ(big->definition.sources[1].Reference(), "O");
    ASSERT_EQ(big->definition.joins.size(), 1u);
    EXPECT_EQ(big->definition.joins[0].kind, source::JoinKind::Left);
    EXPECT_TRUE(big->definition.distinctRow && big->definition.topPercent);
    EXPECT_EQ(big->definition.top, "10");
    EXPECT_TRUE(big->definition.orderBy[0].descending);
    const Query* since = Find(catalog, "Orders Since");
    ASSERT_NE(since, nullptr);
    ASSERT_EQ(since->definition.parameters.size(), 2u);
    EXPECT_EQ(since->definition.parameters[1].name, "Buyer Name");
    EXPECT_EQ(since->definition.parameters[1].type, "Text");
    EXPECT_EQ(since->definition.parameters[0].type, "DateTime");
    const Query* server = Find(catalog, "Server Time");
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(server->definition.connect, "ODBC;DSN=Server");
  }
}

// A query whose rows make no query costs only itself, with a sentence that
// names it; the others are kept.
TEST(QueryReading, QueriesThatMakeNoSenseAreLeftOutWithANote) {
  FixtureDatabase database = QueryDatabase();
  database.queries = {
      MakeQuery("Sound", 1, {Row(kTable, "Cities", "", ""), Row(kColumn, "", "", "Cities.Name")}),
      MakeQuery("Stray Join", 1,
                {Row(kTable, "Cities", "", ""), Row(kColumn, "", "", "Cities.Name"),
                 Row(kJoin, "Cities", "Towns", "Cities.Name = Towns.Name", 1)}),
      MakeQuery("Odd Join", 1,
                {Row(kTable, "Cities", "", ""), Row(kTable, "Customers", "", ""),
                 Row(kJoin, "Cities", "Customers", "Cities.Name = Customers.City", 7)}),
      MakeQuery("Odd Row", 1, {Row(42, "", "", "")}),
      MakeQuery("Odd Kind", 12, {}),
      {"No Kind", {}, {}},
      MakeQuery("Half Union", 9, {Row(kTable, "", "X7YZ_____1", "SELECT Name FROM Cities")}),
      MakeQuery("Odd Parameter", 1, {Row(kParameter, "When", "", "", 99)}),
      MakeQuery("Too Deep", 1, {}),
  };
  // A chain of joins far longer than Access allows would nest without end.
  for (int i = 0; i < 300; ++i) {
    const std::string name = "T" + std::to_string(i);
    auto& rows = database.queries.back().rows;
    rows.push_back(Row(kTable, name, "", ""));
    if (i > 0) rows.push_back(Row(kJoin, "T" + std::to_string(i - 1), name, "x", 1));
  }
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.name);
    Catalog catalog;
    catalog.OpenBuffer(format.write(database));
    ASSERT_EQ(catalog.Queries().size(), 1u);
    EXPECT_EQ(catalog.Queries()[0].sql, "SELECT Cities.Name\r\nFROM Cities;");
    auto note = [](const std::string& name, const std::string& why) {
      std::string text = "The saved query " + name;
      text += " cannot be read (" + why + "); it is left out.";
      return text;
    };
    EXPECT_EQ(
        catalog.Damage(),
        (std::vector<std::string>{
            note("Stray Join", "a join of it names Towns, which it does not read"),
            note("Odd Join", "a join of it has the unknown kind 7"),
            note("Odd Row", "it holds a row of the unknown attribute 42"),
            note("Odd Kind", "its kind 12 is not known"), note("No Kind", "its kind is not stored"),
            note("Half Union", "its union has fewer than two parts"),
            note("Odd Parameter", "its parameter When has the unknown type 99"),
            note("Too Deep", "it reads more tables or joins than Access allows")}));
  }
}

// With a row of MSysQueries out of reach, no query is known whole: none is
// kept, and the damage says why.
TEST(QueryReading, AnUnreachableRowOfTheTableLeavesEveryQueryOut) {
  FixtureDatabase database = QueryDatabase();
  database.queries.resize(2);
  database.queries[1].rows.push_back(Row(kWhere, "", "", "Cities.Name=\"marker-8731\""));
  std::string file = WriteJet4(database);
  ASSERT_NE(BreakRowHolding(file, "marker-8731"), 0);
  Catalog catalog;
  catalog.OpenBuffer(file);
  EXPECT_TRUE(catalog.Queries().empty());
  const auto& damage = catalog.Damage();
  EXPECT_NE(std::find(damage.begin(), damage.end(),
                      "The table of the file's saved queries, MSysQueries, cannot be read (some "
                      "of its rows are out of reach); the file's saved queries are unknown and "
                      "none of them is kept."),
            damage.end())
      << ::testing::PrintToString(damage);
}

// The independent reader of the corpus's dumps finds the written queries:
// their objects by name and every row of MSysQueries, framed as Access frames
// them. Skipped without node and its mdb-reader package.
TEST(QueryReading, TheIndependentReaderSeesTheWrittenQueries) {
  const std::filesystem::path tools = std::filesystem::path(BRACKEN_SHARED_DIR) / "tools";
  std::string modules = std::string(BRACKEN_BINARY_DIR) + "/oracle/node_modules";
  if (const char* path = std::getenv("NODE_PATH")) modules = path;
  if (!std::filesystem::exists(tools / "mdb-schema-oracle.mjs") ||
      !std::filesystem::exists(std::filesystem::path(modules) / "mdb-reader") ||
      std::system("node --version >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "node, the mdb-reader package or the tools are missing";
  }
  const FixtureDatabase database = QueryDatabase();
  size_t rowCount = 0;
  for (const FixtureQuery& q : database.queries) rowCount += q.rows.size() + 2;
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.name);
    const auto file = std::filesystem::temp_directory_path() /
                      ("bracken_queries_" + std::to_string(::getpid()) + ".mdb");
    const auto dump = file.string() + ".json";
    std::ofstream(file, std::ios::binary) << format.write(database);
    std::string command = "NODE_PATH=" + modules;
    command += " node " + (tools / "mdb-schema-oracle.mjs").string();
    command += " " + file.string() + " > " + dump + " 2>/dev/null";
    ASSERT_EQ(std::system(command.c_str()), 0);
    JsonValue reference = ReadJsonFile(dump);
    std::vector<std::string> names;
    for (const auto& [id, name] : reference["queryNames"].members) names.push_back(name.text);
    std::sort(names.begin(), names.end());
    std::vector<std::string> expected;
    for (const FixtureQuery& q : database.queries) expected.push_back(q.name);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names, expected);
    const auto& rows = reference["queries"].items;
    EXPECT_EQ(rows.size(), rowCount);
    size_t starts = 0;
    for (const JsonValue& row : rows) {
      EXPECT_TRUE(reference["queryNames"].members.count(row["ObjectId"].text))
          << row["ObjectId"].text;
      starts += row["Attribute"].text == "0" ? 1 : 0;
    }
    EXPECT_EQ(starts, database.queries.size());
    std::filesystem::remove(file);
    std::filesystem::remove(dump);
  }
}

// The corpus's query test files, whose queries Access wrote.
class CorpusQueries : public ::testing::Test {
 protected:
  static std::string CorpusFile(const std::string& name) {
    return std::string(BRACKEN_SHARED_DIR) + "/corpus/" + name;
  }
  void SetUp() override {
    if (!std::filesystem::exists(CorpusFile("jet4/queryTestV2000.mdb"))) {
      GTEST_SKIP() << "the corpus is not present beside the checkout";
    }
  }
};

TEST_F(CorpusQueries, EveryQueryOfTheQueryTestFilesIsRead) {
  for (const char* name :
       {"jet3/queryTestV1997.mdb", "jet4/queryTestV2000.mdb", "ace/queryTestV2007.accdb"}) {
    SCOPED_TRACE(name);
    Catalog catalog;
    catalog.SetActiveConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + CorpusFile(name));
    EXPECT_TRUE(catalog.Damage().empty()) << ::testing::PrintToString(catalog.Damage());
    std::vector<std::string> kinds;
    for (const Query& q : catalog.Queries()) {
      kinds.emplace_back(source::QueryKindName(q.Kind()));
    }
    EXPECT_EQ(kinds, (std::vector<std::string>{"append", "crosstab", "data-definition", "delete",
                                               "make-table", "pass-through", "select", "union",
                                               "update"}));
    const Query* select = Find(catalog, "SelectQuery");
    ASSERT_NE(select, nullptr);
    EXPECT_EQ(select->sql,
              "SELECT DISTINCT Table1.*, Table2.col1, Table2.col2, Table3.col3\r\n"
              "FROM (Table1 LEFT JOIN Table3 ON Table1.col1 = Table3.col1) INNER JOIN Table2 ON "
              "(Table3.col1 = Table2.col1) AND (Table3.col1 = Table2.col2)\r\n"
              "WHERE (((Table2.col2)=\"foo\" Or (Table2.col2) In (\"buzz\",\"bazz\")))\r\n"
              "ORDER BY Table2.col1;");
    const Query* update = Find(catalog, "UpdateQuery");
    ASSERT_NE(update, nullptr);
    ASSERT_EQ(update->definition.parameters.size(), 1u);
    EXPECT_EQ(update->definition.parameters[0].name, "User Name");
    EXPECT_EQ(update->definition.parameters[0].type, "Text");
    const Query* crosstab = Find(catalog, "CrosstabQuery");
    ASSERT_NE(crosstab, nullptr);
    EXPECT_NE(crosstab->sql.find("\r\nPIVOT [Table1].[col1];"), std::string::npos);
  }
  // Only the hidden record sources of forms: no query of the user's.
  Catalog catalog;
  catalog.SetActiveConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                              CorpusFile("ace/odbcLinkerTestV2007.accdb"));
  EXPECT_TRUE(catalog.Queries().empty());
}

}  // namespace
}  // namespace bracken::testing
