// The database's own rules read back from written files of each format and
// from the corpus: column and table defaults, validation rules and texts,
// descriptions, Required and Allow Zero Length, and the relationships of
// MSysRelationships, whole or, where damaged, left out with a note.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "source/source_access.h"
#include "tests/support/ace_header.h"
#include "tests/support/file_damage.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/json_value.h"

namespace bracken::testing {
namespace {

using source::Catalog;
using source::Relationship;

using Writer = std::function<std::string(const FixtureDatabase&)>;

struct Format {
  const char* name;
  Writer write;
};

std::vector<Format> Formats() {
  return {{"Jet3", WriteJet3},
          {"Jet4", WriteJet4},
          {"ACE12", [](const FixtureDatabase& d) { return AceFromJet4(WriteJet4(d)); }},
          {"ACE17", [](const FixtureDatabase& d) { return AceFromJet4(WriteJet4(d), 6); }}};
}

FixtureColumn Column(const std::string& name, ColumnKind kind = ColumnKind::Long) {
  return MakeColumn(name, kind);
}

// Orders (Id, Customer, Placed, Code, Region) refer to Customers (Id,
// Region); Staff refers to itself through Boss.
FixtureDatabase RulesDatabase() {
  FixtureTable customers;
  customers.name = "Customers";
  customers.description = "Who buys";
  customers.validationRule = "[Region]<>'' Or [Id]<100";
  customers.validationText = "A customer from 100 on has a region";
  FixtureColumn region = Column("Region", ColumnKind::Text);
  region.allowZeroLength = true;
  region.defaultValue = "\"North\"";
  customers.columns = {MakeCounter("Id"), region};

  FixtureTable orders;
  orders.name = "Orders";
  FixtureColumn placed = Column("Placed", ColumnKind::DateTime);
  placed.defaultValue = "=Now()";
  placed.validationRule = "Is Null Or >=#1/1/2000#";
  placed.validationText = "Orders start in 2000";
  placed.description = "When it was placed";
  placed.required = true;
  FixtureColumn code = Column("Code", ColumnKind::Text);
  code.validationRule = "Like \"[A-Z]*\"";
  FixtureColumn id = Column("Id");
  id.autoNumber = true;
  orders.columns = {id, Column("Customer"), placed, code, Column("Region", ColumnKind::Text)};

  FixtureTable staff;
  staff.name = "Staff";
  staff.columns = {MakeCounter("Id"), Column("Boss")};

  FixtureDatabase database;
  database.tables = {customers, orders, staff};
  FixtureRelationship byCustomer{"CustomersOrders", "Orders", {"Customer"}, "customers", {"ID"}};
  byCustomer.cascadeUpdates = byCustomer.cascadeDeletes = true;
  FixtureRelationship byRegion{
      "CustomerRegion", "Orders", {"Customer", "Region"}, "Customers", {"Id", "Region"}};
  byRegion.enforced = false;
  FixtureRelationship boss{"StaffBoss", "Staff", {"Boss"}, "Staff", {"Id"}};
  boss.cascadeNull = true;
  boss.oneToOne = true;
  database.relationships = {byCustomer, byRegion, boss};
  return database;
}

const Relationship* Find(const Catalog& catalog, const std::string& name) {
  for (const Relationship& r : catalog.Relationships()) {
    if (r.name == name) return &r;
  }
  return nullptr;
}

TEST(RulesReading, ColumnAndTableRulesInEveryFormat) {
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.name);
    Catalog catalog;
    catalog.OpenBuffer(format.write(RulesDatabase()));
    EXPECT_TRUE(catalog.Damage().empty());
    source::Table customers = catalog.Tables().Item("Customers");
    EXPECT_EQ(customers.Description(), "Who buys");
    EXPECT_EQ(customers.ValidationRule(), "[Region]<>'' Or [Id]<100");
    EXPECT_EQ(customers.ValidationText(), "A customer from 100 on has a region");
    EXPECT_EQ(customers.Properties().Item("Jet OLEDB:Table Validation Rule").Value().ToText(),
              "[Region]<>'' Or [Id]<100");
    source::Column region = customers.Columns().Item("Region");
    EXPECT_EQ(region.DefaultValue(), "\"North\"");
    EXPECT_TRUE(region.AllowZeroLength());
    EXPECT_FALSE(region.Required());
    EXPECT_EQ(region.ValidationRule(), "");

