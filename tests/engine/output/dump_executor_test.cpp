// The executor that writes statements to a file: what it writes for a run's
// database statements and for a row too long for one statement.

#include "engine/output/dump_executor.h"

#include <gtest/gtest.h>

#include <sstream>

#include "engine/rows/target_value.h"
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

// What the client reading a file would change is spelled out in a dump's
// literals; a server run's literals stay as they were.
TEST(DumpExecutorTest, LiteralsForAFileSpellOutLineBreaksAndCtrlZ) {
  TargetValue value;
  ValueFromText(std::string("a\r\nb\rc\nd\0e\x1a\\'\"\xf0\x9f\x98\x80", 18), TypeClass::Text, false,
                value);
  std::string server;
  AppendLiteral(server, value);
  EXPECT_EQ(server, std::string("'a\r\nb\rc\nd\\0e\x1a\\\\\\'\"\xf0\x9f\x98\x80',", 24));
  std::string file;
  AppendLiteral(file, value, TextEscapes::DumpFile);
  EXPECT_EQ(file, "'a\\r\\nb\\rc\\nd\\0e\\Z\\\\\\'\"\xf0\x9f\x98\x80',");
  ValueFromText("0x0d0a1a", TypeClass::Blob, false, value);
  file.clear();
  AppendLiteral(file, value, TextEscapes::DumpFile);
  EXPECT_EQ(file, "0x0d0a1a,") << "bytes stay hex";

  // Texts of other statements (a calculated column's comment) are spelled
  // out on writing; names and the words between texts are left alone.
  EXPECT_EQ(SpellOutLineBreaks("CREATE TABLE `a\nb` (\n`c` INT COMMENT 'x\r\ny\\\r''\x1a',\n"
                               "`d` INT DEFAULT \"p\nq\")"),
            "CREATE TABLE `a\nb` (\n`c` INT COMMENT 'x\\r\\ny\\r''\\Z',\n"
            "`d` INT DEFAULT \"p\\nq\")");
  std::ostringstream out;
  DumpStatementExecutor dump(out, *target::AssumedServerTraits("10.11"), "the file");
  EXPECT_TRUE(dump.WritesDumpFile());
  EXPECT_TRUE(dump.Execute("ALTER TABLE `t` COMMENT 'a\r\nb'"));
  EXPECT_EQ(out.str(), "ALTER TABLE `t` COMMENT 'a\\r\\nb';\n");
}

// The file's session keeps backslash escapes on, whatever the server's
// global sql_mode says.
TEST(DumpExecutorTest, TheHeaderKeepsBackslashEscapesOn) {
  const std::string header =
      DumpHeader("x.mdb", "2024-01-01 00:00:00 UTC", *target::AssumedServerTraits("10.11"));
  EXPECT_NE(header.find("\nSET SESSION sql_mode = '"), std::string::npos) << header;
  EXPECT_EQ(header.find("BACKSLASH"), std::string::npos) << header;
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
