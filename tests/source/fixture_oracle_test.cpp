// Files written by the fixture writer, read by the independent reader
// (node with the mdb-reader package, through ../shared/tools/mdb-oracle.mjs)
// and compared with what the fixture holds (mdb-compare.py). The package is
// looked for in NODE_PATH and in <build>/oracle/node_modules, where
//   npm install --no-save --prefix <build>/oracle mdb-reader@3.2.0
// puts it. The test skips when node, python3, the package or the tools are
// missing.

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/fixture_writer.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string Hex(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

bool Runs(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Where mdb-reader can be loaded from, or empty.
std::string ReaderModules() {
  std::vector<std::string> candidates;
  if (const char* path = std::getenv("NODE_PATH")) candidates.emplace_back(path);
  candidates.push_back(std::string(BRACKEN_BINARY_DIR) + "/oracle/node_modules");
  for (const std::string& dir : candidates) {
    if (!dir.empty() && fs::exists(fs::path(dir) / "mdb-reader" / "package.json")) return dir;
  }
  return {};
}

// A column of the fixture with the oracle's view of it.
struct OracleColumn {
  FixtureColumn column;
  int type;
  int definedSize;
};

std::vector<OracleColumn> Columns() {
  FixtureColumn amount = MakeColumn("Amount", ColumnKind::Decimal);
  amount.precision = 18;
  amount.scale = 4;
  return {{MakeColumn("Id", ColumnKind::Long), 3, 4},
          {MakeColumn("Flag", ColumnKind::Boolean), 11, 0},
          {MakeColumn("Small", ColumnKind::Byte), 17, 1},
          {MakeColumn("Medium", ColumnKind::Integer), 2, 2},
          {MakeColumn("Price", ColumnKind::Currency), 6, 8},
          {MakeColumn("Ratio", ColumnKind::Single), 4, 4},
          {MakeColumn("Measure", ColumnKind::Double), 5, 8},
          {MakeColumn("Stamp", ColumnKind::DateTime), 7, 8},
          {MakeColumn("Bytes", ColumnKind::Binary, 8), 204, 8},
          {MakeColumn("Name", ColumnKind::Text, 30), 202, 30},
          {MakeColumn("Notes", ColumnKind::Memo), 203, 0},
          {MakeColumn("Picture", ColumnKind::Ole), 205, 0},
          {MakeColumn("Key", ColumnKind::Guid), 72, 16},
          {amount, 131, 17}};
}

// A row as the fixture gives it and as the oracle prints it.
struct Row {
  std::vector<FixtureValue> values;
  std::vector<std::string> json;
};

std::vector<Row> Rows() {
  std::string blob(9000, '\0');
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>(i % 251);
  std::string guid("\x33\x22\x11\x00\x55\x44\x77\x66\x88\x99\xaa\xbb\xcc\xdd\xee\xff", 16);
  std::string memo(5000, 'q');
  std::vector<Row> rows = {
      {{int64_t{1}, true, int64_t{200}, int64_t{-300}, int64_t{123456}, 0.5, 2.75, 39522.6041666667,
        std::string("\x01\xfe", 2), std::string("Grüße"), std::string("short"),
        std::string("\x00\x01", 2), guid, std::string("-123.4500")},
       {"1", "true", "200", "-300", "\"12.3456\"", "0.5", "2.75", "\"2008-03-15 14:30:00\"",
        "\"01fe\"", Quoted("Grüße"), "\"short\"", "\"0001\"",
        "\"00112233-4455-6677-8899-AABBCCDDEEFF\"", "\"-123.4500\""}},
      {{int64_t{2}, false, int64_t{0}, int64_t{0}, int64_t{-1}, -1.25, -1e-10, 80000.5,
        std::string(), std::string(), memo, blob, FixtureValue{},
        std::string("99999999999999.9999")},
       {"2", "false", "0", "0", "\"-0.0001\"", "-1.25", "-1e-10", "\"2119-01-11 12:00:00\"", "\"\"",
        "\"\"", Quoted(memo), Quoted(Hex(blob)), "null", "\"99999999999999.9999\""}},
      {std::vector<FixtureValue>(14),
       {"null", "false", "null", "null", "null", "null", "null", "null", "null", "null", "null",
        "null", "null", "null"}},
  };
  rows[2].values[0] = int64_t{3};
  rows[2].json[0] = "3";
  // Dates before 1900 count whole days back and the time of day forward.
  rows[2].values[7] = -700.25;
  rows[2].json[7] = "\"1898-01-29 06:00:00\"";
  for (int64_t i = 0; i < 2000; ++i) {
    Row row{std::vector<FixtureValue>(14), std::vector<std::string>(14, "null")};
    row.values[0] = 10 + i;
    row.json[0] = std::to_string(10 + i);
    row.json[1] = "false";
    row.values[9] = "text " + std::to_string(i);
    row.json[9] = Quoted("text " + std::to_string(i));
    rows.push_back(std::move(row));
  }
  return rows;
}

std::string ExpectedJson(const std::vector<OracleColumn>& columns, const std::vector<Row>& rows,
                         bool jet3) {
  std::ostringstream out;
  out << "{\"format\":\"" << (jet3 ? "Jet3" : "Jet4")
      << "\",\"tables\":[{\"name\":\"Oracle Kinds\",\"columns\":[";
  for (size_t i = 0; i < columns.size(); ++i) {
    const OracleColumn& c = columns[i];
    out << (i ? "," : "") << "{\"name\":" << Quoted(c.column.name) << ",\"type\":" << c.type
        << ",\"definedSize\":" << c.definedSize;
    if (c.type == 131) {
      out << ",\"precision\":" << int{c.column.precision} << ",\"scale\":" << int{c.column.scale};
    }
    out << "}";
  }
  out << "],\"rows\":[";
  for (size_t r = 0; r < rows.size(); ++r) {
    out << (r ? "," : "") << "[";
    for (size_t i = 0; i < rows[r].json.size(); ++i) out << (i ? "," : "") << rows[r].json[i];
    out << "]";
  }
  out << "]}]}\n";
  return out.str();
}

// Jet 3 has no Decimal: the last column is left out.
void CompareWithOracle(bool jet3) {
  const fs::path tools = fs::path(BRACKEN_SHARED_DIR) / "tools";
  if (!fs::exists(tools / "mdb-oracle.mjs")) GTEST_SKIP() << "no " << tools;
  std::string modules = ReaderModules();
  if (modules.empty() || !Runs("node --version") || !Runs("python3 --version")) {
    GTEST_SKIP() << "node, python3 or the mdb-reader package is missing";
  }
  const fs::path dir = fs::temp_directory_path() /
                       ("bracken-oracle-" + std::to_string(getpid()) + (jet3 ? "-jet3" : "-jet4"));
  fs::create_directories(dir);

  std::vector<OracleColumn> columns = Columns();
  std::vector<Row> rows = Rows();
  if (jet3) {
    columns.pop_back();
    for (Row& row : rows) {
      row.values.pop_back();
      row.json.pop_back();
    }
  }
  FixtureTable table;
  table.name = "Oracle Kinds";
  for (const OracleColumn& c : columns) table.columns.push_back(c.column);
  for (const Row& row : rows) table.rows.push_back(row.values);
  FixtureDatabase database;
  database.tables = {table};
  database.password = "oracle";
  if (jet3) {
    WriteJet3File(database, dir / "fixture.mdb");
  } else {
    WriteJet4File(database, dir / "fixture.mdb");
  }
  std::ofstream(dir / "expected.json") << ExpectedJson(columns, rows, jet3);

  std::string dump = "NODE_PATH=" + modules + " node " + (tools / "mdb-oracle.mjs").string() + " " +
                     (dir / "fixture.mdb").string() + " oracle > " +
                     (dir / "actual.json").string() + " 2> " + (dir / "oracle.err").string();
  ASSERT_EQ(std::system(dump.c_str()), 0) << "the independent reader failed; see " << dir;
  std::string compare = "python3 " + (tools / "mdb-compare.py").string() + " " +
                        (dir / "expected.json").string() + " " + (dir / "actual.json").string() +
                        " > " + (dir / "compare.txt").string();
  int status = std::system(compare.c_str());
  std::ifstream report(dir / "compare.txt");
  std::string text((std::istreambuf_iterator<char>(report)), std::istreambuf_iterator<char>());
  EXPECT_EQ(status, 0) << text;
  if (status == 0) fs::remove_all(dir);
}

TEST(FixtureOracle, IndependentReaderSeesWhatTheFixtureHolds) { CompareWithOracle(false); }

TEST(FixtureOracle, IndependentReaderSeesWhatTheJet3FixtureHolds) { CompareWithOracle(true); }

}  // namespace
}  // namespace bracken::testing
