// Files written by the fixture writer, read back through the access
// operations: every column type, every storage form of long values, indexes,
// passwords, long table definitions and tables large enough for paged usage
// maps. These tests need nothing outside the checkout.

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

FixtureColumn DecimalColumn(std::string name, uint8_t precision, uint8_t scale) {
  FixtureColumn c = MakeColumn(std::move(name), ColumnKind::Decimal);
  c.precision = precision;
  c.scale = scale;
  return c;
}

std::string Repeat(const std::string& piece, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += piece;
  return out;
}

// One table with a column of every kind; the rows hold extremes and nulls.
FixtureTable EveryKindTable() {
  FixtureTable t;
  t.name = "Every Kind";
  FixtureColumn id = MakeColumn("Id", ColumnKind::Long);
  id.autoNumber = true;
  FixtureColumn code = MakeColumn("Code", ColumnKind::Text, 10);
  code.required = true;
  code.defaultValue = "\"none\"";
  code.description = "the code";
  FixtureColumn fixedBinary = MakeColumn("FixedBinary", ColumnKind::Binary, 4);
  fixedBinary.fixedSize = true;
  t.columns = {id,
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
               MakeColumn("Key", ColumnKind::Guid),
               DecimalColumn("Amount", 28, 0),
               DecimalColumn("Fraction", 18, 4)};
  std::string guid = "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10";
  t.rows.push_back(
      {FixtureValue{}, true, int64_t{255}, int64_t{-32768}, int64_t{2147483647}, int64_t{INT64_MAX},
       1.5, 1e308, -657434.0, std::string("\0\xff", 2), std::string("abcd"), std::string("Zürich"),
       std::string("\x89PNG"), std::string("memo"), std::string("Home#http://example.com/#"), guid,
       std::string("79228162514264337593543950335"), std::string("-12345678901234.5678")});
  t.rows.push_back({FixtureValue{}, false, int64_t{0}, int64_t{32767}, int64_t{INT32_MIN},
                    int64_t{INT64_MIN}, -0.25, -2.5e-300, 2958465.999988426, std::string(),
                    std::string("\x01\x02", 2), std::string(), std::string(), std::string(),
                    std::string(), guid, std::string("-1"), std::string("0.0001")});
  t.rows.push_back(std::vector<FixtureValue>(t.columns.size()));
  return t;
}

TEST(FixtureRoundTrip, EveryColumnKindKeepsItsTypeSizeAndProperties) {
  FixtureDatabase database;
  database.tables = {EveryKindTable()};
  Catalog catalog = OpenWritten(database);
  source::Table table = catalog.Tables().Item("Every Kind");
  EXPECT_EQ(table.Type(), "TABLE");
  struct Expected {
    const char* name;
    int32_t type;
  };
  const Expected expected[] = {{"Id", source::adInteger},
                               {"Flag", source::adBoolean},
                               {"Small", source::adUnsignedTinyInt},
                               {"Medium", source::adSmallInt},
                               {"Large", source::adInteger},
                               {"Price", source::adCurrency},
                               {"Ratio", source::adSingle},
                               {"Measure", source::adDouble},
                               {"Stamp", source::adDate},
                               {"Bytes", source::adVarBinary},
                               {"FixedBinary", source::adBinary},
                               {"Code", source::adVarWChar},
                               {"Picture", source::adLongVarBinary},
                               {"Notes", source::adLongVarWChar},
                               {"Link", source::adLongVarWChar},
                               {"Key", source::adGUID},
                               {"Amount", source::adNumeric},
                               {"Fraction", source::adNumeric}};
  source::Columns columns = table.Columns();
  ASSERT_EQ(columns.Count(), 18);
  for (const Expected& e : expected) {
    EXPECT_EQ(columns.Item(e.name).Type(), e.type) << e.name;
  }
  EXPECT_EQ(columns.Item("Code").DefinedSize(), 10);
  EXPECT_EQ(columns.Item("Bytes").DefinedSize(), 20);
  EXPECT_EQ(columns.Item("FixedBinary").DefinedSize(), 4);
  EXPECT_EQ(columns.Item("Amount").Precision(), 28);
  EXPECT_EQ(columns.Item("Fraction").NumericScale(), 4);

  const source::Properties& id = columns.Item("Id").Properties();
  EXPECT_TRUE(id.Item("Autoincrement").Value().ToBool());
  EXPECT_FALSE(id.Item("Nullable").Value().ToBool());
  const source::Properties& code = columns.Item("Code").Properties();
  EXPECT_FALSE(code.Item("Nullable").Value().ToBool());
  EXPECT_FALSE(code.Item("Autoincrement").Value().ToBool());
  EXPECT_EQ(code.Item("Default").Value().ToText(), "\"none\"");
  EXPECT_EQ(code.Item("Description").Value().ToText(), "the code");
  EXPECT_TRUE(columns.Item("Notes").Properties().Item("Nullable").Value().ToBool());
  EXPECT_TRUE(columns.Item("Link").Properties().Item("Jet OLEDB:Hyperlink").Value().ToBool());
}

