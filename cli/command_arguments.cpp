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

bool TakeCommonOption(const std::vector<std::string>& args, std::size_t& i,
                      CommonArguments& common) {
  const std::string& arg = args[i];
  std::string value;
  if (TakeValue(args, i, "--host", common.host) || TakeValue(args, i, "--user", common.user) ||
      TakeValue(args, i, "--database", common.database) ||
      TakeServerOption(args, i, common.server)) {
    return true;
  }
  if (TakeValue(args, i, "--mdb-password", value)) {
    common.mdbPassword = value;
  } else if (TakeValue(args, i, "--table", value)) {
    common.tables.push_back(value);
  } else if (arg == "--password") {
    common.promptPassword = true;
  } else if (arg.rfind("--password=", 0) == 0) {
    common.password = arg.substr(11);
  } else {
    return false;
  }
  return true;
}

void TakeFile(const std::vector<std::string>& args, std::size_t i, CommonArguments& common) {
  if (args[i].rfind("--", 0) == 0 || !common.file.empty()) Unexpected(args, i);
  common.file = args[i];
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
