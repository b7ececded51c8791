#pragma once

// A statement executor that records every statement and answers like a small
// server: it knows which databases exist, and refuses or loses the
// connection on the statements a test names.

#include <set>
#include <string>
#include <vector>

#include "engine/statement_executor.h"

namespace bracken::testing {

class RecordingTarget : public engine::StatementExecutor {
 public:
  bool Execute(const std::string& statement) override;
  std::string ErrorText() const override { return error_; }
  bool LastErrorWasConnectionLost() const override { return lost_; }
  unsigned int LastErrorNumber() const override { return errorNumber_; }
  std::size_t MaxStatementBytes() const override { return maxStatementBytes; }
  // Recorded as the statement followed by " [n bytes, ...]", one size per value.
  bool ExecuteWithLongValues(const std::string& statement,
                             const std::vector<engine::LongValue>& values) override;

  // The statement that starts with `prefix` is refused with `text`; with
  // `skip`, the first `skip` such statements are accepted.
  void Refuse(const std::string& prefix, const std::string& text, int skip = 0,
              unsigned int number = 1064);
  // From the statement that starts with `prefix` on (after `skip` of them are
  // accepted), every statement fails as a lost connection.
  void LoseConnectionAt(const std::string& prefix, int skip = 0);

  // Statements that reached the target, in order.
  std::vector<std::string> statements;
  // Quoted names of the databases that exist ("`name`").
  std::set<std::string> databases;
  std::size_t maxStatementBytes = std::size_t{1} << 30;

 private:
  struct Rule {
    std::string prefix;
    std::string text;
    int skip;
    bool lose;
    unsigned int number;
  };
  std::vector<Rule> rules_;
  bool gone_ = false;
  bool lost_ = false;
  std::string error_;
  unsigned int errorNumber_ = 0;
};

}  // namespace bracken::testing
