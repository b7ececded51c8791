// The recorder refuses what the real connection would, so engine tests that
// rely on it see the same failures.
#include "tests/support/recording_target.h"

#include <gtest/gtest.h>

namespace bracken::testing {
namespace {

TEST(RecordingTarget, LongValueCallsAreRecordedAndCheckedLikeTheConnection) {
  RecordingTarget target;
  EXPECT_EQ(target.Traits().maxAllowedPacket, std::uint64_t{1} << 30);
  EXPECT_EQ(target.Traits().AccentSensitiveCollation("utf8mb4"), "");

  EXPECT_TRUE(target.ExecuteWithLongValues("INSERT INTO t VALUES ('why?', `a?`, ?, \"\\\"?\", ?)",
                                           {"abc", ""}));
  ASSERT_EQ(target.longValueCalls.size(), 1u);
  EXPECT_EQ(target.longValueCalls[0].statementIndex, 0u);
  EXPECT_EQ(target.longValueCalls[0].valueSizes, (std::vector<std::size_t>{3, 0}));
  EXPECT_EQ(target.longValueCalls[0].values[0], "abc");

  EXPECT_FALSE(target.ExecuteWithLongValues("INSERT INTO t VALUES (?, ?)", {"a"}));
  EXPECT_EQ(target.ErrorText(), "The statement has 2 placeholders for 1 values.");

  target.traits.maxAllowedPacket = 10;
  EXPECT_FALSE(target.ExecuteWithLongValues("INSERT INTO t VALUES (?)", {"elevenbytes"}));
  EXPECT_NE(target.ErrorText().find("11 bytes"), std::string::npos) << target.ErrorText();
  // The packet limit less two bytes, as on the server.
  EXPECT_TRUE(target.Execute("DO 12345"));
  EXPECT_FALSE(target.Execute("DO 123456"));
  EXPECT_FALSE(target.LastErrorWasConnectionLost());
  EXPECT_EQ(target.statements.size(), 5u);
}

TEST(RecordingTarget, RulesApplyToLongValueStatementsToo) {
  RecordingTarget target;
  target.LoseConnectionAt("INSERT", 1);
  EXPECT_TRUE(target.ExecuteWithLongValues("INSERT INTO t VALUES (?)", {"a"}));
  EXPECT_FALSE(target.ExecuteWithLongValues("INSERT INTO t VALUES (?)", {"b"}));
  EXPECT_TRUE(target.LastErrorWasConnectionLost());
  EXPECT_FALSE(target.Execute("DO 1"));
  EXPECT_TRUE(target.LastErrorWasConnectionLost());
}

}  // namespace
}  // namespace bracken::testing
