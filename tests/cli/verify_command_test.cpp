// bracken-cli verify and convert --verify against the test server: faithful
// copies verify clean, and every kind of damage done to a copy afterwards is
// named with a failing exit status.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>

#include "tests/cli/cli_server_test.h"
#include "tests/support/file_damage.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class VerifyCommandTest : public CliServerTest {
 protected:
  VerifyCommandTest() : CliServerTest("bracken_verify") {}

  ShellRun Run(const std::string& command, const std::string& file, const std::string& database,
               const std::vector<std::string>& more = {}) {
    std::string line = "MYSQL_PWD=" + ShellQuoted(server_.password) + " " +
                       ShellQuoted(program_.string()) + " " + command + " " + ShellQuoted(file) +
                       " --host " + ShellQuoted(server_.host) + " --user " +
                       ShellQuoted(server_.user) + " --database " + ShellQuoted(database);
    for (const std::string& arg : more) line += " " + ShellQuoted(arg);
    return RunShell(line, dir_);
  }

  // A file with a keyed table, a table without a key and the values the
  // conversion stores otherwise than Access holds them.
  std::string WriteShop() {
    FixtureTable orders;
    orders.name = "Orders";
    orders.columns = {
        MakeColumn("OrderID", ColumnKind::Long),     MakeColumn("Customer", ColumnKind::Text, 40),
        MakeColumn("Paid", ColumnKind::Boolean),     MakeColumn("Weight", ColumnKind::Single),
        MakeColumn("Ratio", ColumnKind::Double),     MakeColumn("Freight", ColumnKind::Currency),
        MakeColumn("Shipped", ColumnKind::DateTime), MakeColumn("Link", ColumnKind::Hyperlink),
        MakeColumn("Photo", ColumnKind::Ole)};
    orders.indexes = {{"PrimaryKey", {"OrderID"}, true, true, false}};
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int64_t i = 1; i <= 30; ++i) {
      orders.rows.push_back(
          {i, i % 7 == 0 ? FixtureValue{} : FixtureValue{"Customer " + std::to_string(i)},
           i % 2 == 0, i == 5 ? FixtureValue{nan} : FixtureValue{i * 0.1},
           i == 6 ? FixtureValue{std::numeric_limits<double>::infinity()} : FixtureValue{i / 3.0},
           int64_t{12345} * i, 40000.0 + i + 0.25,
           FixtureValue{"Site " + std::to_string(i) + "#http://example.com/" + std::to_string(i) +
                        "#"},
           i % 3 == 0 ? FixtureValue{} : FixtureValue{std::string("\x00\x01\xff", 3)}});
    }
    FixtureTable notes;
    notes.name = "Notes";
    notes.columns = {MakeColumn("Line", ColumnKind::Text, 100),
                     MakeColumn("Count", ColumnKind::Integer)};
    for (int64_t i = 0; i < 12; ++i) {
      notes.rows.push_back({"note " + std::to_string(i % 5), i % 4});  // repeated rows too
    }
    FixtureDatabase database;
    database.tables = {orders, notes};
    const std::string path = (dir_ / "shop.mdb").string();
    WriteJet4File(database, path);
    return path;
  }
};

