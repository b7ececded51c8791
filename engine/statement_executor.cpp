#include "engine/statement_executor.h"

#include "target/mysql_connection.h"

namespace bracken::engine {

bool MySqlStatementExecutor::Execute(const std::string& statement) {
  return connection_.Execute(statement);
}

std::string MySqlStatementExecutor::ErrorText() const { return connection_.ErrorText(); }

bool MySqlStatementExecutor::LastErrorWasConnectionLost() const {
  return connection_.LastErrorWasConnectionLost();
}

}  // namespace bracken::engine
