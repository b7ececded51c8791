// Files that cannot be opened and files that are damaged: the three failures
// the connection step classifies, truncated files, a flipped byte in each
// structure and page chains that loop. Every one must end in a SourceError or
// in damage the reader names, never in a crash, a hang or another exception.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "source/jet/catalogue.h"
#include "source/jet/data_page.h"
#include "source/jet/header.h"
#include "source/jet/page_file.h"
#include "source/jet/table_definition.h"
#include "source/jet/usage_map.h"
#include "source/source_access.h"
#include "tests/support/fixture_writer.h"

namespace bracken::source {
namespace {

using testing::ColumnKind;
using testing::FixtureColumn;
using testing::FixtureDatabase;
using testing::FixtureTable;

constexpr uint32_t kPage = 4096;

std::string Connection(const std::string& path, const std::string& password = {}) {
  return "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + path +
         ";Jet OLEDB:Database Password=" + password;
}

std::string OpenError(const std::string& path) {
  try {
    Catalog catalog;
    catalog.SetActiveConnection(Connection(path));
  } catch (const SourceError& error) {
    return error.Description();
  }
  return "(opened)";
}

std::filesystem::path WriteTemp(const std::string& name, const std::string& bytes) {
  auto path = std::filesystem::temp_directory_path() /
              ("bracken_source_" + std::to_string(::getpid()) + "_" + name);
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// A table with short rows, a memo kept in the row, one on another page and
// one chained over several pages.
std::string SampleFile() {
  FixtureTable table;
  table.name = "T";
  FixtureColumn id = MakeColumn("Id", ColumnKind::Long);
  id.autoNumber = true;
  table.columns = {id, MakeColumn("Name", ColumnKind::Text, 40),
                   MakeColumn("Note", ColumnKind::Memo)};
  for (int i = 0; i < 40; ++i) {
    table.rows.push_back({int64_t{i}, "row " + std::to_string(i), std::string("short")});
  }
  table.rows.push_back({int64_t{40}, std::string("page"), std::string(3000, 'p')});
  table.rows.push_back({int64_t{41}, std::string("chain"), std::string(20000, 'c')});
  testing::FixtureIndex primaryKey;
  primaryKey.name = "PrimaryKey";
  primaryKey.columns = {"Id"};
  primaryKey.primary = primaryKey.unique = true;
  table.indexes = {primaryKey};
  FixtureDatabase database;
  database.tables = {table};
  return testing::WriteJet4(database);
}

// Opens the file and reads every value of every table; returns what the
// reader names: the error text, or the damage notes and the tables whose
// rows fall short of their stored count; "" when everything was read.
std::string ReadEverything(const std::string& bytes) {
  std::string named;
  try {
    Catalog catalog;
    catalog.OpenBuffer(bytes);
    for (const std::string& note : catalog.Damage()) named += note + "\n";
    Tables tables = catalog.Tables();
    for (long t = 0; t < tables.Count(); ++t) {
      Table table = tables.Item(t);
      if (table.Type() != "TABLE") continue;
      for (const std::string& note : table.Damage()) named += table.Name() + ": " + note + "\n";
      table.Indexes();
      Recordset recordset;
      recordset.Open("SELECT * FROM [" + table.Name() + "]", catalog);
      long rows = 0;
      for (; !recordset.Eof(); recordset.MoveNext()) {
        ++rows;
        Fields fields = recordset.Fields();
        for (long i = 0; i < fields.Count(); ++i) {
          fields.Item(i).ActualSize();
          fields.Item(i).Value().ToText();
        }
      }
      for (const std::string& note : recordset.Damage()) {
        named += table.Name() + ": " + note + "\n";
      }
      if (rows < table.StoredRowCount()) named += table.Name() + ": rows missing\n";
    }
  } catch (const SourceError& error) {
    EXPECT_FALSE(error.Description().empty());
    return named + error.Description();
  }
  return named;
}

struct Layout {
  uint32_t definitionPage = 0;
  uint32_t firstDataPage = 0;
};

Layout FindLayout(const std::string& bytes) {
  auto file = jet::PageFile::FromBuffer(bytes, "sample");
  jet::Header header = jet::ReadHeader(*file);
  Layout layout;
  std::vector<std::string> damage;
  for (const auto& object : jet::ReadCatalogue(file, header.format, header.codePage, damage)) {
    if (object.name == "T") layout.definitionPage = object.DefinitionPage();
  }
  auto definition =
      jet::ReadTableDefinition(*file, header.format, header.codePage, layout.definitionPage);
  layout.firstDataPage = jet::ReadUsageMap(*file, header.format, definition->usageMap).at(0);
  return layout;
}

void Put16(std::string& bytes, size_t at, uint16_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

void Put32(std::string& bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
}

TEST(OpenFailures, MissingFileNamesThePath) {
  std::string path = "/nonexistent/bracken/none.mdb";
  EXPECT_EQ(OpenError(path), "Could not find file '" + path + "'.");
  EXPECT_NE(OpenError("").find("Could not find file"), std::string::npos);
}

TEST(OpenFailures, NonJetFilesAreAnUnrecognizedFormat) {
  std::string jet4 = SampleFile();
  std::string accdb = jet4;
  accdb[0x14] = 2;  // the version byte of an Access 2007 file
  std::string ace = jet4;
  ace.replace(4, 15, "Standard ACE DB");
  for (const auto& [name, bytes] : {std::pair<std::string, std::string>{"text.mdb", "hello\n"},
                                    {"empty.mdb", ""},
                                    {"accdb.accdb", accdb},
                                    {"ace.accdb", ace},
                                    {"short.mdb", jet4.substr(0, 100)}}) {
    auto path = WriteTemp(name, bytes);
    EXPECT_EQ(OpenError(path.string()), "Unrecognized database format '" + path.string() + "'.")
        << name;
    std::filesystem::remove(path);
  }
}

TEST(OpenFailures, WrongPasswordIsNotValid) {
  FixtureDatabase database;
  database.password = "se;cret";
  FixtureTable table;
  table.name = "T";
  table.columns = {MakeColumn("A", ColumnKind::Long)};
  database.tables = {table};
  auto path = WriteTemp("password.mdb", testing::WriteJet4(database));
  Catalog catalog;
  try {
    catalog.SetActiveConnection(Connection(path.string(), "se"));
    ADD_FAILURE() << "opened with a wrong password";
  } catch (const SourceError& error) {
    EXPECT_EQ(error.Description(), "Not a valid password.");
    EXPECT_NE(error.Code(), 0);
    EXPECT_FALSE(error.Source().empty());
  }
  EXPECT_NO_THROW(catalog.SetActiveConnection(Connection(path.string(), "se;cret")));
  std::filesystem::remove(path);
}

TEST(DamagedFiles, TheUndamagedSampleReadsCompletely) {
  EXPECT_EQ(ReadEverything(SampleFile()), "");
}

TEST(DamagedFiles, TruncatedFilesRaiseSourceErrors) {
  std::string bytes = SampleFile();
  for (size_t size = 0; size < bytes.size(); size += kPage) {
    EXPECT_NE(ReadEverything(bytes.substr(0, size)), "") << "truncated to " << size;
  }
  EXPECT_NE(ReadEverything(bytes.substr(0, bytes.size() - 1)), "");
}

TEST(DamagedFiles, AFlippedByteInEachStructureIsReported) {
  const std::string bytes = SampleFile();
  Layout layout = FindLayout(bytes);
  auto flipped = [&](size_t at, uint8_t mask = 0xFF) {
    std::string copy = bytes;
    copy[at] = static_cast<char>(copy[at] ^ mask);
    return ReadEverything(copy);
  };
  EXPECT_NE(flipped(5).find("Unrecognized database format"), std::string::npos);  // header
  EXPECT_NE(flipped(2 * kPage), "");                                              // catalogue
  EXPECT_NE(flipped(size_t{layout.definitionPage} * kPage), "");                  // definition
  EXPECT_NE(flipped(size_t{layout.firstDataPage} * kPage + 15, 0x1F), "");        // row offset
  EXPECT_NE(flipped(size_t{layout.firstDataPage} * kPage + 13, 0xF0), "");        // row count
}

TEST(DamagedFiles, ImplausibleCountsAndOffsetsAreReported) {
  const std::string bytes = SampleFile();
  Layout layout = FindLayout(bytes);
  size_t definition = size_t{layout.definitionPage} * kPage;
  size_t data = size_t{layout.firstDataPage} * kPage;
  std::string copy = bytes;
  Put16(copy, definition + 45, 0xFFFF);  // column count
  EXPECT_NE(ReadEverything(copy), "");
  copy = bytes;
  Put32(copy, definition + 51, 0x7FFFFFFF);  // real index count
  EXPECT_NE(ReadEverything(copy), "");
  copy = bytes;
  Put16(copy, data + 14, 0x1FFF);  // first row starts past the page
  EXPECT_NE(ReadEverything(copy), "");
  copy = bytes;
  Put32(copy, definition + 55, 0xFFFFFF00);  // usage map on a page beyond the file
  EXPECT_NE(ReadEverything(copy), "");
}

TEST(DamagedFiles, AUsageMapMarkingAnotherTablesPageAddsNoRows) {
  FixtureDatabase database;
  for (const char* name : {"A", "B"}) {
    FixtureTable table;
    table.name = name;
    table.columns = {MakeColumn("X", ColumnKind::Long)};
    table.rows = {{int64_t{1}}, {int64_t{2}}};
    database.tables.push_back(table);
  }
  std::string bytes = testing::WriteJet4(database);
  auto file = jet::PageFile::FromBuffer(bytes, "two tables");
  jet::Header header = jet::ReadHeader(*file);
  std::map<std::string, std::shared_ptr<const jet::TableDefinition>> tables;
  std::vector<std::string> damage;
  for (const auto& object : jet::ReadCatalogue(file, header.format, header.codePage, damage)) {
    if (object.name == "A" || object.name == "B") {
      tables[object.name] =
          jet::ReadTableDefinition(*file, header.format, header.codePage, object.DefinitionPage());
    }
  }
  uint32_t foreignPage = jet::ReadUsageMap(*file, header.format, tables["B"]->usageMap).at(0);
  // Mark B's data page in A's inline usage map as well.
  uint32_t pointer = tables["A"]->usageMap;
  size_t mapPage = size_t{jet::PointerPage(pointer)} * kPage;
  jet::Bytes page(reinterpret_cast<const uint8_t*>(bytes.data()) + mapPage, kPage);
  jet::RowSlot slot = jet::PageRow(page, header.format, jet::PointerRow(pointer));
  size_t map = mapPage + (slot.bytes.data() - page.data());
  ASSERT_EQ(bytes[map], 0) << "an inline usage map";
  uint32_t start = slot.bytes.U32(1);
  ASSERT_GE(foreignPage, start);
  bytes[map + 5 + (foreignPage - start) / 8] |= static_cast<char>(1 << ((foreignPage - start) % 8));

  auto changed = jet::PageFile::FromBuffer(bytes, "changed");
  jet::ReadHeader(*changed);
  auto marked = jet::ReadUsageMap(*changed, header.format, pointer);
  ASSERT_NE(std::find(marked.begin(), marked.end(), foreignPage), marked.end());

  Catalog catalog;
  catalog.OpenBuffer(bytes);
  Recordset recordset;
  recordset.Open("SELECT * FROM [A]", catalog);
  int rows = 0;
  for (; !recordset.Eof(); recordset.MoveNext()) ++rows;
  EXPECT_EQ(rows, 2);
}

TEST(DamagedFiles, PageChainsThatLoopAreDetected) {
  const std::string bytes = SampleFile();
  Layout layout = FindLayout(bytes);
  std::string copy = bytes;
  Put32(copy, size_t{layout.definitionPage} * kPage + 4, layout.definitionPage);
  EXPECT_NE(ReadEverything(copy).find("loop"), std::string::npos);

  // Point each long-value row's next pointer back at itself: the chained
  // memo must then report a loop; the other rows read as damaged data at worst.
  bool loopSeen = false;
  for (uint32_t page = 1; page < bytes.size() / kPage; ++page) {
    size_t base = size_t{page} * kPage;
    if (bytes[base] != 1 || bytes.compare(base + 4, 4, "LVAL") != 0) continue;
    uint16_t rows =
        static_cast<uint8_t>(bytes[base + 12]) | (static_cast<uint8_t>(bytes[base + 13]) << 8);
    for (uint16_t row = 0; row < rows; ++row) {
      uint16_t start = (static_cast<uint8_t>(bytes[base + 14 + 2 * row]) |
                        (static_cast<uint8_t>(bytes[base + 15 + 2 * row]) << 8)) &
                       0x1FFF;
      std::string looped = bytes;
      Put32(looped, base + start, (page << 8) | row);
      std::string error = ReadEverything(looped);
      loopSeen = loopSeen || error.find("loop") != std::string::npos;
    }
  }
  EXPECT_TRUE(loopSeen);
}

TEST(DamagedFiles, EveryFlippedByteEndsInASourceErrorOrAValue) {
  const std::string bytes = SampleFile();
  int errors = 0;
  for (size_t at = 0; at < bytes.size(); at += 61) {
    std::string copy = bytes;
    copy[at] = static_cast<char>(copy[at] ^ 0x5A);
    if (!ReadEverything(copy).empty()) ++errors;
  }
  EXPECT_GT(errors, 0);
}

}  // namespace
}  // namespace bracken::source
