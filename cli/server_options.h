#pragma once

// How a command reaches the server, named as the mysql client names it:
// --port, --socket, --ssl-mode, --ssl-ca and --connect-timeout, with
// MYSQL_TCP_PORT and MYSQL_UNIX_PORT from the environment (an option wins
// over the environment). Without a port, 3306 to 3309 are tried in turn.

#include <optional>
#include <string>
#include <vector>

#include "target/mysql_connection.h"

namespace bracken::cli {

struct ServerOptions {
  std::optional<std::string> port, socket, sslMode, sslCa, connectTimeout;
};

// Takes args[i] (and its value, "--name=value" or "--name value") when it is
// one of the options above; throws std::runtime_error when its value is
// missing.
bool TakeServerOption(const std::vector<std::string>& args, std::size_t& i, ServerOptions& options);

// The connection options, the environment filling in what the options leave
// out. Throws std::runtime_error naming the option or variable whose value
// is not valid.
target::ConnectOptions ResolveServerOptions(const ServerOptions& options);

// The lines of a command's usage text that describe them.
inline constexpr const char* kServerOptionsHelp =
    "Server options, as the mysql client names them:\n"
    "  --port N             only port N is tried (else MYSQL_TCP_PORT, else 3306 to 3309)\n"
    "  --socket PATH        the Unix socket for host \"localhost\" (else MYSQL_UNIX_PORT)\n"
    "  --ssl-mode MODE      DISABLED, PREFERRED, REQUIRED, VERIFY_CA or VERIFY_IDENTITY\n"
    "                       (default: the client library's; with --ssl-ca, VERIFY_CA)\n"
    "  --ssl-ca FILE        the certificate authorities to check the server against\n"
    "  --connect-timeout N  seconds to wait for each port to answer (default 10)\n"
    "A statement whose answer takes longer than an hour ends the run as a lost\n"
    "connection does.\n\n";

}  // namespace bracken::cli
