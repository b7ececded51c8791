// What the destination tells of itself when it is one node of a cluster, and
// what the three-node Galera cluster of scripts/test-cluster does with the
// tables written to one node.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "target/mysql_connection.h"
#include "target/server_cluster.h"
#include "tests/support/server_query.h"
#include "tests/support/test_server.h"

namespace bracken::target {
namespace {

using testing::ServerQuery;
using testing::TestServer;

TEST(ClusterTraitsFrom, ASingleServerOfEitherKind) {
  // MariaDB without a provider: wsrep_on may even be ON in its settings.
  const ClusterTraits mariaDb = ClusterTraitsFrom(
      {{"wsrep_on", "ON"}, {"wsrep_provider", "none"}, {"wsrep_max_ws_rows", "0"}},
      {{"wsrep_cluster_size", "0"}});
  EXPECT_FALSE(mariaDb.IsCluster());
  EXPECT_FALSE(mariaDb.RequiresPrimaryKey());
  EXPECT_EQ(mariaDb.galeraClusterSize, 0u);
  // MySQL 8 has none of the wsrep variables.
  const ClusterTraits mySql = ClusterTraitsFrom({{"sql_require_primary_key", "OFF"}}, {});
  EXPECT_FALSE(mySql.IsCluster());
  EXPECT_FALSE(mySql.RequiresPrimaryKey());
  EXPECT_FALSE(ClusterTraitsFrom({}, {}).IsCluster());
  // Keys are required on a single server too.
  EXPECT_TRUE(ClusterTraitsFrom({{"SQL_REQUIRE_PRIMARY_KEY", "ON"}}, {}).RequiresPrimaryKey());
  EXPECT_TRUE(ClusterTraitsFrom({{"innodb_force_primary_key", "1"}}, {}).RequiresPrimaryKey());
}

TEST(ClusterTraitsFrom, AGaleraNodeWithItsLimitsAndModes) {
  const std::vector<NamedValue> variables = {
      {"wsrep_on", "ON"},
      {"wsrep_provider", "/usr/lib/galera/libgalera_smm.so"},
      {"wsrep_mode", "STRICT_REPLICATION,REQUIRED_PRIMARY_KEY"},
      {"wsrep_max_ws_rows", "131072"},
      {"wsrep_max_ws_size", "2147483647"}};
  const ClusterTraits node = ClusterTraitsFrom(
      variables, {{"wsrep_cluster_size", "3"}, {"wsrep_local_state_comment", "Synced"}});
  EXPECT_TRUE(node.galeraNode);
  EXPECT_TRUE(node.IsCluster());
  EXPECT_EQ(node.galeraClusterSize, 3u);
  EXPECT_EQ(node.galeraState, "Synced");
  EXPECT_EQ(node.wsrepMaxWsRows, 131072u);
  EXPECT_EQ(node.wsrepMaxWsSize, 2147483647u);
  EXPECT_TRUE(node.HasWsrepMode("strict_replication"));
  EXPECT_TRUE(node.HasWsrepMode("REQUIRED_PRIMARY_KEY"));
  EXPECT_FALSE(node.HasWsrepMode("REQUIRED"));
  EXPECT_TRUE(node.RequiresPrimaryKey());

  // This session's writes are not replicated: not a node to write the copy through.
  std::vector<NamedValue> sessionOff = variables;
  sessionOff[0].value = "OFF";
  EXPECT_FALSE(ClusterTraitsFrom(sessionOff, {{"wsrep_cluster_size", "3"}}).IsCluster());

  // No flags, and values that are not numbers read as no bound.
  const ClusterTraits plain = ClusterTraitsFrom({{"wsrep_on", "ON"},
                                                 {"wsrep_provider", "libgalera_smm.so"},
                                                 {"wsrep_mode", ""},
                                                 {"wsrep_max_ws_rows", "many"}},
                                                {});
  EXPECT_TRUE(plain.galeraNode);
  EXPECT_FALSE(plain.HasWsrepMode(""));
  EXPECT_FALSE(plain.RequiresPrimaryKey());
  EXPECT_EQ(plain.wsrepMaxWsRows, 0u);
}

TEST(ClusterTraitsFrom, AGroupReplicationMember) {
  const ClusterTraits member =
      ClusterTraitsFrom({{"group_replication_group_name", "aaaaaaaa-aaaa-aaaa-aaaa-aaaaaaaaaaaa"},
                         {"group_replication_transaction_size_limit", "150000000"},
                         {"sql_require_primary_key", "OFF"}},
                        {});
  EXPECT_TRUE(member.groupReplication);
  EXPECT_EQ(member.WriteSetByteLimit(), 150000000u);
  EXPECT_EQ(member.WriteSetRowLimit(), 0u);
  EXPECT_FALSE(member.galeraNode);
  EXPECT_TRUE(member.IsCluster());
  EXPECT_TRUE(member.RequiresPrimaryKey());
}

ClusterTraits TraitsOf(const TestServer& server) {
  MySqlConnection connection;
  ConnectOptions options;
  options.port = static_cast<unsigned int>(server.port);
  EXPECT_EQ(connection.Connect(server.host, server.user, server.password, options),
            MySqlConnection::ConnectResult::Connected)
      << connection.ErrorText();
  auto traits = ReadClusterTraits(connection);
  EXPECT_TRUE(traits.has_value()) << connection.ErrorText();
  return traits.value_or(ClusterTraits());
}

TEST(ReadClusterTraits, TheOrdinaryTestServerIsNoCluster) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const ClusterTraits traits = TraitsOf(server);
  EXPECT_FALSE(traits.IsCluster());
  EXPECT_EQ(traits.galeraClusterSize, 0u);
  EXPECT_FALSE(traits.RequiresPrimaryKey());
}

class TestCluster : public ::testing::Test {
 protected:
  void SetUp() override {
    nodes_ = testing::TestClusterFromEnvironment();
    if (nodes_.empty()) GTEST_SKIP() << testing::kNoClusterMessage;
    ASSERT_EQ(nodes_.size(), 3u) << "BRACKEN_TEST_CLUSTER_PORTS names three nodes";
  }

