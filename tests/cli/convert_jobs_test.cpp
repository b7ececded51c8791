// bracken-cli convert --jobs: tables copied at once give the run one job
// gives (status, messages, report, summary and tables), and Ctrl-C stops
// every job.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/cli/cli_child.h"
#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

FixtureTable Numbered(const std::string& name, int64_t rows) {
  FixtureTable table;
  table.name = name;
  table.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 50),
                   MakeColumn("Note", ColumnKind::Memo)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  table.generatedRows = rows;
  table.generator = [](int64_t index, std::vector<FixtureValue>& row) {
    row = {index, "row " + std::to_string(index), std::string(index % 7 == 0 ? 300 : 3, 'n')};
  };
  return table;
}

class ConvertJobsTest : public CliServerTest {
 protected:
  ConvertJobsTest() : CliServerTest("bracken_cli_jobs") {}

  // `more` after the file, the login and --yes.
  ShellRun Convert(const fs::path& file, const std::string& database,
                   const std::vector<std::string>& more) {
    std::vector<std::string> args = {"--host",     server_.host, "--user", server_.user,
                                     "--database", database,     "--yes"};
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand("convert", file, args);
  }

  // Every table of `database` with its rows, in name order.
  std::vector<std::string> Contents(const std::string& database) {
    ServerQuery query(server_, database);
    std::vector<std::string> contents;
    for (const Row& table :
         query.Rows("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                    database + "' ORDER BY TABLE_NAME")) {
      std::string text = "[" + *table[0] + "]";
      for (const Row& row : query.Rows("SELECT * FROM `" + *table[0] + "` ORDER BY 1")) {
        for (const Cell& cell : row) text += " " + cell.value_or("NULL");
        text += ";";
      }
      contents.push_back(text);
    }
    return contents;
  }

  // --jobs 1 and --jobs 2 of the same file give the same status, standard
  // error, summary (but for the database's name) and tables.
  void ExpectTheSameRun(const fs::path& file, const std::string& prefix,
                        const std::vector<std::string>& more = {}) {
    std::vector<ShellRun> runs;
    std::vector<std::vector<std::string>> contents;
    for (const char* jobs : {"1", "2"}) {
      const std::string database = prefix + jobs;
      std::vector<std::string> args = more;
      args.insert(args.end(), {"--jobs", jobs});
      runs.push_back(Convert(file, database, args));
      contents.push_back(Contents(database));
      ServerQuery(server_).Execute("DROP DATABASE " + database);
    }
    EXPECT_EQ(runs[1].status, runs[0].status);
    EXPECT_EQ(runs[1].errors, runs[0].errors);
    EXPECT_EQ(runs[1].output.substr(runs[1].output.find(':')),
              runs[0].output.substr(runs[0].output.find(':')));
    EXPECT_EQ(contents[1], contents[0]);
    EXPECT_FALSE(contents[0].empty());
  }
};

// Refused rows (duplicate keys) in two tables, a name MySQL does not take
// as it is, and an encrypted file each job opens again with its password.
TEST_F(ConvertJobsTest, TwoJobsGiveTheRunOfOne) {
  FixtureDatabase database;
  database.password = "secret";
  database.tables = {Numbered("People", 3000), Numbered("Places", 500), Numbered("Odd name ", 40),
                     Numbered("Odd name", 20), Numbered("Zeta", 1200)};
  database.tables[0].rows = {{int64_t{5}, std::string("again"), std::string()}};
  database.tables[1].rows = {{int64_t{499}, std::string("again"), std::string()},
                             {int64_t{499}, std::string("twice"), std::string()}};
  WriteJet4File(database, dir_ / "several.mdb");
  ExpectTheSameRun(dir_ / "several.mdb", "eng_cli_jobs", {"--mdb-password", "secret"});
  ShellRun run = Convert(dir_ / "several.mdb", "eng_cli_jobs", {"--mdb-password", "secret"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "eng_cli_jobs: 5 of 5 tables converted, 3 of 4763 rows refused\n");
  EXPECT_EQ(run.errors.find("cut short"), std::string::npos) << "refused rows are no cut";
  ServerQuery(server_).Execute("DROP DATABASE eng_cli_jobs");
}

// Files of Access itself, each job reading its own copy: Jet 3, Jet 4 and
// ACE files of several tables, and one whose table has attachment and
// multi-value columns (its child tables go with it).
TEST_F(ConvertJobsTest, AccessFilesGiveTheRunOfOne) {
  const fs::path corpus = fs::path(BRACKEN_SHARED_DIR) / "corpus";
  if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus beside the checkout";
  for (const char* file : {"jet3/testV1997.mdb", "jet4/testIndexPropertiesV2000.mdb",
                           "ace/indexTestV2007.accdb", "ace/complexDataTestV2007.accdb"}) {
    SCOPED_TRACE(file);
    ExpectTheSameRun(corpus / file, "eng_cli_jobs_file", {"--no-queries"});
  }
}

// The first Ctrl-C stops both jobs after their tables: no table after them
// is started, and the run says stopped. A second ends at once, and no row
// reaches the server that the summary line does not count as sent.
TEST_F(ConvertJobsTest, CtrlCStopsEveryJob) {
  FixtureDatabase database;
  database.tables = {Numbered("First", 400000), Numbered("Second", 400000), Numbered("Third", 10)};
  WriteJet4File(database, dir_ / "large.mdb");
  for (bool twice : {false, true}) {
    SCOPED_TRACE(twice);
    const std::string name = twice ? "eng_cli_jobs_twice" : "eng_cli_jobs_stop";
    CliChild child(dir_,
                   {"convert", (dir_ / "large.mdb").string(), "--host", server_.host, "--user",
                    server_.user, "--database", name, "--yes", "--jobs", "2"},
                   {"MYSQL_PWD=" + server_.password});
    ServerQuery query(server_);
    // Both jobs are in their tables once both exist (a LOAD shows its rows
    // only when it ends, so rows are no sign).
    const std::string both =
        "SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" + name +
        "' AND TABLE_NAME IN ('First', 'Second')";
    for (auto end = std::chrono::steady_clock::now() + 60s;
         std::chrono::steady_clock::now() < end && query.Value(both) != "2";
         std::this_thread::sleep_for(20ms)) {
    }
    ASSERT_EQ(query.Value(both), "2") << child.Errors();
    child.Signal(SIGINT);
    if (twice) {
      ASSERT_TRUE(child.WaitForError("press Ctrl-C again", 5s)) << child.Errors();
      child.Signal(SIGINT);
    }
    EXPECT_EQ(child.Wait(30s), 1) << child.Errors();
    const std::string output = child.Output();
    EXPECT_NE(output.find(twice ? "; ended at once by a second Ctrl-C\n" : "; stopped\n"),
              std::string::npos)
        << output;
    EXPECT_NE(child.Errors().find("The copy was cut short: bracken-cli sync with the same file"),
              std::string::npos)
        << child.Errors();
    std::this_thread::sleep_for(300ms);
    ServerQuery tables(server_, name);
    const long first = std::stol(*tables.Value("SELECT COUNT(*) FROM First"));
    const long second = std::stol(*tables.Value("SELECT COUNT(*) FROM Second"));
    EXPECT_EQ(*tables.Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA "
                            "= '" +
                            name + "' AND TABLE_NAME = 'Third'"),
              "0");
    const std::size_t of = output.find(" of ", output.find("tables converted, "));
    ASSERT_NE(of, std::string::npos) << output;
    EXPECT_GE(std::stol(output.substr(of + 4)), first + second) << output;
    query.Execute("DROP DATABASE " + name);
  }
}

}  // namespace
}  // namespace bracken::testing
