// Access 2007 and later files converted into the test server: attachment
// and multi-value columns arrive as set numbers with their child tables,
// the versions of append-only memos as a history table,
// calculated columns as their results with the expression as comment,
// Large Number and Date/Time Extended in their own types.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/source_connection.h"
#include "tests/engine/server_conversion.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

namespace fs = std::filesystem;

class AceConversion : public ::testing::Test {
 protected:
  static std::string File(const std::string& stem) {
    return (fs::path(BRACKEN_SHARED_DIR) / "corpus" / "ace" / (stem + ".accdb")).string();
  }

  // Converts every user table of the file; the run must complete cleanly,
  // with no report lines but the ones given.
  static void Convert(const testing::TestServer& server, const std::string& stem,
                      const std::string& database,
                      const std::vector<std::string>& reportLines = {}) {
    const std::string connectionText = BuildConnectionText(File(stem), "");
    source::Catalog catalog;
    catalog.SetActiveConnection(connectionText);
    CatalogSource source(catalog, connectionText);
    ServerConversion run = ConvertAll(server, source, ListTableNames(catalog), database);
    EXPECT_EQ(run.summary.ending, RunEnding::Completed);
    EXPECT_EQ(run.summary.rowsRefused, 0);
    EXPECT_FALSE(run.summary.Lost());
    EXPECT_EQ(run.reportLines, reportLines);
  }

  void SetUp() override {
    if (!fs::exists(File("attachmentsV2016"))) GTEST_SKIP() << "no corpus beside the checkout";
  }
};

TEST_F(AceConversion, AttachmentsArriveAsSetNumbersAndAChildTable) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  Convert(server, "attachmentsV2016", "eng_ace_attach");
  testing::ServerQuery query(server, "eng_ace_attach");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(`Attachments` ORDER BY ID) FROM Table1"), "1,2,3");
  EXPECT_EQ(query.Value("SELECT DATA_TYPE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                        "'eng_ace_attach' AND TABLE_NAME = 'Table1' AND COLUMN_NAME = "
                        "'Attachments'"),
            "int");
  // The set without files (row 1) has no child row; the files arrive inflated.
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONCAT(`Attachments`, ':', FileName, ':', FileType, "
                        "':', FileData) ORDER BY `Attachments`, FileName SEPARATOR '|') "
                        "FROM Table1_Attachments"),
            "2:attachment1.txt:txt:Attachment 1|3:attachment1.txt:txt:Attachment 1|"
            "3:attachment2.txt:txt:Attachment 2|3:attachment3.txt:txt:Attachment 3");
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA = "
                        "'eng_ace_attach' AND TABLE_NAME = 'Table1_Attachments' AND "
                        "COLUMN_NAME = 'Attachments'"),
            "1");
  EXPECT_EQ(query.Value("SELECT IS_NULLABLE FROM information_schema.COLUMNS WHERE TABLE_SCHEMA "
                        "= 'eng_ace_attach' AND TABLE_NAME = 'Table1_Attachments' AND "
                        "COLUMN_NAME = 'Attachments'"),
            "NO");
  query.Execute("DROP DATABASE eng_ace_attach");
}

