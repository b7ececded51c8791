// Relationships of written Jet 3, Jet 4 and ACE files converted with InnoDB
// into the test server: the foreign keys the server holds, their rules at
// work, and what is named instead of a key; the row limit InnoDB sets.

#include "engine/schema/foreign_keys.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/run_report.h"
#include "engine/source_connection.h"
#include "target/mysql_connection.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

namespace fs = std::filesystem;
using testing::ColumnKind;
using testing::FixtureDatabase;
using testing::FixtureRelationship;
using testing::FixtureTable;
using testing::FixtureValue;
using V = std::vector<FixtureValue>;

enum class Format { Jet3, Jet4, Ace };

FixtureTable Table(const std::string& name, std::vector<testing::FixtureColumn> columns,
                   std::vector<std::string> key, std::vector<V> rows) {
  FixtureTable table;
  table.name = name;
  table.columns = std::move(columns);
  table.indexes = {{"PrimaryKey", std::move(key), true, true, false}};
  table.rows = std::move(rows);
  return table;
}

testing::FixtureColumn Long(const std::string& name) {
  return testing::MakeColumn(name, ColumnKind::Long);
}
testing::FixtureColumn Text(const std::string& name, int size) {
  return testing::MakeColumn(name, ColumnKind::Text, size);
}

FixtureRelationship Relationship(const std::string& name, const std::string& table,
                                 std::vector<std::string> columns, const std::string& referenced,
                                 std::vector<std::string> referencedColumns) {
  FixtureRelationship relationship;
  relationship.name = name;
  relationship.table = table;
  relationship.columns = std::move(columns);
  relationship.referencedTable = referenced;
  relationship.referencedColumns = std::move(referencedColumns);
  return relationship;
}

// One of every kind: a one-column key with both cascades, a key of two
// columns that sets null, a table referring to itself, a cycle of three
// tables, one Access does not enforce, one whose rows name missing parents
// and (beyond Jet 3) a text key holding a character above U+FFFF on one side.
FixtureDatabase Shop(Format format) {
  const int64_t one = 1, two = 2, three = 3;
  const std::monostate null;
  FixtureDatabase file;
  file.tables = {
      Table("Customers", {Long("ID"), Text("Name", 50)}, {"ID"},
            {V{one, std::string("Ann")}, V{two, std::string("Bob")}}),
      Table("Orders", {Long("ID"), Long("Customer")}, {"ID"},
            {V{int64_t{10}, one}, V{int64_t{11}, one}, V{int64_t{12}, two}, V{int64_t{13}, null}}),
      Table("Parts", {Text("Maker", 20), Long("Code")}, {"Maker", "Code"},
            {V{std::string("acme"), one}, V{std::string("acme"), two}}),
      Table("Stock", {Long("ID"), Text("Maker", 20), Long("Code")}, {"ID"},
            {V{one, std::string("ACME"), one}, V{two, std::string("acme"), two}}),
      Table("Staff", {Long("ID"), Long("Boss")}, {"ID"}, {V{one, null}, V{two, one}}),
      Table("A", {Long("ID"), Long("B")}, {"ID"}, {V{one, one}}),
      Table("B", {Long("ID"), Long("C")}, {"ID"}, {V{one, one}}),
      Table("C", {Long("ID"), Long("A")}, {"ID"}, {V{one, one}}),
      Table("Notes", {Long("ID"), Long("Order")}, {"ID"}, {V{one, int64_t{99}}}),
      Table("Lines", {Long("ID"), Long("Order")}, {"ID"},
            {V{one, int64_t{10}}, V{two, int64_t{98}}, V{three, int64_t{99}}, V{int64_t{4}, null}}),
  };
  FixtureRelationship orders =
      Relationship("CustomersOrders", "Orders", {"Customer"}, "Customers", {"ID"});
  orders.cascadeUpdates = orders.cascadeDeletes = true;
  FixtureRelationship stock =
      Relationship("PartsStock", "Stock", {"Maker", "Code"}, "Parts", {"Maker", "Code"});
  stock.cascadeNull = true;
  FixtureRelationship notes = Relationship("OrdersNotes", "Notes", {"Order"}, "Orders", {"ID"});
  notes.enforced = false;
  file.relationships = {orders,
                        stock,
                        Relationship("StaffBoss", "Staff", {"Boss"}, "Staff", {"ID"}),
                        Relationship("BA", "A", {"B"}, "B", {"ID"}),
                        Relationship("CB", "B", {"C"}, "C", {"ID"}),
                        Relationship("AC", "C", {"A"}, "A", {"ID"}),
                        notes,
                        Relationship("OrdersLines", "Lines", {"Order"}, "Orders", {"ID"})};
  if (format != Format::Jet3) {
    file.tables.push_back(Table("Tags", {Text("Code", 10)}, {"Code"},
                                {V{std::string("plain")}, V{std::string("\xf0\x9f\x98\x80")}}));
    file.tables.push_back(
        Table("Items", {Long("ID"), Text("Tag", 10)}, {"ID"}, {V{one, std::string("plain")}}));
    file.relationships.push_back(Relationship("TagsItems", "Items", {"Tag"}, "Tags", {"Code"}));
  }
  return file;
}

