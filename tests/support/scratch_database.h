#pragma once

// A database of the test server that lives as long as the object: made
// afresh (dropped first if an earlier run left it) and dropped at the end.

#include <string>

#include "tests/support/test_server.h"

namespace bracken::testing {

class ScratchDatabase {
 public:
  // `name` unquoted; tests that ctest runs side by side need distinct names.
  ScratchDatabase(const TestServer& server, std::string name);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  const std::string& name() const { return name_; }
  // "`name`", for statements.
  std::string Quoted() const { return "`" + name_ + "`"; }

 private:
  TestServer server_;
  std::string name_;
};

// A database name made of the running test's suite and test names.
std::string CurrentTestDatabaseName(const std::string& prefix);

}  // namespace bracken::testing
