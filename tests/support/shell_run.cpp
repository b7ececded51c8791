#include "tests/support/shell_run.h"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
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
  // Files of this run's own: runs at once in one folder (a command and a
  // script run beside it) must not write into each other's.
  static std::atomic<unsigned> runs{0};
  const std::string tag = std::to_string(::getpid()) + "." + std::to_string(++runs);
  const auto out = scratch / ("stdout." + tag);
  const auto err = scratch / ("stderr." + tag);
  std::string command = "( " + commandLine + " ) </dev/null >" + ShellQuoted(out.string()) + " 2>" +
                        ShellQuoted(err.string());
  int status = std::system(command.c_str());
  ShellRun run{WIFEXITED(status) ? WEXITSTATUS(status) : -1, Contents(out), Contents(err)};
  std::error_code ignored;
  std::filesystem::remove(out, ignored);
  std::filesystem::remove(err, ignored);
  return run;
}

ShellRun RunCliAgainst(const std::filesystem::path& program, const std::string& command,
                       const std::filesystem::path& file, const TestServer& server,
                       const std::string& database, const std::vector<std::string>& more,
                       const std::filesystem::path& scratch) {
  std::string line = "MYSQL_PWD=" + ShellQuoted(server.password) + " " +
                     ShellQuoted(program.string()) + " " + command + " " +
                     ShellQuoted(file.string()) + " --host " + ShellQuoted(server.host) +
                     " --port " + std::to_string(server.port) + " --user " +
                     ShellQuoted(server.user) + " --database " + ShellQuoted(database);
  for (const std::string& arg : more) line += " " + ShellQuoted(arg);
  return RunShell(line, scratch);
}

}  // namespace bracken::testing