class ForeignKeysTest : public ::testing::TestWithParam<Format> {
 protected:
  void SetUp() override {
    server_ = testing::TestServerFromEnvironment();
    if (!server_) GTEST_SKIP() << testing::kNoServerMessage;
    path_ = fs::temp_directory_path() / ("bracken_fk_" + std::to_string(::getpid()) + ".mdb");
  }
  void TearDown() override {
    if (!path_.empty()) fs::remove(path_);
  }

  void Write(const FixtureDatabase& file) {
    if (GetParam() == Format::Jet3) {
      testing::WriteJet3File(file, path_);
    } else {
      testing::WriteJet4File(file, path_);
      if (GetParam() == Format::Ace) testing::ConvertJet4FileToAce(path_);
    }
  }

  // Converts every table of the written file but `unchecked` into `database`.
  ConversionSummary Convert(const std::string& database, TableEngine engine,
                            const std::string& unchecked = "") {
    const std::string connectionText = BuildConnectionText(path_.string(), "");
    source::Catalog catalog;
    catalog.SetActiveConnection(connectionText);
    CatalogSource source(catalog, connectionText);
    target::MySqlConnection connection;
    EXPECT_EQ(connection.Connect(server_->host, server_->user, server_->password),
              target::MySqlConnection::ConnectResult::Connected);
    MySqlStatementExecutor executor(connection);
    ConversionContext context(executor, source);
    context.engine = engine;
    const std::vector<std::string> tables = ListTableNames(catalog);
    owner_ = testing::RecordingOwner();
    std::vector<bool> checked(tables.size());
    for (std::size_t i = 0; i < tables.size(); ++i) checked[i] = tables[i] != unchecked;
    owner_.SetTables(tables, checked);
    owner_.SetDestinationName(database);
    return RunConversion(owner_, context);
  }

  std::string Database(const std::string& stem) const {
    const char* suffix[] = {"_jet3", "_jet4", "_ace"};
    return stem + suffix[static_cast<int>(GetParam())];
  }

  std::optional<testing::TestServer> server_;
  fs::path path_;
  testing::RecordingOwner owner_;
};

TEST_P(ForeignKeysTest, EnforcedRelationshipsBecomeKeysWithTheirRules) {
  Write(Shop(GetParam()));
  const std::string database = Database("eng_fk");
  ConversionSummary summary = Convert(database, TableEngine::InnoDB);
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(summary.rowsRefused, 0);
  // Only the key over orphans did not arrive; the one not enforced is named.
  EXPECT_EQ(summary.relationshipsNotCreated, 1);
  EXPECT_EQ(owner_.reportLines,
            (std::vector<std::string>{
                "Relationship [OrdersLines] ([Lines] to [Orders]) was not created: 2 rows of "
                "[Lines] name no row of [Orders].",
                "Relationship [OrdersNotes] ([Notes] to [Orders]) was not created as a foreign "
                "key: it is not enforced in Access."}));
  EXPECT_EQ(owner_.reportMessage, LossMessage(summary));

  testing::ServerQuery query(*server_, database);
  const std::string schema = "'" + database + "'";
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(ENGINE) FROM information_schema.TABLES WHERE "
                        "TABLE_SCHEMA = " +
                        schema + " AND ENGINE <> 'InnoDB'"),
            std::nullopt);
  std::string expected =
      "AC:C->A:RESTRICT:RESTRICT|BA:A->B:RESTRICT:RESTRICT|CB:B->C:RESTRICT:RESTRICT|"
      "CustomersOrders:Orders->Customers:CASCADE:CASCADE|PartsStock:Stock->Parts:RESTRICT:SET "
      "NULL|StaffBoss:Staff->Staff:RESTRICT:RESTRICT";
  if (GetParam() != Format::Jet3) expected += "|TagsItems:Items->Tags:RESTRICT:RESTRICT";
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONCAT(CONSTRAINT_NAME, ':', TABLE_NAME, '->', "
                        "REFERENCED_TABLE_NAME, ':', UPDATE_RULE, ':', DELETE_RULE) ORDER BY "
                        "CONSTRAINT_NAME SEPARATOR '|') FROM "
                        "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = " +
                        schema),
            expected);
  // Several columns keep their pairs in order.
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONCAT(COLUMN_NAME, '=', REFERENCED_COLUMN_NAME) "
                        "ORDER BY ORDINAL_POSITION) FROM information_schema.KEY_COLUMN_USAGE "
                        "WHERE TABLE_SCHEMA = " +
                        schema + " AND CONSTRAINT_NAME = 'PartsStock'"),
            "Maker=Maker,Code=Code");
  if (GetParam() != Format::Jet3) {
    // Both sides of the text key compare alike: utf8mb4, as one needs.
    EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(DISTINCT CHARACTER_SET_NAME) FROM "
                          "information_schema.COLUMNS WHERE TABLE_SCHEMA = " +
                          schema +
                          " AND COLUMN_NAME IN ('Tag', 'Code') AND TABLE_NAME IN ('Items', "
                          "'Tags')"),
              "utf8mb4");
  }

  // The rules at work: a deleted customer takes its orders along, a changed
  // one carries them over, a deleted part leaves its stock without one.
  query.Execute("UPDATE Customers SET ID = 5 WHERE ID = 2");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(ID) FROM Orders WHERE Customer = 5"), "12");
  query.Execute("DELETE FROM `Lines`");
  query.Execute("DELETE FROM Customers WHERE ID = 1");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(ID ORDER BY ID) FROM Orders"), "12,13");
  query.Execute("DELETE FROM Parts WHERE Code = 2");
  EXPECT_EQ(query.Value("SELECT CONCAT_WS(',', ID, Maker, Code) FROM Stock WHERE ID = 2"), "2");
  // Rows without a parent are refused; without a rule, a parent in use stays.
  EXPECT_THROW(query.Execute("INSERT INTO Orders VALUES (20, 77)"), std::runtime_error);
  EXPECT_THROW(query.Execute("INSERT INTO Staff VALUES (3, 9)"), std::runtime_error);
  EXPECT_THROW(query.Execute("DELETE FROM A"), std::runtime_error);
  // The relationship not enforced and the one over orphans hold nothing.
  query.Execute("INSERT INTO Notes VALUES (2, 77)");
  query.Execute("INSERT INTO `Lines` VALUES (9, 77)");
  query.Execute("DROP DATABASE " + database);
}