TEST_F(VerifyCommandTest, EveryCorpusFileConvertsAndVerifiesClean) {
  if (!fs::exists(fs::path(BRACKEN_SHARED_DIR) / "corpus")) {
    GTEST_SKIP() << "no corpus beside the checkout";
  }
  const std::vector<fs::path> files = CorpusFiles();
  ASSERT_FALSE(files.empty());
  // The child tables of attachment and multi-value columns and the histories
  // of append-only memos are verified after their table, under the names the
  // conversion gave them.
  const std::map<std::string, std::string> children = {
      {"attachmentsV2016", "Table1: 3 rows identical\nTable1_Attachments: 4 rows identical\n"},
      {"complexDataTestV2007",
       "Table1: 4 rows identical\nTable1_append-memo-data_history: 5 rows identical\n"
       "Table1_attach-data: 3 rows identical\nTable1_multi-value-data: 6 rows identical\n"}};
  for (const fs::path& file : files) {
    SCOPED_TRACE(file.filename().string());
    std::vector<std::string> more;
    if (file.stem().string().rfind("withPassword", 0) == 0) {
      more = {"--mdb-password", "password"};
    }
    std::vector<std::string> convertArgs = more;
    convertArgs.insert(convertArgs.end(), {"--yes", "--verify"});
    ShellRun converted = Run("convert", file.string(), "cli_verify_corpus", convertArgs);
    ShellRun verified = Run("verify", file.string(), "cli_verify_corpus", more);
    if (Has(converted.output, "no table to convert")) {
      EXPECT_EQ(verified.status, 0) << verified.output;  // no tables: nothing differs
      continue;
    }
    // A saved query that cannot become a view or procedure is named, and the
    // run is then incomplete; verify names it as not converted, no difference.
    const bool queryNamed = Has(converted.errors, "] was not converted: ");
    EXPECT_EQ(converted.status, queryNamed ? 1 : 0) << converted.errors;
    if (queryNamed) {
      EXPECT_TRUE(Has(verified.output, ": not converted: ")) << verified.output;
    }
    EXPECT_TRUE(Has(converted.output, "tables identical")) << converted.output;
    EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
    EXPECT_TRUE(Has(verified.output, " 0 with differences")) << verified.output;
    EXPECT_FALSE(Has(verified.output, "difference (")) << verified.output;
    auto lines = children.find(file.stem().string());
    if (lines != children.end()) {
      EXPECT_TRUE(Has(verified.output, lines->second)) << verified.output;
    }
  }
  ServerQuery(server_).Execute("DROP DATABASE IF EXISTS cli_verify_corpus");
}

// Changes in the child tables of complex columns and in the values of the
// Access 2007 types are named like any other.
TEST_F(VerifyCommandTest, ChangesToChildTablesAndExtendedDatesAreNamed) {
  const fs::path corpus = fs::path(BRACKEN_SHARED_DIR) / "corpus" / "ace";
  if (!fs::exists(corpus / "complexDataTestV2007.accdb")) GTEST_SKIP() << "no corpus";
  const std::string complex = (corpus / "complexDataTestV2007.accdb").string();
  ASSERT_EQ(Run("convert", complex, "cli_verify_ace", {"--yes"}).status, 0);
  ServerQuery query(server_, "cli_verify_ace");
  query.Execute("UPDATE `Table1_multi-value-data` SET Value='value9' WHERE Value='value4'");
  query.Execute("DELETE FROM `Table1_attach-data` WHERE FileName LIKE '%' LIMIT 1");
  query.Execute(
      "UPDATE `Table1_append-memo-data_history` SET `append-memo-data`='row3-memo-x' "
      "WHERE `append-memo-data`='row3-memo-revised'");
  ShellRun verified = Run("verify", complex, "cli_verify_ace");
  EXPECT_EQ(verified.status, 1);
  EXPECT_TRUE(Has(verified.output, "Table1: 4 rows identical\n")) << verified.output;
  EXPECT_TRUE(Has(verified.output, "Table1_attach-data: 1 difference (3 rows in the file, 2 in"))
      << verified.output;
  EXPECT_TRUE(
      Has(verified.output, "Table1_multi-value-data: 4 differences (6 rows in the file, 6 in"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output, "  a row in MySQL only: 2, 'value9'\n")) << verified.output;
  EXPECT_TRUE(Has(verified.output, "  row 2 of the file is missing in MySQL: 2, 'value4'\n"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output,
                  "Table1_append-memo-data_history: 2 differences (5 rows in the file, 5 in"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output,
                  "  a row in MySQL only: 'row3', 2011-09-12 21:22:33, "
                  "'row3-memo-x'\n"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output,
                  "  row 3 of the file is missing in MySQL: 'row3', 2011-09-12 "
                  "21:22:33, 'row3-memo-revised'\n"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output, "4 tables verified, 1 identical, 3 with differences"))
      << verified.output;

  const std::string dates = (corpus / "extDateTestV2019.accdb").string();
  ASSERT_EQ(Run("convert", dates, "cli_verify_ace", {"--yes"}).status, 0);
  query.Execute("UPDATE Table1 SET DateExt=DateExt + INTERVAL 1 MICROSECOND WHERE ID=6");
  verified = Run("verify", dates, "cli_verify_ace");
  EXPECT_EQ(verified.status, 1);
  EXPECT_TRUE(Has(verified.output,
                  "  row ID=6: column [DateExt] is 2021-06-14 22:45:12.3456789 in the file, "
                  "2021-06-14 22:45:12.345679 in MySQL\n"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output, "Table1: 1 difference")) << verified.output;
  query.Execute("DROP DATABASE cli_verify_ace");
}

