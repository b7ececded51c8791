#include "target/result_rows.h"

#include <mysql.h>
#include <strings.h>

#include <memory>

namespace bracken::target {

int ResultRows::ColumnIndex(const std::string& name) const {
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (strcasecmp(columns[i].c_str(), name.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

std::optional<ResultRows> FetchRows(st_mysql* handle, const std::string& query) {
  if (mysql_real_query(handle, query.data(), query.size()) != 0) return std::nullopt;
  std::unique_ptr<MYSQL_RES, decltype(&mysql_free_result)> result(mysql_store_result(handle),
                                                                  &mysql_free_result);
  if (!result) return std::nullopt;
  ResultRows out;
  const unsigned int count = mysql_num_fields(result.get());
  MYSQL_FIELD* fields = mysql_fetch_fields(result.get());
  for (unsigned int i = 0; i < count; ++i) out.columns.emplace_back(fields[i].name);
  while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
    unsigned long* lengths = mysql_fetch_lengths(result.get());
    std::vector<std::string>& cells = out.rows.emplace_back();
    for (unsigned int i = 0; i < count; ++i) {
      cells.push_back(row[i] ? std::string(row[i], lengths[i]) : std::string());
    }
  }
  return out;
}

}  // namespace bracken::target
