#include "tests/support/test_server.h"

#include <cstdlib>
#include <sstream>

namespace bracken::testing {

namespace {
std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}
}  // namespace

std::optional<TestServer> TestServerFromEnvironment() {
  TestServer server;
  server.host = Environment("BRACKEN_TEST_MYSQL_HOST");
  if (server.host.empty()) return std::nullopt;
  server.port = std::atoi(Environment("BRACKEN_TEST_MYSQL_PORT").c_str());
  server.user = Environment("BRACKEN_TEST_MYSQL_USER");
  server.password = Environment("BRACKEN_TEST_MYSQL_PASSWORD");
  return server;
}

std::vector<TestServer> TestClusterFromEnvironment() {
  std::vector<TestServer> nodes;
  const std::string host = Environment("BRACKEN_TEST_CLUSTER_HOST");
  if (host.empty()) return nodes;
  std::istringstream ports(Environment("BRACKEN_TEST_CLUSTER_PORTS"));
  int port = 0;
  while (ports >> port) {
    nodes.push_back({host, port, Environment("BRACKEN_TEST_CLUSTER_USER"),
                     Environment("BRACKEN_TEST_CLUSTER_PASSWORD")});
  }
  return nodes;
}

}  // namespace bracken::testing