  // A connection to node `index` whose reads wait until everything the
  // cluster committed before has been applied there.
  std::unique_ptr<ServerQuery> Node(std::size_t index) {
    auto query = std::make_unique<ServerQuery>(nodes_[index]);
    query->Execute("SET SESSION wsrep_sync_wait = 1");
    return query;
  }

  std::vector<TestServer> nodes_;
};

TEST_F(TestCluster, EveryNodeReadsAsAGaleraNodeOfThree) {
  for (const TestServer& node : nodes_) {
    SCOPED_TRACE("port " + std::to_string(node.port));
    const ClusterTraits traits = TraitsOf(node);
    EXPECT_TRUE(traits.galeraNode);
    EXPECT_TRUE(traits.IsCluster());
    EXPECT_FALSE(traits.groupReplication);
    EXPECT_EQ(traits.galeraClusterSize, 3u);
    EXPECT_EQ(traits.galeraState, "Synced");
    EXPECT_GT(traits.wsrepMaxWsSize, 0u);
  }
}

// InnoDB rows written on node 1 are on nodes 2 and 3; a MyISAM table is
// created everywhere (the statement is replicated) but its rows stay on
// node 1: why a conversion into a cluster must refuse MyISAM.
TEST_F(TestCluster, InnoDbRowsReachEveryNodeMyIsamRowsDoNot) {
  auto first = Node(0);
  first->Execute("DROP DATABASE IF EXISTS cluster_engines");
  first->Execute("CREATE DATABASE cluster_engines");
  first->Execute(
      "CREATE TABLE cluster_engines.kept (id INT PRIMARY KEY, v VARCHAR(20)) "
      "ENGINE=InnoDB");
  first->Execute(
      "CREATE TABLE cluster_engines.lost (id INT PRIMARY KEY, v VARCHAR(20)) "
      "ENGINE=MyISAM");
  first->Execute("INSERT INTO cluster_engines.kept VALUES (1, 'näher'), (2, 'far')");
  first->Execute("INSERT INTO cluster_engines.lost VALUES (1, 'näher'), (2, 'far')");
  EXPECT_EQ(first->Value("SELECT COUNT(*) FROM cluster_engines.lost"), "2");
  for (std::size_t index : {1u, 2u}) {
    SCOPED_TRACE("node " + std::to_string(index + 1));
    auto other = Node(index);
    EXPECT_EQ(other->Value("SELECT GROUP_CONCAT(v ORDER BY id) FROM cluster_engines.kept"),
              "näher,far");
    EXPECT_EQ(other->Value("SELECT ENGINE FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                           "'cluster_engines' AND TABLE_NAME = 'lost'"),
              "MyISAM");
    EXPECT_EQ(other->Value("SELECT COUNT(*) FROM cluster_engines.lost"), "0");
  }
  first->Execute("DROP DATABASE cluster_engines");
}

}  // namespace
}  // namespace bracken::target
