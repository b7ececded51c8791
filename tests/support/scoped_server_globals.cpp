#include "tests/support/scoped_server_globals.h"

#include <mysql.h>

#include <algorithm>
#include <cctype>
#include <iostream>
#include <stdexcept>

namespace bracken::testing {

namespace {

// A value read back from the server as an SQL literal that sets it again:
// numbers bare, anything else quoted (doubled quotes read the same whatever
// the session's sql_mode).
std::string AsLiteral(const std::string& value) {
  const bool number = !value.empty() && std::all_of(value.begin(), value.end(), [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
  });
  if (number) return value;
  std::string literal = "'";
  for (char c : value) {
    literal += c;
    if (c == '\'') literal += '\'';
  }
  return literal + "'";
}

}  // namespace

ScopedServerGlobals::ScopedServerGlobals(const TestServer& server,
                                         const std::vector<Setting>& settings)
    : handle_(mysql_init(nullptr)) {
  if (mysql_real_connect(handle_, server.host.c_str(), server.user.c_str(), server.password.c_str(),
                         "", static_cast<unsigned int>(server.port), nullptr, 0) == nullptr) {
    std::string error = mysql_error(handle_);
    mysql_close(handle_);
    throw std::runtime_error("cannot reach the test server: " + error);
  }
  try {
    for (const Setting& setting : settings) Set(setting);
  } catch (...) {
    RestoreAll();
    mysql_close(handle_);
    throw;
  }
}

ScopedServerGlobals::~ScopedServerGlobals() {
  RestoreAll();
  mysql_close(handle_);
}

void ScopedServerGlobals::Set(const Setting& setting) {
  const std::string earlier = AsLiteral(Query("SELECT @@GLOBAL." + setting.first));
  Run("SET GLOBAL " + setting.first + " = " + setting.second);
  earlier_.emplace_back(setting.first, earlier);
}

// Last set, first restored; a failure is told but does not stop the others.
void ScopedServerGlobals::RestoreAll() {
  for (auto it = earlier_.rbegin(); it != earlier_.rend(); ++it) {
    try {
      Run("SET GLOBAL " + it->first + " = " + it->second);
    } catch (const std::exception& error) {
      std::cerr << "ScopedServerGlobals: could not restore " << it->first << ": " << error.what()
                << "\n";
    }
  }
  earlier_.clear();
}

std::string ScopedServerGlobals::Query(const std::string& query) {
  Run(query);
  MYSQL_RES* result = mysql_store_result(handle_);
  if (result == nullptr) throw std::runtime_error("no result for: " + query);
  MYSQL_ROW row = mysql_fetch_row(result);
  std::string value = row && row[0] ? row[0] : "";
  mysql_free_result(result);
  return value;
}

void ScopedServerGlobals::Run(const std::string& statement) {
  if (mysql_real_query(handle_, statement.data(), statement.size()) != 0) {
    throw std::runtime_error(std::string(mysql_error(handle_)) + " in: " + statement);
  }
}

}  // namespace bracken::testing
