#pragma once

// Sets GLOBAL variables of the test server for as long as it lives, through a
// connection of its own, and puts the earlier values back when it goes.
// Sessions opened meanwhile start from the new values; sessions opened before
// keep theirs. Only tests that run alone (RUN_SERIAL, as the hostile tests do)
// may use it: every other session on the server sees the change.

#include <string>
#include <utility>
#include <vector>

#include "tests/support/test_server.h"

struct st_mysql;

namespace bracken::testing {

class ScopedServerGlobals {
 public:
  // Each setting is a variable name and an SQL expression for its value
  // ("4194304", "CONCAT(@@GLOBAL.sql_mode, ',NO_BACKSLASH_ESCAPES')").
  // Throws std::runtime_error when the server refuses one; the ones already
  // set are put back first.
  using Setting = std::pair<std::string, std::string>;
  ScopedServerGlobals(const TestServer& server, const std::vector<Setting>& settings);
  ~ScopedServerGlobals();
  ScopedServerGlobals(const ScopedServerGlobals&) = delete;
  ScopedServerGlobals& operator=(const ScopedServerGlobals&) = delete;

 private:
  void Set(const Setting& setting);
  void RestoreAll();
  std::string Query(const std::string& query);
  void Run(const std::string& statement);

  ::st_mysql* handle_;
  // The variables changed so far and their earlier values as SQL literals.
  std::vector<Setting> earlier_;
};

}  // namespace bracken::testing
