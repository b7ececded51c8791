// How fast the reader streams a large table, and how much memory it needs.
//
//   reader_bench [ROWS]            (default 1000000)
//
// Writes a table of ten mixed columns with the fixture writer, then reads
// every row and every field through the access operations, rendering each
// value to text as the row copy does. Reported beside it: the time to read
// the file's bytes (the floor), the independent reader (node with mdb-reader,
// when NODE_PATH or <build>/oracle/node_modules has it) on the same file, and
// the peak memory of a read of this table and of one a tenth its size. Each
// read runs in a child process so that its peak memory is its own. The same
// table as an Access 2007 file (.accdb, the same pages under an ACE header)
// and as one encrypted with a password (agile encryption, AES-256) is read
// too, alternating with the .mdb over three rounds; the best round of each
// counts. The figures end in one summary line.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "source/source_access.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/office_encryptor.h"

namespace {

namespace fs = std::filesystem;
using bracken::testing::ColumnKind;
using bracken::testing::FixtureColumn;
using bracken::testing::FixtureValue;
using Clock = std::chrono::steady_clock;

constexpr int kColumns = 10;
constexpr const char* kPassword = "bench password";

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

void FillRow(int64_t i, std::vector<FixtureValue>& row) {
  row[0] = i;
  row[1] = "Customer name " + std::to_string(i % 9973);
  row[2] = i % 3 == 0;
  row[3] = (i * 7) % 30000;
  row[4] = i * 0.125;
  row[5] = i * 1999;
  row[6] = 36526.0 + (i % 20000) + (i % 86400) / 86400.0;
  if (i % 5) row[7] = "C" + std::to_string(i % 1000);
  if (i % 4) row[8] = "A short note for row " + std::to_string(i);
  row[9] = (i * 31) % 1000003;
}

void WriteTable(const fs::path& path, int64_t rows) {
  bracken::testing::FixtureTable table;
  table.name = "Bench";
  table.columns = {
      MakeColumn("Id", ColumnKind::Long),        MakeColumn("Name", ColumnKind::Text, 40),
      MakeColumn("Active", ColumnKind::Boolean), MakeColumn("Score", ColumnKind::Integer),
      MakeColumn("Ratio", ColumnKind::Double),   MakeColumn("Balance", ColumnKind::Currency),
      MakeColumn("Since", ColumnKind::DateTime), MakeColumn("Code", ColumnKind::Text, 10),
      MakeColumn("Note", ColumnKind::Memo),      MakeColumn("Quantity", ColumnKind::Long)};
  table.generatedRows = rows;
  table.generator = FillRow;
  bracken::testing::FixtureDatabase database;
  database.tables.push_back(std::move(table));
  bracken::testing::WriteJet4File(database, path);
}

struct Pass {
  double seconds = 0;
  int64_t rows = 0;
  uint64_t textBytes = 0;
  long peakKb = 0;
};

// Reads every field of every row, as text.
Pass ReadAll(const fs::path& path, const std::string& password) {
  Pass pass;
  auto start = Clock::now();
  std::string connection = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path.string() +
                           ";Jet OLEDB:Database Password=" + password;
  bracken::source::Catalog catalog;
  catalog.SetActiveConnection(connection);
  bracken::source::Recordset recordset;
  recordset.Open("SELECT * FROM [Bench]", connection);
  std::string text;
  for (; !recordset.Eof(); recordset.MoveNext(), ++pass.rows) {
    bracken::source::Fields fields = recordset.Fields();
    for (long i = 0, n = fields.Count(); i < n; ++i) {
      text.clear();
      fields.Item(i).Value().AppendText(text);
      pass.textBytes += text.size();
    }
  }
  pass.seconds = Seconds(start);
  return pass;
}

// Runs ReadAll in a child and returns its figures with the child's peak memory.
Pass ReadInChild(const fs::path& path, const std::string& password = "") {
  int fds[2];
  if (pipe(fds) != 0) std::exit(2);
  pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    Pass pass = ReadAll(path, password);
    bool written = write(fds[1], &pass, sizeof pass) == static_cast<ssize_t>(sizeof pass);
    _exit(written ? 0 : 1);
  }
  close(fds[1]);
  Pass pass;
  bool got = read(fds[0], &pass, sizeof pass) == static_cast<ssize_t>(sizeof pass);
  close(fds[0]);
  int status = 0;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "reader_bench: the read failed\n");
    std::exit(1);
  }
  pass.peakKb = usage.ru_maxrss;
  return pass;
}

// The floor: reading the file's bytes and nothing else.
double ReadBytes(const fs::path& path) {
  auto start = Clock::now();
  std::ifstream in(path, std::ios::binary);
  std::string buffer(1 << 20, '\0');
  volatile size_t total = 0;
  while (in.read(buffer.data(), buffer.size()) || in.gcount() > 0) total = total + in.gcount();
  return Seconds(start);
}

std::string NodeModules() {
  // The build folder holds bench/reader_bench and oracle/node_modules.
  fs::path build = fs::read_symlink("/proc/self/exe").parent_path().parent_path();
  std::string candidates[] = {std::getenv("NODE_PATH") ? std::getenv("NODE_PATH") : "",
                              (build / "oracle" / "node_modules").string()};
  for (const std::string& dir : candidates) {
    if (!dir.empty() && fs::exists(fs::path(dir) / "mdb-reader" / "package.json")) return dir;
  }
  return {};
}

