#pragma once

// Where the conversion sends its statements: the MySQL connection in the
// program, a recorder in tests.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::engine {

// A value sent apart from its statement's text, in place of a "?".
struct LongValue {
  std::string_view bytes;
  bool text = false;  // UTF-8 text rather than bytes
};

class StatementExecutor {
 public:
  virtual ~StatementExecutor() = default;
  // Sends one statement; true when the server accepted it.
  virtual bool Execute(const std::string& statement) = 0;
  // The server's explanation of the last failure.
  virtual std::string ErrorText() const = 0;
  // True when the last failure was a lost connection rather than a refusal.
  virtual bool LastErrorWasConnectionLost() const = 0;
  // The server's number for the last failure; 0 when none is known.
  virtual unsigned int LastErrorNumber() const = 0;
  // The largest statement, and the largest single value, the server takes
  // (its max_allowed_packet).
  virtual std::size_t MaxStatementBytes() const = 0;
  // Sends a statement whose "?" placeholders take `values` in order, each
  // sent apart from the text; true when the server accepted it.
  virtual bool ExecuteWithLongValues(const std::string& statement,
                                     const std::vector<LongValue>& values) = 0;
};

// The executor over the program's one MySQL connection, which must outlive it.
class MySqlStatementExecutor : public StatementExecutor {
 public:
  explicit MySqlStatementExecutor(target::MySqlConnection& connection) : connection_(connection) {}
  bool Execute(const std::string& statement) override;
  std::string ErrorText() const override;
  bool LastErrorWasConnectionLost() const override;
  unsigned int LastErrorNumber() const override;
  std::size_t MaxStatementBytes() const override;
  bool ExecuteWithLongValues(const std::string& statement,
                             const std::vector<LongValue>& values) override;

 private:
  target::MySqlConnection& connection_;
};

}  // namespace bracken::engine
