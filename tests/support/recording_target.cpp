#include "tests/support/recording_target.h"

namespace bracken::testing {

namespace {
bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}
}  // namespace

void RecordingTarget::Refuse(const std::string& prefix, const std::string& text, int skip) {
  rules_.push_back({prefix, text, skip, false});
}

void RecordingTarget::LoseConnectionAt(const std::string& prefix, int skip) {
  rules_.push_back({prefix, "Lost connection to server during query", skip, true});
}

bool RecordingTarget::Execute(const std::string& statement) {
  statements.push_back(statement);
  lost_ = false;
  if (gone_) {
    lost_ = true;
    error_ = "Server has gone away";
    return false;
  }
  for (Rule& rule : rules_) {
    if (!StartsWith(statement, rule.prefix)) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    error_ = rule.text;
    lost_ = rule.lose;
    gone_ = rule.lose;
    return false;
  }
  if (StartsWith(statement, "USE ")) {
    if (databases.count(statement.substr(4))) return true;
    error_ = "Unknown database";
    return false;
  }
  if (StartsWith(statement, "DROP DATABASE IF EXISTS ")) databases.erase(statement.substr(24));
  if (StartsWith(statement, "CREATE DATABASE ")) databases.insert(statement.substr(16));
  return true;
}

}  // namespace bracken::testing
