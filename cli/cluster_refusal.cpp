#include "cli/cluster_refusal.h"

namespace bracken::cli {

std::optional<std::string> MyIsamOnClusterRefusal(const target::ClusterTraits& traits,
                                                  std::string_view command) {
  if (!traits.IsCluster()) return std::nullopt;
  std::string text;
  if (traits.galeraNode) {
    text = "The server is a node of a Galera cluster";
    if (traits.galeraClusterSize > 0) text += " of " + std::to_string(traits.galeraClusterSize);
    text += ": MyISAM tables would stay on this node only.";
  } else {
    text =
        "The server is a member of a Group Replication group: MyISAM tables would stay on this "
        "server only.";
  }
  return text + " " + std::string(command) + " with --engine InnoDB.";
}

}  // namespace bracken::cli
