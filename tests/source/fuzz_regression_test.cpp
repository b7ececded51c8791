// Inputs the fuzz target once crashed on, kept under fuzz_regressions/: each
// must now open and read to the end, or fail with a SourceError. And the
// fixtures that seed the fuzzer: each reads completely without any error
// (scripts/fuzz has them written to BRACKEN_FUZZ_SEEDS), the encrypted ones
// with the seeds' passwords the fuzz target tries.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "fuzz/read_everything.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/office_encryptor.h"

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
      fuzzing::ReadEverythingWithSeedPasswords(ReadFile(entry.path()));
    } catch (const source::SourceError&) {
    } catch (const std::exception& e) {
      ADD_FAILURE() << "escaped as " << e.what();
    }
  }
  RecordProperty("inputs", inputs);
}

FixtureDatabase WithPassword(FixtureDatabase database, std::string password, uint32_t pageKey = 0) {
  database.password = std::move(password);
  database.pageKey = pageKey;
  return database;
}

TEST(FuzzRegressions, SeedFixturesReadCompletely) {
  const char* seeds = std::getenv("BRACKEN_FUZZ_SEEDS");
  const std::string& password = fuzzing::SeedPasswords()[0];
  const std::string& other = fuzzing::SeedPasswords()[1];
  testing::AgileSettings quick;  // a spin count that keeps the fuzzer fast
  quick.spinCount = 1000;
  struct Seed {
    std::string name;
    std::string bytes;
    std::size_t userTables;
    bool locked;  // the empty password is refused
  };
  const std::vector<Seed> files = {
      {"every-kind.mdb", WriteJet4(EveryKind()), 1, false},
      {"long-values.mdb", WriteJet4(LongValues()), 1, false},
      {"many-tables.mdb", WriteJet4(ManyTables()), 6, false},
      {"every-kind.accdb", testing::AceFromJet4(WriteJet4(EveryKind())), 1, false},
      // The Jet database password guards the header alone; "Encrypt
      // Database" RC4-encodes every page after it.
      {"password-jet4.mdb", WriteJet4(WithPassword(EveryKind(), password)), 1, true},
      {"password-jet3.mdb", WriteJet3(WithPassword(LongValues(), other)), 1, true},
      {"encoded-jet4.mdb", WriteJet4(WithPassword(LongValues(), password, 0x5EED1234)), 1, true},
      {"encoded-jet3.mdb", WriteJet3(WithPassword(ManyTables(), "", 0x00C0FFEE)), 6, false},
      {"rc4-cryptoapi.accdb",
       testing::EncryptRc4CryptoApi(testing::AceFromJet4(WriteJet4(EveryKind())), password), 1,
       true},
      {"agile.accdb",
       testing::EncryptAgile(testing::AceFromJet4(WriteJet4(LongValues())), other, quick), 1, true},
  };
  for (const Seed& seed : files) {
    SCOPED_TRACE(seed.name);
    // The four system tables Access always has, and the user's.
    EXPECT_EQ(fuzzing::ReadEverythingWithSeedPasswords(seed.bytes),
              4 + static_cast<long>(seed.userTables));
    if (seed.locked) {
      try {
        fuzzing::ReadEverything(seed.bytes);
        ADD_FAILURE() << "opens without its password";
      } catch (const source::SourceError& error) {
        EXPECT_EQ(error.Description(), "Not a valid password.");
      }
    }
    if (seeds != nullptr)
      std::ofstream(fs::path(seeds) / seed.name, std::ios::binary) << seed.bytes;
  }
  // Encoded pages are not the plain ones: the reader decodes them.
  const std::string plain = WriteJet3(ManyTables());
  EXPECT_NE(files[7].bytes.substr(2048), plain.substr(2048));
}

}  // namespace
}  // namespace bracken::testing
