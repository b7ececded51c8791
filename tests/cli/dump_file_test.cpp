// bracken-cli convert --output: a file of statements written without a
// server, which the mariadb client loads into the same database a direct
// run creates (bracken-cli verify finds it identical), and the batched
// rows of a direct run, which leave what one INSERT per row leaves.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_fixture.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

class DumpFileTest : public CliServerTest {
 protected:
  DumpFileTest() : CliServerTest("bracken_dump") {}
  void SetUp() override {
    CliServerTest::SetUp();
    if (IsSkipped()) return;
    FixtureTable shop;
    shop.name = "Shop Items";
    shop.columns = {
        MakeColumn("ID", ColumnKind::Long),        MakeColumn("Name", ColumnKind::Text, 50),
        MakeColumn("Price", ColumnKind::Currency), MakeColumn("Since", ColumnKind::DateTime),
        MakeColumn("Photo", ColumnKind::Ole),      MakeColumn("Notes", ColumnKind::Memo)};
    shop.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    shop.generatedRows = 2500;
    shop.generator = [](int64_t i, std::vector<FixtureValue>& row) {
      row[0] = i + 1;
      row[1] = i % 7 ? FixtureValue("Caf\xc3\xa9 it's ? " + std::to_string(i)) : FixtureValue();
      row[2] = i * 12345;
      row[3] = 40000.5 + static_cast<double>(i);
      row[4] =
          i % 5 ? FixtureValue(std::string("\x00\x01'\\", 4) + std::to_string(i)) : FixtureValue();
      row[5] = "a note \xf0\x9f\x98\x80 \\ ; -- " + std::to_string(i);
    };
    // A row longer than a 4 MiB statement, of values that each fit one.
    FixtureTable large;
    large.name = "Large";
    large.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Data", ColumnKind::Ole),
                     MakeColumn("Text", ColumnKind::Memo)};
    large.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    large.rows = {V{int64_t{1}, RandomBytes(3u << 20, 3), std::string(3u << 20, 'x')},
                  V{int64_t{2}, std::string("small"), std::string("? ' ?")}};
    FixtureDatabase file;
    file.tables = {shop, large};
    WriteJet4File(file, dir_ / "shop.mdb");
  }
  void TearDown() override {
    CliServerTest::TearDown();
    for (const std::string& name : databases_) {
      ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
    }
  }

  ShellRun Cli(const std::string& command, const std::vector<std::string>& args) {
    return CliOn(dir_ / "shop.mdb", command, args);
  }
  ShellRun CliOn(const fs::path& file, const std::string& command,
                 const std::vector<std::string>& args) {
    return RunCommand(command, file, args);
  }
  ShellRun Load(const fs::path& dump) {
    return RunShell("MYSQL_PWD=" + ShellQuoted(server_.password) + " mariadb -h " +
                        ShellQuoted(server_.host) + " -P " + std::to_string(server_.port) + " -u " +
                        ShellQuoted(server_.user) + " < " + ShellQuoted(dump.string()),
                    dir_);
  }
  ShellRun Verify(const std::string& database, const std::vector<std::string>& more = {}) {
    return VerifyOn(dir_ / "shop.mdb", database, more);
  }
  ShellRun VerifyOn(const fs::path& file, const std::string& database,
                    const std::vector<std::string>& more = {}) {
    databases_.push_back(database);
    std::vector<std::string> args = {
        "--host", server_.host, "--port",     std::to_string(server_.port),
        "--user", server_.user, "--database", database};
    args.insert(args.end(), more.begin(), more.end());
    return CliOn(file, "verify", args);
  }
  // Writes `file` to a dump for `version` (the default one when empty),
  // loads it with the mariadb client and verifies the copy: every step clean.
  void DumpLoadAndVerify(const fs::path& file, const std::string& database,
                         const std::string& version, const std::vector<std::string>& more = {}) {
    SCOPED_TRACE(file.filename().string() + (version.empty() ? "" : " for " + version));
    const fs::path dump = dir_ / (database + ".sql");
    std::vector<std::string> args = {"--output", dump.string(), "--database", database};
    if (!version.empty()) args.insert(args.end(), {"--server-version", version});
    args.insert(args.end(), more.begin(), more.end());
    ShellRun written = CliOn(file, "convert", args);
    // A file without tables has nothing to load (exit 3, as a direct run).
    if (written.status == 3 && written.output.find("no table to convert") != std::string::npos) {
      return;
    }
    // The oldest servers take no default on a TINYBLOB: the testV files'
    // GenGUID() default is named, and the run says not everything arrived.
    const bool guidDefault = version.empty() && file.stem().string().rfind("testV", 0) == 0;
    // A saved query that cannot become a view or procedure is named too.
    const bool queryNamed = written.errors.find("Report: Query [") != std::string::npos &&
                            written.errors.find("] was not converted: ") != std::string::npos;
    ASSERT_EQ(written.status, guidDefault || queryNamed ? 1 : 0)
        << written.errors << written.output;
    if (guidDefault) {
      EXPECT_NE(written.errors.find("Report: Table [Table4], column [data]: the default value "
                                    "GenGUID() is left out"),
                std::string::npos)
          << written.errors;
    }
    EXPECT_EQ(Read(dump).find('\r'), std::string::npos) << "a raw carriage return in the dump";
    databases_.push_back(database);
    ShellRun loaded = Load(dump);
    ASSERT_EQ(loaded.status, 0) << loaded.errors;
    std::vector<std::string> verifyArgs = more;
    std::erase(verifyArgs, "--row-by-row");  // a choice of the conversion alone
    ShellRun verified = VerifyOn(file, database, verifyArgs);
    EXPECT_EQ(verified.status, 0) << verified.errors << verified.output;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

  std::vector<std::string> databases_;
};

