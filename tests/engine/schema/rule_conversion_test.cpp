// A file's own rules converted into the test server, for Jet 3, Jet 4 and
// ACE files: defaults as DEFAULT clauses the server fills in, descriptions
// and validation texts as comments, validation rules as CHECK constraints
// the server enforces, and every rule that cannot be kept in the report.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "engine/catalog_source.h"
#include "engine/conversion_run.h"
#include "engine/output/dump_executor.h"
#include "engine/source_connection.h"
#include "expression/translate.h"
#include "tests/engine/server_conversion.h"
#include "tests/support/ace_header.h"
#include "tests/support/fixture_writer.h"
#include "tests/support/json_value.h"
#include "tests/support/recording_owner.h"
#include "tests/support/server_query.h"
#include "tests/support/shell_run.h"

namespace bracken::engine {
namespace {

using testing::ColumnKind;
using testing::FixtureColumn;
using testing::FixtureDatabase;
using testing::FixtureTable;
using testing::FixtureValue;
using testing::MakeColumn;
using V = std::vector<FixtureValue>;

FixtureColumn WithDefault(FixtureColumn column, std::string text) {
  column.defaultValue = std::move(text);
  return column;
}

FixtureColumn WithRule(FixtureColumn column, std::string rule, std::string text = "") {
  column.validationRule = std::move(rule);
  column.validationText = std::move(text);
  return column;
}

// One table with every kind of default, description and rule.
FixtureDatabase RulesFile() {
  FixtureTable orders;
  orders.name = "Orders";
  FixtureColumn name = WithDefault(MakeColumn("Name", ColumnKind::Text, 30), "\"unnamed\"");
  name.description = "Who ordered";
  FixtureColumn quantity =
      WithRule(WithDefault(MakeColumn("Qty", ColumnKind::Long), "1"), ">=0", "No negatives");
  quantity.description = "How many";
  FixtureColumn remark = MakeColumn("Remark", ColumnKind::Text, 20);
  // A required column whose default is Null has none in MySQL.
  FixtureColumn must = WithDefault(MakeColumn("Must", ColumnKind::Text, 5), "Null");
  must.required = true;
  remark.description = std::string(1000, 'd') + "\xc3\xa9 it's" + std::string(100, 'e');
  orders.columns = {
      MakeColumn("ID", ColumnKind::Long),
      name,
      quantity,
      WithDefault(MakeColumn("Paid", ColumnKind::Boolean), "Yes"),
      WithDefault(MakeColumn("Placed", ColumnKind::DateTime), "Now()"),
      WithDefault(MakeColumn("Day", ColumnKind::DateTime), "Date()"),
      WithDefault(MakeColumn("Due", ColumnKind::DateTime), "=Date()+7"),
      WithDefault(MakeColumn("Fixed", ColumnKind::DateTime), "#1/2/2000#"),
      WithDefault(MakeColumn("Price", ColumnKind::Currency), "2.5"),
      WithDefault(MakeColumn("Notes", ColumnKind::Memo), "\"n/a\""),
      WithDefault(MakeColumn("Odd", ColumnKind::Long), "DLookUp(\"A\",\"B\")"),
      WithRule(MakeColumn("Code", ColumnKind::Long), "<100"),
      WithRule(MakeColumn("Lookup", ColumnKind::Long), "DCount(\"*\",\"Orders\")>0"),
      remark,
      WithDefault(MakeColumn("Flag", ColumnKind::Text, 3), "\"toolong\""),
      WithDefault(MakeColumn("Done", ColumnKind::Boolean), "-1"),
      WithDefault(MakeColumn("Count", ColumnKind::Long), "\"many\""),
      WithDefault(MakeColumn("When", ColumnKind::DateTime), "0"),
      must,
  };
  orders.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  // Row 1 breaks the rule of Code; row 2 leaves most columns empty.
  V first(orders.columns.size());
  V second(orders.columns.size());
  first[0] = int64_t{1};
  first[1] = std::string("Ann");
  first[2] = int64_t{3};
  for (std::size_t i = 4; i < 8; ++i) first[i] = 45000.0;
  first[8] = int64_t{10000};
  first[9] = std::string("x");
  first[11] = int64_t{150};
  second[0] = int64_t{2};
  second[1] = std::string("Bo");
  second[11] = int64_t{5};
  for (V* row : {&first, &second}) {
    (*row)[3] = row == &first;
    (*row)[15] = row != &first;
    row->back() = std::string("m");
  }
  orders.rows = {first, second};
  orders.description = std::string(2100, 't');
  orders.validationRule = "[Qty]<1000";
  FixtureDatabase file;
  file.tables = {orders};
  return file;
}

struct Flavour {
  const char* name;
  std::function<std::string(const FixtureDatabase&)> write;
};

class RuleConversion : public ::testing::TestWithParam<Flavour> {};

TEST_P(RuleConversion, TheServerHoldsDefaultsCommentsAndChecks) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  const std::string database = std::string("eng_rules_") + GetParam().name;
  source::Catalog catalog;
  catalog.OpenBuffer(GetParam().write(RulesFile()), "");
  CatalogSource source(catalog, "");
  ServerConversion run = ConvertAll(server, source, {"Orders"}, database);
  EXPECT_EQ(run.summary.ending, RunEnding::Completed);
  EXPECT_EQ(run.summary.rowsRefused, 0);
  EXPECT_EQ(run.summary.rulesNotKept, 6);
  EXPECT_EQ(run.summary.valuesChanged, 2);  // the two cut descriptions
  EXPECT_TRUE(run.summary.Lost());
  EXPECT_NE(run.reportMessage.find("6 rules not kept"), std::string::npos) << run.reportMessage;
  const std::vector<std::string> expected = {
      "Table [Orders], column [Odd]: the default value DLookUp(\"A\",\"B\") is left out: not "
      "translatable, because " +
          expression::Translate("DLookUp(\"A\",\"B\")",
                                expression::Context::ForDefault(expression::ValueKind::Number, {}))
              .reason +
          ".",
      "Table [Orders], column [Remark]: the description is cut to the server's limit of 1024 "
      "characters.",
      "Table [Orders], column [Flag]: the default value \"toolong\" is left out: it is longer "
      "than the column's 3 characters.",
      "Table [Orders], column [Count]: the default value \"many\" is left out: the server takes "
      "no such value as a number.",
      "Table [Orders], column [When]: the default value 0 is left out: the server takes no such "
      "value as a date.",
      "Table [Orders]: the description is cut to the server's limit of 2048 characters.",
      "Table [Orders], column [Code]: the validation rule <100 is not kept: 1 row breaks it.",
      "Table [Orders], column [Lookup]: the validation rule DCount(\"*\",\"Orders\")>0 is not "
      "kept: not translatable, because " +
          expression::Translate("DCount(\"*\",\"Orders\")>0",
                                expression::Context::ForColumnRule({"Lookup", "`Lookup`"}, {}))
              .reason +
          ".",
  };
  EXPECT_EQ(run.reportLines, expected);

