// Tables copied by several jobs at once, against the test server: the same
// names, tables, report and summary as one job after another, a job's lost
// connection failing only its table, and a stop reaching every job.

#include "engine/table_jobs.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/run_report.h"
#include "target/mysql_connection.h"
#include "tests/support/fake_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/scratch_database.h"
#include "tests/support/server_query.h"
#include "tests/support/test_server.h"

namespace bracken::engine {
namespace {

using source::Variant;
using testing::FakeSource;
using testing::FakeTable;
using testing::Key;
using testing::LongColumn;
using testing::TextColumn;

// Sees every statement before the server does (to break the connection
// under it), then sends it over its own connection.
class WatchedExecutor : public MySqlStatementExecutor {
 public:
  using Hook = std::function<void(const std::string& statement, std::uint64_t connectionId)>;
  WatchedExecutor(target::MySqlConnection& connection, Hook hook)
      : MySqlStatementExecutor(connection), hook_(std::move(hook)) {}
  bool Execute(const std::string& statement) override {
    Look(statement);
    return MySqlStatementExecutor::Execute(statement);
  }
  void StartStatement(const std::string& statement) override {
    Look(statement);
    MySqlStatementExecutor::StartStatement(statement);
  }
  target::LocalLoadResult LoadFromStream(const std::string& statement,
                                         target::LocalLoadStream& stream,
                                         target::LocalLoadCounts& counts) override {
    Look(statement);
    return MySqlStatementExecutor::LoadFromStream(statement, stream, counts);
  }

 private:
  void Look(const std::string& statement) {
    if (hook_) hook_(statement, Traits().connectionId);
  }
  Hook hook_;
};

// A job's session on the test server over a copy of the file.
class TestSession : public JobSession {
 public:
  TestSession(const testing::TestServer& server, const FakeSource& source,
              WatchedExecutor::Hook hook)
      : executor_(connection_, std::move(hook)), source_(source) {
    connected_ = connection_.Connect(server.host, server.user, server.password) ==
                 target::MySqlConnection::ConnectResult::Connected;
  }
  StatementExecutor& Executor() override { return executor_; }
  ConversionSource& Source() override { return source_; }
  bool connected() const { return connected_; }

 private:
  target::MySqlConnection connection_;
  WatchedExecutor executor_;
  FakeSource source_;
  bool connected_ = false;
};

struct JobsRun {
  ConversionSummary summary;
  std::vector<std::string> messages;
  std::vector<std::string> reportLines;
  std::vector<std::string> notices;
  int sessionsOpened = 0;
};

FakeTable Numbered(int rows, int firstDuplicate = -1) {
  FakeTable table;
  table.columns = {LongColumn("ID"), TextColumn("Name")};
  table.indexes = {Key("PrimaryKey", {"ID"}, true, true)};
  for (int i = 0; i < rows; ++i) {
    const int id = firstDuplicate >= 0 && i >= firstDuplicate ? i - 1 : i;
    table.rows.push_back({Variant::Long(id), Variant::Text("row " + std::to_string(i))});
  }
  return table;
}

// Six tables: one with duplicate keys (refused rows), one whose name MySQL
// does not take as it is and one whose respelled name collides with it, one
// with two child tables, and one that cannot be opened (skipped).
FakeSource SixTables() {
  FakeSource source;
  source.tables["Alpha"] = Numbered(300);
  source.tables["Doubled"] = Numbered(200, 50);
  source.tables["Doubled"].rows.push_back({Variant::Long(7), Variant::Text("again")});
  source.tables["Odd name "] = Numbered(20);
  source.tables["Odd name"] = Numbered(30);
  source.tables["Parent"] = Numbered(40);
  source.tables["Parent"].children = {"Parent_Files", "Parent_Tags"};
  source.tables["Parent_Files"] = Numbered(15, 10);
  source.tables["Parent_Tags"] = Numbered(5);
  source.tables["Locked"] = Numbered(3);
  source.tables["Locked"].openFailure = testing::kLockedDescription;
  source.tables["Zeta"] = Numbered(120);
  return source;
}

const std::vector<std::string> kTables = {"Alpha",  "Doubled", "Odd name ", "Odd name",
                                          "Parent", "Locked",  "Zeta"};

class TableJobsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto server = testing::TestServerFromEnvironment();
    if (!server) GTEST_SKIP() << testing::kNoServerMessage;
    server_ = *server;
  }

