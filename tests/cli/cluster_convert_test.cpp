// bracken-cli convert and sync against a node of the three-node Galera
// cluster of scripts/test-cluster: MyISAM is refused before anything is
// sent, an InnoDB copy made through node 1 verifies on node 2, and a table
// without a primary key gets its invisible key column unasked.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

class ClusterConvertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = fs::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli";
    if (!fs::exists(program_)) GTEST_SKIP() << "bracken-cli is not built";
    nodes_ = TestClusterFromEnvironment();
    if (nodes_.size() < 2) GTEST_SKIP() << kNoClusterMessage;
    dir_ = fs::temp_directory_path() / ("bracken_cluster_cli_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    FixtureTable customers;
    customers.name = "Customers";
    customers.columns = {MakeColumn("ID", ColumnKind::Long),
                         MakeColumn("Name", ColumnKind::Text, 20)};
    customers.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    customers.rows = {V{int64_t{1}, std::string("Ann")}, V{int64_t{2}, std::string("Bob")},
                      V{int64_t{3}, std::string("Cyd")}};
    FixtureDatabase file;
    file.tables = {customers};
    WriteJet4File(file, dir_ / "shop.mdb");
    FixtureTable notes;
    notes.name = "Notes";
    notes.columns = {MakeColumn("Line", ColumnKind::Long),
                     MakeColumn("Text", ColumnKind::Text, 20)};
    notes.rows = {V{int64_t{1}, std::string("same")}, V{int64_t{1}, std::string("same")}};
    file.tables.push_back(notes);
    WriteJet4File(file, dir_ / "notes.mdb");
  }
  void TearDown() override {
    if (!nodes_.empty()) {
      for (const std::string& name : databases_) {
        ServerQuery(nodes_[0]).Execute("DROP DATABASE IF EXISTS `" + name + "`");
      }
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // bracken-cli COMMAND shop.mdb against node `node` (0 is node 1).
  ShellRun Run(const std::string& command, std::size_t node, const std::string& database,
               const std::vector<std::string>& more, const std::string& file = "shop.mdb") {
    return RunCliAgainst(program_, command, dir_ / file, nodes_[node], database, more, dir_);
  }
  bool Exists(std::size_t node, const std::string& database) {
    return !ServerQuery(nodes_[node])
                .Rows("SELECT SCHEMA_NAME FROM information_schema.SCHEMATA WHERE SCHEMA_NAME = '" +
                      database + "'")
                .empty();
  }

  fs::path program_;
  fs::path dir_;
  std::vector<TestServer> nodes_;
  std::vector<std::string> databases_;
};

TEST_F(ClusterConvertTest, MyIsamIsRefusedBeforeAnythingIsSent) {
  const std::string database = "cl_cli_myisam";
  databases_.push_back(database);
  const ShellRun convert = Run("convert", 0, database, {"--yes"});
  EXPECT_EQ(convert.status, 3) << convert.errors;
  EXPECT_EQ(convert.errors,
            "Message: The server is a node of a Galera cluster of " +
                std::to_string(nodes_.size()) +
                ": MyISAM tables would stay on this node only. Convert with --engine InnoDB.\n");
  EXPECT_EQ(convert.output,
            database +
                ": 0 of 1 tables converted, 0 of 0 rows refused; MyISAM refused on a "
                "cluster node\n");

  // Sync would create the database and its table as MyISAM: refused alike.
  const ShellRun sync = Run("sync", 0, database, {});
  EXPECT_EQ(sync.status, 3) << sync.errors;
  EXPECT_NE(sync.errors.find("Sync with --engine InnoDB."), std::string::npos) << sync.errors;
  EXPECT_EQ(sync.output, database + ": not synced: MyISAM refused on a cluster node\n");

  for (std::size_t node = 0; node < nodes_.size(); ++node) {
    EXPECT_FALSE(Exists(node, database)) << "node " << node + 1;
  }
}

TEST_F(ClusterConvertTest, AnInnoDbCopyThroughNodeOneVerifiesOnNodeTwo) {
  const std::string database = "cl_cli_innodb";
  databases_.push_back(database);
  const ShellRun convert = Run("convert", 0, database, {"--yes", "--engine", "InnoDB"});
  ASSERT_EQ(convert.status, 0) << convert.errors;
  EXPECT_EQ(convert.output, database + ": 1 of 1 tables converted, 0 of 3 rows refused\n");

  // Node 2 applies what node 1 wrote shortly after; a few tries allow for it.
  ShellRun verify;
  for (int attempt = 0; attempt < 20; ++attempt) {
    verify = Run("verify", 1, database, {});
    if (verify.status == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EXPECT_EQ(verify.status, 0) << verify.output << verify.errors;

  // The copy holds InnoDB tables, so a sync without --engine creates none in
  // MyISAM and goes on.
  const ShellRun sync = Run("sync", 0, database, {});
  EXPECT_EQ(sync.status, 0) << sync.output << sync.errors;
}

// Galera replicates a table's rows by its primary key: a table without one
// gets the invisible key column without --add-keys, and the copy read on
// node 2 holds exactly the file's columns and rows.
TEST_F(ClusterConvertTest, AnUnkeyedTableGetsItsKeyColumnUnasked) {
  const std::string database = "cl_cli_keys";
  databases_.push_back(database);
  const ShellRun convert =
      Run("convert", 0, database, {"--yes", "--engine", "InnoDB"}, "notes.mdb");
  ASSERT_EQ(convert.status, 0) << convert.errors;
  EXPECT_NE(convert.errors.find("Report: Table [Notes] has no primary key: it is created with the "
                                "invisible key column [bracken_row_id]"),
            std::string::npos)
      << convert.errors;
  EXPECT_EQ(convert.output,
            database + ": 2 of 2 tables converted, 1 given a key column, 0 of 5 rows refused\n");

  ShellRun verify;
  for (int attempt = 0; attempt < 20; ++attempt) {
    verify = Run("verify", 1, database, {}, "notes.mdb");
    if (verify.status == 0) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  EXPECT_EQ(verify.status, 0) << verify.output << verify.errors;
  ServerQuery node2(nodes_[1], database);
  EXPECT_EQ(node2.Value("SELECT CONCAT(EXTRA, ':', COLUMN_KEY) FROM information_schema.COLUMNS "
                        "WHERE TABLE_SCHEMA = '" +
                        database + "' AND COLUMN_NAME = 'bracken_row_id'"),
            "auto_increment, INVISIBLE:PRI");
  const std::vector<Row> rows = node2.Rows("SELECT * FROM Notes");
  ASSERT_EQ(rows.size(), 2U);
  EXPECT_EQ(rows[0], (Row{"1", "same"}));
  EXPECT_EQ(rows[1], (Row{"1", "same"}));
}

// A database that already holds MyISAM tables on a node (made before the
// node joined a cluster, or by another program): sync would write rows that
// reach no other node, so it names those tables and changes nothing.
TEST_F(ClusterConvertTest, SyncIntoMyIsamTablesOnANodeIsRefused) {
  const std::string database = "cl_cli_myisam_tables";
  databases_.push_back(database);
  ServerQuery node1(nodes_[0]);
  node1.Execute("CREATE DATABASE `" + database + "`");
  node1.Execute("CREATE TABLE `" + database +
                "`.`Customers` (ID INT PRIMARY KEY, Name VARCHAR(20)) ENGINE=MyISAM");
  node1.Execute("CREATE TABLE `" + database + "`.`Other` (ID INT PRIMARY KEY) ENGINE=InnoDB");
  const ShellRun sync = Run("sync", 0, database, {"--engine", "InnoDB"});
  EXPECT_EQ(sync.status, 3) << sync.output << sync.errors;
  EXPECT_NE(sync.errors.find("The table Customers is MyISAM: convert the file again with "
                             "--engine InnoDB."),
            std::string::npos)
      << sync.errors;
  EXPECT_EQ(node1.Value("SELECT COUNT(*) FROM `" + database + "`.`Customers`"), Cell("0"));
  // A dry run only tells.
  EXPECT_EQ(Run("sync", 0, database, {"--dry-run"}).status, 1);
}

}  // namespace
}  // namespace bracken::testing
