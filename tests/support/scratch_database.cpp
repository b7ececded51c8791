#include "tests/support/scratch_database.h"

#include <gtest/gtest.h>

#include <cctype>
#include <iostream>

#include "tests/support/server_query.h"

namespace bracken::testing {

ScratchDatabase::ScratchDatabase(const TestServer& server, std::string name)
    : server_(server), name_(std::move(name)) {
  ServerQuery query(server_);
  query.Execute("DROP DATABASE IF EXISTS " + Quoted());
  query.Execute("CREATE DATABASE " + Quoted() + " CHARACTER SET utf8mb4");
}

ScratchDatabase::~ScratchDatabase() {
  try {
    ServerQuery(server_).Execute("DROP DATABASE IF EXISTS " + Quoted());
  } catch (const std::exception& error) {
    std::cerr << "ScratchDatabase: " << error.what() << "\n";
  }
}

std::string CurrentTestDatabaseName(const std::string& prefix) {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = prefix + "_" + info->test_suite_name() + "_" + info->name();
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name.substr(0, 64);
}

}  // namespace bracken::testing
