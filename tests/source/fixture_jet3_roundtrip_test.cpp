// Access 97 files written by the fixture writer, read back through the access
// operations: 2 KiB pages, Windows-1252 text, the Jet 3 column, index and
// row layouts (one-byte offsets with their jump table), long values and
// definitions over several pages, paged usage maps and the password.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/written_catalog.h"

namespace bracken::testing {
namespace {

using source::Catalog;
using source::Recordset;
using source::Variant;

FixtureDatabase OneTable(FixtureTable table) {
  FixtureDatabase database;
  database.tables = {std::move(table)};
  return database;
}

// Every kind Access 97 has (no Decimal), with extremes, empty values and nulls.
FixtureTable KindsTable() {
  FixtureTable t;
  t.name = "Alle Typen";
  FixtureColumn code = MakeColumn("Code", ColumnKind::Text, 10);
  code.required = true;
  code.defaultValue = "\"né\"";
  code.description = "der Code";
  FixtureColumn fixedBinary = MakeColumn("FixedBinary", ColumnKind::Binary, 4);
  fixedBinary.fixedSize = true;
  FixtureColumn key = MakeColumn("Key", ColumnKind::Guid);
  key.autoNumber = true;
  t.columns = {MakeCounter("Id"),
               MakeColumn("Flag", ColumnKind::Boolean),
               MakeColumn("Small", ColumnKind::Byte),
               MakeColumn("Medium", ColumnKind::Integer),
               MakeColumn("Large", ColumnKind::Long),
               MakeColumn("Price", ColumnKind::Currency),
               MakeColumn("Ratio", ColumnKind::Single),
               MakeColumn("Measure", ColumnKind::Double),
               MakeColumn("Stamp", ColumnKind::DateTime),
               MakeColumn("Bytes", ColumnKind::Binary, 20),
               fixedBinary,
               code,
               MakeColumn("Picture", ColumnKind::Ole),
               MakeColumn("Notes", ColumnKind::Memo),
               MakeColumn("Link", ColumnKind::Hyperlink),
               key};
  t.rows.push_back({FixtureValue{}, true, int64_t{255}, int64_t{-32768}, int64_t{INT32_MAX},
                    int64_t{INT64_MAX}, 1.5, 1e308, -657434.0, std::string("\0\xff", 2),
                    std::string("abcd"), std::string("€‚ƒ Zürich"), std::string("\x89PNG"),
                    std::string("Grüße, œuvre"), std::string("Home#http://example.com/#"),
                    FixtureValue{}});
  t.rows.push_back({FixtureValue{}, false, int64_t{0}, int64_t{32767}, int64_t{INT32_MIN},
                    int64_t{INT64_MIN}, -0.25, -2.5e-300, 2958465.999988426, std::string(),
                    std::string("\x01\x02", 2), std::string(), std::string(), std::string(),
                    std::string(), FixtureValue{}});
  t.rows.push_back(std::vector<FixtureValue>(t.columns.size()));
  return t;
}

TEST(Jet3RoundTrip, EveryKindKeepsItsTypePropertiesAndValues) {
  Catalog catalog = OpenWritten(OneTable(KindsTable()), true);
  EXPECT_TRUE(catalog.IsJet3());
  source::Columns columns = catalog.Tables().Item("Alle Typen").Columns();
  ASSERT_EQ(columns.Count(), 16);
  EXPECT_EQ(columns.Item("Code").Type(), source::adVarWChar);
  EXPECT_EQ(columns.Item("Code").DefinedSize(), 10);
  EXPECT_EQ(columns.Item("FixedBinary").Type(), source::adBinary);
  EXPECT_EQ(columns.Item("Bytes").Type(), source::adVarBinary);
  EXPECT_EQ(columns.Item("Notes").Type(), source::adLongVarWChar);
  EXPECT_EQ(columns.Item("Key").Type(), source::adGUID);
  const source::Properties& id = columns.Item("Id").Properties();
  EXPECT_TRUE(id.Item("Autoincrement").Value().ToBool());
  EXPECT_FALSE(id.Item("Nullable").Value().ToBool());
  const source::Properties& code = columns.Item("Code").Properties();
  EXPECT_FALSE(code.Item("Nullable").Value().ToBool());
  EXPECT_EQ(code.Item("Default").Value().ToText(), "\"né\"");
  EXPECT_EQ(code.Item("Description").Value().ToText(), "der Code");
  EXPECT_TRUE(columns.Item("Link").Properties().Item("Jet OLEDB:Hyperlink").Value().ToBool());
  EXPECT_FALSE(columns.Item("Notes").Properties().Item("Jet OLEDB:Hyperlink").Value().ToBool());
  EXPECT_TRUE(columns.Item("Key").Properties().Item("Jet OLEDB:AutoGenerate").Value().ToBool());

  auto rows = ReadAllRows(catalog, "Alle Typen");
  ASSERT_EQ(rows.size(), 3u);
  const auto& first = rows[0];
  EXPECT_EQ(first[0].ToInt64(), 1);
  EXPECT_TRUE(first[1].ToBool());
  EXPECT_EQ(first[2].ToInt64(), 255);
  EXPECT_EQ(first[3].ToInt64(), -32768);
  EXPECT_EQ(first[4].ToInt64(), INT32_MAX);
  EXPECT_EQ(first[5].ToText(), "922337203685477.5807");
  EXPECT_EQ(first[6].ToDouble(), 1.5);
  EXPECT_EQ(first[7].ToDouble(), 1e308);
  EXPECT_EQ(first[8].ToDouble(), -657434.0);
  EXPECT_EQ(first[9].Bytes(), std::string("\0\xff", 2));
  EXPECT_EQ(first[10].Bytes(), "abcd");
  EXPECT_EQ(first[11].ToText(), "€‚ƒ Zürich");
  EXPECT_EQ(first[12].Bytes(), "\x89PNG");
  EXPECT_EQ(first[13].ToText(), "Grüße, œuvre");
  EXPECT_EQ(first[14].ToText(), "Home#http://example.com/#");
  EXPECT_EQ(first[15].Bytes().size(), 16u);  // generated
  const auto& second = rows[1];
  EXPECT_EQ(second[0].ToInt64(), 2);
  EXPECT_FALSE(second[1].ToBool());
  EXPECT_EQ(second[5].ToText(), "-922337203685477.5808");
  EXPECT_EQ(second[8].ToDouble(), 2958465.999988426);
  EXPECT_EQ(second[10].Bytes(), std::string("\x01\x02\0\0", 4));
  EXPECT_FALSE(second[11].IsNull());
  EXPECT_EQ(second[11].ToText(), "");
  EXPECT_EQ(second[13].ToText(), "");
  for (size_t i = 2; i < 15; ++i) EXPECT_TRUE(rows[2][i].IsNull()) << "column " << i;
}

std::string Pattern(size_t size, size_t seed) {
  std::string out(size, '\0');
  for (size_t i = 0; i < size; ++i) out[i] = static_cast<char>('a' + (i * 7 + seed) % 26);
  return out;
}

// Rows from a few bytes to nearly a page, so that the one-byte offsets need
// from none to seven jump entries, with and without a trailing filler entry;
// and long values kept in the row, on one page and chained.
TEST(Jet3RoundTrip, RowsOfEverySizeAndLongValuesOfEveryForm) {
  FixtureTable t;
  t.name = "Sizes";
  t.columns = {MakeColumn("N", ColumnKind::Long), MakeColumn("Flag", ColumnKind::Boolean)};
  for (int i = 0; i < 7; ++i) {
    t.columns.push_back(MakeColumn("T" + std::to_string(i), ColumnKind::Text, 255));
  }
  t.columns.push_back(MakeColumn("Notes", ColumnKind::Memo));
  t.columns.push_back(MakeColumn("Data", ColumnKind::Ole));
  std::vector<std::string> texts = {"inline", std::string(1500, 'm'), std::string(7000, 'k')};
  std::vector<std::string> blobs = {"tiny", Pattern(2000, 1), Pattern(30000, 2)};
  std::vector<size_t> sizes;
  for (size_t size = 0; size <= 1700; size += 3) sizes.push_back(size);
  for (size_t r = 0; r < sizes.size(); ++r) {
    std::vector<FixtureValue> row(t.columns.size());
    row[0] = static_cast<int64_t>(r);
    row[1] = r % 2 == 0;
    size_t left = sizes[r];
    for (int i = 0; i < 7 && left > 0; ++i) {
      size_t take = std::min<size_t>(left, 255);
      row[2 + i] = Pattern(take, r + i);
      left -= take;
    }
    if (r % 5 == 0) row[9] = texts[r % 3];
    if (r % 7 == 0) row[10] = blobs[r % 3];
    t.rows.push_back(std::move(row));
  }
  auto rows = ReadAllRows(OpenWritten(OneTable(t), true), "Sizes");
  ASSERT_EQ(rows.size(), t.rows.size());
  for (size_t r = 0; r < rows.size(); ++r) {
    ASSERT_EQ(rows[r][0].ToInt64(), static_cast<int64_t>(r));
    EXPECT_EQ(rows[r][1].ToBool(), r % 2 == 0) << r;
    for (size_t c = 2; c < 9; ++c) {
      const FixtureValue& given = t.rows[r][c];
      if (IsNull(given)) {
        ASSERT_TRUE(rows[r][c].IsNull()) << r << "/" << c;
      } else {
        ASSERT_EQ(rows[r][c].ToText(), std::get<std::string>(given)) << r << "/" << c;
      }
    }
    EXPECT_EQ(rows[r][9].IsNull(), r % 5 != 0) << r;
    if (r % 5 == 0) {
      EXPECT_EQ(rows[r][9].ToText(), texts[r % 3]) << r;
    }
    if (r % 7 == 0) {
      EXPECT_EQ(rows[r][10].Bytes(), blobs[r % 3]) << r;
    }
  }
}

TEST(Jet3RoundTrip, LongDefinitionsLargeTablesIndexesAndPassword) {
  FixtureTable wide;
  wide.name = "Wide";
  for (int i = 0; i < 120; ++i) {
    wide.columns.push_back(MakeColumn("Eine Spalte mit längerem Namen " + std::to_string(i),
                                      i % 2 ? ColumnKind::Long : ColumnKind::Text, 10));
  }
  wide.rows.push_back(std::vector<FixtureValue>(120));
  wide.rows[0][119] = int64_t{42};
  wide.rows[0][118] = std::string("letzte");
  wide.indexes = {
      {"PrimaryKey", {wide.columns[1].name}, true, true, false},
      {"Zwei Teile", {wide.columns[118].name, wide.columns[3].name}, false, true, false},
      {"plain", {wide.columns[5].name}, false, false, true}};
  // More data pages than an inline usage map can mark.
  FixtureTable tall;
  tall.name = "Tall";
  tall.columns = {MakeColumn("N", ColumnKind::Long), MakeColumn("Text", ColumnKind::Text, 40)};
  tall.generatedRows = 30000;
  tall.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i;
    row[1] = "Zeile " + std::to_string(i);
  };
  FixtureDatabase database;
  database.tables = {wide, tall};
  database.password = "Geheim;ß";
  EXPECT_THROW(OpenWritten(database, true), source::SourceError);
  Catalog catalog = OpenWritten(database, true, "Geheim;ß");

