// The edge files conversion tests need, written by the fixture writer in both
// versions where the version can hold them and read back through the access
// operations: wide tables, very large OLE values, characters outside the
// Basic Multilingual Plane, awkward names, a counter holding 0, and numbers
// and dates at and beyond their limits.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/written_catalog.h"

namespace bracken::testing {
namespace {

using source::Catalog;
using source::Variant;

const char* Version(bool jet3) { return jet3 ? "Jet 3" : "Jet 4"; }

TEST(EdgeFiles, NinetyTextColumnsOf255AndAnOleValueOfNineMebibytes) {
  FixtureTable wide;
  wide.name = "Wide";
  for (int i = 0; i < 90; ++i) {
    wide.columns.push_back(MakeColumn("Text column " + std::to_string(i), ColumnKind::Text, 255));
  }
  std::vector<FixtureValue> full(90), small(90);
  for (int i = 0; i < 90; ++i) {
    small[i] = "v" + std::to_string(i);
    if (i % 15 == 0) full[i] = std::string(255, static_cast<char>('a' + i % 26));
  }
  wide.rows = {small, full, std::vector<FixtureValue>(90)};

  FixtureTable big;
  big.name = "Big";
  big.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Picture", ColumnKind::Ole)};
  std::string blob(9u << 20, '\0');
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<char>((i * 131) >> 7);
  big.rows = {{int64_t{1}, blob}};

  for (bool jet3 : {false, true}) {
    SCOPED_TRACE(Version(jet3));
    Catalog catalog = OpenWritten(wide, jet3);
    source::Columns columns = catalog.Tables().Item("Wide").Columns();
    ASSERT_EQ(columns.Count(), 90);
    EXPECT_EQ(columns.Item(89L).DefinedSize(), 255);
    auto rows = ReadAllRows(catalog, "Wide");
    ASSERT_EQ(rows.size(), 3u);
    for (size_t i = 0; i < 90; ++i) {
      EXPECT_EQ(rows[0][i].ToText(), std::get<std::string>(small[i])) << i;
      EXPECT_EQ(rows[1][i].IsNull(), i % 15 != 0) << i;
      if (i % 15 == 0) {
        EXPECT_EQ(rows[1][i].ToText(), std::get<std::string>(full[i])) << i;
      }
      EXPECT_TRUE(rows[2][i].IsNull()) << i;
    }

    auto bigRows = ReadAllRows(OpenWritten(big, jet3), "Big");
    ASSERT_EQ(bigRows.size(), 1u);
    EXPECT_TRUE(bigRows[0][1].Bytes() == blob);
  }
}

TEST(EdgeFiles, CharactersOutsideTheBasicPlaneInNamesValuesAndProperties) {
  FixtureTable t;
  t.name = "Tabelle 😀";
  FixtureColumn column = MakeColumn("Spalte 🎉", ColumnKind::Text, 20);
  column.description = "Beschreibung 𝄞";
  t.columns = {column, MakeColumn("Notiz", ColumnKind::Memo)};
  t.indexes = {{"Index 🔑", {"Spalte 🎉"}, false, true, false}};
  t.rows = {{std::string("🙂 text 𝄞"), std::string("memo 😀😀 and ascii")}};
  Catalog catalog = OpenWritten(t, false);
  source::Table table = catalog.Tables().Item("Tabelle 😀");
  EXPECT_EQ(table.Name(), "Tabelle 😀");
  source::Column read = table.Columns().Item("Spalte 🎉");
  EXPECT_EQ(read.Name(), "Spalte 🎉");
  EXPECT_EQ(read.Properties().Item("Description").Value().ToText(), "Beschreibung 𝄞");
  EXPECT_EQ(table.Indexes().Item(0L).Name(), "Index 🔑");
  auto rows = ReadAllRows(catalog, "Tabelle 😀");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].ToText(), "🙂 text 𝄞");
  EXPECT_EQ(rows[0][1].ToText(), "memo 😀😀 and ascii");
}

