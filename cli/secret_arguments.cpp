#include "cli/secret_arguments.h"

#include <cstring>

namespace bracken::cli {

namespace {

void Blank(char* text) {
  for (; *text != '\0'; ++text) *text = 'x';
}

// The value after "name=" in `arg`, or nullptr.
char* ValueAfter(char* arg, const char* name) {
  const std::size_t length = std::strlen(name);
  if (std::strncmp(arg, name, length) != 0 || arg[length] != '=') return nullptr;
  return arg + length + 1;
}

}  // namespace

bool BlankSecretArguments(int argc, char** argv) {
  bool found = false;
  for (int i = 1; i < argc; ++i) {
    char* value = ValueAfter(argv[i], "--password");
    if (value == nullptr) value = ValueAfter(argv[i], "--mdb-password");
    if (value == nullptr && std::strcmp(argv[i], "--mdb-password") == 0 && i + 1 < argc) {
      value = argv[++i];
    }
    if (value == nullptr) continue;
    Blank(value);
    found = true;
  }
  return found;
}

bool FollowsPasswordOption(const std::vector<std::string>& args, std::size_t i) {
  return i > 0 && (args[i - 1] == "--password" || args[i - 1] == "--mdb-password");
}

}  // namespace bracken::cli