// Nulls become '', hyperlinks their display text, NaN and infinities NULL,
// Yes 1, bytes stay bytes: a faithful copy verifies clean with all of them.
TEST_F(VerifyCommandTest, WhatTheConversionChangesOnPurposeVerifiesClean) {
  const std::string file = WriteShop();
  ShellRun converted = Run("convert", file, "cli_verify_shop", {"--yes", "--verify"});
  EXPECT_EQ(converted.status, 1) << "NaN and Infinity are reported as changed values";
  EXPECT_TRUE(Has(converted.output, "verified: 2 of 2 tables identical")) << converted.output;
  ShellRun verified = Run("verify", file, "cli_verify_shop");
  EXPECT_EQ(verified.status, 0) << verified.output;
  EXPECT_EQ(verified.output,
            "Notes: 12 rows identical\nOrders: 30 rows identical\n"
            "cli_verify_shop: 2 tables verified, 2 identical, 0 with differences\n");
  ServerQuery(server_).Execute("DROP DATABASE cli_verify_shop");
}

TEST_F(VerifyCommandTest, EachChangeMadeInMySqlAfterTheConversionIsNamed) {
  const std::string file = WriteShop();
  ASSERT_EQ(Run("convert", file, "cli_verify_damage", {"--yes"}).status, 1);
  ServerQuery query(server_, "cli_verify_damage");
  struct Damage {
    std::string statement, undo, expected;
  };
  const std::vector<Damage> damages = {
      {"UPDATE Orders SET Customer='Someone else' WHERE OrderID=4",
       "UPDATE Orders SET Customer='Customer 4' WHERE OrderID=4",
       "  row OrderID=4: column [Customer] is 'Customer 4' in the file, 'Someone else' in MySQL"},
      {"UPDATE Orders SET Weight=0.2000001 WHERE OrderID=2",
       "UPDATE Orders SET Weight=0.2 WHERE OrderID=2",
       "  row OrderID=2: column [Weight] is 0.2 in the file, 0.2000001072883606 in MySQL"},
      {"DELETE FROM Orders WHERE OrderID=9",
       "INSERT INTO Orders SELECT * FROM cli_verify_damage_keep.Orders WHERE OrderID=9",
       "  row OrderID=9 is missing in MySQL"},
      {"INSERT INTO Orders (OrderID, Customer) VALUES (99, 'New')",
       "DELETE FROM Orders WHERE OrderID=99", "  row OrderID=99 is in MySQL only"},
      {"DELETE FROM Notes WHERE Line='note 3' LIMIT 1", "INSERT INTO Notes VALUES ('note 3', 3)",
       "  row 4 of the file is missing in MySQL: 'note 3', 3"},
      {"INSERT INTO Notes VALUES ('stray', 7)", "DELETE FROM Notes WHERE Line='stray'",
       "  a row in MySQL only: 'stray', 7"},
      {"ALTER TABLE Orders MODIFY Customer VARCHAR(60)",
       "ALTER TABLE Orders MODIFY Customer VARCHAR(40)",
       "  column [Customer] is varchar(60) in MySQL instead of VARCHAR(40)"},
      {"RENAME TABLE Notes TO Gone", "RENAME TABLE Gone TO Notes", "Notes: missing in MySQL"},
  };
  query.Execute("DROP DATABASE IF EXISTS cli_verify_damage_keep");
  query.Execute("CREATE DATABASE cli_verify_damage_keep");
  query.Execute("CREATE TABLE cli_verify_damage_keep.Orders SELECT * FROM Orders");
  for (const Damage& damage : damages) {
    SCOPED_TRACE(damage.statement);
    query.Execute(damage.statement);
    ShellRun verified = Run("verify", file, "cli_verify_damage");
    EXPECT_EQ(verified.status, 1);
    EXPECT_TRUE(Has(verified.output, damage.expected + "\n")) << verified.output;
    EXPECT_TRUE(Has(verified.output, "1 identical, 1 with differences")) << verified.output;
    query.Execute(damage.undo);
    EXPECT_EQ(Run("verify", file, "cli_verify_damage").status, 0) << "undone";
  }
  // A table dropped outright, and a changed type the values survive.
  query.Execute("ALTER TABLE Orders MODIFY Freight DECIMAL(30, 6)");
  query.Execute("DROP TABLE Notes");
  ShellRun verified = Run("verify", file, "cli_verify_damage", {"--table", "Orders"});
  EXPECT_EQ(verified.status, 1);
  EXPECT_EQ(verified.output,
            "Orders: 1 difference (30 rows in the file, 30 in MySQL)\n"
            "  column [Freight] is decimal(30,6) in MySQL instead of DECIMAL(19, 4)\n"
            "cli_verify_damage: 1 table verified, 0 identical, 1 with differences\n");
  verified = Run("verify", file, "cli_verify_damage", {"--table", "Notes"});
  EXPECT_EQ(verified.status, 1);
  EXPECT_TRUE(Has(verified.output, "Notes: missing in MySQL\n")) << verified.output;
  query.Execute("DROP DATABASE cli_verify_damage");
  query.Execute("DROP DATABASE cli_verify_damage_keep");
}

