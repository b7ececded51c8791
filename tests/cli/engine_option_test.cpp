// bracken-cli convert --engine: InnoDB tables with the file's relationships
// as foreign keys, sent to the server or written to a dump that the mariadb
// client loads; MyISAM stays the default.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

class EngineOptionTest : public CliServerTest {
 protected:
  EngineOptionTest() : CliServerTest("bracken_engine") {}
  void SetUp() override {
    CliServerTest::SetUp();
    if (IsSkipped()) return;
    FixtureTable customers;
    customers.name = "Customers";
    customers.columns = {MakeColumn("ID", ColumnKind::Long),
                         MakeColumn("Name", ColumnKind::Text, 20)};
    customers.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    customers.rows = {V{int64_t{1}, std::string("Ann")}, V{int64_t{2}, std::string("Bob")}};
    FixtureTable orders;
    orders.name = "Orders";
    orders.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Customer", ColumnKind::Long)};
    orders.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    orders.rows = {V{int64_t{10}, int64_t{1}}, V{int64_t{11}, int64_t{2}}};
    FixtureRelationship relationship;
    relationship.name = "CustomersOrders";
    relationship.table = "Orders";
    relationship.columns = {"Customer"};
    relationship.referencedTable = "Customers";
    relationship.referencedColumns = {"ID"};
    relationship.cascadeDeletes = true;
    FixtureDatabase file;
    file.tables = {customers, orders};
    file.relationships = {relationship};
    WriteJet4File(file, dir_ / "shop.mdb");
    // The same with an order whose customer is missing.
    file.tables[1].rows.push_back(V{int64_t{12}, int64_t{7}});
    WriteJet4File(file, dir_ / "orphans.mdb");
  }
  void TearDown() override {
    if (!IsSkipped()) {
      for (const std::string& name : databases_) {
        ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
      }
    }
    CliServerTest::TearDown();
  }

  ShellRun Convert(const fs::path& file, const std::string& database,
                   const std::vector<std::string>& more) {
    databases_.push_back(database);
    std::vector<std::string> args = {
        "--host",     server_.host, "--port", std::to_string(server_.port), "--user", server_.user,
        "--database", database,     "--yes"};
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand("convert", file, args);
  }
  ShellRun Load(const fs::path& dump) {
    return RunShell("MYSQL_PWD=" + ShellQuoted(server_.password) + " mariadb -h " +
                        ShellQuoted(server_.host) + " -P " + std::to_string(server_.port) + " -u " +
                        ShellQuoted(server_.user) + " < " + ShellQuoted(dump.string()),
                    dir_);
  }
  // "name:delete rule" of each foreign key of `database`.
  Cell Keys(const std::string& database) {
    return ServerQuery(server_).Value(
        "SELECT GROUP_CONCAT(CONCAT(CONSTRAINT_NAME, ':', DELETE_RULE) ORDER BY CONSTRAINT_NAME) "
        "FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
        database + "'");
  }
  Cell Engines(const std::string& database) {
    return ServerQuery(server_).Value(
        "SELECT GROUP_CONCAT(DISTINCT ENGINE) FROM information_schema.TABLES WHERE "
        "TABLE_SCHEMA = '" +
        database + "'");
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<std::string> databases_;
};

TEST_F(EngineOptionTest, TheEngineIsChosenInAnyCaseAndMyIsamStaysTheDefault) {
  ShellRun wrong = Convert(dir_ / "shop.mdb", "eng_engine_wrong", {"--engine", "Aria"});
  EXPECT_EQ(wrong.status, 2);
  EXPECT_NE(wrong.errors.find("--engine takes MyISAM or InnoDB, not 'Aria'"), std::string::npos);

  ShellRun plain = Convert(dir_ / "shop.mdb", "eng_engine_default", {});
  EXPECT_EQ(plain.status, 0) << plain.errors;
  EXPECT_NE(plain.errors.find("Report: Relationship [CustomersOrders] ([Orders] to [Customers]) "
                              "was not created: MyISAM has no foreign keys: use InnoDB."),
            std::string::npos)
      << plain.errors;
  EXPECT_EQ(Engines("eng_engine_default"), "MyISAM");
  EXPECT_EQ(Keys("eng_engine_default"), std::nullopt);

  ShellRun innodb =
      Convert(dir_ / "shop.mdb", "eng_engine_innodb", {"--engine", "innoDB", "--verify"});
  EXPECT_EQ(innodb.status, 0) << innodb.errors;
  EXPECT_EQ(innodb.errors.find("Report:"), std::string::npos) << innodb.errors;
  EXPECT_EQ(Engines("eng_engine_innodb"), "InnoDB");
  EXPECT_EQ(Keys("eng_engine_innodb"), "CustomersOrders:CASCADE");
}

// Rows without a parent keep the key from being created, and the run says
// it is incomplete; the rows all arrive.
TEST_F(EngineOptionTest, OrphanRowsLeaveTheKeyOutAndTheRunIncomplete) {
  ShellRun run = Convert(dir_ / "orphans.mdb", "eng_engine_orphans", {"--engine", "InnoDB"});
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("Report: Relationship [CustomersOrders] ([Orders] to [Customers]) "
                            "was not created: 1 row of [Orders] names no row of [Customers]."),
            std::string::npos)
      << run.errors;
  EXPECT_NE(run.errors.find("1 relationship not created"), std::string::npos) << run.errors;
  EXPECT_EQ(Keys("eng_engine_orphans"), std::nullopt);
  EXPECT_EQ(ServerQuery(server_, "eng_engine_orphans").Value("SELECT COUNT(*) FROM Orders"), "3");
}

