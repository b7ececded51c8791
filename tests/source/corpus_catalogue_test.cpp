// Catalogue facts of the corpus files that the reference dumps leave out:
// primary keys, unique and plain indexes with their key order, Required and
// auto-numbers, the order of tables and columns, and the database password.
// Skipped when the corpus beside the checkout is absent.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "source/source_access.h"

namespace bracken::source {
namespace {

std::string CorpusFile(const std::string& name) {
  return std::string(BRACKEN_SHARED_DIR) + "/corpus/" + name;
}

class CorpusCatalogue : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(CorpusFile("jet4/testV2000.mdb"))) {
      GTEST_SKIP() << "the corpus is not present beside the checkout";
    }
  }

  static Catalog Open(const std::string& name, const std::string& password = {}) {
    Catalog catalog;
    catalog.SetActiveConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + CorpusFile(name) +
                                ";Jet OLEDB:Database Password=" + password);
    return catalog;
  }

  static std::vector<std::string> Names(const Columns& columns) {
    std::vector<std::string> names;
    for (long i = 0; i < columns.Count(); ++i) names.push_back(columns.Item(i).Name());
    return names;
  }

  static Index FindIndex(const Table& table, const std::string& name) {
    Indexes indexes = table.Indexes();
    for (long i = 0; i < indexes.Count(); ++i) {
      if (indexes.Item(i).Name() == name) return indexes.Item(i);
    }
    ADD_FAILURE() << "no index " << name;
    return indexes.Item(0);
  }

  static bool Flag(const Table& table, const std::string& column, const char* property) {
    return table.Columns().Item(column).Properties().Item(property).Value().ToBool();
  }
};

TEST_F(CorpusCatalogue, PrimaryKeysAndIndexesWithTheirColumns) {
  for (const char* file : {"jet4/indexTestV2000.mdb", "jet3/indexTestV1997.mdb"}) {
    SCOPED_TRACE(file);
    Catalog catalog = Open(file);
    Table table1 = catalog.Tables().Item("Table1");
    EXPECT_EQ(table1.Indexes().Count(), 4);
    Index primary = FindIndex(table1, "PrimaryKey");
    EXPECT_TRUE(primary.PrimaryKey());
    EXPECT_TRUE(primary.Unique());
    EXPECT_EQ(Names(primary.Columns()), std::vector<std::string>{"id"});
    Index plain = FindIndex(table1, "id");
    EXPECT_FALSE(plain.PrimaryKey());
    EXPECT_FALSE(plain.Unique());
    EXPECT_EQ(Names(FindIndex(table1, "Table2Table1").Columns()),
              std::vector<std::string>{"otherfk1"});
    EXPECT_EQ(Names(FindIndex(table1, "Table3Table1").Columns()),
              std::vector<std::string>{"otherfk2"});
    // The referenced side of a relationship adds no index of its own.
    Table table2 = catalog.Tables().Item("Table2");
    EXPECT_EQ(table2.Indexes().Count(), 2);
  }
}

TEST_F(CorpusCatalogue, UniqueFlagsAndKeyOrderOfCompositeIndexes) {
  Catalog catalog = Open("jet4/testIndexPropertiesV2000.mdb");
  Index unique = FindIndex(catalog.Tables().Item("TableUnique2_temp"), "DataIndex");
  EXPECT_TRUE(unique.Unique());
  EXPECT_FALSE(unique.PrimaryKey());
  EXPECT_EQ(Names(unique.Columns()), (std::vector<std::string>{"data1", "data2"}));
  EXPECT_FALSE(FindIndex(catalog.Tables().Item("TableIgnoreNulls2"), "DataIndex").Unique());
  EXPECT_TRUE(FindIndex(catalog.Tables().Item("TableUnique1_temp"), "DataIndex").Unique());
  EXPECT_FALSE(FindIndex(catalog.Tables().Item("TableIgnoreNulls1"), "DataIndex").Unique());
}

