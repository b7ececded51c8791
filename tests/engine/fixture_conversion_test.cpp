// A written file with every column type, converted into the test server and
// read back value by value.

#include <gtest/gtest.h>

#include <cmath>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/schema/identifier.h"
#include "engine/source_connection.h"
#include "tests/engine/server_conversion.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"

namespace bracken::engine {
namespace {

using testing::ColumnKind;
using testing::FixtureColumn;
using testing::FixtureDatabase;
using testing::FixtureIndex;
using testing::FixtureTable;
using testing::FixtureValue;

std::string Bytes(int count, int start) {
  std::string bytes;
  for (int i = 0; i < count; ++i) bytes += static_cast<char>((start + i) % 256);
  return bytes;
}

const std::string kLongMemo = [] {
  std::string memo;
  while (memo.size() < 70000) memo += "Zoë's \\memo\\ line, 日本. ";
  return memo;
}();
const std::string kGuid = Bytes(16, 0xA0);

FixtureTable EveryType() {
  FixtureTable table;
  table.name = "Every 'Type'";
  FixtureColumn id = MakeColumn("ID", ColumnKind::Long);
  id.autoNumber = true;
  FixtureColumn decimal = MakeColumn("Dec", ColumnKind::Decimal);
  decimal.precision = 18;
  decimal.scale = 4;
  FixtureColumn fixed = MakeColumn("Fixed", ColumnKind::Binary, 4);
  fixed.fixedSize = true;
  table.columns = {id,
                   MakeColumn("Name", ColumnKind::Text, 100),
                   MakeColumn("Notes", ColumnKind::Memo),
                   MakeColumn("Link", ColumnKind::Hyperlink),
                   MakeColumn("Ole", ColumnKind::Ole),
                   MakeColumn("Bin", ColumnKind::Binary, 50),
                   fixed,
                   MakeColumn("Cur", ColumnKind::Currency),
                   decimal,
                   MakeColumn("Dbl", ColumnKind::Double),
                   MakeColumn("Sgl", ColumnKind::Single),
                   MakeColumn("When", ColumnKind::DateTime),
                   MakeColumn("Flag", ColumnKind::Boolean),
                   MakeColumn("Byte", ColumnKind::Byte),
                   MakeColumn("Int", ColumnKind::Integer),
                   MakeColumn("Guid", ColumnKind::Guid)};
  table.indexes = {{"PrimaryKey", {"ID"}, true, true, false},
                   {"Name", {"Name"}, false, false, false}};
  using V = std::vector<FixtureValue>;
  std::monostate null;
  table.rows = {
      V{int64_t{1}, std::string("O'Neil \"Jr\""), kLongMemo,
        std::string("Example#http://example.com/#"), Bytes(300, 0), Bytes(3, 254), Bytes(4, 1),
        int64_t{123456789012345}, std::string("-123.4500"), 1e20, 3.5, 39522.0 + 14.5 / 24, true,
        int64_t{255}, int64_t{-32768}, kGuid},
      // A plain memo keeps markup it merely holds.
      V{int64_t{2}, std::string("C:\\dir\\file"), std::string("<div>Hello</div>"),
        std::string("#http://example.com/a#"), std::string("\0\n'\\", 4), null, null, int64_t{-1},
        std::string("0.0001"), 2.25, -0.5, 39936.0, false, int64_t{0}, int64_t{7}, null},
      V{int64_t{3}, std::string("Zoë Ångström 日本"), std::string(""), null, null, null, null, null,
        null, -0.1, null, 14.5 / 24, false, null, null, null},
      V{int64_t{4}, null, null, null, null, null, null, null, null, null, null, null, false, null,
        null, null},
  };
  return table;
}

// Keys that cannot be held as written: two long texts under a primary key, a
// unique key and a plain index; and a name with a backtick.
FixtureTable LongKeys() {
  FixtureTable table;
  table.name = "Long`Keys";
  table.columns = {MakeColumn("A", ColumnKind::Text, 255), MakeColumn("B", ColumnKind::Text, 255),
                   MakeColumn("C", ColumnKind::Text, 255)};
  table.indexes = {{"PrimaryKey", {"A", "B"}, true, true, false},
                   {"BC", {"B", "C"}, false, true, false},
                   {"AC", {"A", "C"}, false, false, false}};
  std::string a(255, 'a'), b(255, 'b');
  using V = std::vector<FixtureValue>;
  // Rows that share the first 200 characters of every column.
  table.rows = {V{a, b, std::string("1")}, V{a, b.substr(0, 254) + "c", std::string("1")},
                V{a.substr(0, 254) + "z", b, std::string("2")}};
  return table;
}

using Cells = std::vector<testing::Cell>;
testing::Cell S(std::string text) { return text; }
const testing::Cell kNull = std::nullopt;

std::string Hex(const std::string& bytes) { return testing::Hex(bytes); }

TEST(FixtureConversionTest, EveryTypeArrivesAsWritten) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  FixtureDatabase database;
  database.tables = {EveryType(), LongKeys()};
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(database));
  CatalogSource source(catalog, "");
  ServerConversion run = ConvertAll(server, source, ListTableNames(catalog), "eng_fixture");
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_EQ(run.summary.tablesConverted, 2);
  EXPECT_EQ(run.messages, std::vector<std::string>{
                              "Message: Bracken database conversion completed successfully."});

