#pragma once

#include <optional>
#include <string>
#include <vector>

namespace bracken::testing {

// The private test server that scripts/test starts, as its environment names it.
struct TestServer {
  std::string host;
  int port = 0;
  std::string user;
  std::string password;
};

// The server named by BRACKEN_TEST_MYSQL_*; nullopt on a plain ctest run.
std::optional<TestServer> TestServerFromEnvironment();

// The message a test skips with when no server is named.
inline constexpr const char* kNoServerMessage =
    "no test server: run scripts/test, or set BRACKEN_TEST_MYSQL_HOST, _PORT, _USER and "
    "_PASSWORD";

// The nodes of the private Galera cluster scripts/test-cluster starts, as
// BRACKEN_TEST_CLUSTER_HOST, _PORTS (one port per node, node 1 first), _USER
// and _PASSWORD name them; empty when they are not set.
std::vector<TestServer> TestClusterFromEnvironment();

inline constexpr const char* kNoClusterMessage =
    "no test cluster: run scripts/test-cluster start DIR and source DIR/env";

}  // namespace bracken::testing

// Skips the current test when no server is named; otherwise declares `server`.
#define BRACKEN_REQUIRE_TEST_SERVER(server)                                     \
  auto server##_optional = ::bracken::testing::TestServerFromEnvironment();     \
  if (!server##_optional) GTEST_SKIP() << ::bracken::testing::kNoServerMessage; \
  const ::bracken::testing::TestServer& server = *server##_optional
