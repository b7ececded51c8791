#include "tests/support/recording_target.h"

#include "target/client_refusals.h"

namespace bracken::testing {

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The `?` outside quoted texts and names, as the server counts placeholders.
std::size_t CountPlaceholders(const std::string& statement) {
  std::size_t count = 0;
  char quote = 0;
  for (std::size_t i = 0; i < statement.size(); ++i) {
    const char c = statement[i];
    if (quote != 0) {
      if (c == '\\' && quote != '`') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '\'' || c == '"' || c == '`') {
      quote = c;
    } else if (c == '?') {
      ++count;
    }
  }
  return count;
}

}  // namespace

target::ServerTraits RecordingTarget::DefaultTraits() {
  target::ServerTraits traits;
  traits.maxAllowedPacket = std::uint64_t{1} << 30;
  traits.version = "recording target";
  return traits;
}

void RecordingTarget::Refuse(const std::string& prefix, const std::string& text, int skip,
                             unsigned int number) {
  rules_.push_back({prefix, text, skip, false, number});
}

void RecordingTarget::LoseConnectionAt(const std::string& prefix, int skip) {
  rules_.push_back({prefix, "Lost connection to server during query", skip, true, 2013});
}

bool RecordingTarget::Execute(const std::string& statement) {
  statements.push_back(statement);
  std::string refusal;
  if (statement.size() > traits.MaxStatementBytes()) {
    refusal = target::StatementTooLongText(statement.size(), traits.maxAllowedPacket);
  }
  return Answer(statement, refusal);
}

bool RecordingTarget::ExecuteWithLongValues(const std::string& statement,
                                            const std::vector<std::string_view>& values) {
  statements.push_back(statement);
  LongValueCall call{statements.size() - 1, {}, {}};
  std::string refusal;
  for (std::string_view value : values) {
    call.valueSizes.push_back(value.size());
    call.values.emplace_back(value);
    if (value.size() > traits.maxAllowedPacket && refusal.empty()) {
      refusal = target::ValueTooLongText(value.size(), traits.maxAllowedPacket);
    }
  }
  longValueCalls.push_back(std::move(call));
  const std::size_t placeholders = CountPlaceholders(statement);
  if (placeholders != values.size() && refusal.empty()) {
    refusal = target::PlaceholderMismatchText(placeholders, values.size());
  }
  return Answer(statement, refusal);
}

bool RecordingTarget::Answer(const std::string& statement, const std::string& clientRefusal) {
  lost_ = false;
  errorNumber_ = 0;
  if (gone_) {
    lost_ = true;
    error_ = "Server has gone away";
    errorNumber_ = 2006;
    return false;
  }
  if (!clientRefusal.empty()) {
    error_ = clientRefusal;
    errorNumber_ = 1153;  // a packet larger than max_allowed_packet
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
  if (StartsWith(statement, "CREATE DATABASE ") && !databases.insert(statement.substr(16)).second) {
    error_ = "Can't create database; database exists";
    errorNumber_ = 1007;
    return false;
  }
  return true;
}

}  // namespace bracken::testing
