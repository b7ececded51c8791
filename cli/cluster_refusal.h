#pragma once

// MyISAM on a cluster node: Galera and Group Replication replicate InnoDB
// tables only, so MyISAM tables written to one node would stay on that node
// and be missing (or empty) on every other one. The command line refuses
// such a run after connecting, before any statement that changes anything.

#include <optional>
#include <string>
#include <string_view>

#include "target/server_cluster.h"

namespace bracken::target {
class MySqlConnection;
}

namespace bracken::cli {

// The message that refuses MyISAM tables on the cluster the traits describe,
// naming --engine InnoDB for `command` ("Convert", "Sync"); nullopt off a
// cluster.
std::optional<std::string> MyIsamOnClusterRefusal(const target::ClusterTraits& traits,
                                                  std::string_view command);

// Asks the server on `connection` whether it is a cluster node and, when it
// is, returns the refusal. A server that does not answer is taken for a
// single server, as before the question was asked.
std::optional<std::string> MyIsamOnClusterRefusal(target::MySqlConnection& connection,
                                                  std::string_view command);

}  // namespace bracken::cli
