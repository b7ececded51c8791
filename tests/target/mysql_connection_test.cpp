#include "target/mysql_connection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "tests/support/test_server.h"

namespace bracken::target {
namespace {

TEST(MySqlConnection, EmptyHostFailsWithoutTrying) {
  MySqlConnection connection;
  EXPECT_EQ(connection.Connect("", "user", "password"), MySqlConnection::ConnectResult::EmptyHost);
  EXPECT_FALSE(connection.IsOpen());
  EXPECT_FALSE(connection.Execute("SELECT 1"));
}

TEST(MySqlConnection, FindsTheServerBehindRefusedPorts) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  if (server.port == 3306) GTEST_SKIP() << "the test server is on 3306: no fallback to show";
  MySqlConnection connection;
  ASSERT_EQ(connection.Connect(server.host, server.user, server.password),
            MySqlConnection::ConnectResult::Connected)
      << connection.ErrorText();
  EXPECT_TRUE(connection.IsOpen());
  EXPECT_TRUE(connection.Execute("SELECT 1"));
}

TEST(MySqlConnection, WrongPasswordIsRefusedOnEveryPort) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  MySqlConnection connection;
  EXPECT_EQ(connection.Connect(server.host, server.user, server.password + "-wrong"),
            MySqlConnection::ConnectResult::Refused);
  EXPECT_FALSE(connection.IsOpen());
}

TEST(MySqlConnection, RefusedStatementsExplainThemselvesAndAreNotLostConnections) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  MySqlConnection connection;
  ASSERT_EQ(connection.Connect(server.host, server.user, server.password),
            MySqlConnection::ConnectResult::Connected);
  EXPECT_FALSE(connection.Execute("SELEKT 1"));
  EXPECT_NE(connection.ErrorText().find("SQL syntax"), std::string::npos) << connection.ErrorText();
  EXPECT_FALSE(connection.LastErrorWasConnectionLost());
}

TEST(MySqlConnection, ALostConnectionIsToldApartFromARefusal) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  MySqlConnection connection;
  ASSERT_EQ(connection.Connect(server.host, server.user, server.password),
            MySqlConnection::ConnectResult::Connected);
  // The server ends this session after one idle second.
  ASSERT_TRUE(connection.Execute("SET SESSION wait_timeout = 1"));
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_FALSE(connection.Execute("SELECT 1"));
  EXPECT_TRUE(connection.LastErrorWasConnectionLost()) << connection.ErrorText();
}

}  // namespace
}  // namespace bracken::target
