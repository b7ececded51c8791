// bracken-cli as a script sees it: help and version on standard output, the
// exit status of each kind of ending, no password prompt without a terminal,
// the summary line of convert and the JSON of inspect.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/support/fixture_writer.h"
#include "tests/support/json_value.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;

using ScriptRun = ShellRun;

class CliScripting : public ::testing::Test {
 protected:
  void SetUp() override {
    program_ = fs::path(BRACKEN_BINARY_DIR) / "cli" / "bracken-cli";
    if (!fs::exists(program_)) GTEST_SKIP() << "bracken-cli is not built";
    dir_ = fs::temp_directory_path() / ("bracken_cli_scripting_" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    FixtureTable people;
    people.name = "People";
    FixtureColumn id;
    id.name = "ID";
    id.kind = ColumnKind::Long;
    FixtureColumn name;
    name.name = "Name";
    name.kind = ColumnKind::Text;
    name.size = 50;
    people.columns = {id, name};
    people.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    people.rows = {{int64_t{1}, std::string("Ann")}, {int64_t{2}, std::string("Bob")}};
    FixtureTable places = people;
    places.name = "Places";
    places.rows = {{int64_t{1}, std::string("Oslo")}};
    FixtureDatabase database;
    database.tables = {people, places};
    file_ = (dir_ / "plain.mdb").string();
    WriteJet4File(database, file_);
  }
  void TearDown() override {
    if (!dir_.empty()) fs::remove_all(dir_);
  }

  // `environment` holds arguments of env(1), e.g. "-u MYSQL_PWD"; standard
  // input is /dev/null, and `timeout` ends a run that waits.
  ScriptRun Cli(const std::string& arguments, const std::string& environment = "") {
    return RunShell(
        "timeout 60 env " + environment + " " + ShellQuoted(program_.string()) + " " + arguments,
        dir_);
  }

  std::string ConvertArguments(const TestServer& server, const std::string& database) {
    return "convert " + ShellQuoted(file_) + " --host " + ShellQuoted(server.host) + " --user " +
           ShellQuoted(server.user) + " --database " + ShellQuoted(database);
  }

  fs::path program_;
  fs::path dir_;
  std::string file_;
};

TEST_F(CliScripting, HelpAndVersionGoToStandardOutputWithStatusZero) {
  ScriptRun run = Cli("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.errors.empty()) << run.errors;
  for (const char* part : {"convert ", "inspect ", "Exit status:", "  3  "}) {
    EXPECT_NE(run.output.find(part), std::string::npos) << part << "\n" << run.output;
  }
  run = Cli("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.rfind("bracken-cli ", 0), 0u) << run.output;
  EXPECT_EQ(run.output.back(), '\n');

  for (const char* asked :
       {"convert --help", "convert -h", "help convert", "convert x.mdb --help"}) {
    run = Cli(asked);
    EXPECT_EQ(run.status, 0) << asked;
    EXPECT_EQ(run.output.rfind("Usage: bracken-cli convert FILE", 0), 0u) << asked;
    EXPECT_NE(run.output.find("Exit status:"), std::string::npos) << asked;
  }
  run = Cli("inspect --help");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.rfind("Usage: bracken-cli inspect FILE", 0), 0u) << run.output;
}

TEST_F(CliScripting, UsageErrorsExitWithTwoAndPrintNothingOnStandardOutput) {
  for (const char* wrong : {"", "frobnicate", "convert", "convert x.mdb --host h --user u",
                            "convert x.mdb --host h --user u --database d --colour", "inspect",
                            "inspect f --rows x", "inspect a b"}) {
    ScriptRun run = Cli(wrong);
    EXPECT_EQ(run.status, 2) << "'" << wrong << "'";
    EXPECT_TRUE(run.output.empty()) << "'" << wrong << "': " << run.output;
    EXPECT_NE(run.errors.find("Usage: bracken-cli"), std::string::npos) << run.errors;
  }
}

// A script that leaves the password out must fail at once, not wait on a
// prompt nobody sees; the server is never reached.
TEST_F(CliScripting, NoPasswordPromptWithoutATerminal) {
  for (const char* password : {"", "--password"}) {
    ScriptRun run =
        Cli("convert " + ShellQuoted(file_) + " --host 127.0.0.1 --user u --database d " + password,
            "-u MYSQL_PWD");
    EXPECT_EQ(run.status, 2) << run.errors;
    EXPECT_NE(run.errors.find("standard input is not a terminal"), std::string::npos) << run.errors;
    EXPECT_TRUE(run.output.empty()) << run.output;
  }
}

TEST_F(CliScripting, InspectJsonIsTheWholeOutputAndFailuresExitWithThree) {
  ScriptRun run = Cli("inspect --json " + ShellQuoted(file_));
  ASSERT_EQ(run.status, 0) << run.errors;
  EXPECT_TRUE(run.errors.empty()) << run.errors;
  JsonValue dump = ParseJson(run.output);
  ASSERT_EQ(dump["tables"].items.size(), 2u);
  EXPECT_EQ(dump["tables"].items[1]["name"].text, "Places");

  run = Cli("inspect --json " + ShellQuoted((dir_ / "missing.mdb").string()));
  EXPECT_EQ(run.status, 3);
  EXPECT_TRUE(run.output.empty()) << run.output;
  EXPECT_NE(run.errors.find("Could not find file"), std::string::npos) << run.errors;
}

// An encrypted Access 2010 file: a missing or wrong password is the same
// classified failure as for an .mdb file, status 3 before any summary; the
// right one converts.
TEST_F(CliScripting, EncryptedAccdbFilesNeedTheirPassword) {
  const fs::path encrypted =
      fs::path(BRACKEN_SHARED_DIR) / "corpus" / "ace" / "withPasswordAgileV2010.accdb";
  if (!fs::exists(encrypted)) GTEST_SKIP() << "no corpus beside the checkout";
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const std::string convert = "convert " + ShellQuoted(encrypted.string()) + " --host " +
                              ShellQuoted(server.host) + " --user " + ShellQuoted(server.user) +
                              " --database pkg_cli_encrypted --yes";
  const std::string serverPassword = "MYSQL_PWD=" + ShellQuoted(server.password);
  for (const char* given : {"", "BRACKEN_MDB_PASSWORD=wrong", "BRACKEN_MDB_PASSWORD=Password"}) {
    SCOPED_TRACE(given);
    ScriptRun run = Cli(convert + " </dev/null", serverPassword + " " + given);
    EXPECT_EQ(run.status, 3) << run.errors;
    EXPECT_TRUE(run.output.empty()) << run.output;
    EXPECT_NE(run.errors.find("Selected database is Password Protected."), std::string::npos)
        << run.errors;
  }
  ScriptRun run = Cli(convert, serverPassword + " BRACKEN_MDB_PASSWORD=password");
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.output, "pkg_cli_encrypted: 1 of 1 tables converted, 0 of 3 rows refused\n");
  ServerQuery(server).Execute("DROP DATABASE IF EXISTS pkg_cli_encrypted");
}

// Every run that reaches the conversion ends with one line on standard
// output, and its status tells success from "nothing converted".
TEST_F(CliScripting, ConvertEndsWithASummaryLineAndATellingStatus) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const std::string password = "MYSQL_PWD=" + ShellQuoted(server.password);
  ServerQuery(server).Execute("DROP DATABASE IF EXISTS pkg_cli_summary");

