#include "target/mysql_connection.h"

#include <mysql.h>

namespace bracken::target {

namespace {

constexpr unsigned int kPorts[] = {3306, 3307, 3308, 3309};

// Client errors for a connection that went away or was lost mid-query.
constexpr unsigned int kServerGoneError = 2006;
constexpr unsigned int kServerLostError = 2013;

}  // namespace

MySqlConnection::~MySqlConnection() { Close(); }

MySqlConnection::ConnectResult MySqlConnection::Connect(const std::string& host,
                                                        const std::string& login,
                                                        const std::string& password) {
  Close();
  handle_ = mysql_init(nullptr);
  if (handle_ == nullptr) return ConnectResult::Refused;
  if (host.empty()) return ConnectResult::EmptyHost;
  for (unsigned int port : kPorts) {
    if (mysql_real_connect(handle_, host.c_str(), login.c_str(), password.c_str(), "", port,
                           nullptr, 0) != nullptr) {
      connected_ = true;
      return ConnectResult::Connected;
    }
  }
  return ConnectResult::Refused;
}

bool MySqlConnection::Execute(const std::string& statement) {
  if (handle_ == nullptr) return false;
  return mysql_query(handle_, statement.c_str()) == 0;
}

std::string MySqlConnection::ErrorText() const {
  if (handle_ == nullptr) return "Not connected to the MySQL server.";
  return mysql_error(handle_);
}

bool MySqlConnection::LastErrorWasConnectionLost() const {
  if (handle_ == nullptr) return true;
  unsigned int code = mysql_errno(handle_);
  return code == kServerGoneError || code == kServerLostError;
}

unsigned int MySqlConnection::LastErrorNumber() const {
  return handle_ == nullptr ? 0 : mysql_errno(handle_);
}

void MySqlConnection::Close() {
  if (handle_ != nullptr) mysql_close(handle_);
  handle_ = nullptr;
  connected_ = false;
}

}  // namespace bracken::target
