#include <algorithm>
#include <iostream>

#include "cli/command.h"
#include "cli/exit_status.h"
#include "cli/secret_arguments.h"
#include "target/secret_memory.h"

namespace bracken::cli {

std::vector<Command>& Commands() {
  static std::vector<Command> commands;
  return commands;
}

CommandRegistration::CommandRegistration(Command command) {
  Commands().push_back(std::move(command));
}

namespace {

void PrintUsage(std::ostream& out) {
  out << "Usage: bracken-cli COMMAND [OPTIONS]\n"
         "       bracken-cli --help | --version\n\n"
         "Converts Microsoft Access databases (.mdb, .accdb; encrypted ones with their password)\n"
         "into MySQL or MariaDB.\n\n"
         "Commands:\n";
  auto commands = Commands();
  std::sort(commands.begin(), commands.end(),
            [](const Command& a, const Command& b) { return a.name < b.name; });
  for (const auto& command : commands) {
    out << "  " << command.name << std::string(12 - std::min<size_t>(command.name.size(), 11), ' ')
        << command.summary << "\n";
  }
  out << "\nRun 'bracken-cli COMMAND --help' for a command's options.\n\n" << kExitStatusHelp;
}

}  // namespace
}  // namespace bracken::cli

int main(int argc, char** argv) {
  using namespace bracken::cli;
  // Before any password is read: a crash leaves no core file to find it in.
  bracken::target::KeepSecretsOutOfCoreDumps();
  std::vector<std::string> args(argv + 1, argv + argc);
  // The copies above keep the values; the process list loses them now.
  if (BlankSecretArguments(argc, argv)) std::cerr << kCommandLinePasswordWarning;
  if (args.empty()) {
    PrintUsage(std::cerr);
    return kExitUsage;
  }
  const std::string& name = args.front();
  if (name == "--help" || name == "-h" || name == "help") {
    // "help COMMAND" is the command's own help.
    for (const auto& command : Commands()) {
      if (args.size() > 1 && command.name == args[1]) {
        std::cout << command.help;
        return 0;
      }
    }
    PrintUsage(std::cout);
    return 0;
  }
  if (name == "--version" || name == "-V") {
    std::cout << "bracken-cli " << BRACKEN_VERSION << "\n";
    return 0;
  }
  for (const auto& command : Commands()) {
    if (command.name != name) continue;
    std::vector<std::string> rest(args.begin() + 1, args.end());
    for (std::string& arg : args) bracken::target::WipeSecret(arg);
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end() ||
        std::find(rest.begin(), rest.end(), "-h") != rest.end()) {
      std::cout << command.help;
      return 0;
    }
    const int status = command.run(rest);
    for (std::string& arg : rest) bracken::target::WipeSecret(arg);
    return status;
  }
  std::cerr << "bracken-cli: unknown command '" << name << "'\n";
  PrintUsage(std::cerr);
  return kExitUsage;
}
