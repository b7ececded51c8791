// bracken-cli convert --add-keys: a table without a primary key gets an
// invisible key column the server numbers, over every way the rows go
// (LOAD DATA, batched INSERTs, one INSERT per row, several jobs, a dump
// file), and verify and sync leave that column out.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

// A keyed table, an unkeyed one whose rows repeat, and an unkeyed one with
// a column already named as the key column would be, an AutoNumber and a
// plain index.
FixtureDatabase KeysFile(bool changed) {
  FixtureTable customers;
  customers.name = "Customers";
  customers.columns = {MakeColumn("ID", ColumnKind::Long),
                       MakeColumn("Name", ColumnKind::Text, 20)};
  customers.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  customers.rows = {V{int64_t{1}, std::string("Ann")}, V{int64_t{2}, std::string("Bob")}};
  FixtureTable notes;
  notes.name = "Notes";
  notes.columns = {MakeColumn("Line", ColumnKind::Long), MakeColumn("Text", ColumnKind::Text, 30)};
  notes.rows = {V{int64_t{1}, std::string("same")}, V{int64_t{1}, std::string("same")},
                V{int64_t{2}, std::monostate{}}};
  if (changed) notes.rows.push_back(V{int64_t{3}, std::string("new")});
  FixtureTable log;
  log.name = "Log";
  log.columns = {MakeCounter("Counter"), MakeColumn("BRACKEN_ROW_ID", ColumnKind::Text, 20),
                 MakeColumn("Msg", ColumnKind::Text, 40)};
  log.indexes = {{"Msg", {"Msg"}, false, false, false}};
  log.rows = {V{int64_t{5}, std::string("mine"), std::string("started")},
              V{int64_t{9}, std::string(), std::string("stopped")}};
  FixtureDatabase file;
  file.tables = {customers, notes, log};
  return file;
}

class AddKeysTest : public CliServerTest {
 protected:
  AddKeysTest() : CliServerTest("bracken_add_keys") {}
  void SetUp() override {
    CliServerTest::SetUp();
    if (IsSkipped()) return;
    WriteJet4File(KeysFile(false), dir_ / "keys.mdb");
  }
  void TearDown() override {
    if (!IsSkipped()) {
      for (const std::string& name : databases_) {
        ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
      }
    }
    CliServerTest::TearDown();
  }