TEST(FixtureRoundTrip, EveryColumnKindReadsBackItsValuesAndNulls) {
  FixtureDatabase database;
  database.tables = {EveryKindTable()};
  auto rows = ReadAllRows(OpenWritten(database), "Every Kind");
  ASSERT_EQ(rows.size(), 3u);
  const auto& first = rows[0];
  EXPECT_EQ(first[0].ToInt64(), 1);  // counter filled in
  EXPECT_TRUE(first[1].ToBool());
  EXPECT_EQ(first[2].ToInt64(), 255);
  EXPECT_EQ(first[3].ToInt64(), -32768);
  EXPECT_EQ(first[4].ToInt64(), 2147483647);
  EXPECT_EQ(first[5].ToText(), "922337203685477.5807");
  EXPECT_EQ(first[6].ToDouble(), 1.5);
  EXPECT_EQ(first[7].ToDouble(), 1e308);
  EXPECT_EQ(first[8].ToDouble(), -657434.0);  // 1/1/100
  EXPECT_EQ(first[9].Bytes(), std::string("\0\xff", 2));
  EXPECT_EQ(first[10].Bytes(), "abcd");
  EXPECT_EQ(first[11].ToText(), "Zürich");
  EXPECT_EQ(first[12].Bytes(), "\x89PNG");
  EXPECT_EQ(first[13].ToText(), "memo");
  EXPECT_EQ(first[14].ToText(), "Home#http://example.com/#");
  EXPECT_EQ(first[15].Bytes(), "\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f\x10");
  EXPECT_EQ(first[16].ToText(), "79228162514264337593543950335");
  EXPECT_EQ(first[17].ToText(), "-12345678901234.5678");
  EXPECT_EQ(first[17].DecimalScale(), 4);
  EXPECT_TRUE(first[17].DecimalNegative());

  const auto& second = rows[1];
  EXPECT_EQ(second[0].ToInt64(), 2);
  EXPECT_FALSE(second[1].ToBool());
  EXPECT_EQ(second[4].ToInt64(), INT32_MIN);
  EXPECT_EQ(second[5].ToText(), "-922337203685477.5808");
  EXPECT_EQ(second[6].ToDouble(), -0.25);
  EXPECT_EQ(second[8].ToDouble(), 2958465.999988426);  // 12/31/9999 23:59:59
  EXPECT_FALSE(second[9].IsNull());                    // empty, not null
  EXPECT_EQ(second[9].Bytes(), "");
  EXPECT_EQ(second[10].Bytes(), std::string("\x01\x02\0\0", 4));  // fixed size, padded
  EXPECT_FALSE(second[11].IsNull());
  EXPECT_EQ(second[11].ToText(), "");
  EXPECT_FALSE(second[13].IsNull());
  EXPECT_EQ(second[16].ToText(), "-1");
  EXPECT_EQ(second[17].ToText(), "0.0001");

  const auto& nulls = rows[2];
  EXPECT_EQ(nulls[0].ToInt64(), 3);
  EXPECT_FALSE(nulls[1].ToBool());  // booleans are never null
  for (size_t i = 2; i < nulls.size(); ++i) EXPECT_TRUE(nulls[i].IsNull()) << "column " << i;
}

TEST(FixtureRoundTrip, TextKeepsEveryCharacterCompressedOrNot) {
  FixtureTable t;
  t.name = "Texts";
  FixtureColumn plain = MakeColumn("Plain", ColumnKind::Text, 255);
  plain.compressedText = false;
  t.columns = {MakeColumn("Packed", ColumnKind::Text, 255), plain,
               MakeColumn("Long", ColumnKind::Memo)};
  const std::vector<std::string> samples = {
      "plain ascii",
      "Ärger über Öl",         // Latin-1, compressible
      "日本語のテキスト",      // wide only
      "mixed 日本 and ascii",  // switches modes
      "Āā Ġ",                  // low byte zero: cannot be compressed
      "emoji 😀 outside the basic plane",
      Repeat("x", 255),
  };
  for (const std::string& s : samples) t.rows.push_back({s, s, s});
  FixtureDatabase database;
  database.tables = {t};
  auto rows = ReadAllRows(OpenWritten(database), "Texts");
  ASSERT_EQ(rows.size(), samples.size());
  for (size_t i = 0; i < samples.size(); ++i) {
    for (size_t c = 0; c < 3; ++c) EXPECT_EQ(rows[i][c].ToText(), samples[i]) << i << "/" << c;
  }
}

