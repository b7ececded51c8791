// What the conversion costs beyond the server's own work.
//
//   convert_bench [ROWS [ROUNDS [BATCH_ROWS [INDEXES [ENGINE [load]]]]]]
//        (default 1000000 rows in 10 rounds, 1000 rows per batch, no plain
//        index, MyISAM tables; needs the test server, named by
//        BRACKEN_TEST_MYSQL_*; ROUNDS 0 measures the engine alone; "load"
//        times only step 4's two loads, in alternated order, beside a
//        client's LOAD DATA LOCAL INFILE of the server's file: the most
//        any client reaches over LOCAL, with no Access file to read)
//
// Writes ROUNDS tables of ten mixed columns with a primary key (and with
// INDEXES, 1 to 4, that many plain indexes: Name, Code, Since, and Score
// with Quantity), ROWS rows in all, then:
//   1. runs the engine over every table against a target that only keeps the
//      statements, one row per INSERT and batched: the engine's own time per
//      row (reading, rendering, literals, statement texts); and splits the
//      batched run's time into reading the file, the plan's scan of the rows,
//      and building literals and statements;
//   2. round by round, on one table each: converts it as bracken-cli does
//      (batched), converts it one INSERT per row (--row-by-row), replays the
//      captured one-row INSERTs, and replays the same rows as INSERTs of 1000
//      rows each built from them (the multi-row ceiling). The order of the
//      turns changes from round to round, so that they share the load of a
//      shared machine; each figure is the median of its rounds;
//   3. in the same rounds, converts the table batched without its rules
//      (--no-rules): the tables carry two validation rules, a default value
//      and a description, as application tables do; and, with INDEXES,
//      batched with the plain indexes kept up row by row instead of built
//      once after the rows;
//   4. in the same rounds, converts the table by LOAD DATA LOCAL INFILE
//      from memory (bracken-cli's default against a server), and loads the
//      same rows with LOAD DATA INFILE from a server-side file written by
//      SELECT ... INTO OUTFILE from the converted table into an empty copy
//      of it (the server's own ceiling). The ceiling needs the FILE right
//      and a secure_file_priv that allows a directory; without them the
//      output says so and leaves it out.
// The batched run against the server, less the engine's own time, is the
// server's share (network and its work) of the split.
// Goals: batched at 80% or more of the multi-row ceiling, never slower than
// one row per INSERT; one row per INSERT at most 1.15 times its replay;
// the rules cost at most 5% of a batched run. The figures end in one
// summary line.

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
#include "bench/server_files.h"
#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/statement_executor.h"
#include "engine/schema/foreign_keys.h"
#include "engine/source_connection.h"
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

std::string TableName(int round) { return "Bench" + std::to_string(round); }

void WriteTables(const fs::path& path, int64_t rows, int rounds, int indexes) {
  testing::FixtureDatabase database;
  for (int r = 0; r < rounds; ++r) {
    testing::FixtureTable table;
    table.name = TableName(r);
    table.columns = bench::BenchColumns();
    table.columns[0].autoNumber = true;
    table.columns[1].description = "The customer's name as the invoice shows it";
    table.columns[2].defaultValue = "No";
    table.columns[3].validationRule = "Between 0 And 30000";
    table.columns[9].validationRule = ">=0";
    table.indexes = {{"PrimaryKey", {"Id"}, true, true, false}};
    const std::vector<testing::FixtureIndex> plain = {
        {"Name", {"Name"}, false, false, false},
        {"Code", {"Code"}, false, false, false},
        {"Since", {"Since"}, false, false, false},
        {"ScoreQuantity", {"Score", "Quantity"}, false, false, false}};
    for (int i = 0; i < std::min(indexes, 4); ++i) table.indexes.push_back(plain[i]);
    table.generatedRows = rows / rounds;
    const int64_t first = r * (rows / rounds);
    table.generator = [first](int64_t i, std::vector<FixtureValue>& row) {
      bench::FillBenchRow(first + i, row);
    };
    database.tables.push_back(std::move(table));
  }
  testing::WriteJet4File(database, path);
}