  std::vector<std::string> Login(const std::string& database) const {
    return {"--host", server_.host, "--port",     std::to_string(server_.port),
            "--user", server_.user, "--database", database};
  }
  ShellRun Run(const std::string& command, const std::string& database,
               const std::vector<std::string>& more) {
    if (std::find(databases_.begin(), databases_.end(), database) == databases_.end()) {
      databases_.push_back(database);
    }
    std::vector<std::string> args = Login(database);
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand(command, dir_ / "keys.mdb", args);
  }
  // "name:extra:key" of each column the server lists for `table`, in order.
  Cell Columns(const std::string& database, const std::string& table) {
    return ServerQuery(server_).Value(
        "SELECT GROUP_CONCAT(CONCAT(COLUMN_NAME, ':', EXTRA, ':', COLUMN_KEY) ORDER BY "
        "ORDINAL_POSITION SEPARATOR '|') FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
        database + "' AND TABLE_NAME = '" + table + "'");
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<std::string> databases_;
};

constexpr const char* kNotesKey = "bracken_row_id:auto_increment, INVISIBLE:PRI";
constexpr const char* kNotesLine =
    "Report: Table [Notes] has no primary key: it is created with the invisible key column "
    "[bracken_row_id] (numbered by the server, left out of SELECT *).\n";
constexpr const char* kLogLine =
    "Report: Table [Log] has no primary key: it is created with the invisible key column "
    "[bracken_row_id_2] (numbered by the server, left out of SELECT *).\n";

TEST_F(AddKeysTest, UnkeyedTablesGetAnInvisibleKeyOverEveryWayTheRowsGo) {
  const std::vector<std::vector<std::string>> ways = {
      {"--engine", "MyISAM"},                                   // LOAD DATA, several jobs
      {"--engine", "InnoDB"},                                   // LOAD DATA, several jobs
      {"--engine", "InnoDB", "--no-load-data", "--jobs", "1"},  // batched INSERTs
      {"--engine", "MyISAM", "--row-by-row", "--jobs", "1"},    // an INSERT per row
  };
  for (const auto& way : ways) {
    std::string label;
    for (const std::string& part : way) label += part + " ";
    SCOPED_TRACE(label);
    const std::string database = "keys_ways";
    std::vector<std::string> args = {"--yes", "--add-keys", "--verify"};
    args.insert(args.end(), way.begin(), way.end());
    const ShellRun run = Run("convert", database, args);
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.errors.find(kNotesLine), std::string::npos) << run.errors;
    EXPECT_NE(run.errors.find(kLogLine), std::string::npos) << run.errors;
    EXPECT_EQ(run.errors.find("[Customers] has no primary key"), std::string::npos);
    EXPECT_EQ(run.output, database +
                              ": 3 of 3 tables converted, 2 given a key column, 0 of 7 rows "
                              "refused, verified: 3 of 3 tables identical\n");

    EXPECT_EQ(Columns(database, "Customers"), "ID::PRI|Name::");
    EXPECT_EQ(Columns(database, "Notes"), std::string("Line::|Text::|") + kNotesKey);
    // The AutoNumber of a table without a key keeps its values; the key
    // column is the table's only AUTO_INCREMENT.
    EXPECT_EQ(Columns(database, "Log"),
              "Counter::|BRACKEN_ROW_ID::|Msg::MUL|bracken_row_id_2:auto_increment, INVISIBLE:PRI");
    ServerQuery query(server_, database);
    const std::vector<Row> log = query.Rows("SELECT * FROM Log ORDER BY Counter");
    ASSERT_EQ(log.size(), 2U);
    EXPECT_EQ(log[0], (Row{"5", "mine", "started"}));
    EXPECT_EQ(log[1], (Row{"9", "", "stopped"}));
    EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(bracken_row_id ORDER BY bracken_row_id) FROM Notes"),
              "1,2,3");

    const ShellRun verify = Run("verify", database, {});
    EXPECT_EQ(verify.status, 0) << verify.output << verify.errors;
  }
}

// A copy with the key columns syncs clean while in step; an unkeyed table
// whose rows changed is replaced and keeps its key column, and one whose
// columns changed is rebuilt with it, even by a sync without --add-keys.
TEST_F(AddKeysTest, SyncLeavesTheKeyColumnOutAndKeepsIt) {
  const std::string database = "keys_sync";
  ASSERT_EQ(Run("convert", database, {"--yes", "--add-keys", "--engine", "InnoDB"}).status, 0);

  ShellRun sync = Run("sync", database, {"--add-keys"});
  EXPECT_EQ(sync.status, 0) << sync.output << sync.errors;
  EXPECT_NE(sync.output.find("3 tables, 3 in step"), std::string::npos) << sync.output;

  WriteJet4File(KeysFile(true), dir_ / "keys.mdb");
  sync = Run("sync", database, {});
  EXPECT_EQ(sync.status, 0) << sync.output << sync.errors;
  EXPECT_NE(sync.output.find("Notes: replaced, 4 rows"), std::string::npos) << sync.output;
  EXPECT_EQ(Columns(database, "Notes"), std::string("Line::|Text::|") + kNotesKey);
  EXPECT_EQ(ServerQuery(server_, database).Value("SELECT COUNT(*) FROM Notes"), "4");

  // A column added in Access: the table is rebuilt, with its key column.
  FixtureDatabase widened = KeysFile(true);
  widened.tables[1].columns.push_back(MakeColumn("Extra", ColumnKind::Long));
  for (auto& row : widened.tables[1].rows) row.push_back(int64_t{7});
  WriteJet4File(widened, dir_ / "keys.mdb");
  sync = Run("sync", database, {});
  EXPECT_EQ(sync.status, 0) << sync.output << sync.errors;
  EXPECT_NE(sync.output.find("Notes: rebuilt, 4 rows"), std::string::npos) << sync.output;
  EXPECT_EQ(Columns(database, "Notes"), std::string("Line::|Text::|Extra::|") + kNotesKey);

  const ShellRun verify = Run("verify", database, {});
  EXPECT_EQ(verify.status, 0) << verify.output << verify.errors;

  // A column of the user's own that merely looks like one is compared.
  ServerQuery(server_, database)
      .Execute("ALTER TABLE Customers ADD COLUMN bracken_row_id BIGINT UNSIGNED NULL");
  const ShellRun differs = Run("verify", database, {});
  EXPECT_EQ(differs.status, 1) << differs.output << differs.errors;
  EXPECT_NE(differs.output.find("column `bracken_row_id` is in MySQL only"), std::string::npos)
      << differs.output;
}

