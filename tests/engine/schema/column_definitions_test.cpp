#include "engine/schema/column_definitions.h"

#include <gtest/gtest.h>

#include "engine/schema/key_clauses.h"
#include "tests/support/fake_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/recording_target.h"

namespace bracken::engine {
namespace {

using testing::FakeTable;
using testing::Key;
using testing::LongColumn;
using testing::TextColumn;
using testing::TypedColumn;

class ColumnDefinitionsTest : public ::testing::Test {
 protected:
  // Keys first, as the run does: the definitions read what they leave.
  std::string Definitions(FakeTable table) {
    source_.tables["T"] = std::move(table);
    context_.keyState.Clear();
    BuildKeyClauses(owner_, context_, "T");
    return BuildColumnDefinitions(owner_, context_, "T");
  }
  testing::FakeSource source_;
  testing::RecordingTarget target_;
  testing::RecordingOwner owner_;
  ConversionContext context_{target_, source_};
};

TEST_F(ColumnDefinitionsTest, TypesNullabilityAndAutoIncrementInFieldOrder) {
  FakeTable table;
  table.columns = {LongColumn("OrderID", true, false), TextColumn("Customer"),
                   TypedColumn("Amount", source::adCurrency, 8), TextColumn("Order Date", 10)};
  table.indexes = {Key("PrimaryKey", {"OrderID"}, true, true)};
  EXPECT_EQ(Definitions(table),
            "`OrderID` INT NOT NULL AUTO_INCREMENT, `Customer` VARCHAR(50) NULL, `Amount` "
            "DECIMAL(19, 4) NULL, `Order Date` VARCHAR(10) NULL");
  EXPECT_NE(context_.recordset, nullptr);
}

TEST_F(ColumnDefinitionsTest, AutoIncrementOnlyForTheFirstColumnOfALeadingPrimaryKey) {
  FakeTable table;
  table.columns = {LongColumn("ID", true, false), LongColumn("IDX", false, false),
                   TextColumn("Code")};
  // The primary key on another column whose name starts alike.
  table.indexes = {Key("PrimaryKey", {"IDX"}, true)};
  EXPECT_EQ(Definitions(table), "`ID` INT NOT NULL, `IDX` INT NOT NULL, `Code` VARCHAR(50) NULL");
  // A UNIQUE clause standing first.
  table.indexes = {Key("Code", {"Code"}, false, true), Key("PrimaryKey", {"ID"}, true)};
  EXPECT_EQ(Definitions(table), "`ID` INT NOT NULL, `IDX` INT NOT NULL, `Code` VARCHAR(50) NULL");
  // The AutoNumber second in the primary key.
  table.indexes = {Key("PrimaryKey", {"IDX", "ID"}, true)};
  EXPECT_EQ(Definitions(table), "`ID` INT NOT NULL, `IDX` INT NOT NULL, `Code` VARCHAR(50) NULL");
  // Names compare with case.
  table.indexes = {Key("PrimaryKey", {"id"}, true)};
  table.columns[0].flags.nullable = true;
  EXPECT_EQ(Definitions(table), "`ID` INT NULL, `IDX` INT NOT NULL, `Code` VARCHAR(50) NULL");
}

TEST_F(ColumnDefinitionsTest, PrimaryKeyColumnsAreNotNullWhateverTheFileSays) {
  FakeTable table;
  table.columns = {TextColumn("Region"), LongColumn("Number"), TextColumn("Name")};
  table.indexes = {Key("PrimaryKey", {"Region", "Number"}, true)};
  EXPECT_EQ(Definitions(table),
            "`Region` VARCHAR(50) NOT NULL, `Number` INT NOT NULL, `Name` VARCHAR(50) NULL");
}

TEST_F(ColumnDefinitionsTest, NamesAreQuotedAndUnknownTypesLeaveTheTypeEmpty) {
  FakeTable table;
  table.columns = {TypedColumn("x", 12, 16), TextColumn("a`b")};
  EXPECT_EQ(Definitions(table), "`x`  NULL, `a``b` VARCHAR(50) NULL");
}

TEST_F(ColumnDefinitionsTest, ALockedTableStopsTheTimerAndIsSkipped) {
  FakeTable table;
  table.columns = {LongColumn("ID")};
  table.openFailure = testing::kLockedDescription;
  owner_.timerRunning = true;
  EXPECT_EQ(Definitions(table), "");
  EXPECT_FALSE(owner_.timerRunning);
  EXPECT_EQ(owner_.messages,
            std::vector<std::string>{"Message: " + std::string(kTableLockedMessage)});
}

TEST_F(ColumnDefinitionsTest, AFailurePartWayKeepsTheCompletedColumns) {
  FakeTable table;
  table.columns = {LongColumn("A"), TextColumn("B"), TextColumn("C")};
  table.flagsFailureFor = "B";
  EXPECT_EQ(Definitions(table), "`A` INT NULL");
  ASSERT_EQ(owner_.messages.size(), 1u);
  EXPECT_EQ(owner_.messages[0].rfind("Message: \nBracken Access Reader Error: ", 0), 0u);
  // Failing on the first column, or with no columns at all, skips the table.
  table.flagsFailureFor = "A";
  EXPECT_EQ(Definitions(table), "");
  EXPECT_EQ(Definitions(FakeTable{}), "");
}

}  // namespace
}  // namespace bracken::engine