TEST_F(VerifyCommandTest, InvisibleAndLongDifferencesAreShownEscapedAndByWhereTheyBegin) {
  const std::string longText = std::string(198, 'a') + "\r\n" + std::string(100, 'b');
  FixtureTable texts;
  texts.name = "Texts";
  texts.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Body", ColumnKind::Memo)};
  texts.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  texts.rows = {{int64_t{1}, "one\r\ntwo"}, {int64_t{2}, "a\tb"},        {int64_t{3}, "nul"},
                {int64_t{4}, "red"},        {int64_t{5}, "back\\slash"}, {int64_t{6}, longText}};
  FixtureDatabase database;
  database.tables = {texts};
  const std::string file = (dir_ / "texts.mdb").string();
  WriteJet4File(database, file);
  ASSERT_EQ(Run("convert", file, "cli_verify_texts", {"--yes"}).status, 0);
  ServerQuery query(server_, "cli_verify_texts");
  query.Execute("UPDATE Texts SET Body='one\\ntwo' WHERE ID=1");
  query.Execute("UPDATE Texts SET Body='a b' WHERE ID=2");
  query.Execute("UPDATE Texts SET Body=CONCAT('nul', CHAR(0)) WHERE ID=3");
  query.Execute("UPDATE Texts SET Body=CONCAT(CHAR(27), '[31mred') WHERE ID=4");
  query.Execute("UPDATE Texts SET Body='back\\\\Slash' WHERE ID=5");
  query.Execute("UPDATE Texts SET Body=REPLACE(Body, '\\r\\n', '\\n') WHERE ID=6");
  ShellRun verified = Run("verify", file, "cli_verify_texts");
  EXPECT_EQ(verified.status, 1);
  EXPECT_EQ(verified.output,
            "Texts: 6 differences (6 rows in the file, 6 in MySQL)\n"
            "  row ID=1: column [Body] is 'one\\r\\ntwo' in the file, 'one\\ntwo' in MySQL\n"
            "  row ID=2: column [Body] is 'a\\tb' in the file, 'a b' in MySQL\n"
            "  row ID=3: column [Body] is 'nul' in the file, 'nul\\0' in MySQL\n"
            "  row ID=4: column [Body] is 'red' in the file, '\\x1b[31mred' in MySQL\n"
            "  row ID=5: column [Body] is 'back\\\\slash' in the file, 'back\\\\Slash' in MySQL\n"
            "  row ID=6: column [Body] first differs at character 199 (of 300 in the file, 299 "
            "in MySQL): '...aaaaaaaaaa\\r\\nbbbbbbbbbbbbbbbbbbbbbbbbbbbb...' in the file, "
            "'...aaaaaaaaaa\\nbbbbbbbbbbbbbbbbbbbbbbbbbbbbb...' in MySQL\n"
            "cli_verify_texts: 1 table verified, 0 identical, 1 with differences\n");
  query.Execute("DROP DATABASE cli_verify_texts");
}

TEST_F(VerifyCommandTest, AtMostTwentyDifferencesAreShownWithTheTotal) {
  const std::string file = WriteShop();
  ASSERT_EQ(Run("convert", file, "cli_verify_many", {"--yes"}).status, 1);
  ServerQuery query(server_, "cli_verify_many");
  query.Execute("UPDATE Orders SET Freight=Freight+1");
  ShellRun verified = Run("verify", file, "cli_verify_many", {"--table", "Orders"});
  EXPECT_EQ(verified.status, 1);
  EXPECT_TRUE(Has(verified.output, "Orders: 30 differences (30 rows in the file, 30 in MySQL)\n"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output,
                  "  row OrderID=1: column [Freight] is 1.2345 in the file, "
                  "2.2345 in MySQL\n"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output, "  ... and 10 more\n")) << verified.output;
  EXPECT_EQ(std::count(verified.output.begin(), verified.output.end(), '\n'), 23);
  query.Execute("DROP DATABASE cli_verify_many");
}