// Without --add-keys nothing is added; with it, a dump file differs only by
// the key columns, needs a server that takes invisible columns, and loads
// into one that verifies clean.
TEST_F(AddKeysTest, ADumpFollowsTheOptionAndAnOldServerRefusesIt) {
  const std::string database = "keys_dump";
  databases_.push_back(database);
  auto dump = [&](const std::string& name, const std::vector<std::string>& more) {
    std::vector<std::string> args = {"--output", (dir_ / name).string(), "--database", database};
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand("convert", dir_ / "keys.mdb", args);
  };
  ASSERT_EQ(dump("plain.sql", {"--server-version", "10.11"}).status, 0);
  const ShellRun keyed = dump("keyed.sql", {"--server-version", "10.11", "--add-keys"});
  ASSERT_EQ(keyed.status, 0) << keyed.errors;
  EXPECT_NE(keyed.errors.find(kNotesLine), std::string::npos) << keyed.errors;

  // The header's time aside, the files differ by the two columns only.
  const std::regex header("^-- .*\\n", std::regex::multiline);
  const std::string plain = std::regex_replace(Read(dir_ / "plain.sql"), header, "");
  std::string withKeys = std::regex_replace(Read(dir_ / "keyed.sql"), header, "");
  EXPECT_EQ(plain.find("INVISIBLE"), std::string::npos);
  for (const char* name : {"`bracken_row_id`", "`bracken_row_id_2`"}) {
    const std::string column =
        std::string(", ") + name + " BIGINT UNSIGNED NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY";
    const std::size_t at = withKeys.find(column);
    ASSERT_NE(at, std::string::npos) << withKeys;
    withKeys.erase(at, column.size());
  }
  EXPECT_EQ(withKeys, plain);

  const ShellRun loaded =
      RunShell("MYSQL_PWD=" + ShellQuoted(server_.password) + " mariadb -h " +
                   ShellQuoted(server_.host) + " -P " + std::to_string(server_.port) + " -u " +
                   ShellQuoted(server_.user) + " < " + ShellQuoted((dir_ / "keyed.sql").string()),
               dir_);
  ASSERT_EQ(loaded.status, 0) << loaded.errors;
  EXPECT_EQ(Columns(database, "Notes"), std::string("Line::|Text::|") + kNotesKey);
  const ShellRun verify = Run("verify", database, {});
  EXPECT_EQ(verify.status, 0) << verify.output << verify.errors;

  // The default server of a dump (MySQL 5.7) takes no invisible columns.
  const ShellRun old = dump("old.sql", {"--add-keys"});
  EXPECT_EQ(old.status, 3);
  EXPECT_NE(old.errors.find("Message: --add-keys cannot be carried out: the server (MySQL 5.7) "
                            "takes no invisible columns (MariaDB 10.3 and MySQL 8.0.23 or later "
                            "do). Name a newer server with --server-version.\n"),
            std::string::npos)
      << old.errors;
  EXPECT_FALSE(fs::exists(dir_ / "old.sql"));
}

}  // namespace
}  // namespace bracken::testing
