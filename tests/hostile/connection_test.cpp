// The connection keeps its own rules on a server whose global settings work
// against them.
#include <gtest/gtest.h>

#include "engine/rows/value_literal.h"
#include "tests/hostile/hostile_server.h"

namespace bracken::testing {
namespace {

using HostileConnection = HostileServer;

TEST_F(HostileConnection, TheSessionModeWinsOverTheGlobalOne) {
  // A plain session takes the global mode ...
  ASSERT_NE(ReadValue("SELECT @@SESSION.sql_mode")->find("NO_BACKSLASH_ESCAPES"),
            std::string::npos);
  // ... the connection's does not.
  Run("CREATE TABLE mode_seen (mode TEXT)");
  Run("INSERT INTO mode_seen SELECT @@SESSION.sql_mode");
  const std::string mode = ReadValue("SELECT mode FROM mode_seen").value_or("");
  EXPECT_EQ(mode.find("NO_BACKSLASH_ESCAPES"), std::string::npos) << mode;
  EXPECT_NE(mode.find("STRICT_ALL_TABLES"), std::string::npos) << mode;
}

TEST_F(HostileConnection, EscapedQuotesStayInsideTheirValue) {
  // Were the backslash not an escape, the first value would end after its
  // backslash and the rest would run as SQL, copying the secret.
  Run("CREATE TABLE secrets (x TEXT)");
  Run("INSERT INTO secrets VALUES ('the secret')");
  Run("CREATE TABLE cells (v TEXT, w TEXT)");
  const std::string hostile = "', (SELECT x FROM secrets)) -- ";
  const std::string backslashes = "C:\\dir\\ \\' end";
  for (const std::string& value : {hostile, backslashes}) {
    std::string insert = "INSERT INTO cells VALUES(" + engine::MakeValueLiteral(value, "TEXT") +
                         engine::MakeValueLiteral("after", "TEXT");
    insert.back() = ')';
    Run(insert);
  }
  EXPECT_EQ(ReadValue("SELECT COUNT(*) FROM cells WHERE w = 'after'"), "2");
  EXPECT_EQ(ReadValue("SELECT HEX(v) FROM cells WHERE v LIKE '%SELECT%'"), Hex(hostile));
  EXPECT_EQ(ReadValue("SELECT HEX(v) FROM cells WHERE v LIKE 'C:%'"), Hex(backslashes));
  EXPECT_EQ(ReadValue("SELECT COUNT(*) FROM cells WHERE v = 'the secret' OR w = 'the secret'"),
            "0");
}

TEST_F(HostileConnection, StatementsUpToThePacketLimitGoAndLongerOnesAreRefusedUnsent) {
  ASSERT_EQ(connection_.Traits().maxAllowedPacket, kPacketLimit);
  const std::size_t limit = connection_.Traits().MaxStatementBytes();
  const std::string head = "DO LENGTH('";
  const std::string tail = "')";
  const std::string fits = head + std::string(limit - head.size() - tail.size(), 'x') + tail;
  EXPECT_TRUE(connection_.Execute(fits)) << connection_.ErrorText();

  EXPECT_FALSE(
      connection_.Execute(head + std::string(limit + 1 - head.size() - tail.size(), 'x') + tail));
  EXPECT_NE(connection_.ErrorText().find("max_allowed_packet (4194304 bytes)"), std::string::npos)
      << connection_.ErrorText();
  EXPECT_FALSE(connection_.LastErrorWasConnectionLost());
  EXPECT_TRUE(connection_.Execute("DO 1")) << connection_.ErrorText();
}

TEST_F(HostileConnection, ARowLongerThanThePacketGoesAsLongValues) {
  Run("CREATE TABLE cells (id INT, a LONGBLOB, b LONGBLOB) ENGINE=myisam");
  // As literals the row would be 12 MiB; each value alone fits.
  const std::string a = RandomBytes(3u << 20, 2);
  const std::string b = RandomBytes((3u << 20) + 1, 3);
  std::string literalRow = "INSERT INTO cells VALUES (1, 0x" + Hex(a) + ", 0x" + Hex(b) + ")";
  EXPECT_FALSE(connection_.Execute(literalRow));
  literalRow.clear();
  ASSERT_TRUE(connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (2, ?, ?)", {a, b}))
      << connection_.ErrorText();
  EXPECT_TRUE(ReadValue("SELECT a FROM cells WHERE id = 2") == a);
  EXPECT_TRUE(ReadValue("SELECT b FROM cells WHERE id = 2") == b);
}

TEST_F(HostileConnection, AValueOfThePacketLimitGoesAndALongerOneIsRefused) {
  Run("CREATE TABLE cells (id INT, v LONGBLOB) ENGINE=myisam");
  const std::string fits(kPacketLimit, 'v');
  ASSERT_TRUE(connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (1, ?)", {fits}))
      << connection_.ErrorText();
  EXPECT_EQ(ReadValue("SELECT LENGTH(v) FROM cells"), std::to_string(kPacketLimit));
  const std::string half = std::to_string(kPacketLimit / 2);
  EXPECT_EQ(ReadValue("SELECT LEFT(v, " + half + ") = REPEAT('v', " + half + ") AND RIGHT(v, " +
                      half + ") = REPEAT('v', " + half + ") FROM cells"),
            "1");

  EXPECT_FALSE(connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (2, ?)", {fits + "v"}));
  EXPECT_EQ(connection_.ErrorText(),
            "A value of 4194305 bytes is longer than the server's max_allowed_packet (4194304 "
            "bytes).");
  EXPECT_FALSE(connection_.LastErrorWasConnectionLost());
  EXPECT_TRUE(connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (3, ?)", {"after"}))
      << connection_.ErrorText();
  EXPECT_EQ(ReadValue("SELECT GROUP_CONCAT(id) FROM cells"), "1,3");
}

}  // namespace
}  // namespace bracken::testing
