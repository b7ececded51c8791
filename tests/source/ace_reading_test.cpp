// Reading Access 2007 and later files: the format versions, the complex
// columns with their elements and child tables, calculated columns, and the
// header of a version this reader does not know.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "source/source_access.h"

namespace bracken::source {
namespace {

std::string AceFile(const std::string& stem) {
  return std::string(BRACKEN_SHARED_DIR) + "/corpus/ace/" + stem + ".accdb";
}

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream data;
  data << in.rdbuf();
  return data.str();
}

class AceReading : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!std::filesystem::exists(AceFile("complexDataTestV2007"))) {
      GTEST_SKIP() << "the corpus is not present beside the checkout";
    }
  }
  static Catalog Open(const std::string& stem) {
    Catalog catalog;
    catalog.SetActiveConnection("Provider=Microsoft.ACE.OLEDB.12.0;Data Source=" + AceFile(stem));
    return catalog;
  }
};

TEST_F(AceReading, VersionsAreNamedAndUnknownOnesRefused) {
  EXPECT_EQ(Open("complexDataTestV2007").FormatName(), "ACE12");
  EXPECT_EQ(Open("calcFieldTestV2010").FormatName(), "ACE14");
  EXPECT_EQ(Open("bigintV2016").FormatName(), "ACE16");
  EXPECT_EQ(Open("extDateTestV2019").FormatName(), "ACE17");
  for (char version : {'\x04', '\x07', '\x20'}) {
    std::string bytes = Bytes(AceFile("bigintV2016"));
    bytes[0x14] = version;
    Catalog catalog;
    try {
      catalog.OpenBuffer(bytes);
      ADD_FAILURE() << "version " << int(version) << " opened";
    } catch (const SourceError& error) {
      EXPECT_EQ(error.Description().rfind("Unrecognized database format", 0), 0u);
    }
  }
}

TEST_F(AceReading, ComplexColumnsGiveSetNumbersElementsAndChildTables) {
  Catalog catalog = Open("complexDataTestV2007");
  Table table = catalog.Tables().Item("Table1");
  EXPECT_EQ(table.Columns().Item("multi-value-data").Type(), adMultiValueText);
  EXPECT_EQ(table.Columns().Item("attach-data").Type(), adAttachment);
  EXPECT_THROW(table.Columns().Item("VersionHistory_F5F8918F-0A3F-4DA9-AE71-184EE5012880"),
               SourceError);

  Recordset rows;
  rows.Open("SELECT * FROM [Table1]", catalog);
  rows.MoveNext();  // row2
  Field values = rows.Fields().Item("multi-value-data");
  EXPECT_EQ(values.Value().ToInt64(), 2);
  std::vector<ComplexItem> items = values.Items();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0][0].Name(), "Value");
  EXPECT_EQ(items[0][0].Value().ToText(), "value1");
  EXPECT_EQ(items[1][0].Value().ToText(), "value4");

  Table child = catalog.Tables().Item("Table1_attach-data");
  EXPECT_EQ(child.Type(), "CHILD TABLE");
  EXPECT_EQ(child.Properties().Item("ParentColumn").Value().ToText(), "attach-data");
  Recordset files;
  files.Open("SELECT * FROM [Table1_attach-data]", catalog);
  ASSERT_FALSE(files.Eof());
  EXPECT_EQ(files.Fields().Item(0).Name(), "attach-data");
  EXPECT_EQ(files.Fields().Item("FileData").Value().Bytes(),
            "this is some test data for attachment.");
  ASSERT_EQ(child.Indexes().Count(), 1);
  EXPECT_FALSE(child.Indexes().Item(0).Unique());
}

TEST_F(AceReading, CalculatedColumnsReadAsTheirResults) {
  Catalog catalog = Open("calcFieldTestV2010");
  Columns columns = catalog.Tables().Item("Table1").Columns();
  EXPECT_EQ(columns.Item("MonthlySalary").Type(), adCurrency);
  EXPECT_EQ(columns.Item("AllNames").Type(), adLongVarWChar);
  EXPECT_EQ(columns.Item("IsRich").Type(), adBoolean);
  EXPECT_EQ(columns.Item("LastFirst").Properties().Item("Expression").Value().ToText(),
            "[LastName] & \", \" & [FirstName]");
  Recordset rows;
  rows.Open("SELECT * FROM [Table1]", catalog);
  rows.MoveNext();  // Bart Simpson, salary -1
  Fields fields = rows.Fields();
  EXPECT_EQ(fields.Item("LastFirst").Value().ToText(), "Simpson, Bart");
  EXPECT_EQ(fields.Item("LastFirstLen").Value().ToInt64(), 13);
  EXPECT_EQ(fields.Item("MonthlySalary").Value().ToText(), "-0.0833");
  EXPECT_FALSE(fields.Item("IsRich").Value().ToBool());
  EXPECT_TRUE(fields.Item("BoolTest").Value().ToBool());
  EXPECT_EQ(fields.Item("DecimalTest").Value().ToText(), "-36.2222");
}

}  // namespace
}  // namespace bracken::source
