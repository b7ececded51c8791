// The server a dump file is written for, made up from its version: the
// collations and packet limit that server (and the client replaying the
// file) takes.

#include "target/assumed_server.h"

#include <gtest/gtest.h>

namespace bracken::target {
namespace {

TEST(AssumedServerTest, VersionsGiveTheirServersCollationsAndPacketLimits) {
  auto oldest = AssumedServerTraits(kOldestServerVersion);
  ASSERT_TRUE(oldest);
  EXPECT_FALSE(oldest->isMariaDb);
  EXPECT_EQ(oldest->maxAllowedPacket, 4u << 20);
  EXPECT_EQ(oldest->utf8AccentSensitiveCollation, "");
  EXPECT_EQ(oldest->utf8mb4AccentSensitiveCollation, "");

  auto mariaDb = AssumedServerTraits("10.11.6");
  ASSERT_TRUE(mariaDb);
  EXPECT_TRUE(mariaDb->isMariaDb);
  EXPECT_EQ(mariaDb->version, "10.11.6-MariaDB");
  EXPECT_EQ(mariaDb->maxAllowedPacket, 16u << 20);
  EXPECT_EQ(mariaDb->utf8AccentSensitiveCollation, "utf8mb3_uca1400_as_ci");
  EXPECT_EQ(mariaDb->utf8mb4AccentSensitiveCollation, "utf8mb4_uca1400_as_ci");

  auto before = AssumedServerTraits("mariadb-10.4");
  ASSERT_TRUE(before);
  EXPECT_EQ(before->utf8AccentSensitiveCollation, "");
  EXPECT_EQ(AssumedServerTraits("mariadb-10.1")->maxAllowedPacket, 4u << 20);
  EXPECT_TRUE(AssumedServerTraits("mariadb-5.5")->isMariaDb);

  // MySQL 8 has an accent-sensitive collation for utf8mb4 only; its 64 MiB
  // packet is more than the clients send by default.
  auto mySql = AssumedServerTraits("mysql-8.0");
  ASSERT_TRUE(mySql);
  EXPECT_FALSE(mySql->isMariaDb);
  EXPECT_EQ(mySql->utf8AccentSensitiveCollation, "");
  EXPECT_EQ(mySql->utf8mb4AccentSensitiveCollation, "utf8mb4_0900_as_ci");
  EXPECT_EQ(mySql->maxAllowedPacket, 16u << 20);
  EXPECT_FALSE(AssumedServerTraits("8.0")->isMariaDb);

  for (const char* wrong : {"", "10", "ten.1", "10.11-beta", "mysql-", "10..1", "mariadb10.4"}) {
    EXPECT_FALSE(AssumedServerTraits(wrong)) << wrong;
  }
}

}  // namespace
}  // namespace bracken::target