  source::Table wideTable = catalog.Tables().Item("Wide");
  EXPECT_EQ(wideTable.Columns().Count(), 120);
  auto wideRows = ReadAllRows(catalog, "Wide");
  ASSERT_EQ(wideRows.size(), 1u);
  EXPECT_EQ(wideRows[0][119].ToInt64(), 42);
  EXPECT_EQ(wideRows[0][118].ToText(), "letzte");
  source::Indexes indexes = wideTable.Indexes();
  ASSERT_EQ(indexes.Count(), 3);
  EXPECT_EQ(indexes.Item(0L).Name(), "PrimaryKey");
  EXPECT_TRUE(indexes.Item(0L).PrimaryKey());
  EXPECT_EQ(indexes.Item(1L).Name(), "Zwei Teile");
  EXPECT_TRUE(indexes.Item(1L).Unique());
  EXPECT_FALSE(indexes.Item(1L).PrimaryKey());
  ASSERT_EQ(indexes.Item(1L).Columns().Count(), 2);
  EXPECT_EQ(indexes.Item(1L).Columns().Item(0L).Name(), wide.columns[118].name);
  EXPECT_EQ(indexes.Item(1L).Columns().Item(1L).Name(), wide.columns[3].name);
  EXPECT_FALSE(indexes.Item(2L).Unique());