// Seconds the independent reader takes to read every value of the table and
// turn it into text, or a negative number when it is not available.
double ReadWithNode(const fs::path& path, const fs::path& work) {
  std::string modules = NodeModules();
  if (modules.empty() || std::system("node --version >/dev/null 2>&1") != 0) return -1;
  fs::path script = work / "read.cjs";
  std::ofstream(script) << "const M = require('mdb-reader').default; const fs = require('fs');\n"
                           "const t0 = process.hrtime.bigint();\n"
                           "const r = new M(fs.readFileSync(process.argv[2]));\n"
                           "let n = 0; for (const row of r.getTable('Bench').getData())\n"
                           "  for (const k in row) n += String(row[k]).length;\n"
                           "console.log(Number(process.hrtime.bigint() - t0) / 1e9, n);\n";
  std::string command = "NODE_PATH=" + modules + " node --max-old-space-size=8192 " +
                        script.string() + " " + path.string() + " > " +
                        (work / "node.out").string() + " 2>&1";
  if (std::system(command.c_str()) != 0) return -1;
  double seconds = -1;
  std::ifstream(work / "node.out") >> seconds;
  return seconds;
}

// The .mdb file as an Access 2007 file, plain and encrypted.
void WriteAceCopies(const fs::path& mdb, const fs::path& accdb, const fs::path& encrypted) {
  fs::copy_file(mdb, accdb, fs::copy_options::overwrite_existing);
  bracken::testing::ConvertJet4FileToAce(accdb);
  std::string bytes;
  {
    std::ifstream in(accdb, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), {});
  }
  std::string sealed = bracken::testing::EncryptAgile(bytes, kPassword);
  bytes.clear();
  bytes.shrink_to_fit();
  std::ofstream(encrypted, std::ios::binary).write(sealed.data(), sealed.size());
}

// The best of three alternating rounds over the three files.
struct Rounds {
  Pass mdb, accdb, encrypted;
};

Rounds ReadRounds(const fs::path& mdb, const fs::path& accdb, const fs::path& encrypted) {
  Rounds best;
  auto keep = [](Pass& kept, const Pass& pass) {
    if (kept.rows == 0 || pass.seconds < kept.seconds) kept = pass;
  };
  for (int round = 0; round < 3; ++round) {
    keep(best.mdb, ReadInChild(mdb));
    keep(best.accdb, ReadInChild(accdb));
    keep(best.encrypted, ReadInChild(encrypted, kPassword));
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  int64_t rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  fs::path work = fs::temp_directory_path() / ("bracken-bench-" + std::to_string(getpid()));
  fs::create_directories(work);
  fs::path file = work / "bench.mdb";
  fs::path small = work / "tenth.mdb";
  auto start = Clock::now();
  WriteTable(file, rows);
  double writeSeconds = Seconds(start);
  WriteTable(small, rows / 10);
  double megabytes = fs::file_size(file) / 1e6;

  fs::path accdb = work / "bench.accdb";
  fs::path encrypted = work / "encrypted.accdb";
  WriteAceCopies(file, accdb, encrypted);

  double floor = ReadBytes(file);
  Rounds rounds = ReadRounds(file, accdb, encrypted);
  const Pass& full = rounds.mdb;
  Pass tenth = ReadInChild(small);
  double node = ReadWithNode(file, work);
  fs::remove_all(work);

  std::printf(
      "reader_bench: %lld rows x %d columns, %.1f MB written in %.2f s | bracken %.2f s: "
      "%.0f rows/s, %.0f MB/s | floor (file read) %.3f s: %.0f MB/s | ",
      static_cast<long long>(full.rows), kColumns, megabytes, writeSeconds, full.seconds,
      full.rows / full.seconds, megabytes / full.seconds, floor, megabytes / floor);
  if (node > 0) {
    std::printf("mdb-reader %.2f s: %.0f rows/s, bracken %.1fx faster | ", node, full.rows / node,
                node / full.seconds);
  } else {
    std::printf("mdb-reader not available | ");
  }
  std::printf("peak memory %.1f MB (%lld rows) vs %.1f MB (%lld rows) | ", full.peakKb / 1024.0,
              static_cast<long long>(full.rows), tenth.peakKb / 1024.0,
              static_cast<long long>(tenth.rows));
  const Pass& ace = rounds.accdb;
  const Pass& sealed = rounds.encrypted;
  std::printf(
      ".accdb %.2f s: %.0f rows/s, %+.1f%% against .mdb, peak %.1f MB | "
      "encrypted .accdb (agile AES-256) %.2f s: %.0f rows/s, %+.1f%%, peak %.1f MB\n",
      ace.seconds, ace.rows / ace.seconds, 100.0 * (ace.seconds / full.seconds - 1),
      ace.peakKb / 1024.0, sealed.seconds, sealed.rows / sealed.seconds,
      100.0 * (sealed.seconds / full.seconds - 1), sealed.peakKb / 1024.0);
  if (ace.rows != full.rows || sealed.rows != full.rows) {
    std::fprintf(stderr, "reader_bench: the .accdb files hold other row counts\n");
    return 1;
  }
  return 0;
}