// The append-only memo keeps its current text; its versions arrive in a
// child table keyed like their row, in the file's order: by row, then date.
TEST_F(AceConversion, MultiValueColumnsArriveAsValueRowsAndVersionsAsAHistoryTable) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  Convert(server, "complexDataTestV2007", "eng_ace_complex");
  testing::ServerQuery query(server, "eng_ace_complex");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONCAT(`multi-value-data`, ':', Value) ORDER BY "
                        "`multi-value-data`, Value) FROM `Table1_multi-value-data`"),
            "2:value1,2:value4,3:value1,3:value2,3:value3,3:value4");
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                        "'eng_ace_complex' AND TABLE_NAME = 'Table1' AND COLUMN_NAME LIKE "
                        "'VersionHistory%'"),
            "0");
  EXPECT_EQ(query.Value("SELECT `append-memo-data` FROM Table1 WHERE id = 'row3'"),
            "row3-memo-again");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONCAT(COLUMN_NAME, ' ', COLUMN_TYPE) ORDER BY "
                        "ORDINAL_POSITION) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                        "'eng_ace_complex' AND TABLE_NAME = 'Table1_append-memo-data_history'"),
            "id varchar(255),Modified datetime,append-memo-data longtext");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONCAT(id, '@', Modified, '=', `append-memo-data`) "
                        "SEPARATOR '|') FROM `Table1_append-memo-data_history`"),
            "row2@2011-09-12 21:21:02=row2-memo|row3@2011-09-12 21:21:19=row3-memo|"
            "row3@2011-09-12 21:22:33=row3-memo-revised|row3@2011-09-12 21:22:45=row3-memo-again|"
            "row4@2011-09-12 21:22:26=row4-memo");
  // Joined to its row, the latest version is the memo's current text.
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Table1 t JOIN `Table1_append-memo-data_history` h "
                        "ON h.id = t.id WHERE h.Modified = (SELECT MAX(Modified) FROM "
                        "`Table1_append-memo-data_history` l WHERE l.id = t.id) AND "
                        "h.`append-memo-data` = t.`append-memo-data`"),
            "3");
  query.Execute("DROP DATABASE eng_ace_complex");
}

TEST_F(AceConversion, CalculatedColumnsKeepResultsAndExpressions) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  // The file's own count of the table's rows is stale: named, nothing lost.
  Convert(server, "calcFieldTestV2010", "eng_ace_calc",
          {"Table [Table1]: the file counts 3 rows, but 4 were found."});
  testing::ServerQuery query(server, "eng_ace_calc");
  EXPECT_EQ(query.Value("SELECT CONCAT(LastFirst, '|', LastFirstLen, '|', MonthlySalary, '|', "
                        "CAST(IsRich AS UNSIGNED), '|', AllNames) FROM Table1 WHERE ID = 1"),
            "Wayne, Bruce|12|83333.3333|1|Wayne, Bruce=Wayne, Bruce");
  EXPECT_EQ(query.Value("SELECT TRIM(TRAILING '0' FROM BigNumTest) FROM Table1 WHERE ID = 2"),
            "-0.0784734499180612994241100748");
  EXPECT_EQ(query.Value("SELECT COLUMN_COMMENT FROM information_schema.COLUMNS WHERE "
                        "TABLE_SCHEMA = 'eng_ace_calc' AND TABLE_NAME = 'Table1' AND "
                        "COLUMN_NAME = 'AllNames'"),
            "[LastName] & \", \" & [FirstName] & \"=\" & [LastFirst]");
  query.Execute("DROP DATABASE eng_ace_calc");
}

TEST_F(AceConversion, LargeNumbersAndExtendedDatesKeepTheirTypes) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  Convert(server, "bigintV2016", "eng_ace_bigint");
  Convert(server, "extDateTestV2019", "eng_ace_extdate");
  testing::ServerQuery bigint(server, "eng_ace_bigint");
  EXPECT_EQ(bigint.Value("SELECT CONCAT(DATA_TYPE, ':', (SELECT `Numeric` FROM eng_ace_bigint."
                         "`Table`)) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = "
                         "'eng_ace_bigint' AND COLUMN_NAME = 'Numeric'"),
            "bigint:42");
  bigint.Execute("DROP DATABASE eng_ace_bigint");
  testing::ServerQuery dates(server, "eng_ace_extdate");
  // The seventh digit of the fraction cannot be held.
  EXPECT_EQ(dates.Value("SELECT CONCAT(DateExt) FROM Table1 WHERE ID = 6"),
            "2021-06-14 22:45:12.345678");
  EXPECT_EQ(dates.Value("SELECT CONCAT(DateExt) FROM Table1 WHERE ID = 8"),
            "0100-06-14 12:45:00.123456");
  dates.Execute("DROP DATABASE eng_ace_extdate");
}

}  // namespace
}  // namespace bracken::engine
