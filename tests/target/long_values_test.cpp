// Values sent apart from their statement arrive byte for byte, and every
// refusal leaves a usable connection.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/output/statement_executor.h"
#include "tests/support/server_fixture.h"

namespace bracken::target {
namespace {

class LongValues : public testing::ServerFixture {
 protected:
  void SetUp() override {
    ServerFixture::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    Run("CREATE TABLE cells (id INT PRIMARY KEY, b LONGBLOB, t LONGTEXT) "
        "ENGINE=myisam CHARACTER SET utf8mb4");
  }
  // Lots of multi-byte characters, one above the basic plane among them.
  static std::string LongText(std::size_t repeats) {
    std::string text;
    for (std::size_t i = 0; i < repeats; ++i)
      text +=
          "Gr\xC3\xBC\xC3\x9F"
          "e \xF0\x9F\x98\x80 ";
    return text;
  }
  void ExpectStored(int id, const std::string& bytes, const std::string& text) {
    testing::ServerQuery query(server_, database_->name());
    auto rows = query.Rows("SELECT b, t FROM cells WHERE id = " + std::to_string(id));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0][0] == bytes) << "bytes differ for row " << id;
    EXPECT_TRUE(rows[0][1] == text) << "text differs for row " << id;
  }
};

TEST_F(LongValues, SeveralMebibytesArriveExactly) {
  // Not a whole number of pieces, so the last piece is a short one.
  const std::string bytes = testing::RandomBytes((5u << 20) + 37, 1);
  const std::string text = LongText(200000);
  ASSERT_TRUE(
      connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (7, ?, ?)", {bytes, text}))
      << connection_.ErrorText();
  ExpectStored(7, bytes, text);

  engine::MySqlStatementExecutor executor(connection_);
  EXPECT_EQ(executor.Traits().maxAllowedPacket, connection_.Traits().maxAllowedPacket);
  ASSERT_TRUE(executor.ExecuteWithLongValues("INSERT INTO cells (t, id, b) VALUES (?, 8, ?)",
                                             {text, bytes}))
      << executor.ErrorText();
  ExpectStored(8, bytes, text);
}

TEST_F(LongValues, EmptyValuesAreEmptyAndQuotedQuestionMarksAreText) {
  ASSERT_TRUE(connection_.ExecuteWithLongValues(
      "INSERT INTO cells VALUES (1, ?, CONCAT('why?', ?))", {"", "x"}))
      << connection_.ErrorText();
  ExpectStored(1, "", "why?x");
}

TEST_F(LongValues, RefusalsExplainThemselvesAndKeepTheConnection) {
  EXPECT_FALSE(connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (1, ?, ?)", {"a"}));
  EXPECT_EQ(connection_.ErrorText(), "The statement has 2 placeholders for 1 values.");
  EXPECT_FALSE(connection_.LastErrorWasConnectionLost());

  EXPECT_FALSE(connection_.ExecuteWithLongValues("INSERT INTO missing VALUES (?)", {"a"}));
  EXPECT_NE(connection_.ErrorText().find("doesn't exist"), std::string::npos)
      << connection_.ErrorText();
  EXPECT_FALSE(connection_.LastErrorWasConnectionLost());

  // A character utf8 cannot hold is refused, not cut or replaced.
  Run("CREATE TABLE narrow (t TEXT CHARACTER SET utf8)");
  EXPECT_FALSE(
      connection_.ExecuteWithLongValues("INSERT INTO narrow VALUES (?)", {"a\xF0\x9F\x98\x80z"}));
  EXPECT_NE(connection_.ErrorText().find("Incorrect string value"), std::string::npos)
      << connection_.ErrorText();
  EXPECT_EQ(ReadValue("SELECT COUNT(*) FROM narrow"), "0");

  EXPECT_TRUE(connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (2, ?, ?)", {"b", "t"}))
      << connection_.ErrorText();
  ExpectStored(2, "b", "t");
}

TEST_F(LongValues, ALostConnectionIsToldApartFromARefusal) {
  // The server ends this session after one idle second.
  Run("SET SESSION wait_timeout = 1");
  std::this_thread::sleep_for(std::chrono::milliseconds(2500));
  EXPECT_FALSE(connection_.ExecuteWithLongValues("INSERT INTO cells VALUES (3, ?, ?)", {"b", "t"}));
  EXPECT_TRUE(connection_.LastErrorWasConnectionLost()) << connection_.ErrorText();
}

}  // namespace
}  // namespace bracken::target
