#pragma once

// Whether the server written to is one node of a cluster, and the cluster's
// rules for what it takes: read once after connecting. Galera (MariaDB) and
// Group Replication (MySQL) replicate InnoDB tables only, by primary key, and
// bound the size of one transaction; a table in another engine stays on the
// node it was written to.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace bracken::target {

class MySqlConnection;

struct ClusterTraits {
  // wsrep_on is ON for this session and a Galera provider is loaded: what
  // the session writes is replicated to the other nodes.
  bool galeraNode = false;
  // The nodes of the Galera cluster this node is in (wsrep_cluster_size),
  // and this node's state ("Synced", "Donor/Desynced", ...); 0 and empty
  // off Galera.
  std::uint64_t galeraClusterSize = 0;
  std::string galeraState;
  // wsrep_mode's flags as the server lists them, e.g.
  // "REQUIRED_PRIMARY_KEY,STRICT_REPLICATION"; empty when none is set or the
  // server has no such variable (MariaDB before 10.6).
  std::string wsrepMode;
  // The most rows and bytes one transaction may write on a Galera node
  // (wsrep_max_ws_rows, wsrep_max_ws_size); 0 where there is no bound.
  std::uint64_t wsrepMaxWsRows = 0;
  std::uint64_t wsrepMaxWsSize = 0;
  // MySQL's group_replication plugin is loaded and active on this server,
  // and the most bytes one transaction may write in its group
  // (group_replication_transaction_size_limit; 0 where there is no bound).
  bool groupReplication = false;
  std::uint64_t groupTransactionSizeLimit = 0;
  // The server refuses tables without a primary key: MySQL's
  // sql_require_primary_key (for this session), MariaDB's
  // innodb_force_primary_key.
  bool sqlRequirePrimaryKey = false;
  bool innodbForcePrimaryKey = false;

  // A Galera node or a Group Replication member: only InnoDB tables reach
  // the other nodes.
  bool IsCluster() const { return galeraNode || groupReplication; }
  // A table without a primary key is refused, or (Group Replication) cannot
  // be written to.
  bool RequiresPrimaryKey() const;
  // The most rows and bytes one transaction may write on this cluster; 0
  // where there is no bound (and off a cluster).
  std::uint64_t WriteSetRowLimit() const { return galeraNode ? wsrepMaxWsRows : 0; }
  std::uint64_t WriteSetByteLimit() const {
    return galeraNode ? wsrepMaxWsSize : groupReplication ? groupTransactionSizeLimit : 0;
  }
  // wsrep_mode lists `flag` (case-insensitive).
  bool HasWsrepMode(std::string_view flag) const;
};

// One row of SHOW VARIABLES or SHOW STATUS: the name and the value as text.
struct NamedValue {
  std::string name;
  std::string value;
};

// The names the two questions ask for; a server lacking one leaves it out.
const std::vector<std::string>& ClusterVariableNames();
const std::vector<std::string>& ClusterStatusNames();

// The traits the server's answers give. Names not among those asked for are
// ignored; a server that has none of them (a single server of any kind)
// reads as all false, zero and empty.
ClusterTraits ClusterTraitsFrom(const std::vector<NamedValue>& variables,
                                const std::vector<NamedValue>& status);

// Asks the server on `connection`: one question on a single server, a second
// one (the cluster's size and this node's state) on a Galera node. nullopt
// when the server refused either; the connection's ErrorText says why.
std::optional<ClusterTraits> ReadClusterTraits(MySqlConnection& connection);

// On a Galera node, makes the session's reads wait until the node has
// applied every write the cluster committed before them (wsrep_sync_wait),
// so that a copy just made through another node is read whole. True off
// Galera, and when the server took it.
bool ReadCausally(MySqlConnection& connection, const ClusterTraits& traits);

}  // namespace bracken::target