TEST(EdgeFiles, TrailingSpacesLongNamesAndNamesDifferingOnlyByCase) {
  const std::string longName(64, 'N');
  FixtureTable t;
  t.name = "Table with trailing space ";
  FixtureColumn upper = MakeColumn("CODE", ColumnKind::Text, 10);
  upper.required = true;
  upper.description = "upper";
  FixtureColumn lower = MakeColumn("code", ColumnKind::Long);
  lower.description = "lower";
  t.columns = {MakeColumn("Name ", ColumnKind::Text), MakeColumn(longName, ColumnKind::Long), upper,
               lower};
  t.rows = {{std::string("x "), int64_t{64}, std::string("A"), int64_t{7}}};
  for (bool jet3 : {false, true}) {
    SCOPED_TRACE(Version(jet3));
    Catalog catalog = OpenWritten(t, jet3);
    source::Table table = catalog.Tables().Item("Table with trailing space ");
    EXPECT_EQ(table.Name(), "Table with trailing space ");
    source::Columns columns = table.Columns();
    EXPECT_EQ(columns.Item("Name ").Name(), "Name ");
    EXPECT_EQ(columns.Item(longName).Name(), longName);
    EXPECT_THROW(columns.Item("Name"), source::SourceError);
    EXPECT_EQ(columns.Item("CODE").Name(), "CODE");
    EXPECT_EQ(columns.Item("code").Name(), "code");
    EXPECT_EQ(columns.Item("CODE").Properties().Item("Description").Value().ToText(), "upper");
    EXPECT_EQ(columns.Item("code").Properties().Item("Description").Value().ToText(), "lower");
    EXPECT_FALSE(columns.Item("CODE").Properties().Item("Nullable").Value().ToBool());
    EXPECT_TRUE(columns.Item("code").Properties().Item("Nullable").Value().ToBool());
    EXPECT_EQ(columns.Item("code").Type(), source::adInteger);
    auto rows = ReadAllRows(catalog, "Table with trailing space ");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0].ToText(), "x ");
    EXPECT_EQ(rows[0][1].ToInt64(), 64);
    EXPECT_EQ(rows[0][2].ToText(), "A");
    EXPECT_EQ(rows[0][3].ToInt64(), 7);
  }
}

TEST(EdgeFiles, CounterHoldingZeroAndNumbersAndDatesAtTheirLimits) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double singleMax = 3.4028235e38;
  FixtureTable t;
  t.name = "Limits";
  t.columns = {MakeCounter("Id"), MakeColumn("S", ColumnKind::Single),
               MakeColumn("D", ColumnKind::Double), MakeColumn("When", ColumnKind::DateTime)};
  const std::vector<double> singles = {singleMax, -singleMax, nan, inf, -inf};
  const std::vector<double> doubles = {std::numeric_limits<double>::max(), -0.0, nan, inf, -inf};
  const std::vector<double> dates = {2958465.99999, 2958465.999995, -700000, 3000000, -657434.5};
  for (size_t i = 0; i < singles.size(); ++i) {
    t.rows.push_back(
        {i == 0 ? FixtureValue{int64_t{0}} : FixtureValue{}, singles[i], doubles[i], dates[i]});
  }
  for (bool jet3 : {false, true}) {
    SCOPED_TRACE(Version(jet3));
    auto rows = ReadAllRows(OpenWritten(t, jet3), "Limits");
    ASSERT_EQ(rows.size(), singles.size());
    EXPECT_EQ(rows[0][0].ToInt64(), 0);
    EXPECT_EQ(rows[1][0].ToInt64(), 1);  // the counter goes on from where it stands
    for (size_t i = 0; i < rows.size(); ++i) {
      double single = rows[i][1].ToDouble();
      EXPECT_EQ(rows[i][1].kind(), Variant::Kind::Single);
      if (std::isnan(singles[i])) {
        EXPECT_TRUE(std::isnan(single)) << i;
        EXPECT_TRUE(std::isnan(rows[i][2].ToDouble())) << i;
      } else {
        EXPECT_EQ(single, static_cast<double>(static_cast<float>(singles[i]))) << i;
        EXPECT_EQ(rows[i][2].ToDouble(), doubles[i]) << i;
      }
      EXPECT_EQ(rows[i][3].ToDouble(), dates[i]) << i;
    }
    EXPECT_EQ(rows[0][1].ToText(), "3.4028235e+38");
    EXPECT_EQ(rows[0][3].ToText(), "12/31/9999 11:59:59 PM");
    EXPECT_EQ(rows[1][3].ToText(), "12/31/9999 11:59:59 PM");
    EXPECT_THROW(rows[2][3].ToText(), source::SourceError);
    EXPECT_THROW(rows[3][3].ToText(), source::SourceError);
    EXPECT_EQ(rows[4][3].ToText(), "1/1/100 12:00:00 PM");
  }
}

}  // namespace
}  // namespace bracken::testing
