#include "engine/row_copy.h"

#include <gtest/gtest.h>

#include "engine/column_definitions.h"
#include "engine/key_clauses.h"
#include "engine/value_cleanup.h"
#include "tests/support/fake_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/recording_target.h"

namespace bracken::engine {
namespace {

using source::Variant;
using testing::FakeTable;
using testing::LongColumn;
using testing::TextColumn;
using testing::TypedColumn;

class RowCopyTest : public ::testing::Test {
 protected:
  CopyOutcome Copy(FakeTable table, const std::string& name = "T") {
    source_.tables[name] = std::move(table);
    context_.keyState.Clear();
    BuildKeyClauses(owner_, context_, name);
    BuildColumnDefinitions(owner_, context_, name);
    return CopyTableRows(owner_, context_, name);
  }
  testing::FakeSource source_;
  testing::RecordingTarget target_;
  testing::RecordingOwner owner_;
  ConversionContext context_{target_, source_};
};

TEST_F(RowCopyTest, OneInsertPerRowWithTheRowCountInTheCaption) {
  FakeTable table;
  table.columns = {LongColumn("ID"), TextColumn("Name"), TypedColumn("Born", source::adDate, 8)};
  table.rows = {{Variant::Long(12), Variant::Text("Smith"), Variant()},
                {Variant::Long(13), Variant(), Variant::Text("5/3/2009")}};
  context_.stopRequested = true;
  EXPECT_EQ(Copy(table, "Customers").result, CopyResult::Finished);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{"INSERT INTO `Customers` VALUES(12,'Smith',NULL);",
                                      "INSERT INTO `Customers` VALUES(13,'','2009-05-03');"}));
  EXPECT_EQ(owner_.caption, "Converting Table: [Customers] 2 rows converted...");
  EXPECT_FALSE(context_.stopRequested) << "a table's rows start with the stop request cleared";
}

TEST_F(RowCopyTest, AnEmptyTableSendsNothingAndKeepsTheCaption) {
  FakeTable table;
  table.columns = {LongColumn("ID")};
  owner_.caption = "before";
  Copy(table);
  EXPECT_TRUE(target_.statements.empty());
  EXPECT_EQ(owner_.caption, "before");
}

TEST_F(RowCopyTest, NamesWithSpacesAndBackticks) {
  FakeTable table;
  table.columns = {LongColumn("ID")};
  table.rows = {{Variant::Long(1)}};
  Copy(table, "Order Details");
  EXPECT_EQ(owner_.caption, "Converting Table: [Order Details] 1 rows converted...");
  Copy(table, "x`); DROP TABLE y; --");
  EXPECT_EQ(target_.statements.back(), "INSERT INTO `x``); DROP TABLE y; --` VALUES(1);");
  EXPECT_EQ(owner_.caption, "Converting Table: [x); DROP TABLE y; --] 1 rows converted...");
}

TEST_F(RowCopyTest, BinaryValuesBecomeHexBytesAndGuidsStayText) {
  std::string bytes;
  for (int i = 0; i < 300; ++i) bytes += static_cast<char>(i % 256);
  FakeTable table;
  table.columns = {TypedColumn("Ole", source::adLongVarBinary),
                   TypedColumn("Fixed", source::adBinary, 3)};
  table.rows = {{Variant::Binary(bytes), Variant::Binary(std::string("\x0a\xff\x00", 3))}};
  Copy(table);
  const std::string& statement = target_.statements.at(0);
  std::string hex;
  for (int i = 0; i < 300; ++i) {
    static const char* digits = "0123456789abcdef";
    hex += digits[(i % 256) >> 4];
    hex += digits[i % 16];
  }
  EXPECT_EQ(statement, "INSERT INTO `T` VALUES(0x" + hex + ",0x0aff00);");
}

TEST_F(RowCopyTest, TwelveHourDateTimesKeepTheirTime) {
  FakeTable table;
  table.columns = {TypedColumn("When", source::adDate, 8)};
  table.rows = {{Variant::Text("3/15/2008 2:30:00 PM")},
                {Variant::Text("2:30:00 AM")},
                {Variant::Text("13/45/2008 2:30:00 PM")},
                {Variant::Date(39522.5)}};
  Copy(table);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{"INSERT INTO `T` VALUES('2008-03-15 14:30:00');",
                                      "INSERT INTO `T` VALUES('1899-12-30 02:30:00');",
                                      "INSERT INTO `T` VALUES('Invalid DateTime');",
                                      "INSERT INTO `T` VALUES('2008-03-15 12:00:00');"}));
}

