#pragma once

// The traits of a server the run does not reach (a dump file), made up from
// the version the file is meant for, so that the server choices of the
// statements (collations, statement sizes) are ones that server accepts.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "target/server_traits.h"

namespace bracken::target {

// The oldest server Bracken supports: the version a dump file is written
// for unless another is named.
inline constexpr const char* kOldestServerVersion = "mysql-5.7";

// What the mariadb and mysql clients send by default: a file they replay
// holds no longer statement, whatever the server takes.
inline constexpr std::uint64_t kClientPacketBytes = std::uint64_t{16} * 1024 * 1024;

// Traits for a version written "[mariadb-|mysql-]MAJOR.MINOR[.PATCH]"; a
// bare 10.x or later is MariaDB, 5.x, 8.x and 9.x are MySQL. The packet
// limit is the server's default for that version, at most the 16 MiB the
// clients that replay a file send by default. Nothing for a version that
// cannot be read.
std::optional<ServerTraits> AssumedServerTraits(std::string_view version);

}  // namespace bracken::target
