#include "cli/command_arguments.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

#include "cli/secret_arguments.h"
#include "cli/terminal_prompt.h"

namespace bracken::cli {

bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value) {
  const std::string& arg = args[i];
  if (arg.rfind(name + "=", 0) == 0) {
    value = arg.substr(name.size() + 1);
    return true;
  }
  if (arg != name) return false;
  if (i + 1 >= args.size()) throw std::runtime_error(name + " needs a value");
  value = args[++i];
  return true;
}

void Unexpected(const std::vector<std::string>& args, std::size_t i) {
  if (FollowsPasswordOption(args, i)) {
    throw std::runtime_error("unexpected argument after " + args[i - 1] +
                             " (not shown; write --password=P, or --password alone to be asked)");
  }
  throw std::runtime_error("unexpected argument '" + EscapeControls(args[i]) + "'");
}

std::string MySqlPassword(const std::optional<std::string>& given, bool prompt) {
  if (given) return *given;
  if (!prompt) {
    if (const char* environment = std::getenv("MYSQL_PWD")) return environment;
  }
  if (isatty(STDIN_FILENO) == 0) {
    throw std::runtime_error(
        "no MySQL password: standard input is not a terminal, so give --password=P or set "
        "MYSQL_PWD");
  }
  return PromptHidden("Enter password: ");
}

}  // namespace bracken::cli
