#include "target/long_value_statement.h"

#include <mysql.h>

#include <algorithm>
#include <memory>

#include "target/client_refusals.h"

namespace bracken::target {

namespace {

using StatementHandle = std::unique_ptr<MYSQL_STMT, decltype(&mysql_stmt_close)>;

StatementFailure FailureOf(MYSQL_STMT* statement) {
  return {mysql_stmt_error(statement), mysql_stmt_errno(statement)};
}

std::optional<StatementFailure> CheckSizes(const std::vector<std::string_view>& values,
                                           std::uint64_t maxAllowedPacket) {
  for (std::string_view value : values) {
    if (value.size() > maxAllowedPacket) {
      return StatementFailure{ValueTooLongText(value.size(), maxAllowedPacket), 0};
    }
  }
  return std::nullopt;
}

// Every placeholder is bound as bytes whose content arrives as long data.
bool BindAsLongData(MYSQL_STMT* statement, std::size_t count) {
  if (count == 0) return true;
  std::vector<MYSQL_BIND> binds(count);
  for (MYSQL_BIND& bind : binds) bind.buffer_type = MYSQL_TYPE_LONG_BLOB;
  return mysql_stmt_bind_param(statement, binds.data()) == 0;
}

// An empty value still goes once, so that the server takes it as given.
bool SendValue(MYSQL_STMT* statement, unsigned int index, std::string_view value,
               std::size_t pieceBytes) {
  const char* data = value.empty() ? "" : value.data();
  std::size_t offset = 0;
  do {
    const std::size_t length = std::min(pieceBytes, value.size() - offset);
    if (mysql_stmt_send_long_data(statement, index, data + offset, length) != 0) {
      return false;
    }
    offset += length;
  } while (offset < value.size());
  return true;
}

}  // namespace

std::size_t LongDataPieceBytes(std::uint64_t maxAllowedPacket) {
  // A piece and its packet header stay well inside the server's packet limit.
  const std::uint64_t half = std::max<std::uint64_t>(maxAllowedPacket / 2, 1);
  return static_cast<std::size_t>(std::min<std::uint64_t>(kLongDataPieceBytes, half));
}

std::optional<StatementFailure> ExecuteWithLongValues(st_mysql* handle, const std::string& text,
                                                      const std::vector<std::string_view>& values,
                                                      std::uint64_t maxAllowedPacket) {
  if (auto tooLong = CheckSizes(values, maxAllowedPacket)) return tooLong;
  StatementHandle statement(mysql_stmt_init(handle), &mysql_stmt_close);
  if (!statement) return StatementFailure{mysql_error(handle), mysql_errno(handle)};
  MYSQL_STMT* s = statement.get();
  if (mysql_stmt_prepare(s, text.data(), text.size()) != 0) return FailureOf(s);
  const std::size_t placeholders = mysql_stmt_param_count(s);
  if (placeholders != values.size()) {
    return StatementFailure{PlaceholderMismatchText(placeholders, values.size()), 0};
  }
  if (!BindAsLongData(s, values.size())) return FailureOf(s);
  const std::size_t pieceBytes = LongDataPieceBytes(maxAllowedPacket);
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (!SendValue(s, static_cast<unsigned int>(i), values[i], pieceBytes)) return FailureOf(s);
  }
  if (mysql_stmt_execute(s) != 0) return FailureOf(s);
  return std::nullopt;
}

}  // namespace bracken::target