TEST_F(DumpFileTest, ALoadedDumpIsIdenticalToTheFile) {
  const fs::path dump = dir_ / "shop.sql";
  ShellRun written = Cli("convert", {"--output", dump.string(), "--database", "eng_dump_load"});
  ASSERT_EQ(written.status, 0) << written.errors;
  EXPECT_EQ(written.output, "eng_dump_load: 2 of 2 tables converted, 0 of 2502 rows refused\n");
  const std::string text = Read(dump);
  EXPECT_EQ(text.rfind("-- Bracken dump of " + (dir_ / "shop.mdb").string() + "\n-- Written ", 0),
            0u);
  EXPECT_NE(text.find("for MySQL 5.7 or later"), std::string::npos);
  const std::size_t drop = text.find(
      "DROP DATABASE IF EXISTS `eng_dump_load`;\n"
      "CREATE DATABASE `eng_dump_load`;\nUSE `eng_dump_load`;\n");
  EXPECT_NE(drop, std::string::npos);
  EXPECT_GT(text.find("USE "), drop) << "no USE before the database is replaced";
  EXPECT_EQ(text.find("COLLATE"), std::string::npos) << "MySQL 5.7 has no such collation";
  EXPECT_NE(text.find("SET @bracken_long_1 = CONCAT(@bracken_long_1, 0x"), std::string::npos);

  ShellRun loaded = Load(dump);
  ASSERT_EQ(loaded.status, 0) << loaded.errors;
  ShellRun verified = Verify("eng_dump_load");
  EXPECT_EQ(verified.status, 0) << verified.errors << verified.output;
}

TEST_F(DumpFileTest, StandardOutputAndANewerServerVersion) {
  ShellRun written = Cli("convert", {"--output", "-", "--database", "eng_dump_newer",
                                     "--server-version", "10.11", "--table", "Shop Items"});
  ASSERT_EQ(written.status, 0) << written.errors;
  EXPECT_NE(written.errors.find("eng_dump_newer: 1 of 1 tables converted, 0 of 2500 rows"),
            std::string::npos)
      << "the summary goes to standard error: " << written.errors;
  EXPECT_NE(written.output.find("for MariaDB 10.11 or later"), std::string::npos);
  EXPECT_NE(written.output.find("COLLATE=utf8mb3_uca1400_as_ci;"), std::string::npos);
  { std::ofstream(dir_ / "newer.sql", std::ios::binary) << written.output; }
  ShellRun loaded = Load(dir_ / "newer.sql");
  ASSERT_EQ(loaded.status, 0) << loaded.errors;
  ShellRun verified = Verify("eng_dump_newer", {"--table", "Shop Items"});
  EXPECT_EQ(verified.status, 0) << verified.errors << verified.output;

  for (const std::vector<std::string>& wrong :
       {std::vector<std::string>{"--output", "-", "--server-version", "eleven"},
        std::vector<std::string>{"--output", "-", "--verify"},
        std::vector<std::string>{"--host", "h", "--user", "u", "--server-version", "10.11"},
        std::vector<std::string>{"--output", "-", "--batch-rows", "0"}}) {
    std::vector<std::string> args = wrong;
    args.insert(args.end(), {"--database", "eng_dump_wrong"});
    ShellRun refused = Cli("convert", args);
    EXPECT_EQ(refused.status, 2) << refused.errors;
    EXPECT_EQ(refused.output, "");
  }
}

