#include "engine/schema/key_clauses.h"

#include <gtest/gtest.h>

#include "tests/support/fake_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/recording_target.h"

namespace bracken::engine {
namespace {

using testing::FakeSource;
using testing::FakeTable;
using testing::Key;
using testing::LongColumn;
using testing::TextColumn;
using testing::TypedColumn;

class KeyClausesTest : public ::testing::Test {
 protected:
  std::string Keys(FakeTable table) {
    source_.tables["T"] = std::move(table);
    return BuildKeyClauses(owner_, context_, "T");
  }
  FakeSource source_;
  testing::RecordingTarget target_;
  testing::RecordingOwner owner_;
  ConversionContext context_{target_, source_};
};

TEST_F(KeyClausesTest, ClausesFollowIndexOrderAndKeyColumnOrder) {
  FakeTable table;
  table.columns = {LongColumn("ID"), TextColumn("FirstName"), TextColumn("LastName"),
                   TextColumn("City"), TextColumn("Name")};
  table.indexes = {Key("PrimaryKey", {"ID"}, true, true),
                   Key("Names", {"LastName", "FirstName"}, false, true),
                   Key("Place", {"Name", "City"}), Key("IDAgain", {"ID"})};
  EXPECT_EQ(Keys(table),
            ",  PRIMARY KEY(`ID`),  UNIQUE (`LastName`,`FirstName`),  INDEX (`Name`,`City`),  "
            "INDEX (`ID`)");
  EXPECT_TRUE(context_.keyState.primaryKeyEmitted);
  EXPECT_EQ(context_.keyState.leadingPrimaryKeyColumn, "ID");
  EXPECT_EQ(context_.keyState.primaryKeyColumns, std::vector<std::string>{"ID"});
}

TEST_F(KeyClausesTest, NoIndexesGiveNothing) {
  FakeTable table;
  table.columns = {LongColumn("ID")};
  EXPECT_EQ(Keys(table), "");
  EXPECT_FALSE(context_.keyState.primaryKeyEmitted);
}

TEST_F(KeyClausesTest, IndexesThatCannotBeKeptAreLeftOutOrEndTheScan) {
  FakeTable table;
  table.columns = {LongColumn("ID"), TypedColumn("Notes", source::adLongVarWChar),
                   TypedColumn("Photo", source::adLongVarBinary), TextColumn("Code")};
  // A bracketed name and a memo lose their own clause only.
  table.indexes = {Key("{4A2F-77}", {"ID"}), Key("ByNotes", {"Notes"}), Key("ByID", {"ID"}),
                   Key("_Temp", {"Code"}), Key("Late", {"Code"})};
  EXPECT_EQ(Keys(table), ",  INDEX (`ID`)");
  // A binary key column ends the scan like a leading underscore does.
  table.indexes = {Key("ByCode", {"Code"}), Key("ByPhoto", {"Photo", "Code"}), Key("ByID", {"ID"})};
  EXPECT_EQ(Keys(table), ",  INDEX (`Code`)");
  for (int32_t type : {source::adGUID, source::adBinary, source::adVarBinary}) {
    table.columns[2].description.type = type;
    EXPECT_EQ(Keys(table), ",  INDEX (`Code`)") << type;
  }
}

TEST_F(KeyClausesTest, ASourceErrorDropsEveryClauseAndIsShown) {
  FakeTable table;
  table.columns = {LongColumn("ID"), TextColumn("A"), TextColumn("B")};
  table.indexes = {Key("PrimaryKey", {"ID"}, true), Key("A", {"A"}), Key("B", {"B"})};
  table.indexFailureAt = 2;
  EXPECT_EQ(Keys(table), "");
  EXPECT_FALSE(context_.keyState.primaryKeyEmitted);
  EXPECT_TRUE(context_.keyState.primaryKeyColumns.empty());
  ASSERT_EQ(owner_.messages.size(), 1u);
  EXPECT_EQ(owner_.messages[0],
            "Message: \nBracken Access Reader Error: -2147467259\r\nUnspecified "
            "error\r\n\r\n");
}

TEST_F(KeyClausesTest, NamesWithBackticksStayOneIdentifier) {
  FakeTable table;
  table.columns = {TextColumn("a`b"), TextColumn("x` ) ; DROP")};
  table.indexes = {Key("K", {"a`b", "x` ) ; DROP"})};
  EXPECT_EQ(Keys(table), ",  INDEX (`a``b`,`x`` ) ; DROP`)");
}

TEST_F(KeyClausesTest, LongTextColumnsOfAPlainIndexGetPrefixes) {
  FakeTable table;
  table.columns = {TypedColumn("Short", source::adVarWChar, 300),
                   TypedColumn("Tiny", 201, 100),
                   TypedColumn("Memo0", 201, 0),
                   TextColumn("A", 255),
                   TextColumn("B", 255),
                   LongColumn("N")};
  table.indexes = {Key("I1", {"Short"}), Key("I2", {"Tiny"}), Key("I3", {"Memo0"}),
                   Key("I4", {"A", "N"})};
  // Short defined sizes are kept; others take 255 characters; a key that
  // fits is left whole.
  EXPECT_EQ(Keys(table),
            ",  INDEX (`Short`(255)),  INDEX (`Tiny`(100)),  INDEX (`Memo0`(255)),  "
            "INDEX (`A`,`N`)");
}

TEST_F(KeyClausesTest, APlainIndexOverTheKeyLimitShortensItsLongestTextColumns) {
  FakeTable table;
  table.columns = {TextColumn("A", 255), TextColumn("B", 255), TextColumn("C", 40),
                   LongColumn("N")};
  table.indexes = {Key("I", {"A", "B", "C", "N"})};
  // 3 bytes a character: 120 for C and 4 for N leave 876 bytes, 146 characters each.
  EXPECT_EQ(Keys(table), ",  INDEX (`A`(146),`B`(146),`C`,`N`)");
}

TEST_F(KeyClausesTest, UniqueAndPrimaryKeysAreNeverShortened) {
  FakeTable table;
  table.columns = {TextColumn("A", 255), TextColumn("B", 255), LongColumn("ID", true),
                   TypedColumn("Long", source::adVarWChar, 400)};
  table.indexes = {Key("PrimaryKey", {"A", "B"}, true, true), Key("U", {"A", "B"}, false, true),
                   Key("UL", {"Long"}, false, true)};
  // A primary key the server cannot hold whole is kept as a whole-value
  // UNIQUE key over NOT NULL columns: same rows, same meaning.
  EXPECT_EQ(Keys(table), ",  UNIQUE (`A`,`B`),  UNIQUE (`A`,`B`),  UNIQUE (`Long`)");
  EXPECT_FALSE(context_.keyState.primaryKeyEmitted);
  EXPECT_FALSE(context_.keyState.leadingPrimaryKeyColumn);
  EXPECT_EQ(context_.keyState.primaryKeyColumns, (std::vector<std::string>{"A", "B"}));
}

TEST_F(KeyClausesTest, AnAutoNumberInsideAWholeValueUniqueKeyDoesNotCountOn) {
  FakeTable table;
  table.columns = {LongColumn("ID", true), TextColumn("A", 255), TextColumn("B", 255)};
  table.indexes = {Key("PrimaryKey", {"ID"}, true, true), Key("U", {"ID", "A", "B"}, false, true)};
  EXPECT_EQ(Keys(table), ",  PRIMARY KEY(`ID`),  UNIQUE (`ID`,`A`,`B`)");
  EXPECT_TRUE(context_.keyState.primaryKeyEmitted);
  EXPECT_FALSE(context_.keyState.leadingPrimaryKeyColumn);
}

TEST(KeyPartBytesTest, CountsWhatTheServerCounts) {
  EXPECT_EQ(KeyPartBytes("VARCHAR(255)", 0), 765);
  EXPECT_EQ(KeyPartBytes("CHAR(10)", 0), 30);
  EXPECT_EQ(KeyPartBytes("TEXT", 100), 300);
  EXPECT_EQ(KeyPartBytes("DECIMAL(19, 4)", 0), 9);
  EXPECT_EQ(KeyPartBytes("DECIMAL(28, 0)", 0), 13);
  EXPECT_EQ(KeyPartBytes("INT", 0), 4);
  EXPECT_EQ(KeyPartBytes("DATETIME", 0), 8);
}

// Plain indexes held back until after the rows keep the names the server
// gives them in the full CREATE TABLE, and so do the unique keys left in it.
TEST_F(KeyClausesTest, IndexesAfterTheRowsKeepTheServersNames) {
  FakeTable table;
  table.columns = {LongColumn("ID"), TextColumn("City"), TextColumn("Primary")};
  table.indexes = {Key("PrimaryKey", {"ID"}, true, true), Key("City", {"City"}),
                   Key("CityID", {"city", "ID"}, false, true), Key("Odd", {"Primary"}),
                   Key("IDToo", {"ID"})};
  Keys(table);
  const KeyState& state = context_.keyState;
  EXPECT_TRUE(state.plainIndexes);
  EXPECT_EQ(state.keyTextBeforeRows, ",  PRIMARY KEY(`ID`),  UNIQUE `city_2` (`city`,`ID`)");
  EXPECT_EQ(state.indexesAfterRows, (std::vector<std::string>{"ADD INDEX `City` (`City`)",
                                                              "ADD INDEX `Primary_2` (`Primary`)",
                                                              "ADD INDEX `ID` (`ID`)"}));

  // Beyond ASCII the server folds case its own way: everything stays in
  // CREATE TABLE.
  table.columns.push_back(TextColumn("Straße"));
  table.indexes.push_back(Key("Street", {"Straße"}));
  Keys(table);
  EXPECT_TRUE(context_.keyState.indexesAfterRows.empty());
  EXPECT_TRUE(context_.keyState.keyTextBeforeRows.empty());

  // Without a plain index nothing is held back.
  table.indexes = {Key("PrimaryKey", {"ID"}, true, true)};
  Keys(table);
  EXPECT_FALSE(context_.keyState.plainIndexes);
  EXPECT_TRUE(context_.keyState.indexesAfterRows.empty());
}

}  // namespace
}  // namespace bracken::engine