TEST_P(ForeignKeysTest, MyIsamNamesEachEnforcedRelationship) {
  FixtureDatabase file = Shop(GetParam());
  file.relationships.resize(3);  // CustomersOrders, PartsStock, StaffBoss
  Write(file);
  const std::string database = Database("eng_fk_myisam");
  ConversionSummary summary = Convert(database, TableEngine::MyISAM, "Customers");
  EXPECT_EQ(summary.relationshipsNotCreated, 0);
  EXPECT_FALSE(summary.Lost());
  EXPECT_EQ(owner_.reportLines,
            (std::vector<std::string>{
                "Relationship [CustomersOrders] ([Orders] to [Customers]) was not created: the "
                "table [Customers] was not converted.",
                "Relationship [PartsStock] ([Stock] to [Parts]) was not created: MyISAM has no "
                "foreign keys: use InnoDB.",
                "Relationship [StaffBoss] ([Staff] to [Staff]) was not created: MyISAM has no "
                "foreign keys: use InnoDB."}));
  testing::ServerQuery query(*server_, database);
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                        "CONSTRAINT_SCHEMA = '" +
                        database + "'"),
            "0");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(DISTINCT ENGINE) FROM information_schema.TABLES "
                        "WHERE TABLE_SCHEMA = '" +
                        database + "'"),
            "MyISAM");
  query.Execute("DROP DATABASE " + database);
}

