#include "tests/support/shell_run.h"

#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace bracken::testing {

namespace {
std::string Contents(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}
}  // namespace

std::string ShellQuoted(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

ShellRun RunShell(const std::string& commandLine, const std::filesystem::path& scratch) {
  const auto out = scratch / "stdout";
  const auto err = scratch / "stderr";
  std::string command = "( " + commandLine + " ) </dev/null >" + ShellQuoted(out.string()) + " 2>" +
                        ShellQuoted(err.string());
  int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(out), Contents(err)};
}

}  // namespace bracken::testing