// The dump adds its keys after all rows, checking them as it loads: the
// loading server refuses a key over rows without a parent.
TEST_F(EngineOptionTest, ADumpAddsItsKeysAfterTheRows) {
  const fs::path dump = dir_ / "shop.sql";
  databases_.push_back("eng_engine_dump");
  ShellRun written = RunCommand(
      "convert", dir_ / "shop.mdb",
      {"--output", dump.string(), "--database", "eng_engine_dump", "--engine", "InnoDB"});
  ASSERT_EQ(written.status, 0) << written.errors;
  const std::string text = Read(dump);
  const std::size_t key = text.find(
      "ALTER TABLE `Orders` ADD CONSTRAINT `CustomersOrders` "
      "FOREIGN KEY (`Customer`) REFERENCES `Customers` (`ID`) ON "
      "DELETE CASCADE;\n");
  ASSERT_NE(key, std::string::npos) << text;
  EXPECT_GT(key, text.rfind("INSERT INTO"));
  EXPECT_LT(text.find("FOREIGN_KEY_CHECKS=1 */;\n"), key);
  EXPECT_GT(text.find("SET FOREIGN_KEY_CHECKS=@OLD_FOREIGN_KEY_CHECKS */;\n"), key);
  ShellRun loaded = Load(dump);
  ASSERT_EQ(loaded.status, 0) << loaded.errors;
  EXPECT_EQ(Keys("eng_engine_dump"), "CustomersOrders:CASCADE");
  ServerQuery(server_, "eng_engine_dump").Execute("DELETE FROM Customers WHERE ID = 1");
  EXPECT_EQ(ServerQuery(server_, "eng_engine_dump").Value("SELECT GROUP_CONCAT(ID) FROM Orders"),
            "11");

  const fs::path orphans = dir_ / "orphans.sql";
  databases_.push_back("eng_engine_dump_orphans");
  written = RunCommand("convert", dir_ / "orphans.mdb",
                       {"--output", orphans.string(), "--database", "eng_engine_dump_orphans",
                        "--engine", "InnoDB"});
  ASSERT_EQ(written.status, 0) << written.errors;
  loaded = Load(orphans);
  EXPECT_NE(loaded.status, 0);
  EXPECT_NE(loaded.errors.find("foreign key constraint fails"), std::string::npos) << loaded.errors;
  EXPECT_EQ(Keys("eng_engine_dump_orphans"), std::nullopt);
}

// The corpus files with relationships convert with InnoDB, verify clean and
// hold their keys.
TEST_F(EngineOptionTest, CorpusRelationshipsBecomeKeys) {
  const fs::path corpus = fs::path(BRACKEN_SHARED_DIR) / "corpus";
  if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus beside the checkout";
  for (const char* name :
       {"jet3/indexTestV1997.mdb", "jet4/indexTestV2000.mdb", "ace/indexTestV2007.accdb"}) {
    SCOPED_TRACE(name);
    ShellRun run = Convert(corpus / name, "eng_engine_corpus", {"--engine", "InnoDB", "--verify"});
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(Keys("eng_engine_corpus"), "Table2Table1:CASCADE,Table3Table1:RESTRICT");
  }
}

}  // namespace
}  // namespace bracken::testing
