#include "target/server_cluster.h"

#include <cctype>
#include <charconv>

#include "target/mysql_connection.h"

namespace bracken::target {

namespace {

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// A boolean variable as SHOW VARIABLES writes it ("ON", "OFF", "1", "0").
bool IsOn(std::string_view value) { return SameName(value, "ON") || value == "1"; }

// A count; 0 for anything that is not one.
std::uint64_t Count(std::string_view value) {
  std::uint64_t n = 0;
  const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), n);
  return error == std::errc() && end == value.data() + value.size() ? n : 0;
}

const std::string* Find(const std::vector<NamedValue>& values, std::string_view name) {
  for (const NamedValue& value : values) {
    if (SameName(value.name, name)) return &value.value;
  }
  return nullptr;
}

// "SHOW <scope> <kind> WHERE Variable_name IN ('a', 'b')": works alike on
// MariaDB and MySQL, and leaves out what the server does not have, where
// @@a would refuse the whole query.
std::string ShowQuery(std::string_view what, const std::vector<std::string>& names) {
  std::string query = "SHOW " + std::string(what) + " WHERE Variable_name IN (";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) query += ", ";
    query += "'" + names[i] + "'";
  }
  return query + ")";
}

std::optional<std::vector<NamedValue>> AskNamedValues(MySqlConnection& connection,
                                                      const std::string& query) {
  auto rows = connection.QueryRows(query);
  if (!rows) return std::nullopt;
  std::vector<NamedValue> values;
  for (const auto& row : *rows) {
    if (row.size() >= 2) values.push_back({row[0], row[1]});
  }
  return values;
}

}  // namespace

bool ClusterTraits::RequiresPrimaryKey() const {
  return sqlRequirePrimaryKey || innodbForcePrimaryKey || groupReplication ||
         (galeraNode && HasWsrepMode("REQUIRED_PRIMARY_KEY"));
}

bool ClusterTraits::HasWsrepMode(std::string_view flag) const {
  std::string_view rest = wsrepMode;
  while (!rest.empty()) {
    const std::size_t comma = rest.find(',');
    if (SameName(rest.substr(0, comma), flag)) return true;
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

const std::vector<std::string>& ClusterVariableNames() {
  // A plugin's variables exist only while it is loaded and active, so
  // group_replication_group_name tells that Group Replication is.
  static const std::vector<std::string> kNames = {"wsrep_on",
                                                  "wsrep_provider",
                                                  "wsrep_mode",
                                                  "wsrep_max_ws_rows",
                                                  "wsrep_max_ws_size",
                                                  "group_replication_group_name",
                                                  "group_replication_transaction_size_limit",
                                                  "sql_require_primary_key",
                                                  "innodb_force_primary_key"};
  return kNames;
}

const std::vector<std::string>& ClusterStatusNames() {
  static const std::vector<std::string> kNames = {"wsrep_cluster_size",
                                                  "wsrep_local_state_comment"};
  return kNames;
}

ClusterTraits ClusterTraitsFrom(const std::vector<NamedValue>& variables,
                                const std::vector<NamedValue>& status) {
  ClusterTraits traits;
  const auto variable = [&](std::string_view name) {
    const std::string* found = Find(variables, name);
    return found != nullptr ? std::string_view(*found) : std::string_view();
  };
  const std::string_view provider = variable("wsrep_provider");
  traits.galeraNode =
      IsOn(variable("wsrep_on")) && !provider.empty() && !SameName(provider, "none");
  traits.groupReplication = Find(variables, "group_replication_group_name") != nullptr;
  if (traits.groupReplication) {
    traits.groupTransactionSizeLimit = Count(variable("group_replication_transaction_size_limit"));
  }
  traits.sqlRequirePrimaryKey = IsOn(variable("sql_require_primary_key"));
  traits.innodbForcePrimaryKey = IsOn(variable("innodb_force_primary_key"));
  if (!traits.galeraNode) return traits;
  traits.wsrepMode = variable("wsrep_mode");
  traits.wsrepMaxWsRows = Count(variable("wsrep_max_ws_rows"));
  traits.wsrepMaxWsSize = Count(variable("wsrep_max_ws_size"));
  if (const std::string* size = Find(status, "wsrep_cluster_size")) {
    traits.galeraClusterSize = Count(*size);
  }
  if (const std::string* state = Find(status, "wsrep_local_state_comment")) {
    traits.galeraState = *state;
  }
  return traits;
}

std::optional<ClusterTraits> ReadClusterTraits(MySqlConnection& connection) {
  // SESSION: wsrep_on and sql_require_primary_key may differ for this
  // session, and what this session writes is what counts.
  auto variables =
      AskNamedValues(connection, ShowQuery("SESSION VARIABLES", ClusterVariableNames()));
  if (!variables) return std::nullopt;
  std::vector<NamedValue> status;
  if (ClusterTraitsFrom(*variables, {}).galeraNode) {
    auto asked = AskNamedValues(connection, ShowQuery("GLOBAL STATUS", ClusterStatusNames()));
    if (!asked) return std::nullopt;
    status = std::move(*asked);
  }
  return ClusterTraitsFrom(*variables, status);
}

bool ReadCausally(MySqlConnection& connection, const ClusterTraits& traits) {
  if (!traits.galeraNode) return true;
  return connection.Execute("SET SESSION wsrep_sync_wait = 1");
}

}  // namespace bracken::target
