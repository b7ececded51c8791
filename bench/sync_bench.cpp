// What sync costs beside verify, on the same file and table.
//
//   sync_bench [ROWS [ROUNDS]]   (default 200000 rows in 5 rounds; needs the
//                                 test server, named by BRACKEN_TEST_MYSQL_*)
//
// Writes the ten-column table of convert_bench with its primary key, and a
// second file whose table differs in 1% of its rows: 0.6% with changed
// values, 0.2% deleted and 0.2% added. Converts the first file into the
// server as bracken-cli does, then in rounds, their order turning from
// round to round so that they share the load of a shared machine:
//   verify of the copy;
//   sync of the copy in step (nothing to write);
//   sync with the second file (1% of the rows to bring in line), after which
//   a sync with the first file, not timed, restores the copy, so each timed
//   sync starts from the same state.
// Goals: the sync of a copy in step at least as fast as verify; the sync of
// 1% changed rows within 1.2 times verify. Each time is the median of its
// rounds, each ratio the median of the rounds' own ratios (a shared machine's
// load drifts less within a round); the figures end in one summary line.

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_table.h"
#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/source_connection.h"
#include "engine/sync/sync_run.h"
#include "engine/verify/verify_run.h"
#include "target/mysql_connection.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"
#include "tests/support/test_server.h"

namespace {

namespace fs = std::filesystem;
using namespace bracken;
using testing::FixtureValue;
using Clock = std::chrono::steady_clock;

constexpr char kDatabase[] = "eng_sync_bench";
constexpr char kTable[] = "Keyed";

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The table of `rows` rows, out of key order as a file edited over years
// holds them. With `changed`, 1% of the rows differ: of each 500 rows, three
// have other values, one is gone and one new row (a key past the others)
// takes its place.
testing::FixtureTable BenchTable(int64_t rows, bool changed) {
  testing::FixtureTable table;
  table.name = kTable;
  table.columns = bench::BenchColumns();
  table.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  table.generatedRows = rows;
  table.generator = [rows, changed](int64_t i, std::vector<FixtureValue>& row) {
    const int64_t n = (i * 7919) % rows;
    bench::FillBenchRow(n, row);
    if (!changed) return;
    switch (n % 500) {
      case 0:
      case 100:
        row[1] = "Renamed " + std::to_string(n);
        row[3] = int64_t{-1};
        break;
      case 200:
        row[8] = "A note edited for row " + std::to_string(n);
        break;
      case 300:
        row[0] = rows + n + 1;  // the row at n is gone, a new one came
        break;
      default:
        break;
    }
  };
  return table;
}

// A file opened as the command line opens it.
struct Source {
  explicit Source(const fs::path& file)
      : connectionText(engine::BuildConnectionText(file.string(), "")),
        source(Activated(catalog, connectionText), connectionText) {}
  static source::Catalog& Activated(source::Catalog& catalog, const std::string& text) {
    catalog.SetActiveConnection(text);
    return catalog;
  }
  std::string connectionText;
  source::Catalog catalog;
  engine::CatalogSource source;
};

// A sync as bracken-cli sync runs it; false when the copy did not end in line.
bool Sync(engine::ConversionSource& source, target::MySqlConnection& connection,
          engine::SyncSummary& summary) {
  engine::MySqlStatementExecutor executor(connection);
  engine::ConversionContext context(executor, source);
  context.batching = engine::RowBatching{1000, std::size_t{1} << 20, true};
  testing::RecordingOwner owner;
  summary = engine::SyncTables(owner, context, {kTable}, connection, kDatabase, {});
  return summary.InLine();
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 200000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  auto server = testing::TestServerFromEnvironment();
  if (!server || rows < 500 || rounds < 1) {
    std::fprintf(stderr, "sync_bench: %s (and at least 500 rows)\n", testing::kNoServerMessage);
    return 2;
  }
  const std::string stem =
      (fs::temp_directory_path() / ("bracken_sync_bench_" + std::to_string(::getpid()))).string();
  const fs::path firstFile = stem + "_a.mdb";
  const fs::path secondFile = stem + "_b.mdb";
  for (const bool changed : {false, true}) {
    testing::FixtureDatabase database;
    database.tables = {BenchTable(rows, changed)};
    testing::WriteJet4File(database, changed ? secondFile : firstFile);
  }
  Source first(firstFile);
  Source second(secondFile);

  target::MySqlConnection connection;
  if (connection.Connect(server->host, server->user, server->password) !=
      target::MySqlConnection::ConnectResult::Connected) {
    std::fprintf(stderr, "sync_bench: cannot reach the test server\n");
    return 2;
  }
  {
    engine::MySqlStatementExecutor executor(connection);
    engine::ConversionContext context(executor, first.source);
    context.batching = engine::RowBatching{1000, std::size_t{1} << 20, true};
    testing::RecordingOwner owner;
    owner.SetTables({kTable}, {true});
    owner.SetDestinationName(kDatabase);
    const auto start = Clock::now();
    engine::RunConversion(owner, context);
    std::printf("sync_bench: %lld rows converted in %.2f s\n", static_cast<long long>(rows),
                Seconds(start));
  }

  std::vector<double> verifies, inSteps, changes;
  long added = 0, changed = 0, removed = 0;
  bool allWell = true;
  for (int round = 0; round < rounds; ++round) {
    for (int turn = 0; turn < 3; ++turn) {
      const int which = (round + turn) % 3;
      // Each on a session of its own, as each command line run has.
      target::MySqlConnection session;
      session.Connect(server->host, server->user, server->password);
      engine::SyncSummary summary;
      const auto start = Clock::now();
      if (which == 0) {
        const engine::VerifySummary verify =
            engine::VerifyTables(first.source, {kTable}, session, kDatabase);
        verifies.push_back(Seconds(start));
        allWell = allWell && verify.AllIdentical();
      } else if (which == 1) {
        allWell = Sync(first.source, session, summary) && allWell;
        inSteps.push_back(Seconds(start));
        allWell = allWell && summary.InStep() == 1;
      } else {
        allWell = Sync(second.source, session, summary) && allWell;
        changes.push_back(Seconds(start));
        if (!summary.tables.empty()) {
          added = summary.tables.front().added;
          changed = summary.tables.front().changed;
          removed = summary.tables.front().removed;
        }
        engine::SyncSummary restored;
        allWell = Sync(first.source, session, restored) && allWell;
      }
    }
  }
  const double verify = Median(verifies), inStep = Median(inSteps), change = Median(changes);
  std::vector<double> inStepRatios, changeRatios;
  for (std::size_t i = 0; i < verifies.size(); ++i) {
    inStepRatios.push_back(inSteps[i] / verifies[i]);
    changeRatios.push_back(changes[i] / verifies[i]);
  }
  std::printf(
      "sync_bench: %lld rows, %d rounds (medians): verify %.2f s, sync in step %.2f s (%.2f of "
      "verify; goal at most 1.00), sync of 1%% changed (%ld added, %ld changed, %ld removed) "
      "%.2f s (%.2f of verify; goal at most 1.20), %s\n",
      static_cast<long long>(rows), rounds, verify, inStep, Median(inStepRatios), added, changed,
      removed, change, Median(changeRatios), allWell ? "in line" : "NOT IN LINE");
  connection.Execute(std::string("DROP DATABASE ") + kDatabase);
  fs::remove(firstFile);
  fs::remove(secondFile);
  return allWell ? 0 : 1;
}
