#pragma once

// MyISAM on a cluster node: Galera and Group Replication replicate InnoDB
// tables only, so MyISAM tables written to one node would stay on that node
// and be missing (or empty) on every other one. The command line refuses
// such a run after connecting, before any statement that changes anything.

#include <optional>
#include <string>
#include <string_view>

#include "target/server_cluster.h"

namespace bracken::cli {

// The message that refuses MyISAM tables on the cluster the traits describe,
// naming --engine InnoDB for `command` ("Convert", "Sync"); nullopt off a
// cluster.
std::optional<std::string> MyIsamOnClusterRefusal(const target::ClusterTraits& traits,
                                                  std::string_view command);

}  // namespace bracken::cli
