#pragma once

// A key column of Bracken's own for a table that has no primary key.
//
// Cluster nodes replicate a table's rows by their primary key (Galera and
// Group Replication want one on every table), and servers with
// sql_require_primary_key or innodb_force_primary_key refuse tables without
// one. Such a table gets one more column, created last:
//
//   `bracken_row_id` BIGINT UNSIGNED NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY
//
// INVISIBLE keeps it out of SELECT * and out of the column lists an INSERT,
// a prepared INSERT or a LOAD DATA without one of its own takes, so the row
// copy sends the table's own columns as before and the server numbers the
// rows. The table then has no other AUTO_INCREMENT column: the conversion
// gives AUTO_INCREMENT only to the first column of a primary key.
//
// The name is "bracken_row_id", or "bracken_row_id_2", ... when a column of
// the table is called so as the server compares column names. verify and
// sync recognise the column by what the conversion made (that name, BIGINT
// UNSIGNED, AUTO_INCREMENT, INVISIBLE and the primary key): they leave it out
// of the table's columns, and a column of the user's own is never taken for it.

#include <string>
#include <string_view>

#include "engine/schema/table_plan.h"
#include "target/server_cluster.h"
#include "target/server_traits.h"

namespace bracken::engine {

inline constexpr const char* kRowKeyBaseName = "bracken_row_id";

// Whether the server needs a key on every table, so that the run adds row
// keys even when not asked to: a cluster node, or a server that refuses
// (or cannot replicate) tables without a primary key.
bool ServerNeedsRowKeys(const target::ClusterTraits& cluster);

// Whether the server takes INVISIBLE columns: MariaDB 10.3 and MySQL 8.0.23
// or later, read from `traits.version`.
bool TakesInvisibleColumns(const target::ServerTraits& traits);

// Why row keys cannot be added on the server `traits` describe, naming its
// version, e.g. "the server (MySQL 5.7.44) takes no invisible columns (MariaDB
// 10.3 and MySQL 8.0.23 or later do)".
std::string NoInvisibleColumnsReason(const target::ServerTraits& traits);

// The name of the key column for the table `plan` describes: the base name,
// made unique against the table's column names as the server compares them.
std::string RowKeyColumnName(const TablePlan& plan);

// ", `name` BIGINT UNSIGNED NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY": the
// column as it follows the table's own columns in CREATE TABLE.
std::string RowKeyDefinition(const std::string& name);

// The report's line for a table created with the key column `column`.
std::string RowKeyReportLine(const std::string& table, const std::string& column);

// Whether a column the server reports (information_schema.COLUMNS) is a key
// column the conversion added: its name, COLUMN_TYPE, EXTRA and COLUMN_KEY.
bool IsRowKeyColumn(std::string_view name, std::string_view columnType, std::string_view extra,
                    std::string_view columnKey);

}  // namespace bracken::engine
