// bracken-cli verify's schema section against the test server: a copy made
// with InnoDB holds its defaults, checks, comments and keys as planned, and
// each of them changed on the server afterwards is named with a failing exit
// status. What the conversion leaves out for the data's sake is expected
// absent.

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/cli/cli_server_test.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"
#include "tests/support/test_server.h"

namespace bracken::testing {
namespace {

namespace fs = std::filesystem;
using V = std::vector<FixtureValue>;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

class VerifySchemaTest : public CliServerTest {
 protected:
  VerifySchemaTest() : CliServerTest("bracken_vschema") {}

  void TearDown() override {
    if (!IsSkipped()) {
      for (const std::string& name : databases_) {
        ServerQuery(server_).Execute("DROP DATABASE IF EXISTS `" + name + "`");
      }
    }
    CliServerTest::TearDown();
  }

  ShellRun Run(const std::string& command, const fs::path& file, const std::string& database,
               const std::vector<std::string>& more = {}) {
    databases_.push_back(database);
    std::vector<std::string> args = {
        "--host", server_.host, "--port",     std::to_string(server_.port),
        "--user", server_.user, "--database", database};
    if (command == "convert") args.push_back("--yes");
    args.insert(args.end(), more.begin(), more.end());
    return RunCommand(command, file, args);
  }

  // Customers and their orders: defaults, a column rule and a table rule, a
  // description and a validation text, a cascading relationship. With
  // `broken`, one order breaks the rule on Quantity and one names no
  // customer.
  fs::path WriteShop(bool broken) {
    FixtureTable customers;
    customers.name = "Customers";
    FixtureColumn name = MakeColumn("Name", ColumnKind::Text, 30);
    name.description = "Who orders";
    FixtureColumn city = MakeColumn("City", ColumnKind::Text, 30);
    city.defaultValue = "\"Bern\"";
    customers.columns = {MakeColumn("ID", ColumnKind::Long), name, city};
    customers.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    customers.description = "The shop's customers";
    customers.rows = {V{int64_t{1}, std::string("Ann"), std::string("Bern")},
                      V{int64_t{2}, std::string("Bob"), std::string("Basel")}};
    FixtureTable orders;
    orders.name = "Orders";
    FixtureColumn quantity = MakeColumn("Quantity", ColumnKind::Long);
    quantity.defaultValue = "1";
    quantity.validationRule = ">=0";
    quantity.validationText = "No negative quantities";
    quantity.required = true;
    FixtureColumn note = MakeColumn("Note", ColumnKind::Text, 20);
    orders.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Customer", ColumnKind::Long),
                      quantity, note};
    orders.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
    orders.validationRule = "[Quantity]<1000";
    orders.rows = {V{int64_t{10}, int64_t{1}, int64_t{3}, std::string("a")},
                   V{int64_t{11}, int64_t{2}, int64_t{5}, FixtureValue{}}};
    if (broken) orders.rows.push_back(V{int64_t{12}, int64_t{7}, int64_t{-1}, std::string("b")});
    FixtureRelationship relationship;
    relationship.name = "CustomersOrders";
    relationship.table = "Orders";
    relationship.columns = {"Customer"};
    relationship.referencedTable = "Customers";
    relationship.referencedColumns = {"ID"};
    relationship.cascadeDeletes = true;
    FixtureDatabase file;
    file.tables = {customers, orders};
    file.relationships = {relationship};
    const fs::path path = dir_ / (broken ? "broken.mdb" : "shop.mdb");
    WriteJet4File(file, path);
    return path;
  }