  testing::ServerQuery query(server, database);
  const std::string where = "FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" + database +
                            "' AND TABLE_NAME = 'Orders' AND COLUMN_NAME = ";
  EXPECT_EQ(query.Value("SELECT COLUMN_COMMENT " + where + "'Name'"), "Who ordered");
  EXPECT_EQ(query.Value("SELECT COLUMN_COMMENT " + where + "'Qty'"),
            "How many\nValidation text: No negatives");
  EXPECT_EQ(query.Value("SELECT COLUMN_COMMENT " + where + "'Remark'"),
            std::string(1000, 'd') + "\xc3\xa9 it's" + std::string(18, 'e'));
  EXPECT_EQ(query.Value("SELECT COLUMN_COMMENT " + where + "'ID'"), "");
  // MariaDB names a NULL default "NULL", MySQL gives none.
  EXPECT_EQ(query.Value("SELECT IFNULL(COLUMN_DEFAULT, 'NULL') " + where + "'Odd'"), "NULL");
  EXPECT_EQ(query.Value("SELECT IFNULL(COLUMN_DEFAULT, 'NULL') " + where + "'Code'"), "NULL");
  EXPECT_EQ(query.Value("SELECT TABLE_COMMENT FROM information_schema.TABLES WHERE "
                        "TABLE_SCHEMA = '" +
                        database + "' AND TABLE_NAME = 'Orders'"),
            std::string(2048, 't'));
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONSTRAINT_NAME ORDER BY CONSTRAINT_NAME) FROM "
                        "information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
                        database + "'"),
            "Orders_Qty,Orders_rule");

  // The server fills in every default of a row that leaves them out.
  query.Execute("INSERT INTO Orders (ID, Must) VALUES (10, 'm')");
  EXPECT_EQ(query.Rows("SELECT Name, Qty, Paid + 0, Placed >= NOW() - INTERVAL 1 MINUTE, "
                       "Day = CURDATE(), Due = CURDATE() + INTERVAL 7 DAY, Fixed, Price, Notes, "
                       "Odd, Code, Flag, Done + 0 FROM Orders WHERE ID = 10"),
            (std::vector<testing::Row>{{"unnamed", "1", "1", "1", "1", "1", "2000-01-02 00:00:00",
                                        "2.5000", "n/a", std::nullopt, std::nullopt, std::nullopt,
                                        "1"}}));
  // The rules hold: a breaking row is refused, a valid one accepted, and
  // the rule that a stored row breaks was not created.
  EXPECT_THROW(query.Execute("INSERT INTO Orders (ID, Must, Qty) VALUES (11, 'm', -1)"),
               std::runtime_error);
  EXPECT_THROW(query.Execute("INSERT INTO Orders (ID, Must, Qty) VALUES (12, 'm', 5000)"),
               std::runtime_error);
  query.Execute("INSERT INTO Orders (ID, Must, Qty, Code) VALUES (13, 'm', 0, 500)");
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Orders"), "4");
  query.Execute("DROP DATABASE `" + database + "`");
}

