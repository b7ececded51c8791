#include "tests/support/recording_target.h"

namespace bracken::testing {

namespace {
bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}
}  // namespace

void RecordingTarget::Refuse(const std::string& prefix, const std::string& text, int skip,
                             unsigned int number) {
  rules_.push_back({prefix, text, skip, false, number});
}

void RecordingTarget::LoseConnectionAt(const std::string& prefix, int skip) {
  rules_.push_back({prefix, "Lost connection to server during query", skip, true, 2013});
}

bool RecordingTarget::ExecuteWithLongValues(const std::string& statement,
                                            const std::vector<engine::LongValue>& values) {
  std::string sizes;
  for (const engine::LongValue& value : values) {
    sizes += (sizes.empty() ? "" : ", ") + std::to_string(value.bytes.size()) + " bytes";
  }
  return Execute(statement + " [" + sizes + "]");
}

bool RecordingTarget::Execute(const std::string& statement) {
  statements.push_back(statement);
  lost_ = false;
  errorNumber_ = 0;
  if (gone_) {
    lost_ = true;
    error_ = "Server has gone away";
    errorNumber_ = 2006;
    return false;
  }
  for (Rule& rule : rules_) {
    if (!StartsWith(statement, rule.prefix)) continue;
    if (rule.skip > 0) {
      --rule.skip;
      continue;
    }
    error_ = rule.text;
    errorNumber_ = rule.number;
    lost_ = rule.lose;
    gone_ = rule.lose;
    return false;
  }
  if (StartsWith(statement, "USE ")) {
    if (databases.count(statement.substr(4))) return true;
    error_ = "Unknown database";
    errorNumber_ = 1049;
    return false;
  }
  if (StartsWith(statement, "DROP DATABASE IF EXISTS ")) databases.erase(statement.substr(24));
  if (StartsWith(statement, "CREATE DATABASE ")) {
    if (!databases.insert(statement.substr(16)).second) {
      error_ = "Can't create database; database exists";
      errorNumber_ = 1007;
      return false;
    }
  }
  return true;
}

}  // namespace bracken::testing
