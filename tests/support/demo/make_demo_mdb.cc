// Writes the demo Access file that `scripts/run --demo` offers: a small shop
// with customers, orders (dates and currency), products (memos, pictures and
// hyperlinks) and suppliers with non-ASCII names.
//
// Usage: bracken-make-demo FILE.mdb

#include <cstdio>
#include <exception>
#include <string>

#include "tests/support/fixture_writer.h"

namespace {

using bracken::testing::ColumnKind;
using bracken::testing::FixtureColumn;
using bracken::testing::MakeColumn;
using bracken::testing::MakeCounter;
using bracken::testing::FixtureDatabase;
using bracken::testing::FixtureIndex;
using bracken::testing::FixtureTable;
using bracken::testing::FixtureValue;

FixtureIndex Index(const std::string& name, const std::string& column, bool primary, bool unique) {
  FixtureIndex index;
  index.name = name;
  index.columns = {column};
  index.primary = primary;
  index.unique = unique;
  return index;
}

// A 1 x 1 PNG, the picture every product carries.
std::string Picture() {
  static const unsigned char kPng[] = {
      0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48,
      0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x02, 0x00, 0x00,
      0x00, 0x90, 0x77, 0x53, 0xDE, 0x00, 0x00, 0x00, 0x0C, 0x49, 0x44, 0x41, 0x54, 0x08,
      0xD7, 0x63, 0x68, 0xA8, 0x60, 0x00, 0x00, 0x02, 0x84, 0x01, 0x41, 0xB6, 0x6E, 0x07,
      0x8C, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
  return std::string(reinterpret_cast<const char*>(kPng), sizeof kPng);
}

// Days since 1899-12-30 for a day of 2024 and a time of day.
double Day2024(int dayOfYear, double hours = 0) { return 45291.0 + dayOfYear + hours / 24.0; }

FixtureTable Customers() {
  FixtureTable table;
  table.name = "Customers";
  table.columns = {MakeCounter("CustomerID"), MakeColumn("Name", ColumnKind::Text, 60),
                   MakeColumn("City", ColumnKind::Text, 40),
                   MakeColumn("Email", ColumnKind::Text, 80),
                   MakeColumn("Member", ColumnKind::Boolean)};
  table.indexes = {Index("PrimaryKey", "CustomerID", true, true),
                   Index("Email", "Email", false, true)};
  using S = std::string;
  table.rows = {
      {int64_t{1}, S("Anna Müller"), S("Zürich"), S("anna@example.ch"), true},
      {int64_t{2}, S("Benoît Lefèvre"), S("Montréal"), S("benoit@example.ca"), false},
      {int64_t{3}, S("Chloe O'Brien"), S("Cork"), S("chloe@example.ie"), true},
      {int64_t{4}, S("Dmitri Ivanov"), S("Tallinn"), std::monostate{}, false},
      {int64_t{5}, S("Eun-ji Park"), S("Busan"), S("eunji@example.kr"), true},
      {int64_t{6}, S("Fernanda Peña"), S("Sevilla"), S("fernanda@example.es"), false},
  };
  return table;
}

FixtureTable Products() {
  FixtureTable table;
  table.name = "Products";
  table.columns = {MakeCounter("ProductID"),
                   MakeColumn("Name", ColumnKind::Text, 50),
                   MakeColumn("Price", ColumnKind::Currency),
                   MakeColumn("Notes", ColumnKind::Memo),
                   MakeColumn("Picture", ColumnKind::Ole),
                   MakeColumn("Manual", ColumnKind::Hyperlink)};
  table.indexes = {Index("PrimaryKey", "ProductID", true, true),
                   Index("Name", "Name", false, false)};
  using S = std::string;
  const S notes(400, '.');
  table.rows = {
      {int64_t{1}, S("Fern pot, glazed"), int64_t{129500}, S("Frost-proof stoneware, 20 cm."),
       Picture(), S("Care sheet#https://example.com/care/fern-pot#")},
      {int64_t{2}, S("Trowel"), int64_t{89900}, S("Ash handle. ") + notes, Picture(),
       S("#https://example.com/manuals/trowel.pdf#")},
      {int64_t{3}, S("Seed tray (10)"), int64_t{45000}, std::monostate{}, std::monostate{},
       std::monostate{}},
      {int64_t{4}, S("Gießkanne 5 l"), int64_t{219000}, S("Verzinkt; 5 Liter."), Picture(),
       S("Anleitung#https://example.com/de/giesskanne#")},
  };
  return table;
}

FixtureTable Orders() {
  FixtureTable table;
  table.name = "Orders";
  table.columns = {MakeCounter("OrderID"),
                   MakeColumn("CustomerID", ColumnKind::Long),
                   MakeColumn("ProductID", ColumnKind::Long),
                   MakeColumn("Quantity", ColumnKind::Integer),
                   MakeColumn("OrderDate", ColumnKind::DateTime),
                   MakeColumn("Total", ColumnKind::Currency)};
  table.indexes = {Index("PrimaryKey", "OrderID", true, true),
                   Index("CustomerID", "CustomerID", false, false)};
  for (int64_t i = 0; i < 40; ++i) {
    const int64_t quantity = 1 + i % 4;
    table.rows.push_back({i + 1, 1 + i % 6, 1 + i % 4, quantity, Day2024(3 + 7 * i, 9.5 + i % 8),
                          quantity * (45000 + 10000 * (i % 4))});
  }
  return table;
}

FixtureTable Suppliers() {
  FixtureTable table;
  table.name = "Lieferanten";
  table.columns = {MakeCounter("Nr"), MakeColumn("Firmenname", ColumnKind::Text, 60),
                   MakeColumn("Straße", ColumnKind::Text, 60),
                   MakeColumn("Ort", ColumnKind::Text, 40)};
  table.indexes = {Index("PrimaryKey", "Nr", true, true)};
  using S = std::string;
  table.rows = {{int64_t{1}, S("Müller & Söhne"), S("Gartenstraße 12"), S("Köln")},
                {int64_t{2}, S("Café Olé Gärtnerei"), S("Hauptstraße 3"), S("Wien")}};
  return table;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s FILE.mdb\n", argv[0]);
    return 2;
  }
  try {
    FixtureDatabase shop;
    shop.tables = {Customers(), Orders(), Products(), Suppliers()};
    bracken::testing::WriteJet4File(shop, argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s: %s\n", argv[0], error.what());
    return 1;
  }
  return 0;
}