INSTANTIATE_TEST_SUITE_P(
    Files, RuleConversion,
    ::testing::Values(
        Flavour{"jet3", [](const FixtureDatabase& file) { return testing::WriteJet3(file); }},
        Flavour{"jet4", [](const FixtureDatabase& file) { return testing::WriteJet4(file); }},
        Flavour{"ace",
                [](const FixtureDatabase& file) {
                  return testing::AceFromJet4(testing::WriteJet4(file));
                }}),
    [](const ::testing::TestParamInfo<Flavour>& info) { return std::string(info.param.name); });

// The checks are created with the table and held against the rows after
// them. A constraint the server refuses (MariaDB takes no CHECK on an
// AUTO_INCREMENT column) costs only its own rule: the table is created
// without it, the other rules are kept, and every row arrives, the ones
// that break a rule too.
TEST(RuleChecks, ARefusedConstraintCostsOnlyItsRuleAndNoRowIsRefused) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  FixtureTable parts;
  parts.name = "Parts";
  FixtureColumn id = WithRule(MakeColumn("ID", ColumnKind::Long), ">0");
  id.autoNumber = true;
  parts.columns = {id, WithRule(MakeColumn("Stock", ColumnKind::Long), ">=0"),
                   WithRule(MakeColumn("Bin", ColumnKind::Long), "<50")};
  parts.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  parts.rows = {{int64_t{1}, int64_t{4}, int64_t{70}},
                {int64_t{2}, int64_t{0}, int64_t{80}},
                {int64_t{3}, int64_t{9}, int64_t{5}}};
  FixtureDatabase file;
  file.tables = {parts};
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(file), "");
  CatalogSource source(catalog, "");
  const std::string database = "eng_rules_refused";
  ServerConversion run = ConvertAll(server, source, {"Parts"}, database);
  EXPECT_EQ(run.summary.rowsRefused, 0);
  EXPECT_EQ(run.summary.rulesNotKept, 2);
  std::vector<std::string> lines = run.reportLines;
  std::sort(lines.begin(), lines.end());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0],
            "Table [Parts], column [Bin]: the validation rule <50 is not kept: 2 rows break it.");
  EXPECT_EQ(lines[1].rfind("Table [Parts], column [ID]: the validation rule >0 is not kept: the "
                           "server refused it: ",
                           0),
            0u)
      << lines[1];
  testing::ServerQuery query(server, database);
  EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Parts"), "3");
  EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONSTRAINT_NAME) FROM "
                        "information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
                        database + "'"),
            "Parts_Stock");
  // The kept rule holds in every other session; the dropped one does not.
  EXPECT_THROW(query.Execute("INSERT INTO Parts (Stock, Bin) VALUES (-1, 1)"), std::runtime_error);
  query.Execute("INSERT INTO Parts (Stock, Bin) VALUES (1, 99)");
  query.Execute("DROP DATABASE `" + database + "`");
}

