#pragma once

// The argument handling the subcommands that reach a server share: a value
// given as "--name=value" or "--name value", an unexpected argument that is
// never echoed when it may be a password, and the MySQL password as the
// mysql client finds it.

#include <optional>
#include <string>
#include <vector>

#include "cli/server_options.h"

namespace bracken::cli {

// Takes args[i] (and its value) when it is `name`; throws
// std::runtime_error when the value is missing.
bool TakeValue(const std::vector<std::string>& args, std::size_t& i, const std::string& name,
               std::string& value);

// Throws the usage error for args[i]; an argument that follows a password
// option is not repeated.
[[noreturn]] void Unexpected(const std::vector<std::string>& args, std::size_t i);

// What every command that reads an Access file and reaches a server takes.
struct CommonArguments {
  std::string file, host, user, database;
  std::optional<std::string> password, mdbPassword;
  bool promptPassword = false;  // --password alone
  std::vector<std::string> tables;
  ServerOptions server;
};

// Takes args[i] (and its value) when it is one of the options above.
bool TakeCommonOption(const std::vector<std::string>& args, std::size_t& i,
                      CommonArguments& common);
// Takes args[i] as the Access file, the one argument without "--"; any
// other argument is a usage error (see Unexpected).
void TakeFile(const std::vector<std::string>& args, std::size_t i, CommonArguments& common);

// --password=P, else MYSQL_PWD (unless --password alone asked for a
// prompt), else a prompt without echo on the terminal. Throws
// std::runtime_error when there is neither a password nor a terminal: a
// script must never hang on a prompt nobody sees.
std::string MySqlPassword(const std::optional<std::string>& given, bool prompt);

}  // namespace bracken::cli
