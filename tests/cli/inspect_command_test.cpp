// bracken-cli inspect run as a user runs it: the JSON dump of a written file,
// the readable summary, the row limit, the versions of append-only memos and
// the failures on standard error.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/file_damage.h"
#include "tests/support/fixture_writer.h"

namespace bracken::testing {
namespace {

struct CliRun {
  int status = -1;
  std::string output;
};

CliRun RunCli(const std::string& arguments) {
  std::string command = std::string(BRACKEN_BINARY_DIR) + "/cli/bracken-cli " + arguments + " 2>&1";
  CliRun run;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer;
  size_t got;
  while ((got = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    run.output.append(buffer.data(), got);
  int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class InspectCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    FixtureTable table;
    table.name = "People";
    FixtureColumn id = MakeColumn("Id", ColumnKind::Long);
    id.autoNumber = true;
    FixtureColumn name = MakeColumn("Name", ColumnKind::Text, 30);
    name.required = true;
    table.columns = {id,
                     name,
                     MakeColumn("Born", ColumnKind::DateTime),
                     MakeColumn("Paid", ColumnKind::Currency),
                     MakeColumn("Photo", ColumnKind::Ole),
                     MakeColumn("Ok", ColumnKind::Boolean)};
    table.rows = {{int64_t{1}, std::string("Ann \"A\""), 39522.5, int64_t{127500},
                   std::string("\x0a\xff", 2), true},
                  {int64_t{2}, std::string("Bob"), std::monostate{}, std::monostate{},
                   std::monostate{}, false}};
    FixtureIndex primaryKey;
    primaryKey.name = "PrimaryKey";
    primaryKey.columns = {"Id"};
    primaryKey.primary = primaryKey.unique = true;
    table.indexes = {primaryKey};
    FixtureDatabase database;
    database.password = "pw;1";
    database.tables = {table};
    // ctest runs the cases side by side, each in its own process.
    path_ = std::filesystem::temp_directory_path() /
            ("bracken_inspect_test_" + std::to_string(::getpid()) + ".mdb");
    WriteJet4File(database, path_);
  }
  void TearDown() override { std::filesystem::remove(path_); }

  std::filesystem::path path_;
};

TEST_F(InspectCommand, JsonHoldsColumnsIndexesAndRows) {
  CliRun run = RunCli("inspect --json --mdb-password 'pw;1' " + path_.string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("{\"format\":\"Jet4\",\"tables\":[{\"name\":\"People\""),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("{\"name\":\"Id\",\"type\":3,\"definedSize\":4,\"nullable\":false,"
                            "\"autoincrement\":true}"),
            std::string::npos);
  EXPECT_NE(run.output.find("{\"name\":\"Name\",\"type\":202,\"definedSize\":30,"
                            "\"nullable\":false,\"autoincrement\":false}"),
            std::string::npos);
  EXPECT_NE(run.output.find("\"indexes\":[{\"name\":\"PrimaryKey\",\"primaryKey\":true,"
                            "\"unique\":true,\"columns\":[\"Id\"]}]"),
            std::string::npos);
  EXPECT_NE(
      run.output.find("[1,\"Ann \\\"A\\\"\",\"2008-03-15 12:00:00\",\"12.75\",\"0aff\",true]"),
      std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("[2,\"Bob\",null,null,null,false]"), std::string::npos);
}

TEST_F(InspectCommand, SummaryAndRowLimit) {
  CliRun run = RunCli("inspect --rows 1 --mdb-password 'pw;1' " + path_.string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Table People (2 rows)"), std::string::npos) << run.output;
  EXPECT_NE(run.output.find("Id  type 3  size 4  not null  auto-increment"), std::string::npos);
  EXPECT_NE(run.output.find("PrimaryKey  primary key  unique  (Id)"), std::string::npos);
  EXPECT_NE(run.output.find("row 1: 1 | Ann \"A\" | 3/15/2008 12:00:00 PM | 12.75 | 0x0aff | -1"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("row 2:"), std::string::npos);

  run = RunCli("inspect --json --rows 0 --mdb-password 'pw;1' " + path_.string());
  EXPECT_NE(run.output.find("\"rows\":[]"), std::string::npos);
}

// The versions of an append-only memo follow their table, in the summary
// and in the JSON; attachment and multi-value elements stay in their cells.
TEST(InspectHistory, VersionsFollowTheirTableAsATable) {
  const std::filesystem::path file =
      std::filesystem::path(BRACKEN_SHARED_DIR) / "corpus" / "ace" / "complexDataTestV2007.accdb";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "no corpus beside the checkout";
  CliRun run = RunCli("inspect --rows 1 " + file.string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("    row 1: row1 | NULL | NULL | 1 | 1\n"
                            "Table Table1_append-memo-data_history (5 rows)\n  Columns:\n"
                            "    id  type 202  size 255  nullable\n"
                            "    Modified  type 7  size 8  nullable\n"
                            "    append-memo-data  type 203  size 0  nullable\n"
                            "  Indexes:\n    append-memo-data  (id)\n"
                            "  Rows:\n    row 1: row2 | 9/12/2011 9:21:02 PM | row2-memo\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("Table Table1_attach-data"), std::string::npos) << run.output;

  run = RunCli("inspect --json " + file.string());
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("]]},{\"name\":\"Table1_append-memo-data_history\",\"columns\":"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("\"rows\":[[\"row2\",\"2011-09-12 21:21:02\",\"row2-memo\"],"
                            "[\"row3\",\"2011-09-12 21:21:19\",\"row3-memo\"],"
                            "[\"row3\",\"2011-09-12 21:22:33\",\"row3-memo-revised\"],"
                            "[\"row3\",\"2011-09-12 21:22:45\",\"row3-memo-again\"],"
                            "[\"row4\",\"2011-09-12 21:22:26\",\"row4-memo\"]]}]}"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("\"name\":\"Table1_attach-data\""), std::string::npos);
}

TEST_F(InspectCommand, PathsMayHoldSemicolons) {
  auto odd = std::filesystem::temp_directory_path() /
             ("bracken;inspect test " + std::to_string(::getpid()) + ".mdb");
  std::filesystem::copy_file(path_, odd, std::filesystem::copy_options::overwrite_existing);
  CliRun run = RunCli("inspect --mdb-password 'pw;1' '" + odd.string() + "'");
  std::filesystem::remove(odd);
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Table People (2 rows)"), std::string::npos) << run.output;
}

TEST_F(InspectCommand, FailuresGoToStandardErrorWithNonZeroExit) {
  CliRun run = RunCli("inspect --json " + path_.string());
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("Not a valid password."), std::string::npos) << run.output;
  run = RunCli("inspect /nonexistent/x.mdb");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("Could not find file '/nonexistent/x.mdb'."), std::string::npos);
  run = RunCli("inspect");
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.output.find("Usage: bracken-cli inspect"), std::string::npos);
}

// A copy of a file with one data page of its table zeroed, as the damaged
// copies users bring have it: the rows of the other pages are read, and what
// is missing is named with exit status 1.
class InspectDamagedFile : public ::testing::Test {
 protected:
  static constexpr int kRows = 400;

  void SetUp() override {
    FixtureTable table;
    table.name = "People";
    table.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40)};
    for (int64_t i = 1; i <= kRows; ++i) table.rows.push_back({i, "Person " + std::to_string(i)});
    FixtureDatabase database;
    database.tables = {table};
    intact_ = WriteJet4(database);
    std::string bytes = intact_;
    zeroed_ = ZeroDataPageHolding(bytes, "Person 200");
    ASSERT_GT(zeroed_.page, 0);
    ASSERT_GT(zeroed_.rows, 0);
    ASSERT_LT(zeroed_.rows, kRows);
    path_ = Temp("page");
    std::ofstream(path_, std::ios::binary) << bytes;
  }
  void TearDown() override {
    for (const auto& path : written_) std::filesystem::remove(path);
  }

  std::filesystem::path Temp(const std::string& name) {
    written_.push_back(
        std::filesystem::temp_directory_path() /
        ("bracken_inspect_damaged_" + name + "_" + std::to_string(::getpid()) + ".mdb"));
    return written_.back();
  }

  ZeroedPage zeroed_;
  std::string intact_;
  std::filesystem::path path_;
  std::vector<std::filesystem::path> written_;
};

TEST_F(InspectDamagedFile, RowsShortOfTheStoredCountAreNamedWithExitOne) {
  const int found = kRows - zeroed_.rows;
  const std::string note = "the file counts 400 rows, but " + std::to_string(found) +
                           " were found; the other " + std::to_string(zeroed_.rows) +
                           " cannot be read";
  CliRun run = RunCli("inspect " + path_.string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Table People (" + std::to_string(found) + " rows)\n  Rows: " + note +
                            ".\n  Columns:"),
            std::string::npos)
      << run.output;

  // The JSON names both numbers; a row limit does not change them.
  for (const char* limit : {"", "--rows 3 "}) {
    run = RunCli(std::string("inspect --json ") + limit + path_.string());
    EXPECT_EQ(run.status, 1) << run.output;
    EXPECT_NE(run.output.find("]],\"storedRows\":400,\"rowsFound\":" + std::to_string(found)),
              std::string::npos)
        << limit << run.output;
  }
  // The sound file names nothing: its JSON has none of the new fields.
  std::filesystem::path sound = Temp("sound");
  std::ofstream(sound, std::ios::binary) << intact_;
  run = RunCli("inspect --json " + sound.string());
  EXPECT_EQ(run.status, 0) << run.output;
  for (const char* field : {"damage", "storedRows", "rowsFound"}) {
    EXPECT_EQ(run.output.find(field), std::string::npos) << field;
  }
}

// A zeroed page is no data page, as a page the table gave up is not: only
// the row count tells of it. A data page whose row count cannot be true is
// named by its number.
TEST_F(InspectDamagedFile, TheUnreadablePageIsNamed) {
  const std::string page = "page " + std::to_string(zeroed_.page) + " cannot be read";
  std::string bytes = intact_;
  bytes[static_cast<size_t>(zeroed_.page) * 4096 + 12] = '\xFF';  // its row count
  bytes[static_cast<size_t>(zeroed_.page) * 4096 + 13] = '\xFF';
  std::filesystem::path path = Temp("rows");
  std::ofstream(path, std::ios::binary) << bytes;
  CliRun run = RunCli("inspect " + path.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("  Damage: " + page), std::string::npos) << run.output;
  run = RunCli("inspect --json " + path.string());
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.output.find("\"damage\":[\"" + page), std::string::npos) << run.output;
}

// A table whose definition page is zeroed is still listed, with its note and
// no columns; the file's other tables are read.
TEST_F(InspectDamagedFile, ATableWhoseDefinitionCannotBeReadIsListedAndNamed) {
  ASSERT_GT(zeroed_.definition, 0);
  std::string bytes = intact_;
  ZeroPage(bytes, zeroed_.definition);
  std::filesystem::path path = Temp("definition");
  std::ofstream(path, std::ios::binary) << bytes;
  CliRun run = RunCli("inspect " + path.string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("Table People\n  Damage: its definition cannot be read"),
            std::string::npos)
      << run.output;
  run = RunCli("inspect --json " + path.string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("{\"name\":\"People\",\"columns\":[],\"indexes\":[],\"rows\":[],"
                            "\"damage\":[\"its definition cannot be read"),
            std::string::npos)
      << run.output;
}

// A file with rules: each shows where it belongs, in the summary and in
// the JSON; a relationship that names a missing table is named as damage.
TEST(InspectRules, DefaultsRulesDescriptionsAndRelationshipsAreShown) {
  FixtureTable parts;
  parts.name = "Parts";
  parts.description = "What we stock";
  parts.validationRule = "[Low]<=[High]";
  parts.validationText = "Low over high";
  FixtureColumn low = MakeColumn("Low", ColumnKind::Long);
  low.defaultValue = "0";
  low.validationRule = ">=0";
  low.validationText = "Not below zero";
  low.description = "Fewest \"kept\"";
  low.required = true;
  parts.columns = {MakeCounter("Id"), MakeColumn("Parent", ColumnKind::Long), low,
                   MakeColumn("High", ColumnKind::Long)};
  FixtureDatabase database;
  database.tables = {parts};
  FixtureRelationship tree{"PartsTree", "Parts", {"Parent"}, "Parts", {"Id"}};
  tree.cascadeDeletes = true;
  database.relationships = {tree};
  auto path = std::filesystem::temp_directory_path() /
              ("bracken_inspect_rules_" + std::to_string(::getpid()) + ".mdb");
  WriteJet3File(database, path);

  CliRun run = RunCli("inspect " + path.string());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Table Parts (0 rows)\n"
                            "  Description: What we stock\n"
                            "  Validation rule: [Low]<=[High]\n"
                            "  Validation text: Low over high\n"
                            "  Columns:\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("    Parent  type 3  size 4  nullable\n"
                            "    Low  type 3  size 4  not null\n"
                            "      Default: 0\n"
                            "      Validation rule: >=0\n"
                            "      Validation text: Not below zero\n"
                            "      Description: Fewest \"kept\"\n"),
            std::string::npos);
  EXPECT_NE(run.output.find("Relationships:\n"
                            "  PartsTree  Parts (Parent) refers to Parts (Id)  enforced  "
                            "cascade deletes\n"),
            std::string::npos);

  run = RunCli("inspect --json " + path.string());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("{\"name\":\"Parent\",\"type\":3,\"definedSize\":4,"
                            "\"nullable\":true,\"autoincrement\":false}"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("{\"name\":\"Low\",\"type\":3,\"definedSize\":4,"
                            "\"nullable\":false,\"autoincrement\":false,\"default\":\"0\","
                            "\"validationRule\":\">=0\",\"validationText\":\"Not below zero\","
                            "\"description\":\"Fewest \\\"kept\\\"\",\"required\":true}"),
            std::string::npos);
  EXPECT_NE(
      run.output.find("\"description\":\"What we stock\",\"validationRule\":\"[Low]<=[High]\","
                      "\"validationText\":\"Low over high\",\"rows\":[]"),
      std::string::npos);
  EXPECT_NE(run.output.find("],\"relationships\":[{\"name\":\"PartsTree\",\"table\":\"Parts\","
                            "\"columns\":[\"Parent\"],\"referencedTable\":\"Parts\","
                            "\"referencedColumns\":[\"Id\"],\"enforced\":true,"
                            "\"cascadeUpdates\":false,\"cascadeDeletes\":true,"
                            "\"cascadeNull\":false}]}\n"),
            std::string::npos);

  database.relationships.push_back({"Lost", "Parts", {"Parent"}, "Groups", {"Id"}});
  WriteJet3File(database, path);
  run = RunCli("inspect " + path.string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("  Damage: The relationship Lost cannot be read whole (it names the "
                            "table Groups, which the file does not hold); it is left out.\n"),
            std::string::npos)
      << run.output;
  std::filesystem::remove(path);
}