TEST_F(CorpusCatalogue, RequiredAndAutoNumberColumnsAreNotNullable) {
  Table users = Open("jet4/fixedTextTestV2000.mdb").Tables().Item("users");
  EXPECT_FALSE(Flag(users, "c_user_login", "Nullable"));
  EXPECT_FALSE(Flag(users, "c_user_login", "Autoincrement"));
  EXPECT_TRUE(users.Columns().Item("c_user_login").Properties().Item("Required").Value().ToBool());

  for (const char* file : {"jet4/testV2000.mdb", "jet3/testV1997.mdb"}) {
    SCOPED_TRACE(file);
    Catalog catalog = Open(file);
    Table table3 = catalog.Tables().Item("Table3");
    EXPECT_TRUE(Flag(table3, "a", "Autoincrement"));
    EXPECT_FALSE(Flag(table3, "a", "Nullable"));
    EXPECT_TRUE(Flag(table3, "b", "Nullable"));
    EXPECT_FALSE(Flag(table3, "b", "Autoincrement"));
    // A generated GUID is an auto-number too, but not an auto-increment.
    Table table4 = catalog.Tables().Item("Table4");
    EXPECT_EQ(table4.Columns().Item("data").Type(), adGUID);
    EXPECT_FALSE(Flag(table4, "data", "Nullable"));
    EXPECT_FALSE(Flag(table4, "data", "Autoincrement"));
  }
  EXPECT_TRUE(
      Flag(Open("jet4/noPasswordV2000.mdb").Tables().Item("Table1"), "ID", "Autoincrement"));
}

TEST_F(CorpusCatalogue, TablesAndColumnsInTheProvidersOrder) {
  Catalog catalog = Open("jet4/indexTestV2000.mdb");
  Tables tables = catalog.Tables();
  std::vector<std::string> userTables;
  for (long i = 0; i < tables.Count(); ++i) {
    if (i > 0) {
      EXPECT_LE(tables.Item(i - 1).Type(), tables.Item(i).Type());
    }
    if (tables.Item(i).Type() == "TABLE") userTables.push_back(tables.Item(i).Name());
  }
  EXPECT_EQ(userTables, (std::vector<std::string>{"Table1", "Table2", "Table3"}));
  EXPECT_EQ(tables.Item("msysobjects").Type(), "SYSTEM TABLE");

  Table table1 = tables.Item("table1");
  EXPECT_EQ(Names(table1.Columns()),
            (std::vector<std::string>{"data", "id", "otherfk1", "otherfk2", "otherfk3"}));
  Recordset recordset;
  recordset.Open("SELECT * FROM [Table1]", catalog);
  std::vector<std::string> fields;
  for (long i = 0; i < recordset.Fields().Count(); ++i) {
    fields.push_back(recordset.Fields().Item(i).Name());
  }
  EXPECT_EQ(fields, (std::vector<std::string>{"id", "otherfk1", "otherfk2", "data", "otherfk3"}));
}

TEST_F(CorpusCatalogue, FieldTypesSizesAndValues) {
  Recordset recordset;
  recordset.Open("SELECT * FROM [Table1]", "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" +
                                               CorpusFile("jet4/testV2000.mdb") +
                                               ";Jet OLEDB:Database Password=");
  Fields fields = recordset.Fields();
  std::vector<int32_t> types, sizes;
  for (long i = 0; i < fields.Count(); ++i) {
    types.push_back(fields.Item(i).Type());
    sizes.push_back(fields.Item(i).DefinedSize());
  }
  EXPECT_EQ(types, (std::vector<int32_t>{202, 202, 17, 2, 3, 5, 7, 6, 11}));
  EXPECT_EQ(sizes, (std::vector<int32_t>{50, 100, 1, 2, 4, 8, 8, 8, 0}));
  std::vector<std::string> texts;
  for (; !recordset.Eof(); recordset.MoveNext()) {
    if (fields.Item("A").Value().ToText() != "abcdefg") continue;
    for (long i = 0; i < fields.Count(); ++i) texts.push_back(fields.Item(i).Value().ToText());
    EXPECT_EQ(fields.Item("A").ActualSize(), 14);
    EXPECT_EQ(fields.Item("E").ActualSize(), 4);
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"abcdefg", "hijklmnop", "2", "222", "333333333",
                                             "444.555", "9/21/1974", "3.5", "-1"}));
}

TEST_F(CorpusCatalogue, PasswordIsCheckedOnlyWhereTheFileHasOne) {
  EXPECT_EQ(Open("jet4/withPasswordV2000.mdb", "password").Tables().Item("Table1").Name(),
            "Table1");
  for (const char* wrong : {"", "Password", "password;"}) {
    try {
      Open("jet4/withPasswordV2000.mdb", wrong);
      ADD_FAILURE() << "opened with " << wrong;
    } catch (const SourceError& error) {
      EXPECT_EQ(error.Description(), "Not a valid password.");
    }
  }
  EXPECT_NO_THROW(Open("jet4/noPasswordV2000.mdb", "anything;at=all"));
}

}  // namespace
}  // namespace bracken::source
