#pragma once

// A test of bracken-cli against the test server: the built program, the
// server's settings and a scratch folder of this process. Skips when either
// the program or the server is missing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {

class CliServerTest : public ::testing::Test {
 protected:
  explicit CliServerTest(std::string scratchPrefix) : scratchPrefix_(std::move(scratchPrefix)) {}

  void SetUp() override {
    program_ = std::filesystem::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli";
    if (!std::filesystem::exists(program_)) GTEST_SKIP() << "bracken-cli is not built";
    auto server = TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << kNoServerMessage;
    server_ = *server;
    dir_ = std::filesystem::temp_directory_path() /
           (scratchPrefix_ + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // bracken-cli COMMAND FILE ARGS..., the MySQL password from MYSQL_PWD, run
  // in the scratch folder.
  ShellRun RunCommand(const std::string& command, const std::filesystem::path& file,
                      const std::vector<std::string>& args) const {
    std::string line = "MYSQL_PWD=" + ShellQuoted(server_.password) + " " +
                       ShellQuoted(program_.string()) + " " + command + " " +
                       ShellQuoted(file.string());
    for (const std::string& arg : args) line += " " + ShellQuoted(arg);
    return RunShell(line, dir_);
  }

  TestServer server_;
  std::filesystem::path program_;
  std::filesystem::path dir_;

 private:
  std::string scratchPrefix_;
};

// The Access files of the corpus beside the checkout, sorted; empty when it
// is absent.
inline std::vector<std::filesystem::path> CorpusFiles() {
  const std::filesystem::path corpus = std::filesystem::path(BRACKEN_SHARED_DIR) / "corpus";
  std::vector<std::filesystem::path> files;
  if (!std::filesystem::exists(corpus)) return files;
  for (const char* folder : {"jet3", "jet4", "ace"}) {
    for (const auto& entry : std::filesystem::directory_iterator(corpus / folder)) {
      const std::filesystem::path& path = entry.path();
      if (path.extension() == ".mdb" || path.extension() == ".accdb") files.push_back(path);
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace bracken::testing