  std::vector<std::string> databases_;
};

TEST_F(VerifySchemaTest, AsPlannedCopyVerifiesCleanAndEachChangeIsNamed) {
  const fs::path shop = WriteShop(false);
  ShellRun converted = Run("convert", shop, "vschema_shop", {"--engine", "InnoDB", "--verify"});
  ASSERT_EQ(converted.status, 0) << converted.errors;
  ShellRun clean = Run("verify", shop, "vschema_shop");
  EXPECT_EQ(clean.status, 0) << clean.output << clean.errors;
  EXPECT_EQ(clean.output,
            "Customers: 2 rows identical\nOrders: 2 rows identical\n"
            "Customers: schema as planned\nOrders: schema as planned\n"
            "vschema_shop: 2 tables verified, 2 identical, 0 with differences; schema: 2 of 2 "
            "tables as planned\n");

  // Each change alone is named as the table's first difference.
  const struct {
    const char* change;
    const char* undo;
    const char* line;
  } changes[] = {
      {"ALTER TABLE Customers ALTER City DROP DEFAULT",
       "ALTER TABLE Customers ALTER City SET DEFAULT 'Bern'",
       "Customers: schema differs: column [City] has no default in MySQL, the plan has 'Bern'"},
      {"ALTER TABLE Orders ALTER Quantity SET DEFAULT 2",
       "ALTER TABLE Orders ALTER Quantity SET DEFAULT 1",
       "Orders: schema differs: column [Quantity] has the default 2 in MySQL, the plan has 1"},
      {"ALTER TABLE Orders DROP CONSTRAINT Orders_Quantity",
       "ALTER TABLE Orders ADD CONSTRAINT Orders_Quantity CHECK (`Quantity` >= 0)",
       "Orders: schema differs: the CHECK constraint Orders_Quantity (the rule >=0) is missing in "
       "MySQL"},
      {"ALTER TABLE Customers MODIFY Name VARCHAR(30) NULL COMMENT 'Who pays'",
       "ALTER TABLE Customers MODIFY Name VARCHAR(30) NULL COMMENT 'Who orders'",
       "Customers: schema differs: the comment of column [Name] differs in MySQL"},
      {"ALTER TABLE Customers COMMENT = ''",
       "ALTER TABLE Customers COMMENT = 'The shop''s customers'",
       "Customers: schema differs: the table's comment differs in MySQL"},
      {"ALTER TABLE Orders DROP FOREIGN KEY CustomersOrders",
       "ALTER TABLE Orders ADD CONSTRAINT CustomersOrders FOREIGN KEY (Customer) REFERENCES "
       "Customers (ID) ON DELETE CASCADE",
       "Orders: schema differs: the foreign key of relationship [CustomersOrders] is missing in "
       "MySQL"},
      {"ALTER TABLE Orders MODIFY Quantity INT NULL DEFAULT 1 COMMENT 'Validation text: No "
       "negative quantities'",
       "ALTER TABLE Orders MODIFY Quantity INT NOT NULL DEFAULT 1 COMMENT 'Validation text: No "
       "negative quantities'",
       "Orders: schema differs: column [Quantity] takes NULL in MySQL, the plan has NOT NULL"},
      {"ALTER TABLE Customers MODIFY City VARCHAR(30) CHARACTER SET utf8mb4 NULL DEFAULT 'Bern'",
       "ALTER TABLE Customers MODIFY City VARCHAR(30) CHARACTER SET utf8 NULL DEFAULT 'Bern'",
       "Customers: schema differs: column [City] is utf8mb4 in MySQL, the plan has utf8"},
      // What the plan does not ask for refuses rows the file may hold.
      {"ALTER TABLE Customers ADD CONSTRAINT Extra CHECK (ID < 1000)",
       "ALTER TABLE Customers DROP CONSTRAINT Extra",
       "Customers: schema differs: the CHECK constraint Extra in MySQL is none the file asks for"},
      {"ALTER TABLE Orders ADD CONSTRAINT Again FOREIGN KEY (Customer) REFERENCES Customers (ID)",
       "ALTER TABLE Orders DROP FOREIGN KEY Again",
       "Orders: schema differs: the foreign key Again in MySQL is none the file asks for"},
  };
  ServerQuery query(server_, "vschema_shop");
  for (const auto& change : changes) {
    SCOPED_TRACE(change.change);
    query.Execute(change.change);
    ShellRun verified = Run("verify", shop, "vschema_shop");
    EXPECT_EQ(verified.status, 1) << verified.output;
    EXPECT_TRUE(Has(verified.output, std::string(change.line) + "\n")) << verified.output;
    EXPECT_TRUE(Has(verified.output, "; schema: 1 of 2 tables as planned\n")) << verified.output;
    query.Execute(change.undo);
  }
  EXPECT_EQ(Run("verify", shop, "vschema_shop").status, 0);
}

// A rule the rows break and a relationship with orphans are left out by the
// conversion, and verify expects them absent; so it does every foreign key
// of a MyISAM copy.
TEST_F(VerifySchemaTest, WhatTheDataKeepsOutIsExpectedAbsent) {
  const fs::path broken = WriteShop(true);
  ASSERT_EQ(Run("convert", broken, "vschema_broken", {"--engine", "InnoDB"}).status, 1);
  ShellRun verified = Run("verify", broken, "vschema_broken");
  EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
  EXPECT_TRUE(Has(verified.output,
                  "Orders: schema as planned; the rule >=0 is absent as planned: 1 row breaks "
                  "it; relationship [CustomersOrders] is absent as planned: 1 row names no "
                  "parent\n"))
      << verified.output;

  const fs::path shop = WriteShop(false);
  ASSERT_EQ(Run("convert", shop, "vschema_myisam").status, 0);
  verified = Run("verify", shop, "vschema_myisam");
  EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
  EXPECT_TRUE(Has(verified.output,
                  "Orders: schema as planned; no foreign key is expected of relationship "
                  "[CustomersOrders] with MyISAM\n"))
      << verified.output;
}

// The corpus files with relationships verify clean with InnoDB, their
// section included.
TEST_F(VerifySchemaTest, CorpusRelationshipsVerifyAsPlanned) {
  const fs::path corpus = fs::path(BRACKEN_SHARED_DIR) / "corpus";
  if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus beside the checkout";
  for (const char* name :
       {"jet3/indexTestV1997.mdb", "jet4/indexTestV2000.mdb", "ace/indexTestV2007.accdb"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(Run("convert", corpus / name, "vschema_corpus", {"--engine", "InnoDB"}).status, 0);
    ShellRun verified = Run("verify", corpus / name, "vschema_corpus");
    EXPECT_EQ(verified.status, 0) << verified.output << verified.errors;
    EXPECT_TRUE(Has(verified.output, "Table1: schema as planned")) << verified.output;
    EXPECT_TRUE(Has(verified.output, " tables as planned\n")) << verified.output;
  }
}

}  // namespace
}  // namespace bracken::testing
