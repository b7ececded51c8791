#pragma once

// Where the conversion sends its statements: the MySQL connection in the
// program, a recorder in tests.

#include <string>

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

class StatementExecutor {
 public:
  virtual ~StatementExecutor() = default;
  // Sends one statement; true when the server accepted it.
  virtual bool Execute(const std::string& statement) = 0;
  // The server's explanation of the last failure.
  virtual std::string ErrorText() const = 0;
  // True when the last failure was a lost connection rather than a refusal.
  virtual bool LastErrorWasConnectionLost() const = 0;
};

// The executor over the program's one MySQL connection, which must outlive it.
class MySqlStatementExecutor : public StatementExecutor {
 public:
  explicit MySqlStatementExecutor(target::MySqlConnection& connection) : connection_(connection) {}
  bool Execute(const std::string& statement) override;
  std::string ErrorText() const override;
  bool LastErrorWasConnectionLost() const override;

 private:
  target::MySqlConnection& connection_;
};

}  // namespace bracken::engine
