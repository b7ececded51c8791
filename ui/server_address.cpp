#include "ui/server_address.h"

#include <algorithm>

namespace bracken::ui {

namespace {

std::optional<unsigned int> ParsePort(const std::string& digits) {
  if (digits.empty() || digits.size() > 5) return std::nullopt;
  if (!std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  const unsigned long port = std::stoul(digits);
  if (port < 1 || port > 65535) return std::nullopt;
  return static_cast<unsigned int>(port);
}

std::optional<ServerAddress> WithPort(std::string host, const std::string& digits) {
  const std::optional<unsigned int> port = ParsePort(digits);
  if (!port) return std::nullopt;
  return ServerAddress{std::move(host), *port};
}

}  // namespace

std::optional<ServerAddress> ParseServerAddress(const std::string& text) {
  if (!text.empty() && text.front() == '[') {
    const std::size_t close = text.find(']');
    if (close == std::string::npos) return std::nullopt;
    std::string host = text.substr(1, close - 1);
    const std::string rest = text.substr(close + 1);
    if (rest.empty()) return ServerAddress{std::move(host), 0};
    if (rest.front() != ':') return std::nullopt;
    return WithPort(std::move(host), rest.substr(1));
  }
  const std::size_t colon = text.find(':');
  // No colon: a name; more than one: an IPv6 address without a port.
  if (colon == std::string::npos || text.find(':', colon + 1) != std::string::npos) {
    return ServerAddress{text, 0};
  }
  return WithPort(text.substr(0, colon), text.substr(colon + 1));
}

}  // namespace bracken::ui
