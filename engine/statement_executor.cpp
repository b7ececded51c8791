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

unsigned int MySqlStatementExecutor::LastErrorNumber() const {
  return connection_.LastErrorNumber();
}

std::size_t MySqlStatementExecutor::MaxStatementBytes() const { return std::size_t{1} << 30; }

bool MySqlStatementExecutor::ExecuteWithLongValues(const std::string&,
                                                   const std::vector<LongValue>&) {
  return false;
}

}  // namespace bracken::engine
