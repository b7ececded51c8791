#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tests/support/test_server.h"

struct st_mysql;

namespace bracken::testing {

// One cell as the server sent it: nullopt for NULL, else the exact bytes.
using Cell = std::optional<std::string>;
using Row = std::vector<Cell>;

// A plain client connection for checking what arrived on the test server.
class ServerQuery {
 public:
  explicit ServerQuery(const TestServer& server, const std::string& database = "");
  ~ServerQuery();
  ServerQuery(const ServerQuery&) = delete;
  ServerQuery& operator=(const ServerQuery&) = delete;

  // Runs a statement; throws std::runtime_error with the server's text on failure.
  void Execute(const std::string& statement);
  // Runs a query and returns all its rows.
  std::vector<Row> Rows(const std::string& query);
  // The single value of a one-row, one-column query.
  Cell Value(const std::string& query);

 private:
  ::st_mysql* handle_;
};

// Bytes as uppercase hexadecimal digits, as the server's HEX() writes them.
std::string Hex(const std::string& bytes);

}  // namespace bracken::testing
