#include "engine/schema/row_key.h"

#include <algorithm>
#include <charconv>

#include "engine/run_report.h"
#include "engine/schema/identifier.h"
#include "engine/schema/name_spelling.h"

namespace bracken::engine {

namespace {

std::string AsciiLower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// "MAJOR.MINOR[.PATCH]" at the start of @@version; false when it does not
// start so.
bool ReadVersion(std::string_view text, int& major, int& minor, int& patch) {
  int* parts[] = {&major, &minor, &patch};
  patch = 0;
  for (int i = 0; i < 3; ++i) {
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), *parts[i]);
    if (error != std::errc() || end == text.data()) return i == 2;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    if (text.empty() || text.front() != '.') return i >= 1;
    text.remove_prefix(1);
  }
  return true;
}

// The server's version as the messages name it: "MariaDB 10.2.44", "MySQL 5.7.44".
std::string ServerName(const target::ServerTraits& traits) {
  std::string version = traits.version.substr(0, traits.version.find('-'));
  if (version.empty()) version = "of unknown version";
  return (traits.isMariaDb ? "MariaDB " : "MySQL ") + version;
}

}  // namespace

bool ServerNeedsRowKeys(const target::ClusterTraits& cluster) {
  return cluster.IsCluster() || cluster.RequiresPrimaryKey();
}

bool TakesInvisibleColumns(const target::ServerTraits& traits) {
  int major = 0, minor = 0, patch = 0;
  if (!ReadVersion(traits.version, major, minor, patch)) return false;
  if (traits.isMariaDb) return major > 10 || (major == 10 && minor >= 3);
  if (major != 8) return major > 8;
  return minor > 0 || patch >= 23;
}

std::string NoInvisibleColumnsReason(const target::ServerTraits& traits) {
  return "the server (" + ServerName(traits) +
         ") takes no invisible columns (MariaDB 10.3 and MySQL 8.0.23 or later do)";
}

std::string RowKeyColumnName(const TablePlan& plan) {
  NameRegistry names(true);
  for (const ColumnPlan& column : plan.columns) names.Claim(column.targetName, "");
  return names.Claim(kRowKeyBaseName, kRowKeyBaseName);
}

std::string RowKeyDefinition(const std::string& name) {
  return ", " + QuoteIdentifier(name) +
         " BIGINT UNSIGNED NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY";
}

std::string RowKeyReportLine(const std::string& table, const std::string& column) {
  return "Table " + Bracketed(table) + " has no primary key: it is created with the invisible " +
         "key column " + Bracketed(column) + " (numbered by the server, left out of SELECT *).";
}

bool IsRowKeyColumn(std::string_view name, std::string_view columnType, std::string_view extra,
                    std::string_view columnKey) {
  const std::string lowerName = AsciiLower(name);
  const std::string_view base = kRowKeyBaseName;
  if (lowerName.compare(0, base.size(), base) != 0) return false;
  const std::string_view suffix = std::string_view(lowerName).substr(base.size());
  if (!suffix.empty()) {
    // "_2", "_3", ...: the names NameRegistry gives after the base.
    if (suffix.size() < 2 || suffix[0] != '_' || suffix[1] == '0' ||
        !std::all_of(suffix.begin() + 1, suffix.end(),
                     [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
  }
  const std::string type = AsciiLower(columnType);
  const std::string flags = AsciiLower(extra);
  return type.rfind("bigint", 0) == 0 && type.find("unsigned") != std::string::npos &&
         flags.find("auto_increment") != std::string::npos &&
         flags.find("invisible") != std::string::npos && AsciiLower(columnKey) == "pri";
}

}  // namespace bracken::engine
