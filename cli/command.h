#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bracken::cli {

// One subcommand of bracken-cli: its name, a one-line summary, its help text
// and its body, which receives the arguments after the subcommand's name.
struct Command {
  std::string name;
  std::string summary;
  std::string help;
  std::function<int(const std::vector<std::string>& args)> run;
};

// Subcommands register themselves from their own file with a static
// CommandRegistration, so the dispatcher needs no list of them.
std::vector<Command>& Commands();

struct CommandRegistration {
  explicit CommandRegistration(Command command);
};

}  // namespace bracken::cli
