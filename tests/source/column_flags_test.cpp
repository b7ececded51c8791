// Column flags and the properties derived from them, in both versions: a
// flag counts only on the kind it belongs to (older Access versions leave
// 0x40 on ordinary columns), and the properties a conversion needs (Nullable,
// Autoincrement, Jet OLEDB:Hyperlink, TextFormat) come out as Access means
// them.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/written_catalog.h"

namespace bracken::testing {
namespace {

using source::Catalog;

constexpr uint8_t kFixedFlag = 0x01;
constexpr uint8_t kCounterFlag = 0x04;
constexpr uint8_t kGeneratedFlag = 0x40;
constexpr uint8_t kHyperlinkFlag = 0x80;

FixtureColumn Flagged(std::string name, ColumnKind kind, uint8_t flags, int size = 0) {
  FixtureColumn column = MakeColumn(std::move(name), kind, size);
  column.extraFlags = flags;
  return column;
}

// Orders as an upgraded Northwind holds it: 0x40 on ordinary columns, and
// flags on kinds they do not belong to.
FixtureTable Orders() {
  FixtureTable t;
  t.name = "Orders";
  FixtureColumn id = MakeCounter("OrderID");
  id.extraFlags = kGeneratedFlag;
  FixtureColumn customer = Flagged("CustomerID", ColumnKind::Text, kGeneratedFlag, 5);
  customer.required = true;
  t.columns = {id,
               customer,
               Flagged("EmployeeID", ColumnKind::Long, kGeneratedFlag),
               Flagged("OrderDate", ColumnKind::DateTime, kGeneratedFlag),
               Flagged("ShippedDate", ColumnKind::DateTime, kGeneratedFlag | kCounterFlag),
               Flagged("Freight", ColumnKind::Currency, kGeneratedFlag),
               Flagged("ShipName", ColumnKind::Text, kGeneratedFlag | kHyperlinkFlag, 40),
               Flagged("Notes", ColumnKind::Memo, kHyperlinkFlag),
               Flagged("Comments", ColumnKind::Memo, kFixedFlag | kGeneratedFlag),
               Flagged("RowGuid", ColumnKind::Guid, kGeneratedFlag)};
  std::string guid(16, '\x5a');
  t.rows.push_back({FixtureValue{}, std::string("VINET"), int64_t{5}, 35251.0, 35263.0,
                    int64_t{323800}, std::string("Vins et alcools"), std::string("a#b#"),
                    std::string("fragile"), guid});
  t.rows.push_back({FixtureValue{}, std::string("TOMSP"), FixtureValue{}, 35252.0, FixtureValue{},
                    FixtureValue{}, FixtureValue{}, FixtureValue{}, FixtureValue{}, guid});
  return t;
}

bool Flag(const source::Column& column, const char* property) {
  return column.Properties().Item(property).Value().ToBool();
}

TEST(ColumnFlags, FlagsCountOnlyOnTheirOwnKindInBothVersions) {
  for (bool jet3 : {false, true}) {
    SCOPED_TRACE(jet3 ? "Jet 3" : "Jet 4");
    Catalog catalog = OpenWritten(Orders(), jet3);
    source::Columns columns = catalog.Tables().Item("Orders").Columns();
    source::Column id = columns.Item("OrderID");
    EXPECT_TRUE(Flag(id, "Autoincrement"));
    EXPECT_FALSE(Flag(id, "Nullable"));
    EXPECT_FALSE(Flag(id, "Jet OLEDB:AutoGenerate"));
    for (const char* name : {"EmployeeID", "OrderDate", "ShippedDate", "Freight", "ShipName"}) {
      source::Column column = columns.Item(name);
      EXPECT_FALSE(Flag(column, "Autoincrement")) << name;
      EXPECT_TRUE(Flag(column, "Nullable")) << name;
      EXPECT_FALSE(Flag(column, "Jet OLEDB:AutoGenerate")) << name;
      EXPECT_FALSE(Flag(column, "Jet OLEDB:Hyperlink")) << name;
    }
    EXPECT_FALSE(Flag(columns.Item("CustomerID"), "Nullable"));  // Required, not a flag
    EXPECT_FALSE(Flag(columns.Item("CustomerID"), "Autoincrement"));
    EXPECT_TRUE(Flag(columns.Item("Notes"), "Jet OLEDB:Hyperlink"));
    EXPECT_FALSE(Flag(columns.Item("Comments"), "Fixed Length"));
    EXPECT_EQ(columns.Item("Comments").Type(), source::adLongVarWChar);
    source::Column guid = columns.Item("RowGuid");
    EXPECT_TRUE(Flag(guid, "Jet OLEDB:AutoGenerate"));
    EXPECT_FALSE(Flag(guid, "Autoincrement"));
    EXPECT_FALSE(Flag(guid, "Nullable"));

    source::Recordset recordset;
    recordset.Open("SELECT * FROM [Orders]", catalog);
    ASSERT_FALSE(recordset.Eof());
    EXPECT_EQ(recordset.Fields().Item("Comments").Value().ToText(), "fragile");
    EXPECT_EQ(recordset.Fields().Item("Notes").Value().ToText(), "a#b#");
    recordset.MoveNext();
    ASSERT_FALSE(recordset.Eof());
    source::Fields fields = recordset.Fields();
    EXPECT_EQ(fields.Item("OrderID").Value().ToInt64(), 2);
    for (const char* name : {"EmployeeID", "ShippedDate", "Freight", "ShipName", "Comments"}) {
      EXPECT_TRUE(fields.Item(name).Value().IsNull()) << name;
    }
  }
}

TEST(ColumnFlags, HyperlinkOnEveryColumnAndTextFormatWhereStored) {
  FixtureTable t;
  t.name = "Pages";
  FixtureColumn rich = MakeColumn("Body", ColumnKind::Memo);
  rich.richText = true;
  t.columns = {MakeCounter("Id"),
               MakeColumn("Title", ColumnKind::Text, 80),
               rich,
               MakeColumn("Plain", ColumnKind::Memo),
               MakeColumn("Link", ColumnKind::Hyperlink),
               MakeColumn("Data", ColumnKind::Ole)};
  t.rows.push_back({FixtureValue{}, std::string("t"), std::string("<div><b>bold</b></div>"),
                    std::string("p"), std::string("Home#http://example.com/#"), FixtureValue{}});
  for (bool jet3 : {false, true}) {
    SCOPED_TRACE(jet3 ? "Jet 3" : "Jet 4");
    source::Columns columns = OpenWritten(t, jet3).Tables().Item("Pages").Columns();
    for (long i = 0; i < columns.Count(); ++i) {
      source::Column column = columns.Item(i);
      EXPECT_EQ(Flag(column, "Jet OLEDB:Hyperlink"), column.Name() == "Link") << column.Name();
    }
    const source::Property& format = columns.Item("Body").Properties().Item("TextFormat");
    EXPECT_EQ(format.Value().kind(), source::Variant::Kind::Byte);
    EXPECT_EQ(format.Value().ToInt64(), 1);
    for (const char* name : {"Plain", "Link", "Title"}) {
      EXPECT_THROW(columns.Item(name).Properties().Item("TextFormat"), source::SourceError) << name;
    }
  }
}

}  // namespace
}  // namespace bracken::testing