// An owner with nothing to show; it answers Yes to the overwrite question
// and reports refusals.
class QuietOwner : public engine::ConversionOwner {
 public:
  QuietOwner(std::string database, std::vector<std::string> tables)
      : database_(std::move(database)), tables_(std::move(tables)) {}
  engine::MessageAnswer ShowMessage(const std::string& text, const std::string& caption,
                                    engine::MessageButtons buttons, engine::MessageIcon) override {
    if (buttons != engine::MessageButtons::Ok) return engine::MessageAnswer::Yes;
    if (text.find("completed successfully") == std::string::npos) {
      std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    }
    return engine::MessageAnswer::Ok;
  }
  void SetControlVisible(int, bool) override {}
  void SetControlEnabled(int, bool) override {}
  void SetControlText(int, const std::string&) override {}
  std::string ControlText(int) override { return database_; }
  void SetChecked(int, bool) override {}
  int ListItemCount(int) override { return static_cast<int>(tables_.size()); }
  bool ListItemChecked(int, int) override { return true; }
  void SetListItemChecked(int, int, bool) override {}
  std::vector<std::string> SelectedTableNames() override { return tables_; }
  void SetProgressRange(int, int, int) override {}
  void SetProgressStep(int, int) override {}
  void SetProgressPosition(int, int) override {}
  void StepProgress(int) override {}
  void SetCaption(const std::string&) override {}
  void StartTimer(int, int) override {}
  void StopTimer(int) override {}
  void ReportLine(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
  void Notice(const std::string& line) override { std::fprintf(stderr, "%s\n", line.c_str()); }
  void ShowReport(const std::string& message, const std::vector<std::string>&) override {
    std::fprintf(stderr, "%s\n", message.c_str());
  }

 private:
  std::string database_;
  std::vector<std::string> tables_;
};

// Keeps every statement and accepts it; USE fails, as for a new database.
class CapturingExecutor : public engine::StatementExecutor {
 public:
  bool Execute(const std::string& statement) override {
    statements.push_back(statement);
    return statement.rfind("USE ", 0) != 0;
  }
  bool ExecuteWithLongValues(const std::string& statement,
                             const std::vector<std::string_view>&) override {
    return Execute(statement);
  }
  const target::ServerTraits& Traits() const override { return traits; }
  std::string ErrorText() const override { return "Unknown database"; }
  bool LastErrorWasConnectionLost() const override { return false; }
  unsigned int LastErrorNumber() const override { return 1049; }  // unknown database
  std::vector<std::string> statements;
  target::ServerTraits traits{std::uint64_t{1} << 30, "capture", false, 0, "", ""};
};

// Also notes when each table's DROP TABLE and CREATE TABLE came: the plan
// (with its scan of the rows) runs before the DROP, the rows after the CREATE.
class TimingExecutor : public CapturingExecutor {
 public:
  bool Execute(const std::string& statement) override {
    const Clock::time_point now = Clock::now();
    if (statement.rfind("DROP TABLE", 0) == 0) {
      plan += std::chrono::duration<double>(now - last).count();
      if (copying) copy += std::chrono::duration<double>(last - created).count();
      copying = false;
    }
    if (statement.rfind("CREATE TABLE", 0) == 0) {
      created = now;
      copying = true;
    }
    last = now;
    return CapturingExecutor::Execute(statement);
  }
  // The seconds of the plans and of the copies (the last one ends at `end`).
  void Finish(Clock::time_point end) {
    if (copying) copy += std::chrono::duration<double>(end - created).count();
    copying = false;
  }
  Clock::time_point last = Clock::now(), created;
  bool copying = false;
  double plan = 0, copy = 0;
};

// Reads every field of every row of the tables, as the copy does before it
// renders them: the reader's own share of a run.
double ReadSeconds(const std::string& connectionText, const std::vector<std::string>& tables) {
  const auto start = Clock::now();
  source::Catalog catalog;
  catalog.SetActiveConnection(connectionText);
  long nulls = 0;
  for (const std::string& table : tables) {
    source::Recordset recordset;
    recordset.Open("SELECT * FROM [" + table + "]", connectionText);
    for (; !recordset.Eof(); recordset.MoveNext()) {
      source::Fields fields = recordset.Fields();
      for (long i = 0, n = fields.Count(); i < n; ++i) nulls += fields.Item(i).Value().IsNull();
    }
  }
  if (nulls < 0) std::printf("%ld\n", nulls);  // keeps the reads
  return Seconds(start);
}

engine::ConversionSummary Convert(const std::string& connectionText, const std::string& database,
                                  const std::vector<std::string>& tables,
                                  engine::StatementExecutor& executor,
                                  engine::RowBatching batching = {}, bool rules = true,
                                  bool keysAfterRows = true) {
  static const engine::TableEngine tableEngine = [] {
    const char* chosen = std::getenv("BRACKEN_BENCH_ENGINE");
    return chosen != nullptr
               ? engine::ParseTableEngine(chosen).value_or(engine::TableEngine::MyISAM)
               : engine::TableEngine::MyISAM;
  }();
  source::Catalog catalog;
  catalog.SetActiveConnection(connectionText);
  engine::CatalogSource source(catalog, connectionText);
  engine::ConversionContext context(executor, source);
  context.batching = batching;
  context.carryRules = rules;
  context.engine = tableEngine;
  context.keysAfterRows = keysAfterRows;
  QuietOwner owner(database, tables);
  return engine::RunConversion(owner, context);
}

// The captured statements of one table: its CREATE TABLE and its INSERTs.
struct TableStatements {
  std::string create;
  std::vector<std::string> inserts;
};

std::vector<TableStatements> SplitByTable(const std::vector<std::string>& statements) {
  std::vector<TableStatements> tables;
  for (const std::string& statement : statements) {
    if (statement.rfind("CREATE TABLE", 0) == 0) tables.push_back({statement, {}});
    if (statement.rfind("INSERT", 0) == 0) tables.back().inserts.push_back(statement);
  }
  return tables;
}

// The one-row INSERTs of a table as INSERTs of `rows` rows each.
std::vector<std::string> MultiRow(const std::vector<std::string>& inserts, std::size_t rows) {
  std::vector<std::string> statements;
  for (std::size_t i = 0; i < inserts.size(); i += rows) {
    const std::string& first = inserts[i];
    const std::size_t start = first.find(" VALUES(") + 7;
    std::string statement = first.substr(0, start);
    for (std::size_t j = i; j < std::min(inserts.size(), i + rows); ++j) {
      if (j > i) statement += ',';
      statement.append(inserts[j], start, inserts[j].size() - start - 1);
    }
    statements.push_back(statement + ";");
  }
  return statements;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// The seven ways of writing one table, timed under the same load.
struct Round {
  double batched, single, replay, ceiling, noRules, loaded, serverLoad, keysPerRow, clientLoad;
};

// A file of this machine as the stream of a LOAD DATA LOCAL.
class FileStream : public target::LocalLoadStream {
 public:
  explicit FileStream(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~FileStream() override {
    if (file_ != nullptr) std::fclose(file_);
  }
  FileStream(const FileStream&) = delete;
  FileStream& operator=(const FileStream&) = delete;
  int Read(char* buffer, unsigned int size) override {
    if (file_ == nullptr) return -1;
    return static_cast<int>(std::fread(buffer, 1, size, file_));
  }

 private:
  std::FILE* file_;
};

constexpr int kWays = 7;

}  // namespace

int main(int argc, char** argv) {
  const int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 10;
  const std::size_t batchRows = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 1000;
  const int indexes = argc > 4 ? std::atoi(argv[4]) : 0;
  // The engine reaches Convert through the environment it reads once.
  if (argc > 5) ::setenv("BRACKEN_BENCH_ENGINE", argv[5], 1);
  const bool innoDb = argc > 5 && engine::ParseTableEngine(argv[5]) == engine::TableEngine::InnoDB;
  const bool loadsOnly = argc > 6 && std::string(argv[6]) == "load";
  auto server = testing::TestServerFromEnvironment();
  if (!server || rounds < 0 || batchRows < 1 || indexes < 0) {
    std::fprintf(stderr, "convert_bench: %s\n", testing::kNoServerMessage);
    return 2;
  }
  const fs::path file =
      fs::temp_directory_path() / ("bracken_convert_bench_" + std::to_string(::getpid()) + ".mdb");
  auto start = Clock::now();
  const int tables = std::max(rounds, 1);
  WriteTables(file, rows, tables, indexes);
  std::printf("written: %lld rows in %d tables, %d plain indexes each, %s, %.1f MB, %.2f s\n",
              static_cast<long long>(rows), tables, std::min(indexes, 4),
              innoDb ? "InnoDB" : "MyISAM", static_cast<double>(fs::file_size(file)) / 1e6,
              Seconds(start));
  const std::string connectionText = engine::BuildConnectionText(file.string(), "");
  std::vector<std::string> all;
  for (int r = 0; r < tables; ++r) all.push_back(TableName(r));
  const engine::RowBatching batching{batchRows};

  CapturingExecutor capture;
  start = Clock::now();
  Convert(connectionText, "eng_bench", all, capture, {});
  const double engineSeconds = Seconds(start);
  const std::vector<TableStatements> captured = SplitByTable(capture.statements);
  capture.statements.clear();
  TimingExecutor timing;
  start = Clock::now();
  timing.last = start;
  Convert(connectionText, "eng_bench", all, timing, batching);
  timing.Finish(Clock::now());
  const double engineBatchedSeconds = Seconds(start);
  timing.statements.clear();
  std::printf("engine alone: %.3f us per row one per INSERT, %.3f us per row batched\n",
              engineSeconds * 1e6 / rows, engineBatchedSeconds * 1e6 / rows);
  // Where the engine's batched time goes, per row.
  const double readUs = ReadSeconds(connectionText, all) * 1e6 / rows;
  const double planUs = timing.plan * 1e6 / rows;
  const double literalsUs = std::max(0.0, timing.copy * 1e6 / rows - readUs);
  std::printf(
      "engine split, batched, us per row: reading the file %.3f, plan scan %.3f, literals and "
      "statements %.3f, the rest %.3f\n",
      readUs, planUs, literalsUs,
      std::max(0.0, engineBatchedSeconds * 1e6 / rows - readUs - planUs - literalsUs));
  if (rounds == 0) {
    fs::remove(file);
    return 0;
  }

  target::MySqlConnection connection;
  if (connection.Connect(server->host, server->user, server->password) !=
      target::MySqlConnection::ConnectResult::Connected) {
    std::fprintf(stderr, "convert_bench: cannot reach the test server\n");
    return 2;
  }
  engine::MySqlStatementExecutor executor(connection);
  long refused = 0;
  auto replay = [&](const TableStatements& table, const std::vector<std::string>& inserts) {
    for (const char* setup : {"DROP DATABASE IF EXISTS eng_bench_replay",
                              "CREATE DATABASE eng_bench_replay", "USE eng_bench_replay"}) {
      connection.Execute(setup);
    }
    connection.Execute(table.create);
    auto begin = Clock::now();
    for (const std::string& insert : inserts) {
      if (!connection.Execute(insert)) ++refused;
    }
    return Seconds(begin);
  };
  engine::RowBatching loading = batching;
  loading.loadData = true;
  // The rows of every table as the server writes them to a file, for the
  // server's own LOAD DATA INFILE.
  const std::string outfiles = bench::OutfileDirectory(connection);
  auto outfile = [&](int r) {
    return outfiles + "bracken_bench_" + std::to_string(::getpid()) + "_" + std::to_string(r);
  };
  if (!outfiles.empty()) {
    Convert(connectionText, "eng_bench_files", all, executor, batching);
    for (int r = 0; r < rounds; ++r) {
      connection.Execute("SELECT * INTO OUTFILE '" + outfile(r) + "' FROM eng_bench_files.`" +
                         TableName(r) + "`");
    }
    connection.Execute("DROP DATABASE eng_bench_files");
  }
  auto serverLoad = [&](const TableStatements& table, int r) {
    for (const char* setup : {"DROP DATABASE IF EXISTS eng_bench_replay",
                              "CREATE DATABASE eng_bench_replay", "USE eng_bench_replay"}) {
      connection.Execute(setup);
    }
    connection.Execute(table.create);
    auto begin = Clock::now();
    if (!connection.Execute("LOAD DATA INFILE '" + outfile(r) + "' INTO TABLE `" + TableName(r) +
                            "` CHARACTER SET binary")) {
      std::fprintf(stderr, "LOAD DATA INFILE: %s\n", connection.ErrorText().c_str());
    }
    return Seconds(begin);
  };
  // The same file sent by the client over LOCAL. The server's files are
  // on this machine (the test server is local) and readable by its user.
  auto clientLoad = [&](const TableStatements& table, int r) {
    for (const char* setup : {"DROP DATABASE IF EXISTS eng_bench_replay",
                              "CREATE DATABASE eng_bench_replay", "USE eng_bench_replay"}) {
      connection.Execute(setup);
    }
    connection.Execute(table.create);
    FileStream stream(outfile(r));
    target::LocalLoadCounts counts;
    auto begin = Clock::now();
    if (connection.LoadFromStream(
            "LOAD DATA LOCAL INFILE 'rows' INTO TABLE `" + TableName(r) + "` CHARACTER SET binary",
            stream, counts) != target::LocalLoadResult::Loaded) {
      std::fprintf(stderr, "LOAD DATA LOCAL INFILE: %s\n", connection.ErrorText().c_str());
    }
    return Seconds(begin);
  };
  std::vector<Round> timed;
  for (int r = 0; r < rounds; ++r) {
    const TableStatements& table = captured[static_cast<std::size_t>(r)];
    const std::vector<std::string> multiRow = MultiRow(table.inserts, 1000);
    Round round{};
    const int ways = indexes > 0 ? kWays + 1 : kWays;
    for (int step = 0; step < ways; ++step) {
      int way = (step + r) % ways;
      if (loadsOnly) {
        if (step > 2) break;
        way = (step + r) % 3 == 2 ? 8 : 5 + (step + r) % 3;
      }
      switch (way) {
        case 0:
          start = Clock::now();
          refused += Convert(connectionText, "eng_bench", {TableName(r)}, executor, batching, true)
                         .rowsRefused;
          round.batched = Seconds(start);
          break;
        case 1:
          start = Clock::now();
          refused += Convert(connectionText, "eng_bench", {TableName(r)}, executor).rowsRefused;
          round.single = Seconds(start);
          break;
        case 2:
          round.replay = replay(table, table.inserts);
          break;
        case 3:
          round.ceiling = replay(table, multiRow);
          break;
        case 4:
          start = Clock::now();
          refused += Convert(connectionText, "eng_bench", {TableName(r)}, executor, batching, false)
                         .rowsRefused;
          round.noRules = Seconds(start);
          break;
        case 5:
          // As for the server's load, the copy of the round before goes
          // untimed.
          connection.Execute("DROP DATABASE IF EXISTS eng_bench");
          start = Clock::now();
          refused +=
              Convert(connectionText, "eng_bench", {TableName(r)}, executor, loading).rowsRefused;
          round.loaded = Seconds(start);
          break;
        case 6:
          if (!outfiles.empty()) round.serverLoad = serverLoad(table, r);
          break;
        case 7:
          start = Clock::now();
          refused +=
              Convert(connectionText, "eng_bench", {TableName(r)}, executor, batching, true, false)
                  .rowsRefused;
          round.keysPerRow = Seconds(start);
          break;
        case 8:
          if (!outfiles.empty()) round.clientLoad = clientLoad(table, r);
          break;
      }
    }
    if (loadsOnly) {
      std::printf(
          "round %d: LOAD DATA LOCAL %.3f s, server LOAD DATA INFILE %.3f s, the server's file "
          "by LOAD DATA LOCAL %.3f s\n",
          r + 1, round.loaded, round.serverLoad, round.clientLoad);
      std::fflush(stdout);
      timed.push_back(round);
      continue;
    }
    std::printf(
        "round %d: batched %.3f s, one per INSERT %.2f s, replay %.2f s, multi-row ceiling "
        "%.3f s, batched without rules %.3f s, LOAD DATA LOCAL %.3f s, server LOAD DATA INFILE "
        "%.3f s",
        r + 1, round.batched, round.single, round.replay, round.ceiling, round.noRules,
        round.loaded, round.serverLoad);
    if (indexes > 0) std::printf(", batched with keys kept row by row %.3f s", round.keysPerRow);
    std::printf("\n");
    std::fflush(stdout);
    timed.push_back(round);
  }
  connection.Execute("DROP DATABASE eng_bench");
  connection.Execute("DROP DATABASE eng_bench_replay");
  fs::remove(file);
  for (int r = 0; r < rounds && !outfiles.empty(); ++r) fs::remove(outfile(r));

  auto median = [&](double Round::*field) {
    std::vector<double> values;
    for (const Round& round : timed) values.push_back(round.*field);
    return Median(values);
  };
  const double loaded = median(&Round::loaded);
  if (loadsOnly) {
    const double server = median(&Round::serverLoad);
    const double client = median(&Round::clientLoad);
    auto ratio = [&](double Round::*over, double Round::*under) {
      std::vector<double> ratios;
      for (const Round& round : timed) ratios.push_back(round.*over / round.*under);
      return Median(ratios);
    };
    const double perRound = static_cast<double>(rows / rounds);
    std::printf(
        "convert_bench LOAD DATA: %lld rows; LOAD DATA LOCAL %.0f rows/s = %.2f of the server's "
        "LOAD DATA INFILE of the same rows (%.0f rows/s; round ratio %.2f; goal 0.90); the "
        "server's file sent by LOAD DATA LOCAL %.0f rows/s = %.2f of LOAD DATA INFILE (round "
        "ratio %.2f), and Bracken's LOAD %.2f of it (round ratio %.2f)\n",
        static_cast<long long>(rows), perRound / loaded, server / loaded, perRound / server,
        ratio(&Round::serverLoad, &Round::loaded), perRound / client, server / client,
        ratio(&Round::serverLoad, &Round::clientLoad), client / loaded,
        ratio(&Round::clientLoad, &Round::loaded));
    return 0;
  }
  const double batched = median(&Round::batched), single = median(&Round::single),
               replayed = median(&Round::replay), ceiling = median(&Round::ceiling);
  // The same ratios within each round, whose four runs shared one load.
  auto medianRatio = [&](double Round::*over, double Round::*under) {
    std::vector<double> values;
    for (const Round& round : timed) values.push_back(round.*over / round.*under);
    return Median(values);
  };
  const double perRound = static_cast<double>(rows / rounds);
  // The server's share of a batched run: its time beyond the engine's own.
  const double engineUs = engineBatchedSeconds * 1e6 / rows;
  const double serverUs = std::max(0.0, batched * 1e6 / perRound - engineUs);
  const double totalUs = engineUs + serverUs;
  std::printf(
      "time split of a batched run, us per row: reading the file %.3f (%.0f%%), plan scan %.3f "
      "(%.0f%%), literals and statements %.3f (%.0f%%), other engine work %.3f (%.0f%%), the "
      "server (network and its work) %.3f (%.0f%%)\n",
      readUs, 100 * readUs / totalUs, planUs, 100 * planUs / totalUs, literalsUs,
      100 * literalsUs / totalUs, std::max(0.0, engineUs - readUs - planUs - literalsUs),
      100 * std::max(0.0, engineUs - readUs - planUs - literalsUs) / totalUs, serverUs,
      100 * serverUs / totalUs);
  if (indexes > 0) {
    std::printf(
        "keys built once after the rows: %.2f times as fast as kept row by row "
        "(medians of the rounds' own ratios)\n",
        medianRatio(&Round::keysPerRow, &Round::batched));
  }
  std::printf(
      "convert_bench: %lld rows, %zu per batch; batched %.0f rows/s = %.2f of the multi-row "
      "ceiling (%.0f rows/s; goal 0.80) and %.2f times one per INSERT (%.0f rows/s; goal 1.00); "
      "one per INSERT over its replay %.3f (goal 1.15); engine %.3f us/row one per INSERT, %.3f "
      "us/row batched; medians of the rounds' own ratios: %.2f of the ceiling, %.2f times one "
      "per INSERT, rules cost %.3f of a batched run without them (goal 1.05); %ld refused\n",
      static_cast<long long>(rows), batchRows, perRound / batched, ceiling / batched,
      perRound / ceiling, single / batched, perRound / single, single / replayed,
      engineSeconds * 1e6 / rows, engineBatchedSeconds * 1e6 / rows,
      medianRatio(&Round::ceiling, &Round::batched), medianRatio(&Round::single, &Round::batched),
      medianRatio(&Round::batched, &Round::noRules), refused);
  if (outfiles.empty()) {
    std::printf(
        "convert_bench LOAD DATA: %.0f rows/s = %.2f times batched (round ratio %.2f); server-side "
        "LOAD DATA INFILE not measured (no FILE right or secure_file_priv forbids it)\n",
        perRound / loaded, batched / loaded, medianRatio(&Round::batched, &Round::loaded));
  } else {
    const double server = median(&Round::serverLoad);
    std::printf(
        "convert_bench LOAD DATA: %.0f rows/s = %.2f times batched (round ratio %.2f) and %.2f of "
        "the server's LOAD DATA INFILE of the same rows (%.0f rows/s; round ratio %.2f; goal "
        "0.90)\n",
        perRound / loaded, batched / loaded, medianRatio(&Round::batched, &Round::loaded),
        server / loaded, perRound / server, medianRatio(&Round::serverLoad, &Round::loaded));
  }
  return 0;
}
