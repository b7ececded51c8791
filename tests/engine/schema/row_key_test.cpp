#include "engine/schema/row_key.h"

#include <gtest/gtest.h>

namespace bracken::engine {
namespace {

target::ServerTraits Server(const std::string& version, bool mariaDb) {
  target::ServerTraits traits;
  traits.version = version;
  traits.isMariaDb = mariaDb;
  return traits;
}

TEST(RowKeyTest, InvisibleColumnsNeedMariaDb103OrMySql8023) {
  EXPECT_TRUE(TakesInvisibleColumns(Server("10.3.39-MariaDB", true)));
  EXPECT_TRUE(TakesInvisibleColumns(Server("11.4.2-MariaDB-log", true)));
  EXPECT_FALSE(TakesInvisibleColumns(Server("10.2.44-MariaDB", true)));
  EXPECT_TRUE(TakesInvisibleColumns(Server("8.0.23", false)));
  EXPECT_TRUE(TakesInvisibleColumns(Server("8.4.0-commercial", false)));
  EXPECT_TRUE(TakesInvisibleColumns(Server("9.1.0", false)));
  EXPECT_FALSE(TakesInvisibleColumns(Server("8.0.22", false)));
  // A dump's "mysql-8.0" names no patch level: the oldest 8.0 is assumed.
  EXPECT_FALSE(TakesInvisibleColumns(Server("8.0", false)));
  EXPECT_FALSE(TakesInvisibleColumns(Server("5.7.44-log", false)));
  EXPECT_FALSE(TakesInvisibleColumns(Server("", false)));
  EXPECT_EQ(NoInvisibleColumnsReason(Server("5.7.44-log", false)),
            "the server (MySQL 5.7.44) takes no invisible columns (MariaDB 10.3 and MySQL 8.0.23 "
            "or later do)");
}

TEST(RowKeyTest, TheKeyColumnNameNeverMeetsOneOfTheTable) {
  TablePlan plan;
  EXPECT_EQ(RowKeyColumnName(plan), "bracken_row_id");
  for (const char* name : {"BRACKEN_ROW_ID",
                           "Br\xC3\xA1"
                           "cken_Row_Id_2"}) {
    ColumnPlan column;
    column.sourceName = "A";
    column.targetName = name;
    column.typeText = "INT";
    plan.columns.push_back(column);
  }
  EXPECT_EQ(RowKeyColumnName(plan), "bracken_row_id_3");
  EXPECT_EQ(RowKeyDefinition("bracken_row_id_3"),
            ", `bracken_row_id_3` BIGINT UNSIGNED NOT NULL AUTO_INCREMENT INVISIBLE PRIMARY KEY");
}

// Only a column made as the conversion makes it is taken for its key
// column, as MariaDB and MySQL describe it.
TEST(RowKeyTest, OnlyTheColumnTheConversionMadeIsRecognised) {
  EXPECT_TRUE(
      IsRowKeyColumn("bracken_row_id", "bigint(20) unsigned", "auto_increment, INVISIBLE", "PRI"));
  EXPECT_TRUE(
      IsRowKeyColumn("bracken_row_id_12", "bigint unsigned", "auto_increment INVISIBLE", "PRI"));
  // A user's own column of that name: visible, not counting, or not the key.
  EXPECT_FALSE(IsRowKeyColumn("bracken_row_id", "bigint(20) unsigned", "auto_increment", "PRI"));
  EXPECT_FALSE(IsRowKeyColumn("bracken_row_id", "bigint(20) unsigned", "INVISIBLE", "PRI"));
  EXPECT_FALSE(
      IsRowKeyColumn("bracken_row_id", "bigint(20) unsigned", "auto_increment, INVISIBLE", ""));
  EXPECT_FALSE(IsRowKeyColumn("bracken_row_id", "int(11)", "auto_increment, INVISIBLE", "PRI"));
  // Other names.
  for (const char* name : {"bracken_row_idx", "bracken_row_id_", "bracken_row_id_0", "my_row_id",
                           "bracken_row_id_2a"}) {
    EXPECT_FALSE(IsRowKeyColumn(name, "bigint unsigned", "auto_increment INVISIBLE", "PRI"))
        << name;
  }
}

TEST(RowKeyTest, ClustersAndServersRequiringKeysNeedThem) {
  target::ClusterTraits single;
  EXPECT_FALSE(ServerNeedsRowKeys(single));
  target::ClusterTraits galera;
  galera.galeraNode = true;
  EXPECT_TRUE(ServerNeedsRowKeys(galera));
  target::ClusterTraits required;
  required.sqlRequirePrimaryKey = true;
  EXPECT_TRUE(ServerNeedsRowKeys(required));
}

}  // namespace
}  // namespace bracken::engine