TEST_F(VerifyCommandTest, UsageErrorsAndUnopenableInputsHaveTheirStatuses) {
  const std::string file = WriteShop();
  EXPECT_EQ(Run("verify", file, "cli_verify_none", {"--bogus"}).status, 2);
  EXPECT_EQ(Run("verify", file, "cli_verify_none", {"--table", "Nowhere"}).status, 2);
  EXPECT_EQ(Run("verify", (dir_ / "absent.mdb").string(), "cli_verify_none").status, 3);
  // The server options of every command that reaches a server, and no echo
  // of what follows a password option.
  EXPECT_EQ(Run("verify", file, "cli_verify_none", {"--port", "70000"}).status, 2);
  ShellRun secret = Run("verify", file, "cli_verify_none", {"--password", "S3cret!"});
  EXPECT_EQ(secret.status, 2);
  EXPECT_EQ(secret.errors.find("S3cret!"), std::string::npos) << secret.errors;
  ShellRun ported = Run("verify", file, "cli_verify_none",
                        {"--port", std::to_string(server_.port), "--connect-timeout", "5"});
  EXPECT_EQ(ported.status, 1) << ported.errors;
  ShellRun refused =
      RunShell("MYSQL_PWD=wrong " + ShellQuoted(program_.string()) + " verify " +
                   ShellQuoted(file) + " --host " + ShellQuoted(server_.host) + " --user " +
                   ShellQuoted(server_.user) + " --database cli_verify_none",
               dir_);
  EXPECT_EQ(refused.status, 3);
  // A database that does not exist: every table is missing, a difference.
  ShellRun missing = Run("verify", file, "cli_verify_none");
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.output,
            "Notes: missing in MySQL\nOrders: missing in MySQL\n"
            "cli_verify_none: 2 tables verified, 0 identical, 2 with differences\n");
}

// A copy with one data page zeroed: the rest converts, and neither convert
// nor verify calls the copy complete; both name the rows missing.
TEST_F(VerifyCommandTest, ACopyReadShortOfItsStoredCountIsNamedByConvertAndVerify) {
  FixtureTable people;
  people.name = "People";
  people.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40)};
  people.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  for (int64_t i = 1; i <= 400; ++i) people.rows.push_back({i, "Person " + std::to_string(i)});
  FixtureDatabase database;
  database.tables = {people};
  std::string bytes = WriteJet4(database);
  const ZeroedPage zeroed = ZeroDataPageHolding(bytes, "Person 200");
  ASSERT_GT(zeroed.rows, 0);
  const std::string file = (dir_ / "damaged.mdb").string();
  std::ofstream(file, std::ios::binary) << bytes;
  const std::string found = std::to_string(400 - zeroed.rows);
  const std::string note = "the file counts 400 rows, but " + found + " were found; the other " +
                           std::to_string(zeroed.rows) + " cannot be read";

  ShellRun converted = Run("convert", file, "cli_verify_short", {"--yes", "--verify"});
  EXPECT_EQ(converted.status, 1);
  EXPECT_TRUE(Has(converted.errors, "Report: Table [People]: " + note + ".\n")) << converted.errors;
  EXPECT_TRUE(Has(converted.errors, "not everything was converted: 1 table cut short."))
      << converted.errors;
  EXPECT_TRUE(Has(converted.output, "1 of 1 tables converted, 1 cut short by a read error"))
      << converted.output;
  EXPECT_TRUE(Has(converted.output, "verified: 0 of 1 tables identical")) << converted.output;

  ShellRun verified = Run("verify", file, "cli_verify_short");
  EXPECT_EQ(verified.status, 1);
  // Once the reader names the page too, that is a second difference.
  EXPECT_TRUE(Has(verified.output, " (" + found + " rows in the file, " + found + " in MySQL)\n"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output, "\n  " + note + "\n")) << verified.output;
  EXPECT_TRUE(Has(verified.output,
                  "cli_verify_short: 1 table verified, 0 identical, 1 with "
                  "differences\n"))
      << verified.output;
  ServerQuery(server_).Execute("DROP DATABASE cli_verify_short");
}

}  // namespace
}  // namespace bracken::testing