// The dump of the same file, loaded with the mariadb client: the rule some
// row breaks is left out by the replay itself, the others are created.
// Without rules, the file holds none of them and the report is empty.
TEST(RuleDump, TheReplayCreatesTheChecksTheRowsKeepAndNoRulesLeavesThemOut) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("bracken_rules_" + std::to_string(getpid()));
  fs::create_directories(dir);
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(RulesFile()), "");
  target::ServerTraits traits;
  traits.version = "10.11.6-MariaDB";
  traits.isMariaDb = true;
  traits.maxAllowedPacket = 16u << 20;
  for (bool carryRules : {true, false}) {
    SCOPED_TRACE(carryRules ? "rules" : "no rules");
    const std::string database = carryRules ? "eng_rules_dump" : "eng_rules_dump_none";
    std::ostringstream out;
    out << DumpHeader("rules.mdb", "today", traits);
    DumpStatementExecutor executor(out, traits, "the dump");
    CatalogSource source(catalog, "");
    ConversionContext context(executor, source);
    context.carryRules = carryRules;
    testing::RecordingOwner owner;
    owner.SetTables({"Orders"}, {true});
    owner.SetDestinationName(database);
    ConversionSummary summary = RunConversion(owner, context);
    EXPECT_EQ(summary.ending, RunEnding::Completed);
    const fs::path dump = dir / (database + ".sql");
    std::ofstream(dump, std::ios::binary) << out.str();
    testing::ShellRun loaded = testing::RunShell(
        "MYSQL_PWD=" + testing::ShellQuoted(server.password) + " mariadb -h " +
            testing::ShellQuoted(server.host) + " -P " + std::to_string(server.port) + " -u " +
            testing::ShellQuoted(server.user) + " < " + testing::ShellQuoted(dump.string()),
        dir);
    ASSERT_EQ(loaded.status, 0) << loaded.errors;
    testing::ServerQuery query(server, database);
    EXPECT_EQ(query.Value("SELECT COUNT(*) FROM Orders"), "2");
    EXPECT_EQ(query.Value("SELECT GROUP_CONCAT(CONSTRAINT_NAME ORDER BY CONSTRAINT_NAME) FROM "
                          "information_schema.CHECK_CONSTRAINTS WHERE CONSTRAINT_SCHEMA = '" +
                          database + "'"),
              carryRules ? testing::Cell("Orders_Qty,Orders_rule") : std::nullopt);
    EXPECT_EQ(
        query.Value("SELECT COUNT(*) FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                    database +
                    "' AND (COLUMN_COMMENT <> '' OR IFNULL(COLUMN_DEFAULT, 'NULL') <> 'NULL')"),
        carryRules ? "11" : "0");
    if (!carryRules) {
      EXPECT_TRUE(owner.reportLines.empty());
      EXPECT_EQ(summary.rulesNotKept, 0);
    }
    query.Execute("DROP DATABASE `" + database + "`");
  }
  fs::remove_all(dir);
}

// For MySQL 5.7 (a dump for the oldest server supported): plain defaults
// only, no CHECK, each rule named with what the server lacks.
TEST(RuleDump, AnOlderServerKeepsPlainDefaultsAndNamesTheRest) {
  source::Catalog catalog;
  catalog.OpenBuffer(testing::WriteJet4(RulesFile()), "");
  target::ServerTraits traits;
  traits.version = "5.7.44";
  traits.maxAllowedPacket = 16u << 20;
  std::ostringstream out;
  DumpStatementExecutor executor(out, traits, "the dump");
  CatalogSource source(catalog, "");
  ConversionContext context(executor, source);
  testing::RecordingOwner owner;
  owner.SetTables({"Orders"}, {true});
  owner.SetDestinationName("eng_rules_old");
  ConversionSummary summary = RunConversion(owner, context);
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  auto has = [&](const std::string& line) {
    return std::find(owner.reportLines.begin(), owner.reportLines.end(), line) !=
           owner.reportLines.end();
  };
  EXPECT_TRUE(
      has("Table [Orders], column [Qty]: the validation rule >=0 is not kept: the server "
          "does not enforce CHECK constraints (MariaDB 10.2 and MySQL 8.0.16 do)."));
  EXPECT_TRUE(
      has("Table [Orders], column [Due]: the default value =Date()+7 is left out: the "
          "server takes only plain values as defaults (MariaDB 10.2 and MySQL 8.0.13 "
          "take expressions)."));
  EXPECT_TRUE(
      has("Table [Orders], column [Notes]: the default value \"n/a\" is left out: the "
          "server takes no default on a LONGTEXT column (MariaDB 10.2 and MySQL 8.0.13 "
          "do)."));
  EXPECT_TRUE(
      has("Table [Orders], column [Lookup]: the validation rule DCount(\"*\",\"Orders\")>0 "
          "is not kept: not translatable, because " +
          expression::Translate("DCount(\"*\",\"Orders\")>0",
                                expression::Context::ForColumnRule({"Lookup", "`Lookup`"}, {}))
              .reason +
          "."))
      << ::testing::PrintToString(owner.reportLines);
  const std::string dump = out.str();
  EXPECT_EQ(dump.find("CHECK"), std::string::npos);
  EXPECT_NE(dump.find("`Placed` DATETIME NULL DEFAULT CURRENT_TIMESTAMP"), std::string::npos);
  EXPECT_NE(dump.find("`Name` VARCHAR(30) NULL DEFAULT 'unnamed' COMMENT 'Who ordered'"),
            std::string::npos);
}

