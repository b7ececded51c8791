// bracken-cli convert and verify with a file's saved queries: a query that
// becomes a view leaves the run whole and verify finds it running; with
// --no-queries convert leaves it out, and verify needs --no-queries too.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class QueryOptionsTest : public CliServerTest {
 protected:
  QueryOptionsTest() : CliServerTest("bracken_queries") {}

  void TearDown() override {
    if (!IsSkipped()) {
      for (const std::string& name : databases_) {
        ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
      }
    }
    CliServerTest::TearDown();
  }

  ShellRun Run(const std::string& command, const std::string& database,
               const std::vector<std::string>& more = {}) {
    databases_.push_back(database);
    std::vector<std::string> args = {
        "--host", server_.host, "--port",     std::to_string(server_.port),
        "--user", server_.user, "--database", database};
    if (command == "convert") args.push_back("--yes");
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand(command, dir_ / "people.mdb", args);
  }

  // People, and a query of those older than 30.
  void SetUp() override {
    CliServerTest::SetUp();
    if (IsSkipped()) return;
    FixtureTable people;
    people.name = "People";
    people.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 30),
                      MakeColumn("Age", ColumnKind::Long)};
    people.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    people.rows = {V{int64_t{1}, std::string("Ann"), int64_t{41}},
                   V{int64_t{2}, std::string("Bob"), int64_t{25}}};
    FixtureDatabase file;
    file.tables = {people};
    file.queries = {{"Elders",
                     {{1, "", "", "", 1},
                      {5, "People", "", "", std::nullopt},
                      {6, "", "", "People.Name", std::nullopt},
                      {8, "", "", "People.Age>30", std::nullopt}},
                     {}}};
    WriteJet4File(file, dir_ / "people.mdb");
  }

  std::vector<std::string> databases_;
};

TEST_F(QueryOptionsTest, ConvertAndVerifyCarryTheQueriesUnlessToldNot) {
  ShellRun converted = Run("convert", "eng_cli_queries", {"--verify"});
  EXPECT_EQ(converted.status, 0) << converted.errors;
  EXPECT_TRUE(Has(converted.errors, "Query [Elders]: view [Elders] runs")) << converted.errors;
  EXPECT_TRUE(Has(converted.output, "1 of 1 queries as converted")) << converted.output;
  ServerQuery query(server_, "eng_cli_queries");
  EXPECT_EQ(query.Rows("SELECT * FROM Elders"), (std::vector<Row>{{"Ann"}}));

  ShellRun none = Run("convert", "eng_cli_no_queries", {"--no-queries", "--verify"});
  EXPECT_EQ(none.status, 0) << none.errors;
  EXPECT_FALSE(Has(none.errors, "Query [")) << none.errors;
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = "
                        "'eng_cli_no_queries'"),
            Cell("0"));
  // Verify misses the view unless it is told the copy was made without.
  ShellRun verified = Run("verify", "eng_cli_no_queries");
  EXPECT_EQ(verified.status, 1) << verified.output;
  EXPECT_TRUE(Has(verified.output, "Query [Elders]: differs: the database has no view [Elders]"))
      << verified.output;
  EXPECT_TRUE(Has(verified.output, "; queries: 0 of 1 as converted")) << verified.output;
  verified = Run("verify", "eng_cli_no_queries", {"--no-queries"});
  EXPECT_EQ(verified.status, 0) << verified.output;
  EXPECT_FALSE(Has(verified.output, "Query [")) << verified.output;
}

}  // namespace
}  // namespace bracken::testing
