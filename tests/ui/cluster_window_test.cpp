// The window against a node of the Galera cluster of scripts/test-cluster:
// with MyISAM chosen (the default) it makes InnoDB tables and says so before
// the run, and the copy reaches the other nodes.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/server_query.h"
#include "tests/support/test_server.h"
#include "tests/ui/dialog_harness.h"

namespace bracken::testing {
namespace {

TEST(ClusterWindow, MyIsamBecomesInnoDbAndTheCopyReachesTheOtherNodes) {
  const std::vector<TestServer> nodes = TestClusterFromEnvironment();
  if (nodes.size() < 2) GTEST_SKIP() << kNoClusterMessage;
  const std::string database = DatabaseName("cluster_window");
  ServerQuery node1(nodes[0]);
  node1.Execute("DROP DATABASE IF EXISTS `" + database + "`");

  ScratchFolder folder;
  ModalAnswerer answerer;
  DialogUnderTest ui;
  const auto path = folder.Path("source.mdb");
  FixtureDatabase file = SmallShop();
  FixtureTable log;
  log.name = "Log";
  log.columns = {MakeColumn("Line", ColumnKind::Text, 40)};
  log.rows = {{std::string("one")}, {std::string("two")}};
  file.tables.push_back(log);
  WriteJet4File(file, path);
  // The node's own port, given in the server field.
  TestServer node = nodes[0];
  node.host += ":" + std::to_string(node.port);
  ui.FillFirstPage(node, path, answerer);
  ASSERT_TRUE(ui.Next());
  ui.SetText(1019, QString::fromStdString(database));
  ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 120000));

  const QString told = "The server is a node of a Galera cluster of " +
                       QString::number(nodes.size()) +
                       ": MyISAM tables would stay on this node only. The tables are created as "
                       "InnoDB.";
  EXPECT_EQ(answerer.Texts(),
            (QStringList{told, "Bracken database conversion completed successfully."}));
  EXPECT_EQ(ui.dialog->Choices().innoDb, true) << "Options show the engine the run used";

  const std::string schema = "TABLE_SCHEMA = '" + database + "'";
  EXPECT_EQ(node1.Value("SELECT GROUP_CONCAT(DISTINCT ENGINE) FROM information_schema.TABLES "
                        "WHERE " +
                        schema),
            Cell("InnoDB"));
  // The table without a key got one of its own, invisible to SELECT *.
  EXPECT_EQ(node1.Value("SELECT CONCAT(COLUMN_NAME, ' ', EXTRA) FROM information_schema.COLUMNS "
                        "WHERE " +
                        schema + " AND TABLE_NAME = 'Log' AND COLUMN_KEY = 'PRI'"),
            Cell("bracken_row_id auto_increment, INVISIBLE"));
  // Node 2 has applied the rows within moments.
  ServerQuery node2(nodes[1]);
  Cell rows;
  for (int i = 0; i < 40 && rows != Cell("3"); ++i) {
    rows = node2.Value("SELECT COUNT(*) FROM `" + database + "`.`Customers`");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(rows, Cell("3"));
  node1.Execute("DROP DATABASE IF EXISTS `" + database + "`");
}

}  // namespace
}  // namespace bracken::testing
