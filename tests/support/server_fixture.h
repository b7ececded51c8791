#pragma once

// A test with a database of its own on the test server and the program's
// connection to it, already in that database. Skips when no server is named.
// A derived fixture changes the server before the connection opens by
// overriding BeforeConnecting.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "target/mysql_connection.h"
#include "tests/support/scratch_database.h"
#include "tests/support/server_query.h"
#include "tests/support/test_server.h"

namespace bracken::testing {

class ServerFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  virtual void BeforeConnecting() {}

  // Runs a statement on the connection under test; fails the test if refused.
  void Run(const std::string& statement);
  // The one value of a query, read on a separate plain connection in the
  // test's database.
  Cell ReadValue(const std::string& query);

  TestServer server_;
  std::unique_ptr<ScratchDatabase> database_;
  target::MySqlConnection connection_;
};

// `size` bytes of every value, the same for the same seed.
std::string RandomBytes(std::size_t size, unsigned int seed);

}  // namespace bracken::testing