    source::Table orders = catalog.Tables().Item("Orders");
    EXPECT_EQ(orders.Description(), "");
    EXPECT_EQ(orders.ValidationRule(), "");
    source::Column placed = orders.Columns().Item("Placed");
    EXPECT_EQ(placed.DefaultValue(), "=Now()");
    EXPECT_EQ(placed.ValidationRule(), "Is Null Or >=#1/1/2000#");
    EXPECT_EQ(placed.ValidationText(), "Orders start in 2000");
    EXPECT_EQ(placed.Description(), "When it was placed");
    EXPECT_TRUE(placed.Required());
    EXPECT_FALSE(placed.AllowZeroLength());
    const source::Properties& adox = placed.Properties();
    EXPECT_EQ(adox.Item("Default").Value().ToText(), "=Now()");
    EXPECT_EQ(adox.Item("Jet OLEDB:Column Validation Rule").Value().ToText(),
              "Is Null Or >=#1/1/2000#");
    EXPECT_EQ(adox.Item("Jet OLEDB:Column Validation Text").Value().ToText(),
              "Orders start in 2000");
    EXPECT_FALSE(adox.Item("Nullable").Value().ToBool());
    EXPECT_EQ(orders.Columns().Item("Code").ValidationRule(), "Like \"[A-Z]*\"");
    // An auto-number is not nullable, but was never made required.
    EXPECT_FALSE(orders.Columns().Item("Id").Required());
  }
}

TEST(RulesReading, RelationshipsWithTheirColumnsAndFlagsInEveryFormat) {
  for (const Format& format : Formats()) {
    SCOPED_TRACE(format.name);
    Catalog catalog;
    catalog.OpenBuffer(format.write(RulesDatabase()));
    EXPECT_TRUE(catalog.Damage().empty());
    ASSERT_EQ(catalog.Relationships().size(), 3u);
    // Ordered by name.
    EXPECT_EQ(catalog.Relationships()[0].name, "CustomerRegion");

    const Relationship* byCustomer = Find(catalog, "CustomersOrders");
    ASSERT_NE(byCustomer, nullptr);
    EXPECT_EQ(byCustomer->table, "Orders");
    EXPECT_EQ(byCustomer->columns, std::vector<std::string>{"Customer"});
    // Spelt as the tables spell them, whatever the relationship's case.
    EXPECT_EQ(byCustomer->referencedTable, "Customers");
    EXPECT_EQ(byCustomer->referencedColumns, std::vector<std::string>{"Id"});
    EXPECT_TRUE(byCustomer->Enforced());
    EXPECT_TRUE(byCustomer->CascadeUpdates());
    EXPECT_TRUE(byCustomer->CascadeDeletes());
    EXPECT_FALSE(byCustomer->CascadeNull());
    EXPECT_FALSE(byCustomer->OneToOne());

    const Relationship* byRegion = Find(catalog, "CustomerRegion");
    ASSERT_NE(byRegion, nullptr);
    EXPECT_EQ(byRegion->columns, (std::vector<std::string>{"Customer", "Region"}));
    EXPECT_EQ(byRegion->referencedColumns, (std::vector<std::string>{"Id", "Region"}));
    EXPECT_FALSE(byRegion->Enforced());
    EXPECT_FALSE(byRegion->CascadeUpdates());
    EXPECT_FALSE(byRegion->CascadeDeletes());

    const Relationship* boss = Find(catalog, "StaffBoss");
    ASSERT_NE(boss, nullptr);
    EXPECT_EQ(boss->table, "Staff");
    EXPECT_EQ(boss->referencedTable, "Staff");
    EXPECT_TRUE(boss->Enforced());
    EXPECT_TRUE(boss->CascadeNull());
    EXPECT_TRUE(boss->OneToOne());
  }
}

TEST(RulesReading, ARelationshipNamingWhatDoesNotExistCostsOnlyItself) {
  FixtureDatabase database = RulesDatabase();
  database.relationships.push_back({"NoTable", "Orders", {"Customer"}, "Suppliers", {"Id"}});
  database.relationships.push_back({"NoColumn", "Orders", {"Supplier"}, "Customers", {"Id"}});
  Catalog catalog;
  catalog.OpenBuffer(WriteJet4(database));
  EXPECT_EQ(catalog.Relationships().size(), 3u);
  EXPECT_EQ(Find(catalog, "NoTable"), nullptr);
  EXPECT_EQ(catalog.Damage(),
            (std::vector<std::string>{
                "The relationship NoTable cannot be read whole (it names the table Suppliers, "
                "which the file does not hold); it is left out.",
                "The relationship NoColumn cannot be read whole (it names the column Supplier of "
                "the table Orders, which the table does not have); it is left out."}));
}

