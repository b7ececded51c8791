#pragma once

// Tests against a server whose global settings work against the conversion:
// NO_BACKSLASH_ESCAPES in the global sql_mode and a 4 MiB packet limit. The
// settings hold from before the connection under test opens until the test
// ends, then the earlier ones come back; this program's tests run alone
// (RUN_SERIAL) because every session on the server sees them.
//
// A new test derives from HostileServer and finds server_, database_ and
// connection_ ready (see tests/support/server_fixture.h); a whole conversion
// runs through an engine::MySqlStatementExecutor over connection_.

#include <cstdint>
#include <memory>

#include "tests/support/scoped_server_globals.h"
#include "tests/support/server_fixture.h"

namespace bracken::testing {

class HostileServer : public ServerFixture {
 protected:
  static constexpr std::uint64_t kPacketLimit = std::uint64_t{4} << 20;

  void BeforeConnecting() override {
    globals_ = std::make_unique<ScopedServerGlobals>(
        server_, std::vector<ScopedServerGlobals::Setting>{
                     {"sql_mode", "CONCAT(@@GLOBAL.sql_mode, ',NO_BACKSLASH_ESCAPES')"},
                     {"max_allowed_packet", std::to_string(kPacketLimit)}});
  }
  void TearDown() override {
    ServerFixture::TearDown();
    globals_.reset();
  }

  std::unique_ptr<ScopedServerGlobals> globals_;
};

}  // namespace bracken::testing