// Every byte a text or memo may hold arrives through the mariadb client,
// which reads the file line by line: carriage returns (alone and before a
// line feed), line feeds, NUL, Ctrl-Z, backslashes, quotes and characters
// above U+FFFF; bytes too, in rows batched and alone.
TEST_F(DumpFileTest, EveryByteOfTextsAndBytesSurvivesTheClient) {
  const std::vector<std::string> texts = {
      "line one\r\nline two\r\n",
      "cr\ronly lf\nonly\n\r",
      std::string("nul \0 ctrl-z \x1a end", 18),
      "back\\slash \\' \\\r\n 'single' \"double\" `tick` ?",
      "emoji \xf0\x9f\x98\x80\r\n\xf0\x9f\x8c\xbf",
      "\r\n",
      "\\",
      std::string("\r\n-- not a comment;\r\n\x1a\0", 23),
  };
  FixtureTable odd;
  odd.name = "Odd Texts";
  odd.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Short", ColumnKind::Text, 60),
                 MakeColumn("Long", ColumnKind::Memo), MakeColumn("Bytes", ColumnKind::Ole)};
  odd.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    odd.rows.push_back(V{static_cast<int64_t>(i + 1), texts[i], texts[i] + texts[i] + "\r\n",
                         std::string("\r\n\0\x1a\\'\"\xff\x80", 9) + texts[i]});
  }
  // A memo whose literal, its line breaks spelled out, is too long for one
  // statement of a 4 MiB server, though the memo itself fits.
  std::string lines;
  while (lines.size() < (3u << 20)) lines += "a line\r\n\\\r";
  odd.rows.push_back(V{int64_t{100}, std::string("long"), lines, RandomBytes(1000, 7)});
  FixtureDatabase file;
  file.tables = {odd};
  WriteJet4File(file, dir_ / "shop.mdb");

  DumpLoadAndVerify(dir_ / "shop.mdb", "eng_dump_bytes", "", {"--table", "Odd Texts"});
  DumpLoadAndVerify(dir_ / "shop.mdb", "eng_dump_bytes_new", "10.11", {"--table", "Odd Texts"});
  DumpLoadAndVerify(dir_ / "shop.mdb", "eng_dump_bytes_row", "mariadb-10.4",
                    {"--table", "Odd Texts", "--row-by-row"});
}

// A value larger than the file's limit names the remedy of a file: no
// server is involved, so the advice is --server-version, not the server's
// max_allowed_packet.
TEST_F(DumpFileTest, AValueOverTheFilesLimitPointsAtTheServerVersion) {
  FixtureTable big;
  big.name = "Big";
  big.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Data", ColumnKind::Ole)};
  big.rows = {V{int64_t{1}, RandomBytes(5u << 20, 5)}, V{int64_t{2}, std::string("small")}};
  FixtureDatabase file;
  file.tables = {big};
  WriteJet4File(file, dir_ / "shop.mdb");
  ShellRun written = Cli("convert", {"--output", "-", "--database", "eng_dump_big"});
  EXPECT_EQ(written.status, 1) << written.errors;
  EXPECT_NE(written.errors.find(
                "Table [Big], row 1, column [Data]: the value of 5242880 bytes is larger than the "
                "max_allowed_packet of 4194304 bytes of the server the dump file is written for; "
                "the row is left out. Name a server that takes more with --server-version "
                "(MariaDB 10.2 and MySQL 8.0 or later take 16777216 bytes) and write the file "
                "again, or convert straight into a server with a larger max_allowed_packet."),
            std::string::npos)
      << written.errors;
  EXPECT_EQ(written.errors.find("on the server"), std::string::npos) << written.errors;
  DumpLoadAndVerify(dir_ / "shop.mdb", "eng_dump_big", "mariadb-10.6");
}

// Every file of the corpus through a dump, the mariadb client and verify,
// for the default server and a newer one.
TEST_F(DumpFileTest, EveryCorpusFileLoadsIdentical) {
  if (!fs::exists(fs::path(BRACKEN_SHARED_DIR) / "corpus")) {
    GTEST_SKIP() << "no corpus beside the checkout";
  }
  const std::vector<fs::path> files = CorpusFiles();
  ASSERT_FALSE(files.empty());
  int n = 0;
  for (const fs::path& file : files) {
    std::vector<std::string> more;
    if (file.stem().string().rfind("withPassword", 0) == 0) more = {"--mdb-password", "password"};
    const std::string database = "eng_dump_c" + std::to_string(++n);
    DumpLoadAndVerify(file, database, "", more);
    DumpLoadAndVerify(file, database + "_new", "10.11", more);
    for (const std::string& name : {database, database + "_new"}) {
      ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
    }
  }
}

TEST_F(DumpFileTest, BatchedAndRowByRowRunsLeaveTheSameReport) {
  // A file with duplicate keys: the report and summary of both runs match.
  FixtureTable people;
  people.name = "People";
  people.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 50)};
  people.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  people.generatedRows = 40;
  people.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i % 9 == 4 ? int64_t{3} : i;
    row[1] = "P" + std::to_string(i);
  };
  FixtureDatabase file;
  file.tables = {people};
  WriteJet4File(file, dir_ / "shop.mdb");
  auto run = [&](const std::string& database, const std::vector<std::string>& more) {
    databases_.push_back(database);
    std::vector<std::string> args = {
        "--host",     server_.host, "--port", std::to_string(server_.port), "--user", server_.user,
        "--database", database,     "--yes"};
    args.insert(args.end(), more.begin(), more.end());
    ShellRun result = Cli("convert", args);
    result.output.replace(0, database.size(), "D");
    return result;
  };
  ShellRun single = run("eng_dump_single", {"--row-by-row"});
  ShellRun batched = run("eng_dump_batched", {"--batch-rows", "7"});
  EXPECT_EQ(single.status, 1);
  EXPECT_EQ(batched.status, single.status);
  EXPECT_EQ(batched.errors, single.errors);
  EXPECT_EQ(batched.output, single.output);
  EXPECT_EQ(single.output, "D: 1 of 1 tables converted, 4 of 40 rows refused\n");
}

}  // namespace
}  // namespace bracken::testing