  Recordset recordset;
  recordset.Open("SELECT * FROM [Tall]", catalog);
  int64_t count = 0;
  for (; !recordset.Eof(); recordset.MoveNext(), ++count) {
    ASSERT_EQ(recordset.Fields().Item(0L).Value().ToInt64(), count);
    ASSERT_EQ(recordset.Fields().Item(1L).Value().ToText(), "Zeile " + std::to_string(count));
  }
  EXPECT_EQ(count, 30000);
}

TEST(Jet3RoundTrip, FileMatchesMemoryAndWhatJet3CannotHoldIsRefused) {
  FixtureDatabase database = OneTable(KindsTable());
  database.tables[0].generatedRows = 500;
  database.tables[0].generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[13] = std::string(static_cast<size_t>(i * 7), 'n');
  };
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("bracken-fixture-jet3-" + std::to_string(getpid()) + ".mdb");
  WriteJet3File(database, path);
  std::ifstream in(path, std::ios::binary);
  std::ostringstream written;
  written << in.rdbuf();
  std::filesystem::remove(path);
  EXPECT_TRUE(written.str() == WriteJet3(database));
  EXPECT_EQ(written.str().size() % 2048, 0u);

  FixtureTable emoji;
  emoji.name = "Emoji";
  emoji.columns = {MakeColumn("T", ColumnKind::Text)};
  emoji.rows = {{std::string("😀")}};
  EXPECT_THROW(WriteJet3(OneTable(emoji)), std::invalid_argument);
  emoji.rows.clear();
  emoji.columns[0].name = "Ā";
  EXPECT_THROW(WriteJet3(OneTable(emoji)), std::invalid_argument);
  emoji.columns = {MakeColumn("Amount", ColumnKind::Decimal)};
  EXPECT_THROW(WriteJet3(OneTable(emoji)), std::invalid_argument);
}

}  // namespace
}  // namespace bracken::testing
