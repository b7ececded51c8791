#include "cli/server_options.h"

#include <cctype>
#include <charconv>
#include <cstdlib>
#include <stdexcept>

#include "cli/command_arguments.h"

namespace bracken::cli {

namespace {

bool TakeOne(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
             std::optional<std::string>& value) {
  std::string taken;
  if (!TakeValue(args, i, name, taken)) return false;
  value = std::move(taken);
  return true;
}

// A whole decimal number from `low` to `high`.
unsigned int Number(const std::string& text, unsigned int low, unsigned int high,
                    const std::string& what) {
  unsigned int n = 0;
  auto result = std::from_chars(text.data(), text.data() + text.size(), n);
  if (text.empty() || result.ec != std::errc() || result.ptr != text.data() + text.size() ||
      n < low || n > high) {
    throw std::runtime_error(what + " must be a number from " + std::to_string(low) + " to " +
                             std::to_string(high) + ", not '" + text + "'");
  }
  return n;
}

std::optional<std::string> Environment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

}  // namespace

bool TakeServerOption(const std::vector<std::string>& args, std::size_t& i,
                      ServerOptions& options) {
  return TakeOne(args, i, "--port", options.port) || TakeOne(args, i, "--socket", options.socket) ||
         TakeOne(args, i, "--ssl-mode", options.sslMode) ||
         TakeOne(args, i, "--ssl-ca", options.sslCa) ||
         TakeOne(args, i, "--connect-timeout", options.connectTimeout);
}

target::ConnectOptions ResolveServerOptions(const ServerOptions& options) {
  target::ConnectOptions resolved;
  if (options.port) {
    resolved.port = Number(*options.port, 1, 65535, "--port");
  } else if (auto port = Environment("MYSQL_TCP_PORT")) {
    resolved.port = Number(*port, 1, 65535, "MYSQL_TCP_PORT");
  }
  if (options.socket) {
    if (options.socket->empty()) throw std::runtime_error("--socket needs a path");
    resolved.socket = *options.socket;
  } else if (auto socket = Environment("MYSQL_UNIX_PORT")) {
    resolved.socket = *socket;
  }
  if (options.sslMode) {
    std::string mode;
    for (char c : *options.sslMode)
      mode += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (mode.empty() || !target::IsSslMode(mode)) {
      throw std::runtime_error(
          "--ssl-mode must be DISABLED, PREFERRED, REQUIRED, VERIFY_CA or VERIFY_IDENTITY, not '" +
          *options.sslMode + "'");
    }
    resolved.sslMode = mode;
  }
  if (options.sslCa) {
    if (options.sslCa->empty()) throw std::runtime_error("--ssl-ca needs a file");
    if (resolved.sslMode == "DISABLED") {
      throw std::runtime_error("--ssl-ca makes no sense with --ssl-mode=DISABLED");
    }
    resolved.sslCa = *options.sslCa;
  }
  if (options.connectTimeout) {
    resolved.connectTimeoutSeconds = Number(*options.connectTimeout, 1, 3600, "--connect-timeout");
  }
  return resolved;
}

}  // namespace bracken::cli
