#include "tests/support/test_server.h"

#include <cstdlib>

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

}  // namespace bracken::testing
