// bracken-cli convert as a user runs it: a written file converted into the
// test server, with the overwrite answer, table choice, passwords and exit
// status.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;

using Result = ShellRun;

class ConvertCommandTest : public CliServerTest {
 protected:
  ConvertCommandTest() : CliServerTest("bracken_cli") {}
  void SetUp() override {
    CliServerTest::SetUp();
    if (IsSkipped()) return;
    FixtureTable people;
    people.name = "People";
    people.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 50)};
    people.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    people.rows = {{int64_t{1}, std::string("Ann")}, {int64_t{2}, std::string("Bob")}};
    FixtureTable places = people;
    places.name = "Places";
    places.rows = {{int64_t{1}, std::string("Oslo")}};
    FixtureDatabase database;
    database.tables = {people, places};
    WriteJet4File(database, dir_ / "plain.mdb");
    // Two rows with one key: the server refuses the second.
    people.rows.push_back({int64_t{2}, std::string("Bob again")});
    database.tables = {people};
    database.password = "secret";
    WriteJet4File(database, dir_ / "duplicate.mdb");
  }

  // Runs bracken-cli convert with standard input from /dev/null; the MySQL
  // password comes from MYSQL_PWD unless the arguments name one.
  Result Convert(const std::string& file, const std::vector<std::string>& more,
                 bool passwordInEnvironment = true) {
    std::string command = passwordInEnvironment ? "MYSQL_PWD=" + ShellQuoted(server_.password) + " "
                                                : std::string("env -u MYSQL_PWD ");
    command += ShellQuoted(program_.string()) + " convert " + ShellQuoted((dir_ / file).string()) +
               " --host " + ShellQuoted(server_.host) + " --user " + ShellQuoted(server_.user);
    for (const std::string& arg : more) command += " " + ShellQuoted(arg);
    return RunShell(command, dir_);
  }
};

