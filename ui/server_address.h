#pragma once

// The wizard's server field: a host name or address, optionally followed by
// ":port" (an IPv6 address then in brackets, "[::1]:3307"). Without a port
// the usual ports are searched.

#include <optional>
#include <string>

namespace bracken::ui {

struct ServerAddress {
  std::string host;
  unsigned int port = 0;  // 0: no port given
};

// Nothing when a port is given but is not a number from 1 to 65535, or a
// bracket is left open.
std::optional<ServerAddress> ParseServerAddress(const std::string& text);

}  // namespace bracken::ui