TEST_F(RowCopyTest, RefusedRowsAreShownAndTheCopyGoesOn) {
  FakeTable table;
  table.columns = {LongColumn("ID")};
  table.rows = {{Variant::Long(1)}, {Variant::Long(1)}, {Variant::Long(2)}};
  target_.Refuse("INSERT INTO `T` VALUES(1)", "Duplicate entry '1' for key 'PRIMARY'", 1);
  EXPECT_EQ(Copy(table).result, CopyResult::Finished);
  EXPECT_EQ(target_.statements.size(), 3u);
  EXPECT_EQ(owner_.messages,
            std::vector<std::string>{"Bracken: Duplicate entry '1' for key 'PRIMARY'"});
  EXPECT_EQ(owner_.caption, "Converting Table: [T] 3 rows converted...");
  EXPECT_EQ(context_.summary.rowsRefused, 1);
}

TEST_F(RowCopyTest, ASourceErrorEndsTheTableWithoutSendingTheRowBeingBuilt) {
  FakeTable table;
  table.columns = {LongColumn("ID")};
  table.rows = {{Variant::Long(1)}, {Variant::Long(2)}, {Variant::Long(3)}};
  table.rowFailureAt = 1;
  EXPECT_EQ(Copy(table).result, CopyResult::SourceFailed);
  EXPECT_EQ(target_.statements, std::vector<std::string>{"INSERT INTO `T` VALUES(1);"});
  ASSERT_EQ(owner_.messages.size(), 1u);
  EXPECT_EQ(owner_.messages[0],
            "Message: \nMicrosoft JET Database Engine Error: -2147467259\r\nCould not read the "
            "record.\r\n\r\n");
}

TEST_F(RowCopyTest, ALostConnectionEndsTheCopyAtOnceWithoutAMessagePerRow) {
  FakeTable table;
  table.columns = {LongColumn("ID")};
  for (int i = 0; i < 50; ++i) table.rows.push_back({Variant::Long(i)});
  target_.LoseConnectionAt("INSERT", 10);
  CopyOutcome outcome = Copy(table);
  EXPECT_EQ(outcome.result, CopyResult::ConnectionLost);
  EXPECT_EQ(outcome.errorText, "Lost connection to server during query");
  EXPECT_EQ(target_.statements.size(), 11u);
  EXPECT_TRUE(owner_.messages.empty());
}

// Only hyperlink columns lose their markup to their display text or
// address, and only rich-text memos their paragraph tags; any other text
// arrives as Access holds it, however much it looks like either.
TEST_F(RowCopyTest, MarkupIsCleanedOnlyInColumnsThatStoreIt) {
  FakeTable table;
  testing::FakeColumn link = TypedColumn("Link", source::adLongVarWChar);
  link.flags.hyperlink = true;
  testing::FakeColumn rich = TypedColumn("Rich", source::adLongVarWChar);
  rich.flags.richText = true;
  table.columns = {link, rich, TextColumn("Plain", 255), TypedColumn("Memo", source::adLongVarWChar)};
  const std::vector<std::vector<std::string>> cases = {
      {"someone@example.com#mailto:someone@example.com#", "<div>Hello</div>",
       "Order #12 paid, see #http://shop.example/o/12# for details", "<div>Hello</div>"},
      {"Care sheet#https://example.com/care/fern-pot#", "<div align=center>Title</div>",
       "#http://www.example.com/a#", "<p>kept</p>"},
      {"#https://example.com/manuals/trowel.pdf#", "<div>open only",
       "someone@example.com#mailto:someone@example.com#", "a#b#c"},
      {"##Sheet1!A1#", "<div>a</div><div align=right>b", "x", "y"},
      {"no markup at all", "plain", "x", "y"}};
  for (const auto& values : cases) {
    std::vector<Variant> row;
    for (const std::string& value : values) row.push_back(Variant::Text(value));
    table.rows.push_back(row);
  }
  Copy(table);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{
                "INSERT INTO `T` VALUES('someone@example.com','Hello','Order #12 paid, see "
                "#http://shop.example/o/12# for details','<div>Hello</div>');",
                "INSERT INTO `T` VALUES('Care sheet','Title','#http://www.example.com/a#','<p>kept</p>');",
                "INSERT INTO `T` VALUES('https://example.com/manuals/trowel.pdf','<div>open only',"
                "'someone@example.com#mailto:someone@example.com#','a#b#c');",
                "INSERT INTO `T` VALUES('Sheet1!A1','a<div align=right>b','x','y');",
                "INSERT INTO `T` VALUES('no markup at all','plain','x','y');"}));
}

TEST_F(RowCopyTest, NullTextsOfAUniqueKeyStayNullSoEveryRowIsKept) {
  FakeTable table;
  table.columns = {TextColumn("Code"), TextColumn("Other")};
  table.indexes = {testing::Key("Code", {"Code"}, false, true)};
  table.rows = {{Variant::Text("a"), Variant()},
                {Variant(), Variant()},
                {Variant(), Variant()},
                {Variant::Text(""), Variant::Text("")}};
  Copy(table);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{
                "INSERT INTO `T` VALUES('a','');", "INSERT INTO `T` VALUES(NULL,'');",
                "INSERT INTO `T` VALUES(NULL,'');", "INSERT INTO `T` VALUES('','');"}));
}

}  // namespace
}  // namespace bracken::engine
