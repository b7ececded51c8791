#pragma once

// Whether a run gives tables without a primary key a key column of their
// own (engine/schema/row_key.h): asked for with --add-keys, and done
// unasked where the server needs a key on every table (a cluster node, or
// a server that refuses tables without one).

#include <optional>
#include <string>

#include "target/server_cluster.h"
#include "target/server_traits.h"

namespace bracken::cli {

struct RowKeysChoice {
  bool add = false;
  // --add-keys cannot be carried out on this server: the run is refused
  // before anything is sent, with this message.
  std::optional<std::string> refusal;
  // The server needs the keys but takes no invisible columns: the tables go
  // without them, and this line says so.
  std::optional<std::string> notice;
};

// The choice for a run against the server `server` and `cluster` describe
// (for a dump file: the server it is written for, and no cluster), with
// `asked` when --add-keys was given.
RowKeysChoice ChooseRowKeys(bool asked, const target::ClusterTraits& cluster,
                            const target::ServerTraits& server);

}  // namespace bracken::cli
