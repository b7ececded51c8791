#include "cli/cluster_refusal.h"

#include "engine/connect_messages.h"

namespace bracken::cli {

std::optional<std::string> MyIsamOnClusterRefusal(const target::ClusterTraits& traits,
                                                  std::string_view command) {
  if (!traits.IsCluster()) return std::nullopt;
  return engine::MyIsamOnClusterText(traits.galeraNode, traits.galeraClusterSize) + " " +
         std::string(command) + " with --engine InnoDB.";
}

}  // namespace bracken::cli
