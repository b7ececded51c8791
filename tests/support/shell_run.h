#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/test_server.h"

namespace bracken::testing {

// What a command run through the shell left behind.
struct ShellRun {
  int status = -1;     // exit status; -1 when it did not exit normally
  std::string output;  // standard output
  std::string errors;  // standard error
};

// A text as one shell word.
std::string ShellQuoted(const std::string& text);

// Runs a shell command line with standard input from /dev/null, collecting
// standard output and standard error separately through files in `scratch`.
ShellRun RunShell(const std::string& commandLine, const std::filesystem::path& scratch);

// `program` (bracken-cli) with `command` on `file` against `server` (its
// host, port and login; the password in MYSQL_PWD) for `database`, then
// `more` arguments.
ShellRun RunCliAgainst(const std::filesystem::path& program, const std::string& command,
                       const std::filesystem::path& file, const TestServer& server,
                       const std::string& database, const std::vector<std::string>& more,
                       const std::filesystem::path& scratch);

}  // namespace bracken::testing
