#include "target/mysql_connection.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "target/local_load.h"
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

// A LOCAL load takes the stream given, whatever file the statement names,
// escapes and all; the capability survives refused ports before the
// server's (the client library clears a handle's options on each refusal).
TEST(MySqlConnection, LocalLoadsComeFromMemoryOnlyAfterRefusedPortsToo) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  MySqlConnection connection;
  ASSERT_EQ(connection.Connect(server.host, server.user, server.password),
            MySqlConnection::ConnectResult::Connected)
      << connection.ErrorText();
  ASSERT_TRUE(connection.Execute("CREATE DATABASE IF NOT EXISTS ld_local_load"));
  ASSERT_TRUE(connection.Execute("CREATE TEMPORARY TABLE ld_local_load.t (t TEXT, b BLOB)"));
  // Handed out a byte at a time: rows and escapes cross the pieces.
  struct Bytes : LocalLoadStream {
    std::string data = std::string("a\\tb\\n\\\\\\0\t\\N\n", 14) + "\xF0\x9F\x98\x80\t\n";
    std::size_t at = 0;
    int Read(char* buffer, unsigned int) override {
      if (at == data.size()) return 0;
      *buffer = data[at++];
      return 1;
    }
  } stream;
  LocalLoadCounts counts;
  ASSERT_EQ(connection.LoadFromStream("LOAD DATA LOCAL INFILE '/etc/passwd' INTO TABLE "
                                      "ld_local_load.t CHARACTER SET binary",
                                      stream, counts),
            LocalLoadResult::Loaded)
      << connection.ErrorText();
  EXPECT_EQ(counts.rows, 2u);
  EXPECT_EQ(counts.warnings, 0u);
  auto rows = connection.QueryRows(
      "SELECT HEX(t), b IS NULL, HEX(b) FROM ld_local_load.t ORDER BY LENGTH(t) DESC");
  ASSERT_TRUE(rows.has_value());
  ASSERT_EQ(rows->size(), 2u);
  EXPECT_EQ((*rows)[0], (std::vector<std::string>{"6109620A5C00", "1", ""}));
  EXPECT_EQ((*rows)[1], (std::vector<std::string>{"F09F9880", "0", ""}));
  connection.Execute("DROP DATABASE ld_local_load");
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
