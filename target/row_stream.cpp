#include "target/row_stream.h"

#include <mysql.h>

#include "target/mysql_connection.h"

namespace bracken::target {

RowStream::RowStream(MySqlConnection& connection) : handle_(connection.handle_) {}

RowStream::~RowStream() { Finish(); }

bool RowStream::Start(const std::string& query) {
  Finish();
  failed_ = false;
  if (handle_ == nullptr || mysql_real_query(handle_, query.data(), query.size()) != 0) {
    failed_ = true;
    return false;
  }
  result_ = mysql_use_result(handle_);
  if (result_ == nullptr) {
    failed_ = true;
    return false;
  }
  columns_ = mysql_num_fields(result_);
  return true;
}

bool RowStream::Next() {
  if (result_ == nullptr) return false;
  row_ = mysql_fetch_row(result_);
  if (row_ == nullptr) {
    failed_ = mysql_errno(handle_) != 0;
    return false;
  }
  lengths_ = mysql_fetch_lengths(result_);
  return true;
}

std::string RowStream::ErrorText() const {
  return handle_ != nullptr ? mysql_error(handle_) : "Not connected to the MySQL server.";
}

void RowStream::Finish() {
  if (result_ == nullptr) return;
  while (mysql_fetch_row(result_) != nullptr) {
  }
  mysql_free_result(result_);
  result_ = nullptr;
  row_ = nullptr;
}

}  // namespace bracken::target
