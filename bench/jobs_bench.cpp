// Tables in parallel: bracken-cli convert --jobs 2 against --jobs 1, and
// against the server loading the same tables from its own files at once.
//
//   jobs_bench [ROWS [ROUNDS [ENGINE [JOBS]]]]   (default 200000 rows per
//        table, 3 rounds, MyISAM, 2 jobs; needs the test server, named by
//        BRACKEN_TEST_MYSQL_*)
//
// Writes one Access file of four tables of ROWS rows each (the ten mixed
// columns of convert_bench with a primary key), then round by round, in
// turns whose order changes from round to round so that they share the load
// of a shared machine:
//   1. bracken-cli convert --jobs 1 (its default path against a server);
//   2. bracken-cli convert --jobs JOBS;
//   3. the four tables loaded at once over four connections by the server's
//      own LOAD DATA INFILE, from files written by SELECT ... INTO OUTFILE
//      from a converted copy, into empty tables (needs the FILE right and a
//      secure_file_priv that allows a directory; else left out and said).
// Each figure is the median of its rounds; the ratios are the medians of
// the rounds' own ratios.

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_table.h"
#include "bench/server_files.h"
#include "target/mysql_connection.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/test_server.h"

namespace {

namespace fs = std::filesystem;
using namespace bracken;
using Clock = std::chrono::steady_clock;

constexpr int kTables = 4;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string TableName(int t) { return "Part" + std::to_string(t + 1); }

void WriteTables(const fs::path& path, int64_t rows) {
  testing::FixtureDatabase database;
  for (int t = 0; t < kTables; ++t) {
    testing::FixtureTable table;
    table.name = TableName(t);
    table.columns = bench::BenchColumns();
    table.columns[0].autoNumber = true;
    table.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
    table.generatedRows = rows;
    const int64_t first = t * rows;
    table.generator = [first](int64_t i, std::vector<testing::FixtureValue>& row) {
      bench::FillBenchRow(first + i, row);
    };
    database.tables.push_back(std::move(table));
  }
  testing::WriteJet4File(database, path);
}

// One bracken-cli convert of the whole file; its time, or a negative one
// when it did not end cleanly.
double Convert(const testing::TestServer& server, const fs::path& file, const std::string& database,
               const std::string& engine, int jobs) {
  const auto start = Clock::now();
  const pid_t child = ::fork();
  if (child == 0) {
    ::setenv("MYSQL_PWD", server.password.c_str(), 1);
    const std::string port = std::to_string(server.port);
    const std::string jobsText = std::to_string(jobs);
    // The report and its messages are the same every round: only a status
    // other than 0 is told.
    const int quiet = ::open("/dev/null", O_WRONLY);
    ::dup2(quiet, 1);
    ::dup2(quiet, 2);
    ::execl(BRACKEN_CLI, "bracken-cli", "convert", file.c_str(), "--host", server.host.c_str(),
            "--port", port.c_str(), "--user", server.user.c_str(), "--database", database.c_str(),
            "--yes", "--engine", engine.c_str(), "--jobs", jobsText.c_str(), nullptr);
    std::_Exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  const double seconds = Seconds(start);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "jobs_bench: bracken-cli --jobs %d ended with status %d\n", jobs,
                 WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    return -1;
  }
  return seconds;
}

std::unique_ptr<target::MySqlConnection> Connect(const testing::TestServer& server) {
  auto connection = std::make_unique<target::MySqlConnection>();
  target::ConnectOptions options;
  options.port = server.port;
  if (connection->Connect(server.host, server.user, server.password, options) !=
      target::MySqlConnection::ConnectResult::Connected) {
    return nullptr;
  }
  return connection;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

struct Round {
  double one = 0, many = 0, server = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 200000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
  const std::string engine = argc > 3 ? argv[3] : "MyISAM";
  const int jobs = argc > 4 ? std::atoi(argv[4]) : 2;
  auto server = testing::TestServerFromEnvironment();
  if (!server || rows < 1 || rounds < 1 || jobs < 1) {
    std::fprintf(stderr, "jobs_bench: %s\n", testing::kNoServerMessage);
    return 2;
  }
  const fs::path file =
      fs::temp_directory_path() / ("bracken_jobs_bench_" + std::to_string(::getpid()) + ".mdb");
  auto start = Clock::now();
  WriteTables(file, rows);
  std::printf("written: %d tables of %lld rows, %s, %.1f MB, %.2f s; %u cores\n", kTables,
              static_cast<long long>(rows), engine.c_str(),
              static_cast<double>(fs::file_size(file)) / 1e6, Seconds(start),
              std::thread::hardware_concurrency());

  std::vector<std::unique_ptr<target::MySqlConnection>> connections;
  for (int t = 0; t < kTables; ++t) {
    connections.push_back(Connect(*server));
    if (!connections.back()) {
      std::fprintf(stderr, "jobs_bench: cannot reach the test server\n");
      return 2;
    }
  }
  target::MySqlConnection& main = *connections.front();
  // The tables' own CREATE TABLE statements and, where the server may write
  // files, their rows as the server writes them.
  const std::string outfiles = bench::OutfileDirectory(main);
  auto outfile = [&](int t) {
    return outfiles + "bracken_jobs_" + std::to_string(::getpid()) + "_" + std::to_string(t);
  };
  if (Convert(*server, file, "jobs_bench_files", engine, 1) < 0) return 1;
  std::vector<std::string> creates;
  for (int t = 0; t < kTables; ++t) {
    auto shown = main.QueryRows("SHOW CREATE TABLE jobs_bench_files.`" + TableName(t) + "`");
    creates.push_back(shown && !shown->empty() ? shown->front()[1] : "");
    if (!outfiles.empty()) {
      main.Execute("SELECT * INTO OUTFILE '" + outfile(t) + "' FROM jobs_bench_files.`" +
                   TableName(t) + "`");
    }
  }
  main.Execute("DROP DATABASE jobs_bench_files");
  auto serverLoad = [&] {
    for (const char* setup : {"DROP DATABASE IF EXISTS jobs_bench_server",
                              "CREATE DATABASE jobs_bench_server", "USE jobs_bench_server"}) {
      main.Execute(setup);
    }
    for (const std::string& create : creates) main.Execute(create);
    for (auto& connection : connections) connection->Execute("USE jobs_bench_server");
    const auto begin = Clock::now();
    std::vector<std::thread> loads;
    for (int t = 0; t < kTables; ++t) {
      loads.emplace_back([&, t] {
        target::MySqlConnection& connection = *connections[static_cast<std::size_t>(t)];
        if (!connection.Execute("LOAD DATA INFILE '" + outfile(t) + "' INTO TABLE `" +
                                TableName(t) + "` CHARACTER SET binary")) {
          std::fprintf(stderr, "LOAD DATA INFILE: %s\n", connection.ErrorText().c_str());
        }
      });
    }
    for (std::thread& load : loads) load.join();
    return Seconds(begin);
  };

  std::vector<Round> timed;
  const int ways = outfiles.empty() ? 2 : 3;
  for (int r = 0; r < rounds; ++r) {
    Round round;
    for (int step = 0; step < ways; ++step) {
      switch ((step + r) % ways) {
        case 0:
          round.one = Convert(*server, file, "jobs_bench", engine, 1);
          break;
        case 1:
          round.many = Convert(*server, file, "jobs_bench", engine, jobs);
          break;
        case 2:
          round.server = serverLoad();
          break;
      }
    }
    std::printf("round %d: --jobs 1 %.3f s, --jobs %d %.3f s", r + 1, round.one, jobs, round.many);
    if (!outfiles.empty()) std::printf(", four LOAD DATA INFILE at once %.3f s", round.server);
    std::printf("\n");
    std::fflush(stdout);
    if (round.one < 0 || round.many < 0) return 1;
    timed.push_back(round);
  }
  main.Execute("DROP DATABASE IF EXISTS jobs_bench");
  main.Execute("DROP DATABASE IF EXISTS jobs_bench_server");
  fs::remove(file);
  for (int t = 0; t < kTables && !outfiles.empty(); ++t) fs::remove(outfile(t));

  auto median = [&](double Round::*field) {
    std::vector<double> values;
    for (const Round& round : timed) values.push_back(round.*field);
    return Median(values);
  };
  auto medianRatio = [&](double Round::*over, double Round::*under) {
    std::vector<double> values;
    for (const Round& round : timed) values.push_back(round.*over / round.*under);
    return Median(values);
  };
  const double all = static_cast<double>(rows) * kTables;
  std::printf(
      "jobs_bench: %d tables of %lld rows, %s; --jobs 1 %.0f rows/s, --jobs %d %.0f rows/s = %.2f "
      "times --jobs 1 (round ratio %.2f)",
      kTables, static_cast<long long>(rows), engine.c_str(), all / median(&Round::one), jobs,
      all / median(&Round::many), median(&Round::one) / median(&Round::many),
      medianRatio(&Round::one, &Round::many));
  if (outfiles.empty()) {
    std::printf("; four LOAD DATA INFILE at once not measured (no FILE right or no directory)\n");
  } else {
    std::printf(
        "; four LOAD DATA INFILE at once %.0f rows/s: --jobs %d reaches %.2f of it (round ratio "
        "%.2f), --jobs 1 %.2f\n",
        all / median(&Round::server), jobs, median(&Round::server) / median(&Round::many),
        medianRatio(&Round::server, &Round::many), medianRatio(&Round::server, &Round::one));
  }
  return 0;
}
