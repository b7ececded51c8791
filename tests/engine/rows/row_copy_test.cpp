#include "engine/rows/row_copy.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "engine/schema/column_definitions.h"
#include "engine/schema/key_clauses.h"
#include "engine/schema/table_plan.h"
#include "engine/rows/value_cleanup.h"
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
    context_.tablePlan = PlanTable(owner_, context_, name, tableNames_);
    BuildKeyClauses(owner_, context_, name);
    BuildColumnDefinitions(owner_, context_, name);
    return CopyTableRows(owner_, context_, name);
  }
  testing::FakeSource source_;
  testing::RecordingTarget target_;
  testing::RecordingOwner owner_;
  ConversionContext context_{target_, source_};
  NameRegistry tableNames_{false};
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

// A value that cannot be read (or written as text: a date outside the years
// 100 to 9999) costs its row, never the rest of the table.
TEST_F(RowCopyTest, AnUnreadableValueRefusesItsRowAndTheCopyGoesOn) {
  FakeTable table;
  table.columns = {LongColumn("ID"), TypedColumn("When", source::adDate, 8)};
  table.rows = {{Variant::Long(1), Variant::Date(1.5)},
                {Variant::Long(2), Variant::Date(1.5)},
                {Variant::Long(3), Variant::Date(3000000.0)},
                {Variant::Long(4), Variant::Date(2958465.999999)}};
  table.rowFailureAt = 1;
  EXPECT_EQ(Copy(table).result, CopyResult::Finished);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{"INSERT INTO `T` VALUES(1,'1899-12-31 12:00:00');",
                                      "INSERT INTO `T` VALUES(4,'9999-12-31 23:59:59');"}));
  EXPECT_EQ(owner_.messages,
            (std::vector<std::string>{
                "Message: Table [T], row 2, column [ID]: the value cannot be read (Could not read "
                "the record.). The row is left out.",
                "Message: Table [T], row 3, column [When]: the value cannot be read (A date value "
                "is out of the range Access supports.). The row is left out."}));
  EXPECT_EQ(context_.summary.rowsRefused, 2);
  EXPECT_EQ(owner_.reportLines.size(), 2u);
  EXPECT_EQ(owner_.caption, "Converting Table: [T] 4 rows converted...");
}

// NaN and the infinities have no MySQL value: they arrive as NULL, their
// column takes NULL, and the report names each one.
TEST_F(RowCopyTest, ValuesMySqlCannotStoreArriveAsNullAndAreNamed) {
  FakeTable table;
  table.columns = {TypedColumn("S", source::adSingle, 4, false),
                   TypedColumn("D", source::adDouble, 8, false)};
  const double inf = std::numeric_limits<double>::infinity();
  table.rows = {{Variant::Single(3.4028235e38f), Variant::Double(-1.7976931348623157e308)},
                {Variant::Single(std::nanf("")), Variant::Double(-inf)},
                {Variant::Single(-3.4028235e38f), Variant::Double(1.5)}};
  Copy(table);
  EXPECT_EQ(context_.tablePlan.Find("S")->holdsNonFinite, true);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{
                "INSERT INTO `T` VALUES(3.4028234663852886e+38,-1.7976931348623157e+308);",
                "INSERT INTO `T` VALUES(NULL,NULL);",
                "INSERT INTO `T` VALUES(-3.4028234663852886e+38,1.5);"}));
  EXPECT_EQ(context_.summary.valuesChanged, 2);
  ASSERT_EQ(owner_.reportLines.size(), 2u);
  EXPECT_EQ(owner_.reportLines[1],
            "Table [T], row 2, column [D]: the value -Infinity cannot be stored in MySQL and is "
            "stored as NULL.");
}

// A row whose INSERT text would pass the server's limit sends its longest
// values apart; a value that alone passes it refuses its row, by name.
TEST_F(RowCopyTest, ValuesPastTheStatementLimitAreSentApartOrNamed) {
  target_.traits.maxAllowedPacket = 8192;
  FakeTable table;
  table.columns = {LongColumn("ID"), TypedColumn("Ole", source::adLongVarBinary),
                   TypedColumn("Memo", source::adLongVarWChar)};
  table.rows = {{Variant::Long(1), Variant::Binary(std::string(2000, 'x')),
                 Variant::Text(std::string(2000, 'm'))},
                {Variant::Long(2), Variant::Binary(std::string(5000, 'x')), Variant::Text("short")},
                {Variant::Long(3), Variant::Binary(std::string(9000, 'x')), Variant()}};
  Copy(table);
  ASSERT_EQ(target_.statements.size(), 2u);
  EXPECT_EQ(target_.statements[0].size(), 6032u) << "sent whole, as text";
  EXPECT_EQ(target_.statements[1], "INSERT INTO `T` VALUES(2,?,'short');");
  ASSERT_EQ(target_.longValueCalls.size(), 1u);
  EXPECT_EQ(target_.longValueCalls[0].values, std::vector<std::string>{std::string(5000, 'x')});
  EXPECT_EQ(owner_.messages,
            std::vector<std::string>{
                "Message: Table [T], row 3, column [Ole]: the value of 9000 bytes is larger than "
                "the server's max_allowed_packet of 8192 bytes; the row is left out. Raise "
                "max_allowed_packet on the server (for example SET GLOBAL "
                "max_allowed_packet=1073741824, the largest it takes) and convert again."});
  EXPECT_EQ(context_.summary.rowsRefused, 1);
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
  table.columns = {link, rich, TextColumn("Plain", 255),
                   TypedColumn("Memo", source::adLongVarWChar)};
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
                "INSERT INTO `T` VALUES('Care "
                "sheet','Title','#http://www.example.com/a#','<p>kept</p>');",
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
