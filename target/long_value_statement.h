#pragma once

// One statement whose `?` placeholders take values sent apart from its text
// as long data, in pieces: no value counts against max_allowed_packet
// together with the statement or the other values, so a row whose literal
// text would be too long for one packet still goes when each value alone
// fits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct st_mysql;

namespace bracken::target {

// Why the server or the client refused the statement, in the server's words
// where it gave them, with its error number (0 for the client's own checks).
struct StatementFailure {
  std::string text;
  unsigned int code = 0;
};

// The longest piece of a value sent in one packet: 1 MiB, or half the
// server's max_allowed_packet where that is less.
inline constexpr std::size_t kLongDataPieceBytes = std::size_t{1} << 20;
std::size_t LongDataPieceBytes(std::uint64_t maxAllowedPacket);

// Prepares `statement` on `handle`, sends `values` in order as bytes (no
// character set conversion: a text column checks that they are well-formed
// utf8mb4 or utf8) and executes it. A value longer than `maxAllowedPacket` is
// refused before anything is sent. nullopt when the server accepted it.
std::optional<StatementFailure> ExecuteWithLongValues(st_mysql* handle,
                                                      const std::string& statement,
                                                      const std::vector<std::string_view>& values,
                                                      std::uint64_t maxAllowedPacket);

}  // namespace bracken::target