  // Converts `tables` of `source` into `database` with `jobs` jobs; `hook`
  // sees each job's statements, `prepare` the owner and context first.
  JobsRun Convert(
      const FakeSource& source, const std::vector<std::string>& tables, const std::string& database,
      int jobs, WatchedExecutor::Hook hook = {},
      const std::function<void(testing::RecordingOwner&, ConversionContext&)>& prepare = {}) {
    target::MySqlConnection connection;
    EXPECT_EQ(connection.Connect(server_.host, server_.user, server_.password),
              target::MySqlConnection::ConnectResult::Connected);
    MySqlStatementExecutor executor(connection);
    FakeSource mainSource = source;
    ConversionContext context(executor, mainSource);
    context.carryQueries = false;
    context.batching = RowBatching{50, std::size_t{1} << 20, false};
    context.jobs = jobs;
    std::atomic<int> opened{0};
    context.openJob = [&]() -> std::unique_ptr<JobSession> {
      auto session = std::make_unique<TestSession>(server_, source, hook);
      if (!session->connected()) return nullptr;
      ++opened;
      return session;
    };
    testing::RecordingOwner owner;
    owner.SetTables(tables, std::vector<bool>(tables.size(), true));
    owner.SetDestinationName(database);
    if (prepare) prepare(owner, context);
    JobsRun run;
    run.summary = RunConversion(owner, context);
    run.messages = owner.messages;
    run.reportLines = owner.reportLines;
    run.notices = owner.notices;
    run.sessionsOpened = opened;
    return run;
  }

