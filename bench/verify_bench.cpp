// What verify costs beside the conversion, on the same file and table.
//
//   verify_bench [ROWS]   (default 1000000; needs the test server, named by
//                          BRACKEN_TEST_MYSQL_*)
//
// Writes the ten-column table of convert_bench with its primary key, and the
// same rows in a second table without a key; converts both into the server,
// then verifies each and reports rows per second, counting each row once
// (an Access row and its MySQL row together) and counting both sides. The
// goal is 300,000 rows per second on the keyed table, both sides counted.

#include <sys/resource.h>
#include <unistd.h>

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
#include "engine/verify/verify_run.h"
#include "target/mysql_connection.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/recording_owner.h"
#include "tests/support/test_server.h"

namespace {

namespace fs = std::filesystem;
using namespace bracken;
using testing::ColumnKind;
using testing::FixtureValue;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

testing::FixtureTable BenchTable(const std::string& name, int64_t rows, bool keyed) {
  testing::FixtureTable table;
  table.name = name;
  table.columns = bench::BenchColumns();
  if (keyed) table.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
  table.generatedRows = rows;
  // Rows out of key order, as a file edited over years holds them.
  table.generator = [rows](int64_t i, std::vector<FixtureValue>& row) {
    bench::FillBenchRow((i * 7919) % rows, row);
  };
  return table;
}

long PeakKilobytes() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  auto server = testing::TestServerFromEnvironment();
  if (!server || rows < 1) {
    std::fprintf(stderr, "verify_bench: %s\n", testing::kNoServerMessage);
    return 2;
  }
  const fs::path file =
      fs::temp_directory_path() / ("bracken_verify_bench_" + std::to_string(::getpid()) + ".mdb");
  testing::FixtureDatabase database;
  database.tables = {BenchTable("Keyed", rows, true), BenchTable("Unkeyed", rows, false)};
  testing::WriteJet4File(database, file);
  const std::string connectionText = engine::BuildConnectionText(file.string(), "");
  source::Catalog catalog;
  catalog.SetActiveConnection(connectionText);
  engine::CatalogSource source(catalog, connectionText);

  target::MySqlConnection connection;
  if (connection.Connect(server->host, server->user, server->password) !=
      target::MySqlConnection::ConnectResult::Connected) {
    std::fprintf(stderr, "verify_bench: cannot reach the test server\n");
    return 2;
  }
  std::printf("rows per table: %lld, peak memory before verify: %ld KiB\n",
              static_cast<long long>(rows), PeakKilobytes());
  for (const char* table : {"Keyed", "Unkeyed"}) {
    engine::MySqlStatementExecutor executor(connection);
    engine::ConversionContext context(executor, source);
    testing::RecordingOwner owner;
    owner.SetTables({table}, {true});
    owner.SetDestinationName("eng_verify_bench");
    auto start = Clock::now();
    engine::RunConversion(owner, context);
    const double convert = Seconds(start);

    target::MySqlConnection verifier;
    verifier.Connect(server->host, server->user, server->password);
    start = Clock::now();
    engine::VerifySummary summary =
        engine::VerifyTables(source, {table}, verifier, "eng_verify_bench");
    const double verify = Seconds(start);
    std::printf(
        "verify_bench: %s %lld rows: conversion %.2f s (%.0f rows/s), verify %.2f s (%.0f "
        "rows/s, %.0f rows/s both sides counted; goal 300000 both sides), %s, peak memory %ld "
        "KiB\n",
        table, static_cast<long long>(rows), convert, rows / convert, verify, rows / verify,
        2 * rows / verify, summary.AllIdentical() ? "identical" : "DIFFERENT", PeakKilobytes());
    std::fflush(stdout);
  }
  connection.Execute("DROP DATABASE eng_verify_bench");
  fs::remove(file);
  return 0;
}
