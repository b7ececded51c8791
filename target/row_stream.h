#pragma once

// The rows of a query read one at a time as the server sends them, so that
// memory holds one row however large the result. While a stream is open the
// connection runs nothing else.

#include <string>
#include <string_view>

struct st_mysql;
struct st_mysql_res;

namespace bracken::target {

class MySqlConnection;

class RowStream {
 public:
  explicit RowStream(MySqlConnection& connection);
  ~RowStream();
  RowStream(const RowStream&) = delete;
  RowStream& operator=(const RowStream&) = delete;

  // Sends the query; false when the server refused it (ErrorText says why).
  bool Start(const std::string& query);
  // Moves to the next row; false after the last one or when reading failed
  // (Failed() tells which).
  bool Next();
  unsigned int ColumnCount() const { return columns_; }
  bool IsNull(unsigned int column) const { return row_[column] == nullptr; }
  // The cell's bytes as the server sent them; empty for NULL.
  std::string_view Cell(unsigned int column) const {
    return row_[column] == nullptr ? std::string_view()
                                   : std::string_view(row_[column], lengths_[column]);
  }
  bool Failed() const { return failed_; }
  std::string ErrorText() const;
  // Reads and drops what the server has not sent yet, so that the connection
  // is free again.
  void Finish();

 private:
  st_mysql* handle_;
  st_mysql_res* result_ = nullptr;
  char** row_ = nullptr;
  unsigned long* lengths_ = nullptr;
  unsigned int columns_ = 0;
  bool failed_ = false;
};

}  // namespace bracken::target