// Saved queries follow the tables with their kind and SQL, a line at a time
// in the summary, with their parameters in the JSON; the form's hidden record
// source is not shown, and a query that cannot be read is named as damage.
TEST(InspectQueries, QueriesAreShownWithTheirKindSqlAndParameters) {
  FixtureTable parts;
  parts.name = "Parts";
  parts.columns = {MakeCounter("Id"), MakeColumn("Price", ColumnKind::Double)};
  FixtureQuery dear{"Dear Parts",
                    {{1, "", "", "", 1},
                     {2, "Least", "", "", 7},
                     {5, "Parts", "", "", std::nullopt},
                     {6, "", "", "Parts.Id", 0},
                     {8, "", "", "Parts.Price>=[Least]", std::nullopt}},
                    {}};
  FixtureQuery hidden{"~sq_fParts", {{1, "", "", "", 1}, {5, "Parts", "", "", std::nullopt}}, {}};
  FixtureDatabase database;
  database.tables = {parts};
  database.queries = {dear, hidden};
  auto path = std::filesystem::temp_directory_path() /
              ("bracken_inspect_queries_" + std::to_string(::getpid()) + ".mdb");
  WriteJet4File(database, path);

  CliRun run = RunCli("inspect " + path.string());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("Queries:\n"
                            "  Dear Parts  select\n"
                            "    PARAMETERS Least IEEEDouble;\n"
                            "    SELECT Parts.Id\n"
                            "    FROM Parts\n"
                            "    WHERE Parts.Price>=[Least];\n"),
            std::string::npos)
      << run.output;
  EXPECT_EQ(run.output.find("~sq_"), std::string::npos);

  run = RunCli("inspect --json " + path.string());
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find("],\"queries\":[{\"name\":\"Dear Parts\",\"kind\":\"select\","
                            "\"sql\":\"PARAMETERS Least IEEEDouble;\\r\\nSELECT Parts.Id\\r\\n"
                            "FROM Parts\\r\\nWHERE Parts.Price>=[Least];\",\"parameters\":"
                            "[{\"name\":\"Least\",\"type\":\"IEEEDouble\"}]}]}\n"),
            std::string::npos)
      << run.output;

  database.queries.push_back({"Broken", {{1, "", "", "", 42}}, {}});
  WriteJet4File(database, path);
  run = RunCli("inspect " + path.string());
  EXPECT_EQ(run.status, 1) << run.output;
  EXPECT_NE(run.output.find("  Damage: The saved query Broken cannot be read (its kind 42 is not "
                            "known); it is left out.\n"),
            std::string::npos)
      << run.output;
  EXPECT_NE(run.output.find("  Dear Parts  select\n"), std::string::npos);
  std::filesystem::remove(path);
}

}  // namespace
}  // namespace bracken::testing