  ScriptRun run = Cli(ConvertArguments(server, "pkg_cli_summary"), password);
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_EQ(run.output, "pkg_cli_summary: 2 of 2 tables converted, 0 of 3 rows refused\n");

  run = Cli(ConvertArguments(server, "pkg_cli_summary") + " --table Places --no", password);
  EXPECT_EQ(run.status, 3) << run.errors;
  EXPECT_EQ(run.output,
            "pkg_cli_summary: 0 of 1 tables converted, 0 of 0 rows refused; existing database "
            "kept\n");
  EXPECT_EQ(ServerQuery(server, "pkg_cli_summary").Value("SELECT COUNT(*) FROM People"), "2");

  const std::string longName(65, 'n');
  run = Cli(ConvertArguments(server, longName), password);
  EXPECT_EQ(run.status, 3) << run.errors;
  EXPECT_NE(run.output.find("; database name too long\n"), std::string::npos) << run.output;

  // Failures before the run: no summary, status 3.
  run = Cli(ConvertArguments(server, "pkg_cli_summary") + " --password=wrong");
  EXPECT_EQ(run.status, 3) << run.errors;
  EXPECT_TRUE(run.output.empty()) << run.output;
  run = Cli("convert " + ShellQuoted((dir_ / "missing.mdb").string()) + " --host " +
                ShellQuoted(server.host) + " --user u --database d",
            password);
  EXPECT_EQ(run.status, 3) << run.errors;
  EXPECT_TRUE(run.output.empty()) << run.output;

  ServerQuery(server).Execute("DROP DATABASE pkg_cli_summary");
}

}  // namespace
}  // namespace bracken::testing