  testing::ServerQuery query(server, "eng_fixture");
  auto rows = query.Rows(
      "SELECT ID, Name, Notes, Link, HEX(Ole), HEX(Bin), HEX(Fixed), Cur, `Dec`, Dbl, Sgl, `When`, "
      "CAST(Flag AS UNSIGNED), Byte, `Int`, HEX(Guid) FROM `Every 'Type'` ORDER BY ID");
  ASSERT_EQ(rows.size(), 4u);
  // Hyperlinks keep their display text, or their address when there is
  // none; rich text loses its markup; null texts and memos become ''; an
  // empty text stays ''. GUIDs are kept as their text.
  std::string guidText = Hex("{A3A2A1A0-A5A4-A7A6-A8A9-AAABACADAEAF}");
  EXPECT_EQ(rows[0], (Cells{S("1"), S("O'Neil \"Jr\""), S(kLongMemo), S("Example"),
                            S(Hex(Bytes(300, 0))), S(Hex(Bytes(3, 254))), S(Hex(Bytes(4, 1))),
                            S("12345678901.2345"), S("-123.4500"), S("1e20"), S("3.5"),
                            S("2008-03-15 14:30:00"), S("1"), S("255"), S("-32768"), S(guidText)}));
  EXPECT_EQ(rows[1],
            (Cells{S("2"), S("C:\\dir\\file"), S("<div>Hello</div>"), S("http://example.com/a"),
                   S(Hex(std::string("\0\n'\\", 4))), kNull, kNull, S("-0.0001"), S("0.0001"),
                   S("2.25"), S("-0.5"), S("2009-05-03 00:00:00"), S("0"), S("0"), S("7"), kNull}));
  EXPECT_EQ(rows[2],
            (Cells{S("3"), S("Zoë Ångström 日本"), S(""), S(""), kNull, kNull, kNull, kNull, kNull,
                   S("-0.1"), kNull, S("1899-12-30 14:30:00"), S("0"), kNull, kNull, kNull}));
  EXPECT_EQ(rows[3], (Cells{S("4"), S(""), S(""), S(""), kNull, kNull, kNull, kNull, kNull, kNull,
                            kNull, kNull, S("0"), kNull, kNull, kNull}));

  // Every row of the long keys arrived, and the keys keep their meaning.
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM `Long``Keys`"), S("3"));
  EXPECT_THROW(query.Execute("INSERT INTO `Long``Keys` VALUES('" + std::string(255, 'a') + "','" +
                             std::string(255, 'b') + "','2')"),
               std::runtime_error)
      << "the primary key still refuses a duplicate";
  EXPECT_THROW(
      query.Execute("INSERT INTO `Long``Keys` VALUES('x','" + std::string(255, 'b') + "','1')"),
      std::runtime_error)
      << "the unique key still refuses a duplicate";
  EXPECT_THROW(query.Execute("INSERT INTO `Long``Keys` VALUES(NULL,'y','3')"), std::runtime_error)
      << "primary key columns refuse nulls";
  query.Execute("DROP DATABASE eng_fixture");
}

}  // namespace
}  // namespace bracken::engine