// The corpus files' defaults (0, No and GenGUID()) as the independent reader
// sees them: each fills in a row that leaves its column out.
TEST(RuleCorpus, EveryDefaultOfTheCorpusArrives) {
  BRACKEN_REQUIRE_TEST_SERVER(server);
  namespace fs = std::filesystem;
  const fs::path corpus = fs::path(BRACKEN_SHARED_DIR) / "corpus";
  if (!fs::exists(corpus)) GTEST_SKIP() << "no corpus beside the checkout";
  int checked = 0;
  for (const char* name : {"jet3/testV1997.mdb", "jet4/testV2000.mdb", "ace/testV2007.accdb",
                           "ace/withInsertedColV2016.accdb", "ace/indexTestV2007.accdb"}) {
    SCOPED_TRACE(name);
    const fs::path file = corpus / name;
    const testing::JsonValue schema =
        testing::ReadJsonFile(fs::path(file).replace_extension(".schema.json").string());
    const std::string connectionText = BuildConnectionText(file.string(), "");
    source::Catalog catalog;
    catalog.SetActiveConnection(connectionText);
    CatalogSource source(catalog, connectionText);
    const std::string database = "eng_rules_corpus";
    ServerConversion run = ConvertAll(server, source, ListTableNames(catalog), database);
    EXPECT_EQ(run.summary.ending, RunEnding::Completed);
    EXPECT_EQ(run.summary.rowsRefused, 0);
    testing::ServerQuery query(server, database);
    // Columns without a default take their type's zero in the probe row.
    query.Execute("SET SESSION sql_mode = ''");
    for (const auto& [table, columns] : schema["columns"].members) {
      for (const auto& [column, properties] : columns.members) {
        const testing::JsonValue& value = properties["DefaultValue"];
        if (value.IsNull() || value.text.empty()) continue;
        const std::string where = " FROM information_schema.COLUMNS WHERE TABLE_SCHEMA = '" +
                                  database + "' AND TABLE_NAME = '" + table +
                                  "' AND COLUMN_NAME = '" + column + "'";
        std::vector<testing::Row> found = query.Rows("SELECT EXTRA, IS_NULLABLE" + where);
        if (found.empty()) continue;  // a system or temporary table not converted
        if (found[0][0]->find("auto_increment") != std::string::npos) continue;
        // A new identifier per row, in the text form of the converted ones.
        const std::string zero = value.text == "GenGUID()"
                                     ? "`" + column + "` RLIKE '^[{][0-9A-F-]{36}[}]$'"
                                     : "`" + column + "` = 0";
        // A row of defaults alone, read back column by column.
        query.Execute("CREATE TEMPORARY TABLE probe LIKE `" + table + "`");
        EXPECT_NO_THROW(query.Execute("INSERT INTO probe () VALUES ()")) << table << "." << column;
        EXPECT_EQ(query.Value("SELECT " + zero + " FROM probe"), "1")
            << table << "." << column << " " << value.text;
        query.Execute("DROP TEMPORARY TABLE probe");
        ++checked;
      }
    }
    EXPECT_EQ(run.summary.rulesNotKept, 0);
    // Only the relationships MyISAM cannot hold are named.
    std::vector<std::string> others;
    for (const std::string& line : run.reportLines) {
      if (line.find("MyISAM has no foreign keys") == std::string::npos) others.push_back(line);
    }
    EXPECT_EQ(others, std::vector<std::string>{});
    query.Execute("DROP DATABASE `" + database + "`");
  }
  EXPECT_GT(checked, 10);
}

}  // namespace
}  // namespace bracken::engine
