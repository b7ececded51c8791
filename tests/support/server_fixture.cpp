#include "tests/support/server_fixture.h"

#include <random>

namespace bracken::testing {

void ServerFixture::SetUp() {
  auto found = TestServerFromEnvironment();
  if (!found) GTEST_SKIP() << kNoServerMessage;
  server_ = *found;
  database_ = std::make_unique<ScratchDatabase>(server_, CurrentTestDatabaseName("t"));
  BeforeConnecting();
  if (HasFatalFailure() || IsSkipped()) return;
  ASSERT_EQ(connection_.Connect(server_.host, server_.user, server_.password),
            target::MySqlConnection::ConnectResult::Connected)
      << connection_.ErrorText();
  Run("USE " + database_->Quoted());
}

void ServerFixture::TearDown() { connection_.Close(); }

void ServerFixture::Run(const std::string& statement) {
  ASSERT_TRUE(connection_.Execute(statement)) << connection_.ErrorText() << "\n"
                                              << statement.substr(0, 200);
}

Cell ServerFixture::ReadValue(const std::string& query) {
  return ServerQuery(server_, database_->name()).Value(query);
}

std::string RandomBytes(std::size_t size, unsigned int seed) {
  std::mt19937 generator(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(generator() & 0xFF);
  return bytes;
}

}  // namespace bracken::testing
