#pragma once

#include <string>

struct st_mysql;

namespace bracken::target {

// The one connection to the MySQL server. Connect tries the ports 3306,
// 3307, 3308 and 3309 in this order on one handle.
class MySqlConnection {
 public:
  enum class ConnectResult { Connected, EmptyHost, Refused };

  MySqlConnection() = default;
  ~MySqlConnection();
  MySqlConnection(const MySqlConnection&) = delete;
  MySqlConnection& operator=(const MySqlConnection&) = delete;

  // Replaces any earlier handle (closing it first).
  ConnectResult Connect(const std::string& host, const std::string& login,
                        const std::string& password);
  bool IsOpen() const { return handle_ != nullptr && connected_; }

  // Sends one statement; true when the server accepted it.
  bool Execute(const std::string& statement);
  // The server's explanation of the last failure.
  std::string ErrorText() const;
  // True when the last failure was a lost connection (client errors 2006, 2013).
  bool LastErrorWasConnectionLost() const;
  // The server's (or the client's) number for the last failure.
  unsigned int LastErrorNumber() const;

  void Close();

 private:
  st_mysql* handle_ = nullptr;
  bool connected_ = false;
};

}  // namespace bracken::target