TEST(FixtureRoundTrip, LongValuesReadBackFromEveryStorageForm) {
  FixtureTable t;
  t.name = "Long Values";
  FixtureColumn wide = MakeColumn("Wide", ColumnKind::Memo);
  wide.compressedText = false;
  t.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Text", ColumnKind::Memo),
               MakeColumn("Data", ColumnKind::Ole), wide};
  std::vector<std::string> texts = {
      "inline",                          // kept in the row
      Repeat("one page of text. ", 50),  // on one long-value page (compressed)
      Repeat("Wörter ", 1000),           // too long to compress: chained
      Repeat("ü", 9000),                 // chained over several pages
  };
  std::vector<std::string> blobs;
  for (size_t size : {10u, 4000u, 4081u, 50000u}) {
    std::string blob(size, '\0');
    for (size_t i = 0; i < size; ++i) blob[i] = static_cast<char>(i * 7 + size);
    blobs.push_back(blob);
  }
  for (size_t i = 0; i < texts.size(); ++i) {
    t.rows.push_back({static_cast<int64_t>(i), texts[i], blobs[i], texts[i]});
  }
  // Many values on shared long-value pages.
  for (int64_t i = 0; i < 200; ++i) {
    t.rows.push_back({100 + i, Repeat("shared ", 20 + i), blobs[1].substr(0, 100 + i), "w"});
  }
  FixtureDatabase database;
  database.tables = {t};
  auto rows = ReadAllRows(OpenWritten(database), "Long Values");
  ASSERT_EQ(rows.size(), 204u);
  for (size_t i = 0; i < texts.size(); ++i) {
    EXPECT_EQ(rows[i][1].ToText(), texts[i]) << i;
    EXPECT_EQ(rows[i][2].Bytes(), blobs[i]) << i;
    EXPECT_EQ(rows[i][3].ToText(), texts[i]) << i;
  }
  for (size_t i = 0; i < 200; ++i) {
    ASSERT_EQ(rows[4 + i][1].ToText(), Repeat("shared ", 20 + i)) << i;
    ASSERT_EQ(rows[4 + i][2].Bytes(), blobs[1].substr(0, 100 + i)) << i;
  }
}

TEST(FixtureRoundTrip, IndexesKeepNamesFlagsAndKeyOrder) {
  FixtureTable t;
  t.name = "Indexed";
  t.columns = {MakeColumn("A", ColumnKind::Long), MakeColumn("B", ColumnKind::Text, 20),
               MakeColumn("C", ColumnKind::DateTime)};
  t.indexes = {{"PrimaryKey", {"A"}, true, true, false},
               {"{6D1A-GUID-like}", {"B"}, false, false, false},
               {"_hidden", {"C", "A"}, false, true, false},
               {"Multi Part", {"C", "B", "A"}, false, false, true}};
  t.rows.push_back({int64_t{1}, std::string("x"), 1.0});
  FixtureDatabase database;
  database.tables = {t};
  source::Indexes indexes = OpenWritten(database).Tables().Item("Indexed").Indexes();
  ASSERT_EQ(indexes.Count(), 4);
  struct Expected {
    std::string name;
    bool primary, unique;
    std::vector<std::string> columns;
  };
  const std::vector<Expected> expected = {{"PrimaryKey", true, true, {"A"}},
                                          {"{6D1A-GUID-like}", false, false, {"B"}},
                                          {"_hidden", false, true, {"C", "A"}},
                                          {"Multi Part", false, false, {"C", "B", "A"}}};
  for (const Expected& e : expected) {
    bool found = false;
    for (long i = 0; i < indexes.Count(); ++i) {
      source::Index index = indexes.Item(i);
      if (index.Name() != e.name) continue;
      found = true;
      EXPECT_EQ(index.PrimaryKey(), e.primary) << e.name;
      EXPECT_EQ(index.Unique(), e.unique) << e.name;
      source::Columns columns = index.Columns();
      ASSERT_EQ(columns.Count(), static_cast<long>(e.columns.size())) << e.name;
      for (size_t k = 0; k < e.columns.size(); ++k) {
        EXPECT_EQ(columns.Item(static_cast<long>(k)).Name(), e.columns[k]) << e.name;
      }
    }
    EXPECT_TRUE(found) << e.name;
  }
}