TEST(RulesReading, ADamagedRowOfMSysRelationshipsCostsOnlyItsRelationship) {
  for (const Format& format : {Formats()[0], Formats()[1]}) {
    SCOPED_TRACE(format.name);
    FixtureDatabase database = RulesDatabase();
    // The two-column relationship last: its second row is the table's last.
    std::swap(database.relationships[1], database.relationships[2]);
    DamagedFile file(format.write(database));
    uint32_t page = file.DataPageHolding("CustomerRegion");
    ASSERT_NE(page, 0u);
    file.BreakRow(page << 8 | 3);
    Catalog catalog;
    catalog.OpenBuffer(file.Bytes());
    EXPECT_EQ(Find(catalog, "CustomerRegion"), nullptr);
    EXPECT_NE(Find(catalog, "CustomersOrders"), nullptr);
    EXPECT_NE(Find(catalog, "StaffBoss"), nullptr);
    const std::vector<std::string>& damage = catalog.Damage();
    EXPECT_NE(std::find(damage.begin(), damage.end(),
                        "The relationship CustomerRegion cannot be read whole (it counts 2 "
                        "columns, but 1 were found); it is left out."),
              damage.end())
        << ::testing::PrintToString(damage);
  }
}

// The corpus files against the independent reader's dumps of their
// relationships and column properties.
class CorpusRules : public ::testing::Test {
 protected:
  static std::string CorpusFile(const std::string& name) {
    return std::string(BRACKEN_SHARED_DIR) + "/corpus/" + name;
  }
  void SetUp() override {
    if (!std::filesystem::exists(CorpusFile("jet4/indexTestV2000.schema.json"))) {
      GTEST_SKIP() << "the corpus is not present beside the checkout";
    }
  }
};

TEST_F(CorpusRules, RelationshipsAndPropertiesMatchTheReferenceDumps) {
  int relationshipsSeen = 0;
  int defaultsSeen = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(CorpusFile(""))) {
    const std::string path = entry.path().string();
    const std::string suffix = ".schema.json";
    if (path.size() < suffix.size() ||
        path.compare(path.size() - suffix.size(), suffix.size(), suffix) != 0) {
      continue;
    }
    std::string base = path.substr(0, path.size() - suffix.size());
    std::string file = std::filesystem::exists(base + ".mdb") ? base + ".mdb" : base + ".accdb";
    SCOPED_TRACE(file);
    Catalog catalog;
    catalog.SetActiveConnection("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file +
                                ";Jet OLEDB:Database Password=" +
                                (file.find("withPassword") != std::string::npos ? "password" : ""));
    JsonValue reference = ReadJsonFile(path);
    size_t userRelationships = 0;
    for (const JsonValue& row : reference["relationships"].items) {
      if (row["szObject"].text.rfind("MSys", 0) == 0) continue;
      ++userRelationships;
      SCOPED_TRACE(row["szRelationship"].text);
      const Relationship* found = Find(catalog, row["szRelationship"].text);
      ASSERT_NE(found, nullptr) << row["szRelationship"].text;
      size_t at = std::stoul(row["icolumn"].text);
      ASSERT_LT(at, found->columns.size());
      EXPECT_EQ(found->table, row["szObject"].text);
      EXPECT_EQ(found->columns[at], row["szColumn"].text);
      EXPECT_EQ(found->referencedTable, row["szReferencedObject"].text);
      EXPECT_EQ(found->referencedColumns[at], row["szReferencedColumn"].text);
      EXPECT_EQ(found->attributes, std::stoul(row["grbit"].text));
      ++relationshipsSeen;
    }
    EXPECT_EQ(catalog.Relationships().size(), userRelationships);
    EXPECT_TRUE(catalog.Damage().empty()) << ::testing::PrintToString(catalog.Damage());
    for (const auto& [tableName, columns] : reference["columns"].members) {
      SCOPED_TRACE(tableName);
      source::Table table = catalog.Tables().Item(tableName);
      if (table.Type() != "TABLE") continue;
      for (const auto& [columnName, properties] : columns.members) {
        SCOPED_TRACE(columnName);
        // The hidden column of an append-only memo's versions is no column of the table.
        if (columnName.rfind("VersionHistory_", 0) == 0) continue;
        source::Column column = table.Columns().Item(columnName);
        const auto& p = properties.members;
        auto text = [&](const char* key) { return p.count(key) ? p.at(key).text : std::string(); };
        EXPECT_EQ(column.DefaultValue(), text("DefaultValue")) << tableName << "." << columnName;
        EXPECT_EQ(column.ValidationRule(), text("ValidationRule"));
        EXPECT_EQ(column.ValidationText(), text("ValidationText"));
        EXPECT_EQ(column.Description(), text("Description"));
        if (p.count("Required")) {
          EXPECT_EQ(column.Required(), p.at("Required").boolean);
        }
        if (p.count("AllowZeroLength")) {
          EXPECT_EQ(column.AllowZeroLength(), p.at("AllowZeroLength").boolean);
        }
        defaultsSeen += p.count("DefaultValue") ? 1 : 0;
      }
    }
  }
  EXPECT_GE(relationshipsSeen, 6);
  EXPECT_GT(defaultsSeen, 0);
}

}  // namespace
}  // namespace bracken::testing
