// Every literal form travels through the real server and must arrive unchanged.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/rows/value_literal.h"
#include "engine/schema/type_mapping.h"
#include "target/mysql_connection.h"
#include "tests/support/server_query.h"

namespace bracken::target {
namespace {

using engine::MakeDateTimeLiteral;
using engine::MakeValueLiteral;
using namespace std::string_literals;

struct Column {
  std::string name;
  std::string type;
  std::string readBack;  // the SELECT expression that shows the stored value
};

const std::vector<Column> kColumns = {
    {"v", "VARCHAR(255)", "HEX(v)"},
    {"t", "TEXT", "HEX(t)"},
    {"lt", "LONGTEXT", "HEX(lt)"},
    {"i", "INT", "i"},
    {"si", "SMALLINT", "si"},
    {"ti", "TINYINT UNSIGNED", "ti"},
    {"b", "BIT", "b+0"},
    {"d", "DOUBLE", "d"},
    {"f", "FLOAT", "f"},
    {"dc", "DECIMAL(19, 4)", "dc"},
    {"dt", "DATETIME", "dt"},
    {"dt24", "DATETIME", "dt24"},
    {"bl", "LONGBLOB", "HEX(bl)"},
};

// What the row copy does with one value: the literal, and the full
// date-time literal for 12-hour texts.
std::string Literal(const std::string& value, const std::string& type) {
  std::string literal = MakeValueLiteral(value, type);
  if (type == "DATETIME" && literal == "'',") literal = MakeDateTimeLiteral(value);
  return literal;
}

std::string InsertStatement(const std::vector<std::string>& values) {
  std::string statement = "INSERT INTO `values` VALUES(";
  for (size_t i = 0; i < kColumns.size(); ++i) statement += Literal(values[i], kColumns[i].type);
  statement.pop_back();
  return statement + ");";
}

std::string AllBytesHex() {
  std::string hex = "0x";
  static const char kDigits[] = "0123456789abcdef";
  for (int b = 0; b < 256; ++b) {
    hex += kDigits[b >> 4];
    hex += kDigits[b & 15];
  }
  return hex;
}

class LiteralRoundTrip : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = testing::TestServerFromEnvironment();
    if (!found) GTEST_SKIP() << testing::kNoServerMessage;
    server_ = *found;
    ASSERT_EQ(connection_.Connect(server_.host, server_.user, server_.password),
              MySqlConnection::ConnectResult::Connected);
    // ctest runs the cases side by side: each has its own database.
    database_ =
        std::string("literal_") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
    Run("DROP DATABASE IF EXISTS `" + database_ + "`");
    Run("CREATE DATABASE `" + database_ + "`");
    Run("USE `" + database_ + "`");
    std::string create = "CREATE TABLE `values`(";
    for (const auto& c : kColumns) create += "`" + c.name + "` " + c.type + " NULL, ";
    create.resize(create.size() - 2);
    Run(create + ")ENGINE=myisam DEFAULT CHARSET=utf8;");
  }
  void TearDown() override {
    if (connection_.IsOpen()) connection_.Execute("DROP DATABASE IF EXISTS `" + database_ + "`");
  }
  void Run(const std::string& statement) {
    ASSERT_TRUE(connection_.Execute(statement)) << connection_.ErrorText() << "\n" << statement;
  }
  // The one row each test inserts.
  std::vector<testing::Cell> ReadRow() {
    std::string select = "SELECT ";
    for (const auto& c : kColumns) select += c.readBack + ",";
    select.pop_back();
    testing::ServerQuery query(server_, database_);
    auto rows = query.Rows(select + " FROM `values`");
    EXPECT_EQ(rows.size(), 1u);
    return rows.empty() ? std::vector<testing::Cell>{} : rows[0];
  }

  testing::TestServer server_;
  std::string database_;
  MySqlConnection connection_;
};

TEST_F(LiteralRoundTrip, EveryValueArrivesUnchanged) {
  // The values include the statement-breaking characters: apostrophes,
  // backslashes, NUL bytes and quotes; non-ASCII letters; all 256 bytes.
  const std::string tricky = "O'Brien \"quoted\" C:\\dir\\ \\' end";
  const std::string nul = "before\0after"s;
  const std::string letters = "Grüße, Ωμέγα, 日本語, ñ";
  Run(InsertStatement({tricky, nul, letters, "-2147483648", "-32768", "255", "-1", "1E+20", "2.5",
                       "-922337203685477.5808", "3/15/2008 2:30:00 PM", "5/3/2009 14:30:00",
                       AllBytesHex()}));
  auto row = ReadRow();
  ASSERT_EQ(row.size(), kColumns.size());
  EXPECT_EQ(row[0], testing::Hex(tricky));
  EXPECT_EQ(row[1], testing::Hex(nul));
  EXPECT_EQ(row[2], testing::Hex(letters));
  EXPECT_EQ(row[3], "-2147483648");
  EXPECT_EQ(row[4], "-32768");
  EXPECT_EQ(row[5], "255");
  EXPECT_EQ(row[6], "1");
  EXPECT_EQ(row[7], "1e20");
  EXPECT_EQ(row[8], "2.5");
  EXPECT_EQ(row[9], "-922337203685477.5808");
  EXPECT_EQ(row[10], "2008-03-15 14:30:00");
  EXPECT_EQ(row[11], "2009-05-03 14:30:00");
  std::string allBytes;
  for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
  EXPECT_EQ(row[12], testing::Hex(allBytes));
}

TEST_F(LiteralRoundTrip, EmptyValuesAreEmptyTextsOrNull) {
  Run(InsertStatement(std::vector<std::string>(kColumns.size())));
  auto row = ReadRow();
  ASSERT_EQ(row.size(), kColumns.size());
  EXPECT_EQ(row[0], "");
  EXPECT_EQ(row[1], "");
  EXPECT_EQ(row[2], "");
  for (size_t i = 3; i < row.size(); ++i) EXPECT_EQ(row[i], std::nullopt) << kColumns[i].name;
}

TEST_F(LiteralRoundTrip, TimesAloneAndDatesAloneKeepTheirMeaning) {
  std::vector<std::string> values(kColumns.size());
  values[10] = "2:30:00 PM";
  values[11] = "12/31/1899";
  values[9] = "12";
  values[7] = "-0.5";
  Run(InsertStatement(values));
  auto row = ReadRow();
  ASSERT_EQ(row.size(), kColumns.size());
  EXPECT_EQ(row[10], "1899-12-30 14:30:00");
  EXPECT_EQ(row[11], "1899-12-31 00:00:00");
  EXPECT_EQ(row[9], "12.0000");
  EXPECT_EQ(row[7], "-0.5");
}

}  // namespace
}  // namespace bracken::target
