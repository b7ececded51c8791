// What the conversion costs beyond the server's own work.
//
//   convert_bench [ROWS]            (default 1000000; needs the test server,
//                                    named by BRACKEN_TEST_MYSQL_*)
//
// Writes a table of ten mixed columns with a primary key, then:
//   1. runs the engine against a target that only keeps the statements (the
//      engine's own time: reading, rendering, literals, statement texts);
//   2. converts the file into the server, as bracken-cli does;
//   3. replays the same INSERT texts from memory through one connection into
//      the same empty table.
// The ratio of 2 to 3 is the conversion's overhead over the server's time;
// the goal is 1.15 or less. The figures end in one summary line.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/source_connection.h"
#include "engine/statement_executor.h"
#include "target/mysql_connection.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/test_server.h"

namespace {

namespace fs = std::filesystem;
using namespace bracken;
using testing::ColumnKind;
using testing::FixtureColumn;
using testing::FixtureValue;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

FixtureColumn Column(std::string name, ColumnKind kind, int size = 0) {
  FixtureColumn c;
  c.name = std::move(name);
  c.kind = kind;
  c.size = size;
  return c;
}

void FillRow(int64_t i, std::vector<FixtureValue>& row) {
  row[0] = i + 1;
  row[1] = "Customer O'Name " + std::to_string(i % 9973);
  row[2] = i % 3 == 0;
  row[3] = (i * 7) % 30000;
  row[4] = i * 0.125;
  row[5] = i * 1999;
  row[6] = 36526.0 + (i % 20000) + (i % 86400) / 86400.0;
  row[7] = i % 5 ? FixtureValue(std::string("C").append(std::to_string(i % 1000))) : FixtureValue();
  row[8] = i % 4 ? FixtureValue("A short note for row " + std::to_string(i)) : FixtureValue();
  row[9] = (i * 31) % 1000003;
}

void WriteTable(const fs::path& path, int64_t rows) {
  testing::FixtureTable table;
  table.name = "Bench";
  FixtureColumn id = Column("Id", ColumnKind::Long);
  id.autoNumber = true;
  table.columns = {id,
                   Column("Name", ColumnKind::Text, 40),
                   Column("Active", ColumnKind::Boolean),
                   Column("Score", ColumnKind::Integer),
                   Column("Ratio", ColumnKind::Double),
                   Column("Balance", ColumnKind::Currency),
                   Column("Since", ColumnKind::DateTime),
                   Column("Code", ColumnKind::Text, 10),
                   Column("Note", ColumnKind::Memo),
                   Column("Quantity", ColumnKind::Long)};
  table.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  table.generatedRows = rows;
  table.generator = FillRow;
  testing::FixtureDatabase database;
  database.tables.push_back(std::move(table));
  testing::WriteJet4File(database, path);
}

// An owner with nothing to show; it answers Yes to the overwrite question.
class QuietOwner : public engine::ConversionOwner {
 public:
  engine::MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    engine::MessageButtons buttons, engine::MessageIcon) override {
    if (caption != "Message" || text.find("completed successfully") == std::string::npos) {
      if (buttons == engine::MessageButtons::Ok)
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    return buttons == engine::MessageButtons::Ok ? engine::MessageAnswer::Ok
                                                 : engine::MessageAnswer::Yes;
  }
  void SetControlVisible(int, bool) override {}
  void SetControlEnabled(int, bool) override {}
  void SetControlText(int, const std::string&) override {}
  std::string ControlText(int) override { return database; }
  void SetChecked(int, bool) override {}
  int ListItemCount(int) override { return 1; }
  bool ListItemChecked(int, int) override { return true; }
  void SetListItemChecked(int, int, bool) override {}
  std::vector<std::string> SelectedTableNames() override { return {"Bench"}; }
  void SetProgressRange(int, int, int) override {}
  void SetProgressStep(int, int) override {}
  void SetProgressPosition(int, int) override {}
  void StepProgress(int) override {}
  void SetCaption(const std::string&) override {}
  void StartTimer(int, int) override {}
  void StopTimer(int) override {}

  std::string database;
};

// Keeps every statement and accepts it; USE fails, as for a new database.
class CapturingExecutor : public engine::StatementExecutor {
 public:
  bool Execute(const std::string& statement) override {
    statements.push_back(statement);
    return statement.rfind("USE ", 0) != 0;
  }
  std::string ErrorText() const override { return "Unknown database"; }
  bool LastErrorWasConnectionLost() const override { return false; }
  std::vector<std::string> statements;
};

engine::ConversionSummary Convert(const std::string& connectionText, const std::string& database,
                                  engine::StatementExecutor& executor) {
  source::Catalog catalog;
  catalog.SetActiveConnection(connectionText);
  engine::CatalogSource source(catalog, connectionText);
  engine::ConversionContext context(executor, source);
  QuietOwner owner;
  owner.database = database;
  return engine::RunConversion(owner, context);
}

bool Connect(target::MySqlConnection& connection, const testing::TestServer& server) {
  return connection.Connect(server.host, server.user, server.password) ==
         target::MySqlConnection::ConnectResult::Connected;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  auto server = testing::TestServerFromEnvironment();
  if (!server) {
    std::fprintf(stderr, "convert_bench: %s\n", testing::kNoServerMessage);
    return 2;
  }
  const fs::path file =
      fs::temp_directory_path() / ("bracken_convert_bench_" + std::to_string(::getpid()) + ".mdb");
  auto start = Clock::now();
  WriteTable(file, rows);
  std::printf("written: %lld rows, %.1f MB, %.2f s\n", static_cast<long long>(rows),
              static_cast<double>(fs::file_size(file)) / 1e6, Seconds(start));
  const std::string connectionText = engine::BuildConnectionText(file.string(), "");

  CapturingExecutor capture;
  start = Clock::now();
  Convert(connectionText, "eng_bench", capture);
  const double engineSeconds = Seconds(start);
  std::printf("engine alone: %.2f s, %.0f rows/s\n", engineSeconds, rows / engineSeconds);

  target::MySqlConnection connection;
  if (!Connect(connection, *server)) {
    std::fprintf(stderr, "convert_bench: cannot reach the test server\n");
    return 2;
  }
  engine::MySqlStatementExecutor executor(connection);
  start = Clock::now();
  engine::ConversionSummary summary = Convert(connectionText, "eng_bench", executor);
  const double convertSeconds = Seconds(start);
  std::printf("conversion: %.2f s, %.0f rows/s, %ld refused\n", convertSeconds,
              rows / convertSeconds, summary.rowsRefused);

  // The same statements replayed: database and table first (not timed).
  std::size_t firstInsert = 0;
  while (capture.statements[firstInsert].rfind("INSERT", 0) != 0) {
    connection.Execute(capture.statements[firstInsert++]);
  }
  start = Clock::now();
  long refused = 0;
  for (std::size_t i = firstInsert; i < capture.statements.size(); ++i) {
    if (!connection.Execute(capture.statements[i])) ++refused;
  }
  const double replaySeconds = Seconds(start);
  std::printf("replay: %.2f s, %.0f rows/s, %ld refused\n", replaySeconds, rows / replaySeconds,
              refused);
  connection.Execute("DROP DATABASE eng_bench");
  fs::remove(file);

  // The engine works while the server waits and the other way round, so its
  // own time over the replay is the overhead a quiet machine would show.
  std::printf(
      "convert_bench: %lld rows, conversion %.0f rows/s, replay %.0f rows/s, ratio %.3f "
      "(goal 1.15; engine alone over replay %.3f)\n",
      static_cast<long long>(rows), rows / convertSeconds, rows / replaySeconds,
      convertSeconds / replaySeconds, (engineSeconds + replaySeconds) / replaySeconds);
  return 0;
}
