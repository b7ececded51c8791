#pragma once

// The rows of a small query the connection asks for itself (the server's
// settings and lists), fetched whole.

#include <optional>
#include <string>
#include <vector>

struct st_mysql;

namespace bracken::target {

struct ResultRows {
  std::vector<std::string> columns;
  // Each cell as text; NULL arrives as an empty text.
  std::vector<std::vector<std::string>> rows;

  // The index of the named column (compared ignoring case), or -1.
  int ColumnIndex(const std::string& name) const;
};

// Runs `query` on `handle` and fetches all of its rows; nullopt when the
// server refused it or sent no result (mysql_error tells why).
std::optional<ResultRows> FetchRows(st_mysql* handle, const std::string& query);

}  // namespace bracken::target
