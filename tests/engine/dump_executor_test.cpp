// The executor that writes statements to a file: what it writes for a run's
// database statements and for a row too long for one statement.

#include "engine/dump_executor.h"

#include <gtest/gtest.h>

#include <sstream>

#include "target/assumed_server.h"

namespace bracken::engine {
namespace {

TEST(DumpExecutorTest, TheDatabaseIsReplacedAndLongValuesAreBuiltInPieces) {
  std::ostringstream out;
  target::ServerTraits traits = *target::AssumedServerTraits("10.11");
  traits.maxAllowedPacket = 300;  // pieces of (298 - 128) / 2 = 85 bytes
  DumpStatementExecutor dump(out, traits, "the file");
  EXPECT_FALSE(dump.Execute("USE `d`")) << "the database is unknown to a file";
  EXPECT_EQ(dump.LastErrorNumber(), 1049u);
  EXPECT_FALSE(dump.LastErrorWasConnectionLost());
  EXPECT_TRUE(dump.Execute("CREATE DATABASE `d`"));
  EXPECT_TRUE(dump.Execute("USE `d`"));
  const std::string text(200, 'z');
  EXPECT_TRUE(dump.ExecuteWithLongValues("INSERT INTO `t?` VALUES('?\\'?',?,\"?\",?);",
                                         {text, std::string_view()}));
  std::string hex85;
  for (int i = 0; i < 85; ++i) hex85 += "7a";
  EXPECT_EQ(out.str(),
            "DROP DATABASE IF EXISTS `d`;\nCREATE DATABASE `d`;\nUSE `d`;\n"
            "SET @bracken_long_1 = 0x" +
                hex85 +
                ";\n"
                "SET @bracken_long_1 = CONCAT(@bracken_long_1, 0x" +
                hex85 +
                ");\n"
                "SET @bracken_long_1 = CONCAT(@bracken_long_1, 0x" +
                hex85.substr(0, 60) +
                ");\n"
                "SET @bracken_long_2 = '';\n"
                "INSERT INTO `t?` VALUES('?\\'?',@bracken_long_1,\"?\",@bracken_long_2);\n"
                "SET @bracken_long_1 = NULL;\nSET @bracken_long_2 = NULL;\n");
}

TEST(DumpExecutorTest, AFailedWriteEndsTheRunAsALostConnection) {
  std::ostringstream out;
  out.setstate(std::ios::badbit);
  DumpStatementExecutor dump(out, *target::AssumedServerTraits("5.7"), "/full/disk.sql");
  EXPECT_FALSE(dump.Execute("CREATE DATABASE `d`"));
  EXPECT_TRUE(dump.LastErrorWasConnectionLost());
  EXPECT_EQ(dump.ErrorText(), "Cannot write /full/disk.sql.");
}

}  // namespace
}  // namespace bracken::engine
