#include "tests/engine/server_conversion.h"

#include <gtest/gtest.h>

#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "target/mysql_connection.h"
#include "tests/support/recording_owner.h"

namespace bracken::engine {

ServerConversion ConvertAll(const testing::TestServer& server, ConversionSource& source,
                            const std::vector<std::string>& tables, const std::string& database,
                            const std::function<void(testing::RecordingOwner&)>& prepare) {
  target::MySqlConnection connection;
  EXPECT_EQ(connection.Connect(server.host, server.user, server.password),
            target::MySqlConnection::ConnectResult::Connected);
  MySqlStatementExecutor executor(connection);
  ConversionContext context(executor, source);
  context.carryQueries = false;
  testing::RecordingOwner owner;
  owner.SetTables(tables, std::vector<bool>(tables.size(), true));
  owner.SetDestinationName(database);
  if (prepare) prepare(owner);
  ServerConversion result;
  result.summary = RunConversion(owner, context);
  result.messages = owner.messages;
  result.reportLines = owner.reportLines;
  result.reportMessage = owner.reportMessage;
  return result;
}

}  // namespace bracken::engine