// A row MyISAM takes whole is too wide for InnoDB's page: the widest short
// text columns become TEXT until it fits, indexed ones last, and the keys
// stay within InnoDB's prefix limit.
TEST_P(ForeignKeysTest, WideRowsFitInnoDbsLimit) {
  FixtureTable wide;
  wide.name = "Wide";
  wide.columns = {Long("ID")};
  V row(47, std::string(1, 'a'));
  row[0] = int64_t{1};
  row[46] = std::string(200, 'z');
  for (int i = 0; i < 45; ++i) wide.columns.push_back(Text("T" + std::to_string(i), 64));
  wide.columns.push_back(Text("Long", 255));
  wide.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                  {"ByFirst", {"T0", "T1", "T2", "T3", "Long"}, false, false, false}};
  wide.rows = {row};
  // A key of 1530 bytes: more than MyISAM holds, whole for InnoDB.
  FixtureTable pair = Table("Pair", {Text("A", 255), Text("B", 255)}, {"A", "B"},
                            {V{std::string("a"), std::string("b")}});
  FixtureTable ref = Table("Ref", {Long("ID"), Text("A", 255), Text("B", 255)}, {"ID"},
                           {V{int64_t{1}, std::string("a"), std::string("b")}});
  FixtureDatabase file;
  file.tables = {wide, pair, ref};
  file.relationships = {Relationship("PairRef", "Ref", {"A", "B"}, "Pair", {"A", "B"})};
  Write(file);
  const std::string database = Database("eng_fk_wide");
  ConversionSummary summary = Convert(database, TableEngine::InnoDB);
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(summary.tablesConverted, 3);
  EXPECT_FALSE(summary.Lost());
  ASSERT_EQ(owner_.reportLines.size(), 4u);
  EXPECT_EQ(owner_.reportLines[0],
            "Table [Wide], column [T44] is created as TEXT instead of VARCHAR(64), so that a row "
            "fits InnoDB's limit of 8126 bytes.");
  testing::ServerQuery query(*server_, database);
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(DISTINCT CONCAT(ENGINE, ' ', ROW_FORMAT)) FROM "
                        "information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                        database + "'"),
            "InnoDB Dynamic");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY SEQ_IN_INDEX) FROM "
                        "information_schema.STATISTICS WHERE TABLE_SCHEMA = '" +
                        database + "' AND TABLE_NAME = 'Pair' AND INDEX_NAME = 'PRIMARY'"),
            "A,B");
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE "
                        "CONSTRAINT_SCHEMA = '" +
                        database + "' AND CONSTRAINT_NAME = 'PairRef'"),
            "1");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(COLUMN_NAME ORDER BY ORDINAL_POSITION) FROM "
                        "information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                        database + "' AND DATA_TYPE = 'text'"),
            "T41,T42,T43,T44");
  EXPECT_EQ(query.Value("SELECT LENGTH(CONCAT(T0, T44, `Long`)) FROM Wide"), "202");
  query.Execute("DROP DATABASE " + database);
}

// Names Access allows and SQL must quote: backquotes, quotes, a trailing
// space and a relationship named as a column's rule constraint would be.
// Every key and check arrives under a name the server takes, and holds.
TEST_P(ForeignKeysTest, HostileNamesArriveQuotedAndDistinct) {
  testing::FixtureColumn rated = Long("Ra`ted ");
  rated.validationRule = ">=0";
  FixtureTable parent = Table("Pa`rent's ", {Long("I`D"), rated}, {"I`D"},
                              {V{int64_t{1}, int64_t{5}}, V{int64_t{2}, int64_t{6}}});
  FixtureTable child =
      Table("Child", {Long("ID"), Long("Ref\\`")}, {"ID"}, {V{int64_t{1}, int64_t{2}}});
  FixtureDatabase file;
  file.tables = {parent, child};
  // Constraint names share one namespace per database on the server.
  FixtureRelationship first =
      Relationship("Pa`rent's _Ra`ted", "Child", {"Ref\\`"}, "Pa`rent's ", {"I`D"});
  first.cascadeDeletes = true;
  file.relationships = {first};
  Write(file);
  const std::string database = Database("eng_fk_hostile");
  ConversionSummary summary = Convert(database, TableEngine::InnoDB);
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_FALSE(summary.Lost()) << ::testing::PrintToString(owner_.reportLines);
  testing::ServerQuery query(*server_, database);
  const std::vector<testing::Row> keys = query.Rows(
      "SELECT CONSTRAINT_NAME, TABLE_NAME, REFERENCED_TABLE_NAME, DELETE_RULE FROM "
      "information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
      database + "'");
  ASSERT_EQ(keys.size(), 1u);
  const std::vector<testing::Row> checks = query.Rows(
      "SELECT CONSTRAINT_NAME FROM information_schema.CHECK_CONSTRAINTS WHERE "
      "CONSTRAINT_SCHEMA = '" +
      database + "'");
  ASSERT_EQ(checks.size(), 1u);
  EXPECT_NE(keys[0][0], checks[0][0]);
  EXPECT_EQ(keys[0][3], "CASCADE");
  // Both hold: the key refuses a child without parent, the check a
  // negative rating; deleting the parent takes its child along.
  EXPECT_THROW(query.Execute("INSERT INTO Child VALUES (2, 7)"), std::runtime_error);
  EXPECT_THROW(query.Execute("UPDATE `Pa``rent's` SET `Ra``ted` = -1"), std::runtime_error);
  query.Execute("DELETE FROM `Pa``rent's` WHERE `I``D` = 2");
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Child"), "0");
  query.Execute("DROP DATABASE " + database);
}

std::string FormatName(const ::testing::TestParamInfo<Format>& info) {
  switch (info.param) {
    case Format::Jet3:
      return "Jet3";
    case Format::Jet4:
      return "Jet4";
    default:
      return "Ace";
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, ForeignKeysTest,
                         ::testing::Values(Format::Jet3, Format::Jet4, Format::Ace), FormatName);

}  // namespace
}  // namespace bracken::engine