  // Every table of `database` with its rows, in name order.
  std::vector<std::string> Contents(const std::string& database) {
    testing::ServerQuery query(server_, database);
    std::vector<std::string> contents;
    for (const testing::Row& table :
         query.Rows("SELECT TABLE_NAME FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                    database + "' ORDER BY TABLE_NAME")) {
      std::string text = "[" + *table[0] + "]";
      for (const testing::Row& row :
           query.Rows("SELECT * FROM `" + *table[0] + "` ORDER BY 1, 2")) {
        for (const testing::Cell& cell : row) text += " " + cell.value_or("NULL");
        text += ";";
      }
      contents.push_back(text);
    }
    return contents;
  }

  testing::TestServer server_;
};

TEST_F(TableJobsTest, TwoJobsGiveTheSameTablesReportAndSummaryAsOne) {
  testing::ScratchDatabase one(server_, "eng_jobs_one");
  testing::ScratchDatabase two(server_, "eng_jobs_two");
  const FakeSource source = SixTables();
  const JobsRun serial = Convert(source, kTables, one.name(), 1);
  const JobsRun parallel = Convert(source, kTables, two.name(), 2);
  EXPECT_EQ(serial.sessionsOpened, 0);
  EXPECT_EQ(parallel.sessionsOpened, 2);

  EXPECT_EQ(parallel.reportLines, serial.reportLines);
  // The overwrite question names the database.
  ASSERT_EQ(parallel.messages.size(), serial.messages.size());
  EXPECT_EQ(std::vector<std::string>(parallel.messages.begin() + 1, parallel.messages.end()),
            std::vector<std::string>(serial.messages.begin() + 1, serial.messages.end()));
  EXPECT_EQ(parallel.summary.ending, RunEnding::Completed);
  EXPECT_EQ(LossMessage(parallel.summary), LossMessage(serial.summary));
  for (auto count : {&ConversionSummary::tablesChecked, &ConversionSummary::tablesConverted,
                     &ConversionSummary::tablesSkipped, &ConversionSummary::tablesFailed}) {
    EXPECT_EQ(parallel.summary.*count, serial.summary.*count);
  }
  for (auto count : {&ConversionSummary::rowsSent, &ConversionSummary::rowsRefused,
                     &ConversionSummary::reportLines}) {
    EXPECT_EQ(parallel.summary.*count, serial.summary.*count);
  }
  EXPECT_EQ(serial.summary.rowsRefused, 3);
  EXPECT_EQ(serial.summary.tablesSkipped, 1);
  EXPECT_EQ(serial.summary.tablesConverted, 6);
  // The respelled names, the refused rows of a table and of a child table.
  const std::vector<std::string> contents = Contents(one.name());
  EXPECT_EQ(contents.size(), 8u);
  EXPECT_EQ(Contents(two.name()), contents);
}

TEST_F(TableJobsTest, ALostConnectionFailsOnlyItsTableAndTheJobGoesOn) {
  testing::ScratchDatabase database(server_, "eng_jobs_lost");
  const FakeSource source = SixTables();
  // The connection that starts the rows of Doubled is killed under them.
  std::atomic<bool> killed{false};
  const auto hook = [&](const std::string& statement, std::uint64_t connectionId) {
    if (statement.rfind("INSERT INTO `Doubled`", 0) != 0 || killed.exchange(true)) return;
    testing::ServerQuery(server_).Execute("KILL CONNECTION " + std::to_string(connectionId));
  };
  const JobsRun run = Convert(source, kTables, database.name(), 2, hook);
  EXPECT_TRUE(killed);
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_EQ(run.summary.tablesFailed, 1);
  EXPECT_EQ(run.summary.tablesConverted, 5);
  EXPECT_EQ(run.sessionsOpened, 3);  // the job opened a new one
  int failedLines = 0;
  for (const std::string& line : run.reportLines) {
    if (line.rfind("Table [Doubled] was not converted completely: ", 0) == 0) ++failedLines;
  }
  EXPECT_EQ(failedLines, 1);
  const std::vector<std::string> contents = Contents(database.name());
  for (const char* name : {"[Alpha]", "[Zeta]", "[Parent_Tags]"}) {
    EXPECT_TRUE(std::any_of(contents.begin(), contents.end(), [&](const std::string& table) {
      return table.rfind(name, 0) == 0;
    })) << name;
  }
}

TEST_F(TableJobsTest, AStopReachesEveryJob) {
  testing::ScratchDatabase database(server_, "eng_jobs_stop");
  FakeSource source = SixTables();
  source.tables["Alpha"] = Numbered(100000);
  source.tables["Doubled"] = Numbered(100000);
  // Stop once both jobs copy rows.
  ConversionContext* runContext = nullptr;
  int alpha = 0;
  int doubled = 0;
  const JobsRun run = Convert(source, kTables, database.name(), 2, {},
                              [&](testing::RecordingOwner& owner, ConversionContext& context) {
                                runContext = &context;
                                owner.onCaption = [&](const std::string& caption) {
                                  alpha += caption.find("[Alpha]") != std::string::npos ? 1 : 0;
                                  doubled += caption.find("[Doubled]") != std::string::npos ? 1 : 0;
                                  if (alpha > 0 && doubled > 0) runContext->stopRequested = true;
                                };
                              });
  EXPECT_EQ(run.summary.ending, RunEnding::Stopped);
  EXPECT_EQ(run.summary.tablesConverted, 0);
  testing::ServerQuery query(server_, database.name());
  // Each job ends with its table, as one job does; no table after them was
  // started.
  EXPECT_EQ(*query.Value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                         database.name() + "'"),
            "2");
}

TEST_F(TableJobsTest, WithoutASessionForAnyJobTheTablesGoOneAfterAnother) {
  testing::ScratchDatabase database(server_, "eng_jobs_none");
  FakeSource source = SixTables();
  target::MySqlConnection connection;
  ASSERT_EQ(connection.Connect(server_.host, server_.user, server_.password),
            target::MySqlConnection::ConnectResult::Connected);
  MySqlStatementExecutor executor(connection);
  ConversionContext context(executor, source);
  context.carryQueries = false;
  context.jobs = 3;
  context.openJob = [] { return std::unique_ptr<JobSession>(); };
  testing::RecordingOwner owner;
  owner.SetTables(kTables, std::vector<bool>(kTables.size(), true));
  owner.SetDestinationName(database.name());
  const ConversionSummary summary = RunConversion(owner, context);
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(summary.tablesConverted, 6);
  EXPECT_EQ(owner.notices.size(), 1u);
}

}  // namespace
}  // namespace bracken::engine