TEST_F(ConvertCommandTest, ConvertsEveryTableOrTheChosenOnes) {
  Result result = Convert("plain.mdb", {"--database", "eng_cli_all", "--yes"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.errors, "Message: Bracken database conversion completed successfully.\n");
  ServerQuery query(server_, "eng_cli_all");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(Name ORDER BY ID) FROM People"), "Ann,Bob");
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Places"), "1");

  result = Convert("plain.mdb", {"--database=eng_cli_one", "--table", "Places", "--yes"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(query.Rows("SHOW TABLES FROM eng_cli_one").size(), 1u);

  result = Convert("plain.mdb", {"--database", "eng_cli_one", "--table", "Nowhere"});
  EXPECT_EQ(result.status, 2);
  EXPECT_NE(result.errors.find("no table 'Nowhere'"), std::string::npos) << result.errors;
  query.Execute("DROP DATABASE eng_cli_all");
  query.Execute("DROP DATABASE eng_cli_one");
}

TEST_F(ConvertCommandTest, AnExistingDatabaseIsReplacedOnlyWhenAllowed) {
  ServerQuery query(server_);
  query.Execute("DROP DATABASE IF EXISTS eng_cli_keep");
  query.Execute("CREATE DATABASE eng_cli_keep");
  query.Execute("CREATE TABLE eng_cli_keep.Mine (x INT)");
  // Without a terminal and without --yes the answer is No.
  for (const std::vector<std::string>& answer :
       {std::vector<std::string>{}, std::vector<std::string>{"--no"}}) {
    std::vector<std::string> args = {"--database", "eng_cli_keep"};
    args.insert(args.end(), answer.begin(), answer.end());
    Result result = Convert("plain.mdb", args);
    EXPECT_NE(result.status, 0);
    EXPECT_NE(result.errors.find("Message: Are you sure you want to overwrite?"), std::string::npos)
        << result.errors;
    EXPECT_EQ(query.Rows("SHOW TABLES FROM eng_cli_keep").size(), 1u) << "database untouched";
  }
  EXPECT_EQ(Convert("plain.mdb", {"--database", "eng_cli_keep", "--yes"}).status, 0);
  EXPECT_EQ(query.Rows("SHOW TABLES FROM eng_cli_keep").size(), 2u);
  query.Execute("DROP DATABASE eng_cli_keep");
}

// Logins of their own: one that may drop the existing database but not
// create it again is refused before anything is dropped; one granted CREATE
// and DROP through a pattern of names replaces it.
TEST_F(ConvertCommandTest, AnExistingDatabaseIsDroppedOnlyByALoginThatMayCreateItAgain) {
  ServerQuery query(server_);
  for (const char* name : {"cli_grants_keep", "cli_grants_swap"}) {
    query.Execute(std::string("DROP DATABASE IF EXISTS ") + name);
    query.Execute(std::string("CREATE DATABASE ") + name);
    query.Execute(std::string("CREATE TABLE ") + name + ".Mine (x INT)");
  }
  query.Execute("DROP USER IF EXISTS 'cli_dropper'@'%', 'cli_pattern'@'%'");
  query.Execute("CREATE USER 'cli_dropper'@'%' IDENTIFIED BY 'dropper-pw'");
  query.Execute("GRANT SELECT, INSERT, DROP ON `cli_grants_keep`.* TO 'cli_dropper'@'%'");
  query.Execute("CREATE USER 'cli_pattern'@'%' IDENTIFIED BY 'pattern-pw'");
  query.Execute(
      "GRANT CREATE, DROP, SELECT, INSERT, ALTER, INDEX ON `cli\\_%`.* TO 'cli_pattern'@'%'");
  // The same rights through the login's default role.
  query.Execute("DROP USER IF EXISTS 'cli_roled'@'%'");
  query.Execute("DROP ROLE IF EXISTS cli_maker");
  query.Execute("CREATE ROLE cli_maker");
  query.Execute("GRANT CREATE, DROP ON `cli\\_%`.* TO cli_maker");
  query.Execute("CREATE USER 'cli_roled'@'%' IDENTIFIED BY 'roled-pw'");
  query.Execute("GRANT SELECT, INSERT, ALTER, INDEX ON `cli\\_%`.* TO 'cli_roled'@'%'");
  query.Execute("GRANT cli_maker TO 'cli_roled'@'%'");
  query.Execute("SET DEFAULT ROLE cli_maker FOR 'cli_roled'@'%'");
  const TestServer admin = server_;

  server_.user = "cli_dropper";
  server_.password = "dropper-pw";
  Result refused = Convert("plain.mdb", {"--database", "cli_grants_keep", "--yes"});
  EXPECT_EQ(refused.status, 3) << refused.errors;
  EXPECT_EQ(refused.errors,
            "Message: The database [cli_grants_keep] was not replaced: the MySQL login may drop "
            "it but lacks the CREATE privilege on it, so it could not be created again. Nothing "
            "was dropped.\n");
  EXPECT_EQ(refused.output,
            "cli_grants_keep: 0 of 2 tables converted, 0 of 0 rows refused; existing database "
            "kept: the login lacks the CREATE privilege on it\n");
  EXPECT_EQ(query.Rows("SHOW TABLES FROM cli_grants_keep").size(), 1u) << "database untouched";

  server_.user = "cli_pattern";
  server_.password = "pattern-pw";
  Result replaced = Convert("plain.mdb", {"--database", "cli_grants_swap", "--yes"});
  EXPECT_EQ(replaced.status, 0) << replaced.errors;
  EXPECT_EQ(query.Rows("SHOW TABLES FROM cli_grants_swap").size(), 2u);

  server_.user = "cli_roled";
  server_.password = "roled-pw";
  replaced = Convert("plain.mdb", {"--database", "cli_grants_swap", "--yes"});
  EXPECT_EQ(replaced.status, 0) << replaced.errors;
  EXPECT_EQ(query.Rows("SHOW TABLES FROM cli_grants_swap").size(), 2u);

  server_ = admin;
  query.Execute("DROP USER IF EXISTS 'cli_dropper'@'%', 'cli_pattern'@'%', 'cli_roled'@'%'");
  query.Execute("DROP ROLE IF EXISTS cli_maker");
  query.Execute("DROP DATABASE IF EXISTS cli_grants_keep");
  query.Execute("DROP DATABASE IF EXISTS cli_grants_swap");
}

TEST_F(ConvertCommandTest, RefusedRowsGiveAFailingStatusAndASummary) {
  Result result =
      Convert("duplicate.mdb", {"--database", "eng_cli_dup", "--mdb-password", "secret", "--yes"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.errors.find("Bracken: Duplicate entry '2' for key 'PRIMARY'"), std::string::npos)
      << result.errors;
  EXPECT_EQ(result.output, "eng_cli_dup: 1 of 1 tables converted, 1 of 3 rows refused\n");
  ServerQuery(server_).Execute("DROP DATABASE eng_cli_dup");
}

// LOAD DATA (the default), batched INSERTs (--no-load-data) and one INSERT
// per row give the same run: status, messages, summary and table.
TEST_F(ConvertCommandTest, LoadDataBatchesAndRowByRowGiveTheSameRun) {
  const std::vector<std::string> common = {"--mdb-password", "secret", "--yes"};
  std::vector<std::string> rows;
  std::vector<Result> results;
  for (const char* way : {"", "--no-load-data", "--row-by-row"}) {
    const std::string database = std::string("eng_cli_way") + std::to_string(results.size());
    std::vector<std::string> args = common;
    args.insert(args.end(), {"--database", database});
    if (*way != '\0') args.push_back(way);
    results.push_back(Convert("duplicate.mdb", args));
    std::string cells;
    for (const Row& row : ServerQuery(server_, database).Rows("SELECT * FROM People")) {
      for (const Cell& cell : row) cells += cell.value_or("NULL") + "|";
    }
    rows.push_back(cells);
    ServerQuery(server_).Execute("DROP DATABASE " + database);
  }
  for (std::size_t i = 1; i < results.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(results[i].status, results[0].status);
    EXPECT_EQ(results[i].errors, results[0].errors);
    EXPECT_EQ(results[i].output.substr(results[i].output.find(':')),
              results[0].output.substr(results[0].output.find(':')));
    EXPECT_EQ(rows[i], rows[0]);
  }
  EXPECT_EQ(results[0].errors.find("LOAD DATA"), std::string::npos) << results[0].errors;
  EXPECT_EQ(rows[0], "1|Ann|2|Bob|");
}

TEST_F(ConvertCommandTest, TheServersOwnSchemasAreRefusedBeforeAnythingIsSent) {
  ServerQuery query(server_);
  auto tables = [&] {
    return query.Value(
        "SELECT COUNT(*) FROM information_schema.TABLES WHERE "
        "TABLE_SCHEMA IN ('sys', 'mysql')");
  };
  const Cell before = tables();
  for (const char* name : {"sys", "MySQL", "information_schema", "performance_schema"}) {
    Result result = Convert("plain.mdb", {"--database", name, "--yes"});
    EXPECT_EQ(result.status, 3) << name;
    EXPECT_EQ(result.errors, "Message: MySQL Destination Database Name [" + std::string(name) +
                                 "] is one of the server's own databases. Please choose another "
                                 "name.\n");
    EXPECT_EQ(result.output, std::string(name) +
                                 ": 0 of 2 tables converted, 0 of 0 rows refused; database name "
                                 "reserved by the server\n");
  }
  EXPECT_EQ(tables(), before);
}

// A run that lost or changed a value fails, prints each loss as it happens
// and counts them in the closing message and the summary line.
TEST_F(ConvertCommandTest, LossesAreListedCountedAndFailTheRun) {
  FixtureTable numbers;
  numbers.name = "Numbers";
  numbers.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("D", ColumnKind::Double)};
  numbers.rows = {{int64_t{1}, 1.5}, {int64_t{2}, std::numeric_limits<double>::quiet_NaN()}};
  FixtureDatabase database;
  database.tables = {numbers};
  WriteJet4File(database, dir_ / "nan.mdb");
  Result result = Convert("nan.mdb", {"--database", "eng_cli_nan", "--yes"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.errors,
            "Report: Table [Numbers], row 2, column [D]: the value NaN cannot be stored in MySQL "
            "and is stored as NULL.\n"
            "Message: Bracken database conversion ended, but not everything was converted: 1 "
            "value changed. Each is listed in the report.\n");
  EXPECT_EQ(result.output,
            "eng_cli_nan: 1 of 1 tables converted, 0 of 2 rows refused, 1 values "
            "changed\n");
  ServerQuery(server_).Execute("DROP DATABASE eng_cli_nan");
}

// The file's own rules come along; one some row breaks is not kept and fails
// the run. --no-rules leaves defaults, checks and comments out, and the run
// then reports nothing.
TEST_F(ConvertCommandTest, RulesComeAlongUnlessNoRulesIsGiven) {
  FixtureColumn quantity = MakeColumn("Qty", ColumnKind::Long);
  quantity.defaultValue = "1";
  quantity.validationRule = ">0";
  quantity.description = "How many";
  FixtureTable stock;
  stock.name = "Stock";
  stock.columns = {MakeColumn("ID", ColumnKind::Long), quantity};
  stock.rows = {{int64_t{1}, int64_t{4}}, {int64_t{2}, int64_t{-3}}};
  stock.description = "What is on the shelf";
  FixtureDatabase database;
  database.tables = {stock};
  WriteJet4File(database, dir_ / "stock.mdb");
  ServerQuery query(server_);
  const std::string shown =
      "SELECT CONCAT_WS('|', IFNULL(c.COLUMN_DEFAULT, 'NULL'), c.COLUMN_COMMENT, t.TABLE_COMMENT) "
      "FROM information_schema.COLUMNS c JOIN information_schema.TABLES t USING (TABLE_SCHEMA, "
      "TABLE_NAME) WHERE c.TABLE_SCHEMA = 'eng_cli_rules' AND c.COLUMN_NAME = 'Qty'";

  Result result = Convert("stock.mdb", {"--database", "eng_cli_rules", "--yes"});
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.errors,
            "Report: Table [Stock], column [Qty]: the validation rule >0 is not kept: 1 row "
            "breaks it.\n"
            "Message: Bracken database conversion ended, but not everything was converted: 1 "
            "rule not kept. Each is listed in the report.\n");
  EXPECT_EQ(query.Value(shown), "1|How many|What is on the shelf");

  result = Convert("stock.mdb", {"--database", "eng_cli_rules", "--yes", "--no-rules"});
  EXPECT_EQ(result.status, 0) << result.errors;
  EXPECT_EQ(result.errors,
            "Message: Are you sure you want to overwrite? yes (--yes)\n"
            "Message: Bracken database conversion completed successfully.\n");
  EXPECT_EQ(query.Value(shown), "NULL||");

  // Verify knows the choice: the copy without rules is as planned for it,
  // and not for a run that carries them.
  result = Convert("stock.mdb", {"--database", "eng_cli_rules", "--yes", "--no-rules", "--verify"});
  EXPECT_EQ(result.status, 0) << result.errors;
  const std::string verify = "MYSQL_PWD=" + ShellQuoted(server_.password) + " " +
                             ShellQuoted(program_.string()) + " verify " +
                             ShellQuoted((dir_ / "stock.mdb").string()) + " --host " +
                             ShellQuoted(server_.host) + " --user " + ShellQuoted(server_.user) +
                             " --database eng_cli_rules";
  result = RunShell(verify + " --no-rules", dir_);
  EXPECT_EQ(result.status, 0) << result.output;
  result = RunShell(verify, dir_);
  EXPECT_EQ(result.status, 1) << result.output;
  EXPECT_NE(result.output.find("Stock: schema differs"), std::string::npos) << result.output;
  query.Execute("DROP DATABASE eng_cli_rules");
}

// A Northwind copy from an older Access: ordinary columns carry the flag
// 0x40 that marks a generated identifier only on a GUID column. Every order
// arrives, the 21 without a ship date too, and those columns take NULL.
TEST_F(ConvertCommandTest, OlderNorthwindCopiesConvertWhole) {
  FixtureTable orders;
  orders.name = "Orders";
  FixtureColumn id = MakeCounter("OrderID");
  FixtureColumn shipped = MakeColumn("ShippedDate", ColumnKind::DateTime);
  FixtureColumn region = MakeColumn("ShipRegion", ColumnKind::Text, 15);
  FixtureColumn freight = MakeColumn("Freight", ColumnKind::Currency);
  FixtureColumn employee = MakeColumn("EmployeeID", ColumnKind::Long);
  for (FixtureColumn* column : {&id, &shipped, &region, &freight, &employee}) {
    column->extraFlags = 0x40;
  }
  orders.columns = {id, shipped, region, freight, employee};
  orders.indexes = {{"PrimaryKey", {"OrderID"}, true, true, false}};
  for (int64_t i = 0; i < 830; ++i) {
    bool open = i % 40 == 7;  // 21 orders not yet shipped
    orders.rows.push_back({10248 + i, open ? FixtureValue{} : FixtureValue{35000.0 + i},
                           i % 3 == 0 ? FixtureValue{} : FixtureValue{std::string("RJ")},
                           FixtureValue{int64_t{325000} + i}, FixtureValue{i % 9 + 1}});
  }
  FixtureDatabase database;
  database.tables = {orders};
  WriteJet3File(database, dir_ / "nwind.mdb");
  WriteJet4File(database, dir_ / "nwind2000.mdb");
  ServerQuery query(server_);
  for (const char* file : {"nwind.mdb", "nwind2000.mdb"}) {
    Result result = Convert(file, {"--database", "eng_cli_nwind", "--yes"});
    EXPECT_EQ(result.status, 0) << file << result.errors;
    EXPECT_EQ(result.output, "eng_cli_nwind: 1 of 1 tables converted, 0 of 830 rows refused\n");
    EXPECT_EQ(query.Value("SELECT COUNT(*) FROM eng_cli_nwind.Orders WHERE ShippedDate IS NULL"),
              "21");
    EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(IS_NULLABLE ORDER BY ORDINAL_POSITION) FROM "
                          "information_schema.COLUMNS WHERE TABLE_SCHEMA='eng_cli_nwind'"),
              "NO,YES,YES,YES,YES");
    EXPECT_EQ(query.Value("SELECT EXTRA FROM information_schema.COLUMNS WHERE "
                          "TABLE_SCHEMA='eng_cli_nwind' AND COLUMN_NAME='OrderID'"),
              "auto_increment");
  }
  query.Execute("DROP DATABASE eng_cli_nwind");
}

TEST_F(ConvertCommandTest, PasswordsAndOpenFailures) {
  Result result = Convert("duplicate.mdb", {"--database", "eng_cli_pw", "--mdb-password", "wrong"});
  EXPECT_EQ(result.status, 3);
  // A password on the command line brings one warning first.
  const std::string warning =
      "bracken-cli: Warning: a password on the command line can be seen by other users of this "
      "computer; use MYSQL_PWD, BRACKEN_MDB_PASSWORD or the prompt instead.\n";
  EXPECT_EQ(result.errors, warning +
                               "Message: Selected database is Password Protected.\nPlease enter "
                               "valid password to open database.\n");
  result = Convert("missing.mdb", {"--database", "eng_cli_pw"});
  EXPECT_EQ(result.errors, "Message: Please select valid MS Access Database.\n");
  // The MySQL password from the command line, and a wrong one.
  result = Convert("plain.mdb",
                   {"--database", "eng_cli_pw", "--yes", "--password=" + server_.password}, false);
  EXPECT_EQ(result.status, 0) << result.errors;
  result = Convert("plain.mdb", {"--database", "eng_cli_pw", "--password=wrong"}, false);
  EXPECT_EQ(result.status, 3);
  EXPECT_EQ(
      result.errors,
      warning +
          "Message: There is an error to connect with MySQL. Please check your input parameters "
          "or server configuration.\n");
  ServerQuery(server_).Execute("DROP DATABASE eng_cli_pw");
}

}  // namespace
}  // namespace bracken::testing