TEST(FixtureRoundTrip, CatalogueListsUserAndSystemTables) {
  FixtureTable first;
  first.name = "Zeta's table";
  first.columns = {MakeColumn("V", ColumnKind::Long)};
  FixtureTable second = first;
  second.name = "alpha with spaces";
  FixtureDatabase database;
  database.tables = {first, second};
  source::Tables tables = OpenWritten(database).Tables();
  std::vector<std::string> user;
  bool sawObjects = false;
  for (long i = 0; i < tables.Count(); ++i) {
    source::Table table = tables.Item(i);
    if (table.Type() == "TABLE") user.push_back(table.Name());
    if (table.Name() == "MSysObjects") {
      sawObjects = true;
      EXPECT_EQ(table.Type(), "SYSTEM TABLE");
    }
  }
  EXPECT_TRUE(sawObjects);
  EXPECT_EQ(user, (std::vector<std::string>{"alpha with spaces", "Zeta's table"}));
  EXPECT_TRUE(ReadAllRows(OpenWritten(database), "Zeta's table").empty());
}

TEST(FixtureRoundTrip, PasswordOpensOnlyWithTheRightPassword) {
  FixtureTable t;
  t.name = "Secret";
  t.columns = {MakeColumn("V", ColumnKind::Text)};
  t.rows.push_back({std::string("hidden")});
  FixtureDatabase database;
  database.tables = {t};
  database.password = "pa;ss Wörd";
  auto rows = ReadAllRows(OpenWritten(database, false, "pa;ss Wörd"), "Secret");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].ToText(), "hidden");
  for (const std::string wrong : {"", "pa;ss wörd", "pa;ss Wörd "}) {
    try {
      OpenWritten(database, false, wrong);
      ADD_FAILURE() << "opened with \"" << wrong << "\"";
    } catch (const source::SourceError& e) {
      EXPECT_EQ(e.Description(), "Not a valid password.");
    }
  }
  database.password.clear();
  EXPECT_NO_THROW(OpenWritten(database, false, "any"));
}

TEST(FixtureRoundTrip, LongDefinitionsAndLargeTablesReadCompletely) {
  FixtureTable wide;
  wide.name = "Wide";
  for (int i = 0; i < 200; ++i) {
    wide.columns.push_back(
        MakeColumn("A column with a rather long name number " + std::to_string(i),
                   i % 2 ? ColumnKind::Long : ColumnKind::Text, 10));
  }
  wide.rows.push_back(std::vector<FixtureValue>(200, FixtureValue{}));
  wide.rows[0][199] = int64_t{42};
  wide.rows[0][198] = std::string("last");

  // Enough rows for more data pages than an inline usage map can hold.
  FixtureTable tall;
  tall.name = "Tall";
  tall.columns = {MakeColumn("N", ColumnKind::Long), MakeColumn("Text", ColumnKind::Text, 40),
                  MakeColumn("Half", ColumnKind::Double)};
  tall.generatedRows = 60000;
  tall.generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[0] = i;
    row[1] = "row number " + std::to_string(i);
    if (i % 3) row[2] = i / 2.0;
  };
  FixtureDatabase database;
  database.tables = {wide, tall};
  Catalog catalog = OpenWritten(database);
  auto wideRows = ReadAllRows(catalog, "Wide");
  ASSERT_EQ(wideRows.size(), 1u);
  EXPECT_EQ(wideRows[0][199].ToInt64(), 42);
  EXPECT_EQ(wideRows[0][198].ToText(), "last");
  EXPECT_EQ(catalog.Tables().Item("Wide").Columns().Count(), 200);

  Recordset recordset;
  recordset.Open("SELECT * FROM [Tall]", catalog);
  int64_t count = 0;
  for (; !recordset.Eof(); recordset.MoveNext(), ++count) {
    source::Fields fields = recordset.Fields();
    ASSERT_EQ(fields.Item(0).Value().ToInt64(), count);
    ASSERT_EQ(fields.Item(1).Value().ToText(), "row number " + std::to_string(count));
    ASSERT_EQ(fields.Item(2).Value().IsNull(), count % 3 == 0);
  }
  EXPECT_EQ(count, 60000);
}

TEST(FixtureRoundTrip, FileOutputMatchesMemoryOutput) {
  FixtureDatabase database;
  database.tables = {EveryKindTable()};
  database.tables[0].generatedRows = 2000;
  database.tables[0].generator = [](int64_t i, std::vector<FixtureValue>& row) {
    row[13] = std::string(static_cast<size_t>(i % 3000), 'n');
  };
  database.password = "file";
  std::filesystem::path path = std::filesystem::temp_directory_path() /
                               ("bracken-fixture-" + std::to_string(getpid()) + ".mdb");
  WriteJet4File(database, path);
  std::ifstream in(path, std::ios::binary);
  std::ostringstream written;
  written << in.rdbuf();
  std::filesystem::remove(path);
  EXPECT_TRUE(written.str() == WriteJet4(database));
}

}  // namespace
}  // namespace bracken::testing
