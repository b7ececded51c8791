// bracken-cli against the three-node Galera cluster of scripts/test-cluster
// with a file of keyed and unkeyed tables, a relationship and long values:
// the copy made through node 1 verifies on every node, also when node 1
// bounds its write sets tightly; a node other than Bracken's lost mid-run
// changes nothing; Bracken's own node lost mid-run ends the run as failed,
// and sync against another node completes the copy.
//
// A node is ended at once and started again by the script (kill, rejoin),
// which needs root or sudo; the tests skip where it cannot.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <future>
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
using namespace std::chrono_literals;

// Rows enough that a run takes some seconds on the cluster, so a node can
// be lost in the middle of it.
constexpr int kOrders = 60000;
constexpr int kLogLines = 60000;

FixtureDatabase Shop(int changed) {
  FixtureTable customers;
  customers.name = "Customers";
  customers.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40),
                       MakeColumn("Notes", ColumnKind::Memo)};
  customers.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  customers.generatedRows = 300;
  customers.generator = [](int64_t i, V& row) {
    row[0] = i + 1;
    row[1] = "Customer " + std::to_string(i);
    // Long values: some past a page, a few of several hundred kilobytes.
    if (i % 50 == 0) row[2] = std::string(300000 + static_cast<std::size_t>(i), 'n');
    if (i % 7 == 0) row[2] = std::string(5000, static_cast<char>('a' + i % 26));
  };

  FixtureTable orders;
  orders.name = "Orders";
  orders.columns = {MakeCounter("ID"), MakeColumn("CustomerID", ColumnKind::Long),
                    MakeColumn("Amount", ColumnKind::Currency),
                    MakeColumn("Note", ColumnKind::Text, 120)};
  orders.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                    {"CustomerID", {"CustomerID"}, false, false, false}};
  orders.generatedRows = kOrders;
  orders.generator = [changed](int64_t i, V& row) {
    row[0] = i + 1;
    row[1] = i % 300 + 1;
    row[2] = int64_t{12345} * (i % 1000) + (i < changed ? 1 : 0);
    row[3] = std::string(60 + i % 50, static_cast<char>('A' + i % 26));
  };

  // No key at all.
  FixtureTable log;
  log.name = "Log";
  log.columns = {MakeColumn("When", ColumnKind::DateTime),
                 MakeColumn("Line", ColumnKind::Text, 200)};
  log.generatedRows = kLogLines;
  log.generator = [changed](int64_t i, V& row) {
    row[0] = 45000.25 + static_cast<double>(i) / 1440.0;
    row[1] = (i < changed ? "changed " : "line ") + std::to_string(i) + std::string(80, '.');
  };

  FixtureDatabase file;
  file.tables = {customers, orders, log};
  file.relationships = {{"CustomersOrders", "Orders", {"CustomerID"}, "Customers", {"ID"}}};
  return file;
}

// The summary line of a whole run of Shop; Log, without a key, gets one.
std::string Converted(const std::string& database) {
  return database + ": 3 of 3 tables converted, 1 given a key column, 0 of " +
         std::to_string(300 + kOrders + kLogLines) + " rows refused\n";
}

class ClusterRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = fs::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli";
    if (!fs::exists(program_)) GTEST_SKIP() << "bracken-cli is not built";
    nodes_ = TestClusterFromEnvironment();
    if (nodes_.size() < 3) GTEST_SKIP() << kNoClusterMessage;
    dir_ = fs::temp_directory_path() / ("bracken_cluster_run_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    WriteJet4File(Shop(0), dir_ / "shop.mdb");
  }
  void TearDown() override {
    if (nodes_.empty()) return;
    // Every node back, so the next test finds the cluster whole.
    for (std::size_t node = 0; node < nodes_.size(); ++node) {
      if (down_[node]) Rejoin(node);
    }
    for (const std::string& name : databases_) {
      ServerQuery(nodes_[0]).Execute("DROP DATABASE IF EXISTS `" + name + "`");
    }
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // bracken-cli COMMAND FILE against node `node` (0 is node 1).
  ShellRun Run(const std::string& command, const std::string& file, std::size_t node,
               const std::string& database, const std::vector<std::string>& more = {}) {
    return RunCliAgainst(program_, command, dir_ / file, nodes_[node], database, more, dir_);
  }

  // The script's kill or rejoin of node `node`; false where it cannot.
  bool Cluster(const std::string& verb, std::size_t node) {
    const char* folder = std::getenv("BRACKEN_TEST_CLUSTER_DIR");
    if (folder == nullptr) return false;
    const std::string line =
        ShellQuoted(std::string(BRACKEN_SOURCE_DIR) + "/scripts/test-cluster") + " " + verb + " " +
        ShellQuoted(folder) + " " + std::to_string(node + 1);
    const ShellRun run = RunShell(line, dir_);
    EXPECT_EQ(run.status, 0) << verb << " node " << node + 1 << ": " << run.errors;
    return run.status == 0;
  }
  bool Kill(std::size_t node) {
    down_[node] = Cluster("kill", node);
    return down_[node];
  }
  void Rejoin(std::size_t node) {
    if (Cluster("rejoin", node)) down_[node] = false;
  }

  // Waits until node 1 holds rows of `table` in `database`: the run is
  // under way. The tests wait for Log, the second table of three in the
  // order they are copied, so that Orders' 60,000 rows are still to come.
  bool Underway(const std::string& database, const std::string& table) {
    for (int i = 0; i < 400; ++i) {
      const auto tables = ServerQuery(nodes_[0]).Rows(
          "SELECT TABLE_ROWS FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + database +
          "' AND TABLE_NAME = '" + table + "' AND TABLE_ROWS > 0");
      if (!tables.empty()) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  void ExpectVerifiedOn(std::size_t node, const std::string& database) {
    const ShellRun verify = Run("verify", "shop.mdb", node, database);
    EXPECT_EQ(verify.status, 0) << "node " << node + 1 << "\n" << verify.output << verify.errors;
  }

  fs::path program_;
  fs::path dir_;
  std::vector<TestServer> nodes_;
  std::vector<std::string> databases_;
  bool down_[3] = {false, false, false};
};

// Node 1 takes at most 500 rows and 4 MB in one transaction: the LOAD goes
// in chunks, sync commits its changes in parts, and both succeed where one
// write set per table would be refused.
TEST_F(ClusterRunTest, ACopyWithinTightWriteSetsVerifiesOnEveryNode) {
  const std::string database = "cl_run_bounded";
  databases_.push_back(database);
  ServerQuery(nodes_[0]).Execute(
      "SET GLOBAL wsrep_max_ws_rows = 500, GLOBAL wsrep_max_ws_size = 4194304");
  struct Restore {
    const TestServer& node;
    ~Restore() {
      ServerQuery(node).Execute(
          "SET GLOBAL wsrep_max_ws_rows = 0, GLOBAL wsrep_max_ws_size = 2147483647");
    }
  } restore{nodes_[0]};

  const ShellRun convert = Run("convert", "shop.mdb", 0, database, {"--yes", "--engine", "InnoDB"});
  ASSERT_EQ(convert.status, 0) << convert.output << convert.errors;
  EXPECT_EQ(convert.output, Converted(database));
  // The table without a key got one of its own on every node.
  for (std::size_t node = 0; node < nodes_.size(); ++node) {
    EXPECT_EQ(ServerQuery(nodes_[node])
                  .Value("SELECT COLUMN_NAME FROM information_schema.COLUMNS WHERE TABLE_SCHEMA "
                         "= '" +
                         database + "' AND TABLE_NAME = 'Log' AND COLUMN_KEY = 'PRI'"),
              Cell("bracken_row_id"))
        << "node " << node + 1;
  }
  for (std::size_t node = 0; node < nodes_.size(); ++node) ExpectVerifiedOn(node, database);

  // 2,000 rows changed in each large table: more than one write set.
  WriteJet4File(Shop(2000), dir_ / "changed.mdb");
  const ShellRun sync = Run("sync", "changed.mdb", 0, database);
  EXPECT_EQ(sync.status, 0) << sync.output << sync.errors;
  const ShellRun verify = Run("verify", "changed.mdb", 2, database);
  EXPECT_EQ(verify.status, 0) << verify.output << verify.errors;
}

TEST_F(ClusterRunTest, AnotherNodeLostMidRunChangesNothing) {
  const std::string database = "cl_run_other_lost";
  databases_.push_back(database);
  auto convert = std::async(std::launch::async, [&] {
    return Run("convert", "shop.mdb", 0, database, {"--yes", "--engine", "InnoDB", "--jobs", "1"});
  });
  ASSERT_TRUE(Underway(database, "Log"));
  ASSERT_EQ(convert.wait_for(0s), std::future_status::timeout) << "the run ended too soon";
  if (!Kill(2)) GTEST_SKIP() << "node 3 cannot be ended here";
  const ShellRun run = convert.get();
  EXPECT_EQ(run.status, 0) << run.output << run.errors;
  EXPECT_EQ(run.output, Converted(database));
  // While the cluster gave the node up, the run said what it waited for.
  EXPECT_NE(run.errors.find("Bracken waits: the MySQL server's cluster has not yet certified"),
            std::string::npos)
      << run.errors;

  Rejoin(2);
  ASSERT_FALSE(down_[2]);
  for (std::size_t node = 0; node < nodes_.size(); ++node) ExpectVerifiedOn(node, database);
}

TEST_F(ClusterRunTest, OwnNodeLostMidRunFailsAndSyncThroughAnotherCompletesIt) {
  const std::string database = "cl_run_own_lost";
  databases_.push_back(database);
  auto convert = std::async(std::launch::async, [&] {
    return Run("convert", "shop.mdb", 0, database, {"--yes", "--engine", "InnoDB", "--jobs", "1"});
  });
  ASSERT_TRUE(Underway(database, "Log"));
  ASSERT_EQ(convert.wait_for(0s), std::future_status::timeout) << "the run ended too soon";
  if (!Kill(0)) GTEST_SKIP() << "node 1 cannot be ended here";
  const ShellRun run = convert.get();
  // The run ends with the table it was copying failed, tells the lost
  // connection once, claims no success and points to sync.
  EXPECT_EQ(run.status, 1) << run.output << run.errors;
  EXPECT_NE(run.output.find("1 failed"), std::string::npos) << run.output;
  std::size_t lost = 0;
  for (std::size_t at = run.errors.find("Message: Lost connection"); at != std::string::npos;
       at = run.errors.find("Message: Lost connection", at + 1)) {
    ++lost;
  }
  EXPECT_EQ(lost, 1u) << run.errors;
  EXPECT_EQ(run.errors.find("successfully"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("bracken-cli sync"), std::string::npos) << run.errors;

  // Node 2 holds what node 1 committed before it was lost.
  const ShellRun sync = Run("sync", "shop.mdb", 1, database, {"--engine", "InnoDB"});
  EXPECT_EQ(sync.status, 0) << sync.output << sync.errors;
  ExpectVerifiedOn(1, database);
  ExpectVerifiedOn(2, database);
  Rejoin(0);
  ASSERT_FALSE(down_[0]);
  ExpectVerifiedOn(0, database);
}

// A node kept out of use (as one that has lost its cluster's majority)
// answers every statement with 1047: the run ends as with a lost
// connection, with one message, never a refusal per row.
TEST_F(ClusterRunTest, ANodeThatTakesNoStatementEndsTheRunOnce) {
  const std::string database = "cl_run_rejecting";
  databases_.push_back(database);
  struct Restore {
    const TestServer& node;
    ~Restore() { ServerQuery(node).Execute("SET GLOBAL wsrep_reject_queries = NONE"); }
  } restore{nodes_[0]};
  auto convert = std::async(std::launch::async, [&] {
    return Run("convert", "shop.mdb", 0, database, {"--yes", "--engine", "InnoDB", "--jobs", "1"});
  });
  ASSERT_TRUE(Underway(database, "Log"));
  ASSERT_EQ(convert.wait_for(0s), std::future_status::timeout) << "the run ended too soon";
  ServerQuery(nodes_[0]).Execute("SET GLOBAL wsrep_reject_queries = ALL");
  const ShellRun run = convert.get();
  ServerQuery(nodes_[0]).Execute("SET GLOBAL wsrep_reject_queries = NONE");
  EXPECT_EQ(run.status, 1) << run.output << run.errors;
  std::size_t messages = 0;
  for (std::size_t at = run.errors.find("Message: "); at != std::string::npos;
       at = run.errors.find("Message: ", at + 1)) {
    ++messages;
  }
  // The table's failure, then the run's closing message.
  EXPECT_EQ(messages, 2u) << run.errors;
  EXPECT_NE(run.errors.find("Message: WSREP has not yet prepared node"), std::string::npos)
      << run.errors;
  EXPECT_EQ(run.errors.find("refused"), std::string::npos) << run.errors;

  const ShellRun sync = Run("sync", "shop.mdb", 0, database, {"--engine", "InnoDB"});
  EXPECT_EQ(sync.status, 0) << sync.output << sync.errors;
  ExpectVerifiedOn(1, database);
}

}  // namespace
}  // namespace bracken::testing
