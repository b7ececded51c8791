#pragma once

// A test of bracken-cli against the test server: the built program, the
// server's settings and a scratch folder of this process. Skips when either
// the program or the server is missing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

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

  TestServer server_;
  std::filesystem::path program_;
  std::filesystem::path dir_;

 private:
  std::string scratchPrefix_;
};

}  // namespace bracken::testing
