// Inputs the fuzz target once crashed on, kept under fuzz_regressions/: each
// must now open and read to the end, or fail with a SourceError. And the
// fixtures that seed the fuzzer: each reads completely without any error
// (scripts/fuzz has them written to BRACKEN_FUZZ_SEEDS).

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/read_everything.h"
#include "tests/support/fixture_writer.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

FixtureDatabase EveryKind() {
  FixtureTable t;
  t.name = "Kinds";
  const ColumnKind kinds[] = {ColumnKind::Boolean,   ColumnKind::Byte,     ColumnKind::Integer,
                              ColumnKind::Long,      ColumnKind::Currency, ColumnKind::Single,
                              ColumnKind::Double,    ColumnKind::DateTime, ColumnKind::Binary,
                              ColumnKind::Text,      ColumnKind::Ole,      ColumnKind::Memo,
                              ColumnKind::Hyperlink, ColumnKind::Guid,     ColumnKind::Decimal};
  for (ColumnKind kind : kinds)
    t.columns.push_back(MakeColumn("C" + std::to_string(t.columns.size()), kind));
  t.columns[3].autoNumber = true;
  t.columns[9].required = true;
  t.rows.push_back({true, int64_t{1}, int64_t{-2}, FixtureValue{}, int64_t{12345}, 1.5, -2.5,
                    39000.25, std::string("\x01\x02"), std::string("Grüße 日本"),
                    std::string("ole"), std::string("memo"), std::string("a#b#"),
                    std::string(16, '\x07'), std::string("-15")});
  t.rows.push_back(std::vector<FixtureValue>(t.columns.size()));
  t.indexes = {{"PrimaryKey", {"C3"}, true, true, false},
               {"_x{y}", {"C9", "C2"}, false, true, true}};
  FixtureDatabase database;
  database.tables = {t};
  return database;
}

FixtureDatabase LongValues() {
  FixtureTable t;
  t.name = "Long";
  t.columns = {MakeColumn("Text", ColumnKind::Memo), MakeColumn("Data", ColumnKind::Ole)};
  t.rows = {{std::string("inline"), std::string("inline")},
            {std::string(600, 'p'), std::string(3000, 'q')},
            {std::string(3000, 'r'), std::string(9000, 's')}};
  FixtureDatabase database;
  database.tables = {t};
  return database;
}

FixtureDatabase ManyTables() {
  FixtureDatabase database;
  for (int i = 0; i < 6; ++i) {
    FixtureTable t;
    t.name = "Table " + std::to_string(i);
    for (int c = 0; c <= i * 12; ++c) {
      t.columns.push_back(MakeColumn("Column with a long name " + std::to_string(c),
                                     c % 2 ? ColumnKind::Text : ColumnKind::Long, 8));
    }
    t.generatedRows = 40 * i;
    t.generator = [](int64_t r, std::vector<FixtureValue>& row) {
      for (size_t c = 0; c < row.size(); ++c) {
        if ((r + c) % 3 == 0) continue;
        if (c % 2) {
          row[c] = "v" + std::to_string(r);
        } else {
          row[c] = r;
        }
      }
    };
    database.tables.push_back(std::move(t));
  }
  database.password = "";
  return database;
}

TEST(FuzzRegressions, EveryKeptInputEndsWithoutACrash) {
  fs::path dir = fs::path(BRACKEN_SOURCE_DIR) / "tests" / "source" / "fuzz_regressions";
  int inputs = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (!entry.is_regular_file() || entry.path().filename().string()[0] == '.') continue;
    ++inputs;
    SCOPED_TRACE(entry.path().filename().string());
    try {
      fuzzing::ReadEverything(ReadFile(entry.path()));
    } catch (const source::SourceError&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << "escaped as " << e.what();
    }
  }
  RecordProperty("inputs", inputs);
}

TEST(FuzzRegressions, SeedFixturesReadCompletely) {
  const char* seeds = std::getenv("BRACKEN_FUZZ_SEEDS");
  const std::vector<std::pair<std::string, FixtureDatabase>> databases = {
      {"every-kind.mdb", EveryKind()},
      {"long-values.mdb", LongValues()},
      {"many-tables.mdb", ManyTables()}};
  for (const auto& [name, database] : databases) {
    SCOPED_TRACE(name);
    std::string bytes = WriteJet4(database);
    // The four system tables Access always has, and the user's.
    EXPECT_EQ(fuzzing::ReadEverything(bytes), 4 + static_cast<long>(database.tables.size()));
    if (seeds != nullptr) std::ofstream(fs::path(seeds) / name, std::ios::binary) << bytes;
  }
}

}  // namespace
}  // namespace bracken::testing
