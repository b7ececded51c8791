#include "tests/support/server_query.h"

#include <mysql.h>

#include <stdexcept>

namespace bracken::testing {

ServerQuery::ServerQuery(const TestServer& server, const std::string& database)
    : handle_(mysql_init(nullptr)) {
  if (mysql_real_connect(handle_, server.host.c_str(), server.user.c_str(), server.password.c_str(),
                         database.c_str(), static_cast<unsigned int>(server.port), nullptr,
                         0) == nullptr) {
    std::string error = mysql_error(handle_);
    mysql_close(handle_);
    throw std::runtime_error("cannot reach the test server: " + error);
  }
  mysql_set_character_set(handle_, "utf8mb4");
}

ServerQuery::~ServerQuery() { mysql_close(handle_); }

void ServerQuery::Execute(const std::string& statement) {
  if (mysql_real_query(handle_, statement.data(), statement.size()) != 0) {
    throw std::runtime_error(std::string(mysql_error(handle_)) + " in: " + statement);
  }
}

std::vector<Row> ServerQuery::Rows(const std::string& query) {
  Execute(query);
  MYSQL_RES* result = mysql_store_result(handle_);
  if (result == nullptr) throw std::runtime_error("no result for: " + query);
  std::vector<Row> rows;
  unsigned int columns = mysql_num_fields(result);
  while (MYSQL_ROW row = mysql_fetch_row(result)) {
    unsigned long* lengths = mysql_fetch_lengths(result);
    Row cells;
    for (unsigned int i = 0; i < columns; ++i) {
      cells.push_back(row[i] ? Cell(std::string(row[i], lengths[i])) : std::nullopt);
    }
    rows.push_back(std::move(cells));
  }
  mysql_free_result(result);
  return rows;
}

Cell ServerQuery::Value(const std::string& query) {
  auto rows = Rows(query);
  if (rows.size() != 1 || rows[0].size() != 1) {
    throw std::runtime_error("expected one value from: " + query);
  }
  return rows[0][0];
}

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

}  // namespace bracken::testing
