#include "engine/output/statement_executor.h"

#include "engine/rows/value_literal.h"
#include "target/mysql_connection.h"

namespace bracken::engine {

std::optional<long long> StatementExecutor::CountRows(const std::string&) { return std::nullopt; }

std::optional<long long> StatementExecutor::CountRowsWhere(const std::string&, const std::string&) {
  return std::nullopt;
}

std::optional<target::DatabaseRights> StatementExecutor::RightsOn(const std::string&) {
  return std::nullopt;
}

std::optional<long long> StatementExecutor::CountTables(const std::string&) { return std::nullopt; }

bool MySqlStatementExecutor::Execute(const std::string& statement) {
  return connection_.Execute(statement);
}

bool MySqlStatementExecutor::ExecuteWithLongValues(const std::string& statementWithPlaceholders,
                                                   const std::vector<std::string_view>& values) {
  return connection_.ExecuteWithLongValues(statementWithPlaceholders, values);
}

target::LocalLoadResult MySqlStatementExecutor::LoadFromStream(const std::string& statement,
                                                               target::LocalLoadStream& stream,
                                                               target::LocalLoadCounts& counts) {
  return connection_.LoadFromStream(statement, stream, counts);
}

const target::ServerTraits& MySqlStatementExecutor::Traits() const { return connection_.Traits(); }

std::string MySqlStatementExecutor::ErrorText() const { return connection_.ErrorText(); }

bool MySqlStatementExecutor::LastErrorWasConnectionLost() const {
  return connection_.LastErrorWasConnectionLost();
}

unsigned int MySqlStatementExecutor::LastErrorNumber() const {
  return connection_.LastErrorNumber();
}

std::optional<long long> MySqlStatementExecutor::CountRows(const std::string& quotedName) {
  auto rows = connection_.QueryRows("SELECT COUNT(*) FROM " + quotedName);
  if (!rows || rows->empty() || rows->front().empty()) return std::nullopt;
  return std::stoll(rows->front().front());
}

std::optional<long long> MySqlStatementExecutor::CountRowsWhere(const std::string& quotedName,
                                                                const std::string& condition) {
  auto rows = connection_.QueryRows("SELECT COUNT(*) FROM " + quotedName + " WHERE " + condition);
  if (!rows || rows->empty() || rows->front().empty()) return std::nullopt;
  try {
    return std::stoll(rows->front().front());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::optional<target::DatabaseRights> MySqlStatementExecutor::RightsOn(const std::string& name) {
  auto grants = target::ReadLoginGrants(
      [this](const std::string& query) -> std::optional<std::vector<std::string>> {
        auto rows = connection_.QueryRows(query);
        if (!rows) return std::nullopt;
        std::vector<std::string> lines;
        for (const auto& row : *rows) {
          if (row.empty()) return std::nullopt;
          lines.push_back(row.front());
        }
        return lines;
      });
  if (!grants) return std::nullopt;
  return grants->On(name);
}

std::optional<long long> MySqlStatementExecutor::CountTables(const std::string& name) {
  auto rows = connection_.QueryRows(
      "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + EscapeText(name) +
      "'");
  if (!rows || rows->empty() || rows->front().empty()) return std::nullopt;
  try {
    return std::stoll(rows->front().front());
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void MySqlStatementExecutor::StartStatement(const std::string& statement) {
  connection_.StartQuery(statement);
}

bool MySqlStatementExecutor::FinishStatement() { return connection_.FinishQuery(); }

}  // namespace bracken::engine
