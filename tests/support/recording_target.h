#pragma once

// A statement executor that records every statement and answers like a small
// server: it knows which databases exist, refuses or loses the connection on
// the statements a test names, and refuses what the real connection would
// refuse by its traits (statements and values too long for the packet
// limit, placeholders that do not match the values).

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "engine/output/statement_executor.h"

namespace bracken::testing {

class RecordingTarget : public engine::StatementExecutor {
 public:
  bool Execute(const std::string& statement) override;
  // Records the statement in `statements` (where the rules above apply to it
  // as to any other) and its values in `longValueCalls`.
  bool ExecuteWithLongValues(const std::string& statement,
                             const std::vector<std::string_view>& values) override;
  const target::ServerTraits& Traits() const override { return traits; }
  std::string ErrorText() const override { return error_; }
  bool LastErrorWasConnectionLost() const override { return lost_; }
  unsigned int LastErrorNumber() const override { return errorNumber_; }
  std::optional<target::DatabaseRights> RightsOn(const std::string& name) override {
    rightsAsked.push_back(name);
    return rights;
  }
  std::optional<long long> CountTables(const std::string& /*name*/) override { return tableCount; }

  // The statement that starts with `prefix` is refused with `text`; with
  // `skip`, the first `skip` such statements are accepted.
  void Refuse(const std::string& prefix, const std::string& text, int skip = 0,
              unsigned int number = 1064);
  // From the statement that starts with `prefix` on (after `skip` of them are
  // accepted), every statement fails as a lost connection.
  void LoseConnectionAt(const std::string& prefix, int skip = 0);

  // Statements that reached the target, in order.
  std::vector<std::string> statements;
  // What RightsOn answers (by default: the grants cannot be read), and the
  // names it was asked about.
  std::optional<target::DatabaseRights> rights;
  std::vector<std::string> rightsAsked;
  // What CountTables answers (by default: the server cannot tell).
  std::optional<long long> tableCount;
  // Quoted names of the databases that exist ("`name`").
  std::set<std::string> databases;

  // One statement sent with long values: its place in `statements` and its
  // values (their sizes apart, for tests that look at nothing else).
  struct LongValueCall {
    std::size_t statementIndex;
    std::vector<std::size_t> valueSizes;
    std::vector<std::string> values;
  };
  std::vector<LongValueCall> longValueCalls;

  // What the target says of itself; a test may change it. By default: the
  // largest packet limit a server allows (1 GiB) and no accent-sensitive
  // collation.
  target::ServerTraits traits = DefaultTraits();
  static target::ServerTraits DefaultTraits();

 private:
  struct Rule {
    std::string prefix;
    std::string text;
    int skip;
    bool lose;
    unsigned int number;
  };
  // Answers a statement that reached the target; `clientRefusal`, when not
  // empty, is what the real connection would say without sending it.
  bool Answer(const std::string& statement, const std::string& clientRefusal);

  std::vector<Rule> rules_;
  bool gone_ = false;
  bool lost_ = false;
  std::string error_;
  unsigned int errorNumber_ = 0;
};

}  // namespace bracken::testing
