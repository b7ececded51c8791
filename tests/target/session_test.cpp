// The session every connection works in and what it learns of the server.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tests/support/server_fixture.h"

namespace bracken::target {
namespace {

using Session = testing::ServerFixture;

std::set<std::string> Modes(const std::string& text) {
  std::set<std::string> modes;
  std::stringstream stream(text);
  for (std::string mode; std::getline(stream, mode, ',');) modes.insert(mode);
  return modes;
}

TEST_F(Session, ModeIsStrictStoresZeroAndKeepsBackslashEscapes) {
  Run("CREATE TABLE mode_seen (mode TEXT)");
  Run("INSERT INTO mode_seen SELECT @@SESSION.sql_mode");
  const auto modes = Modes(ReadValue("SELECT mode FROM mode_seen").value_or(""));
  EXPECT_TRUE(modes.count("STRICT_ALL_TABLES"));
  EXPECT_TRUE(modes.count("NO_AUTO_VALUE_ON_ZERO"));
  EXPECT_TRUE(modes.count("NO_ENGINE_SUBSTITUTION"));
  EXPECT_FALSE(modes.count("NO_BACKSLASH_ESCAPES"));

  // An AutoNumber 0 stays 0.
  Run("CREATE TABLE counted (id INT AUTO_INCREMENT PRIMARY KEY, v INT) ENGINE=myisam");
  Run("INSERT INTO counted VALUES (5, 1), (0, 2)");
  EXPECT_EQ(ReadValue("SELECT GROUP_CONCAT(id ORDER BY v) FROM counted"), "5,0");
  // A value too long for its column is refused in any row of a MyISAM
  // table, where the server's default mode would cut it after the first.
  Run("CREATE TABLE narrow (v VARCHAR(3)) ENGINE=myisam");
  EXPECT_FALSE(connection_.Execute("INSERT INTO narrow VALUES ('ab'), ('abcd')"));
  EXPECT_NE(connection_.ErrorText().find("too long"), std::string::npos) << connection_.ErrorText();
  // A backslash escapes the quote: the value is one text.
  Run("INSERT INTO narrow VALUES ('\\'\\\\')");
  EXPECT_EQ(ReadValue("SELECT v FROM narrow WHERE v <> 'ab'"), "'\\");
}

TEST_F(Session, CharactersAboveTheBasicPlaneArriveIntact) {
  Run("CREATE TABLE texts (t TEXT) CHARACTER SET utf8mb4");
  Run("INSERT INTO texts VALUES ('\xF0\x9F\x98\x80 \xF0\x9D\x84\x9E')");  // grinning face, G clef
  EXPECT_EQ(ReadValue("SELECT HEX(t) FROM texts"), "F09F988020F09D849E");
}

TEST_F(Session, TraitsAreTheServers) {
  const ServerTraits& traits = connection_.Traits();
  EXPECT_EQ(std::to_string(traits.maxAllowedPacket), ReadValue("SELECT @@max_allowed_packet"));
  EXPECT_EQ(traits.version, ReadValue("SELECT @@version"));
  EXPECT_EQ(traits.isMariaDb, traits.version.find("MariaDB") != std::string::npos);
  if (traits.isMariaDb && traits.version.rfind("10.11.", 0) == 0) {
    EXPECT_EQ(traits.AccentSensitiveCollation("utf8"), "utf8mb3_uca1400_as_ci");
    EXPECT_EQ(traits.AccentSensitiveCollation("utf8mb4"), "utf8mb4_uca1400_as_ci");
  }
  // What the name promises: case does not count, accents do.
  for (const char* charset : {"utf8", "utf8mb4"}) {
    const std::string collation = traits.AccentSensitiveCollation(charset);
    if (collation.empty()) continue;
    const std::string table = std::string("words_") + charset;
    Run("CREATE TABLE " + table + " (w VARCHAR(10) CHARACTER SET " + charset + " COLLATE " +
        collation + ")");
    Run("INSERT INTO " + table + " VALUES ('resume'), ('R\xC3\xA9sum\xC3\xA9')");
    EXPECT_EQ(ReadValue("SELECT COUNT(*) FROM " + table + " WHERE w = 'RESUME'"), "1");
    EXPECT_EQ(ReadValue("SELECT COUNT(*) FROM " + table + " WHERE w = 'r\xC3\xA9sum\xC3\xA9'"),
              "1");
  }
}

TEST_F(Session, ClosingForgetsTheServer) {
  connection_.Close();
  EXPECT_EQ(connection_.Traits().maxAllowedPacket, 0u);
  EXPECT_FALSE(connection_.Execute("DO 1"));
  EXPECT_TRUE(connection_.LastErrorWasConnectionLost());
  EXPECT_FALSE(connection_.ExecuteWithLongValues("DO ?", {"x"}));
  EXPECT_TRUE(connection_.LastErrorWasConnectionLost());
}

}  // namespace
}  // namespace bracken::target
