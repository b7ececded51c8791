// The connection against servers that misbehave: one that accepts and never
// answers, one that freezes mid-statement, and TLS modes the server cannot
// meet.

#include <gtest/gtest.h>

#include <chrono>

#include "target/mysql_connection.h"
#include "tests/support/server_query.h"
#include "tests/support/tcp_relay.h"
#include "tests/support/test_server.h"

namespace bracken::target {
namespace {

using Clock = std::chrono::steady_clock;
using testing::TcpRelay;

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

TEST(MisbehavingServer, ASilentServerIsGivenUpAfterTheConnectTimeout) {
  TcpRelay silent;
  ConnectOptions options;
  options.port = static_cast<unsigned int>(silent.Port());
  options.connectTimeoutSeconds = 1;
  MySqlConnection connection;
  auto start = Clock::now();
  EXPECT_EQ(connection.Connect("127.0.0.1", "u", "p", options),
            MySqlConnection::ConnectResult::Refused);
  EXPECT_LT(SecondsSince(start), 8.0) << "only the given port, with its timeout";
  EXPECT_FALSE(connection.IsOpen());
}

TEST(MisbehavingServer, AServerFrozenMidRunEndsTheStatementAsALostConnection) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  TcpRelay relay(server.host, server.port);
  ConnectOptions options;
  options.port = static_cast<unsigned int>(relay.Port());
  options.readTimeoutSeconds = 1;
  options.writeTimeoutSeconds = 1;
  MySqlConnection connection;
  ASSERT_EQ(connection.Connect(server.host, server.user, server.password, options),
            MySqlConnection::ConnectResult::Connected)
      << connection.ErrorText();
  EXPECT_EQ(connection.ConnectedPort(), options.port);
  ASSERT_TRUE(connection.Execute("DO 1"));
  relay.Freeze();
  auto start = Clock::now();
  EXPECT_FALSE(connection.Execute("DO 2"));
  EXPECT_LT(SecondsSince(start), 10.0);
  EXPECT_TRUE(connection.LastErrorWasConnectionLost())
      << connection.LastErrorNumber() << " " << connection.ErrorText();
  // The long-value path ends the same way.
  EXPECT_FALSE(connection.ExecuteWithLongValues("DO ?", {"x"}));
  EXPECT_TRUE(connection.LastErrorWasConnectionLost()) << connection.LastErrorNumber();
}

TEST(MisbehavingServer, TlsModesAreKeptOrTheConnectionIsRefused) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  ConnectOptions options;
  options.port = static_cast<unsigned int>(server.port);
  testing::ServerQuery query(server);
  const bool serverHasTls = query.Value("SELECT @@have_ssl") == "YES";
  for (const char* mode : {"DISABLED", "PREFERRED", "REQUIRED", "VERIFY_IDENTITY"}) {
    options.sslMode = mode;
    MySqlConnection connection;
    auto result = connection.Connect(server.host, server.user, server.password, options);
    const std::string name = mode;
    if (name == "DISABLED" || name == "PREFERRED" || (serverHasTls && name == "REQUIRED")) {
      ASSERT_EQ(result, MySqlConnection::ConnectResult::Connected)
          << mode << connection.ErrorText();
      // The session's own view of its cipher: none when TLS is disabled.
      auto cipher = connection.QueryRows("SHOW SESSION STATUS LIKE 'Ssl_cipher'");
      ASSERT_TRUE(cipher && cipher->size() == 1u);
      if (name == "DISABLED") {
        EXPECT_EQ((*cipher)[0][1], "") << mode;
      }
    } else if (!serverHasTls) {
      EXPECT_EQ(result, MySqlConnection::ConnectResult::Refused) << mode;
      EXPECT_NE(connection.ErrorText().find("TLS"), std::string::npos) << connection.ErrorText();
    }
  }
  options.sslMode = "SOMETIMES";
  MySqlConnection connection;
  EXPECT_EQ(connection.Connect(server.host, server.user, server.password, options),
            MySqlConnection::ConnectResult::Refused);
}

TEST(MisbehavingServer, TheSessionKnowsItsOwnConnectionId) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  MySqlConnection connection;
  ConnectOptions options;
  options.port = static_cast<unsigned int>(server.port);
  ASSERT_EQ(connection.Connect(server.host, server.user, server.password, options),
            MySqlConnection::ConnectResult::Connected);
  auto id = connection.QueryRows("SELECT CONNECTION_ID()");
  ASSERT_TRUE(id);
  EXPECT_EQ(std::to_string(connection.Traits().connectionId), (*id)[0][0]);
}

}  // namespace
}  // namespace bracken::target
