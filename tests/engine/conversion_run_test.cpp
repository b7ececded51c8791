#include "engine/conversion_run.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "engine/run_report.h"
#include "engine/schema/column_definitions.h"
#include "tests/support/fake_source.h"
#include "tests/support/recording_owner.h"
#include "tests/support/recording_target.h"

namespace bracken::engine {
namespace {

using source::Variant;
using testing::FakeTable;
using testing::Key;
using testing::LongColumn;
using testing::TextColumn;

const char* kCompleted = "Message: Bracken database conversion completed successfully.";
// The overwrite question for [shop] where the server does not tell its tables.
const std::string kOverwriteShop =
    "Message: " + OverwriteQuestion("shop", std::nullopt) + " [icon]";

FakeTable Orders() {
  FakeTable table;
  table.columns = {LongColumn("OrderID", true, false), TextColumn("Customer")};
  table.indexes = {Key("PrimaryKey", {"OrderID"}, true, true)};
  table.rows = {{Variant::Long(1), Variant::Text("O'Neil")}, {Variant::Long(2), Variant()}};
  return table;
}

FakeTable OneRow(int value) {
  FakeTable table;
  table.columns = {LongColumn("N")};
  table.rows = {{Variant::Long(value)}};
  return table;
}

class ConversionRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    source_.tables["Orders"] = Orders();
    source_.tables["A"] = OneRow(1);
    source_.tables["B"] = OneRow(2);
    source_.tables["C"] = OneRow(3);
    owner_.SetDestinationName("shop");
  }
  ConversionSummary Run(std::vector<std::string> names, std::vector<bool> checked = {}) {
    if (checked.empty()) checked.assign(names.size(), true);
    owner_.SetTables(names, checked);
    return RunConversion(owner_, context_);
  }
  bool Logged(const std::string& line) const {
    return std::find(owner_.log.begin(), owner_.log.end(), line) != owner_.log.end();
  }
  // The controls of an idle second page after the run (untouched controls
  // keep their idle state: shown and enabled, the progress area hidden).
  void ExpectIdlePage() const {
    auto shown = [&](int id, bool idle) {
      auto found = owner_.visible.find(id);
      return found == owner_.visible.end() ? idle : found->second;
    };
    auto enabled = [&](int id) {
      auto found = owner_.enabled.find(id);
      return found == owner_.enabled.end() || found->second;
    };
    EXPECT_TRUE(shown(1004, true));
    EXPECT_TRUE(shown(1009, true));
    EXPECT_FALSE(shown(1007, false));
    for (int id : {1003, 1024, 1019}) EXPECT_TRUE(enabled(id)) << id;
    for (int id : {1032, 1030, 1031, 1040, 1041}) EXPECT_FALSE(shown(id, false)) << id;
    EXPECT_FALSE(owner_.timerRunning);
  }
  testing::FakeSource source_;
  testing::RecordingTarget target_;
  testing::RecordingOwner owner_;
  ConversionContext context_{target_, source_};
};

TEST_F(ConversionRunTest, OrdersFromStartToCompletion) {
  ConversionSummary summary = Run({"Orders"});
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(
      target_.statements,
      (std::vector<std::string>{
          "USE `shop`", "CREATE DATABASE `shop`", "USE `shop`", "DROP TABLE IF EXISTS `Orders`",
          "CREATE TABLE `Orders`(`OrderID` INT NOT NULL AUTO_INCREMENT, `Customer` "
          "VARCHAR(50) NULL,  PRIMARY KEY(`OrderID`))ENGINE=myisam DEFAULT CHARSET=utf8;",
          "INSERT INTO `Orders` VALUES(1,'O\\'Neil');", "INSERT INTO `Orders` VALUES(2,'');"}));
  EXPECT_EQ(owner_.log, (std::vector<std::string>{
                            "range 1031 0 1",
                            "step 1031 1",
                            "text 1041 0 of 1 Table(s) are converted.",
                            "disable 1003",
                            "disable 1024",
                            "disable 1019",
                            "hide 1004",
                            "hide 1009",
                            "show 1007",
                            "show 1032",
                            "position 1030 0",
                            "position 1031 0",
                            "show 1030",
                            "show 1031",
                            "show 1040",
                            "show 1041",
                            "timer on 1 10",
                            "caption Converting Table: [Orders] 1 rows converted...",
                            "caption Converting Table: [Orders] 2 rows converted...",
                            "text 1041 1 of 1 Table(s) are converted.",
                            "stepit 1031",
                            "position 1030 100",
                            "timer off 1",
                            "item 0 off",
                            "caption Quillon Database Converter - Bracken",
                            "check 1024 off",
                            "enable 1003",
                            "enable 1024",
                            "enable 1019",
                            "hide 1007",
                            "show 1004",
                            "show 1009",
                            "hide 1032",
                            "hide 1030",
                            "hide 1031",
                            "hide 1040",
                            "hide 1041",
                            "message Message: Bracken database conversion completed successfully.",
                            "check 1024 off",
                            "enable 1003",
                            "enable 1024",
                            "enable 1019",
                            "hide 1007",
                            "show 1004",
                            "show 1009",
                            "hide 1032",
                            "hide 1030",
                            "hide 1031",
                            "hide 1040",
                            "hide 1041"}));
}

TEST_F(ConversionRunTest, ChecksEndTheRunBeforeAnythingIsSent) {
  owner_.SetDestinationName("");
  EXPECT_EQ(Run({"A", "B"}, {false, false}).ending, RunEnding::NoTableChecked);
  EXPECT_EQ(owner_.messages.back(),
            "Message: Please select at least one table to continue the conversion.");
  EXPECT_EQ(Run({"A"}).ending, RunEnding::NameEmpty);
  EXPECT_EQ(owner_.messages.back(), "Message: Please enter MySQL destination database name.");
  EXPECT_TRUE(target_.statements.empty());
  ExpectIdlePage();
}

TEST_F(ConversionRunTest, TheNameLimitCountsCharactersNotBytes) {
  std::string name64(62, 'a');
  name64 += "\xc3\xa9\xc3\xa9";  // 64 characters, 66 bytes
  owner_.SetDestinationName(name64);
  EXPECT_EQ(Run({"A"}).ending, RunEnding::Completed);
  std::string name65(65, 'n');
  owner_.SetDestinationName(name65);
  owner_.log.clear();
  target_.statements.clear();
  EXPECT_EQ(Run({"A"}).ending, RunEnding::NameTooLong);
  EXPECT_EQ(owner_.messages.back(), "Message: MySQL Destination Database Name [" + name65 +
                                        "] is too long.Maximum length is 64.");
  EXPECT_TRUE(target_.statements.empty());
  // No control is changed beyond the table bar and the hidden status label.
  EXPECT_FALSE(Logged("disable 1003"));
  EXPECT_FALSE(Logged("enable 1003"));
}

TEST_F(ConversionRunTest, AnExistingDatabaseIsReplacedOnlyOnYes) {
  target_.databases.insert("`shop`");
  owner_.answers = {MessageAnswer::No};
  EXPECT_EQ(Run({"A"}).ending, RunEnding::OverwriteDeclined);
  EXPECT_EQ(target_.statements, std::vector<std::string>{"USE `shop`"});
  EXPECT_EQ(owner_.messages.back(), kOverwriteShop);
  ExpectIdlePage();
  owner_.answers = {MessageAnswer::Yes};
  EXPECT_EQ(Run({"A"}).ending, RunEnding::Completed);
  EXPECT_EQ(target_.statements[2], "DROP DATABASE IF EXISTS `shop`");
  // A second run into the same name asks again.
  owner_.messages.clear();
  Run({"A"});
  EXPECT_EQ(owner_.messages.front(), kOverwriteShop);
}

// The question keeps its first line and names the database and what the
// server says it holds; the count is asked before the question.
TEST_F(ConversionRunTest, TheOverwriteQuestionCountsTheTablesItDeletes) {
  EXPECT_EQ(OverwriteQuestion("shop", 3),
            "Are you sure you want to overwrite?\n\nThe conversion will delete the database "
            "[shop] and the 3 tables it holds.");
  EXPECT_EQ(OverwriteQuestion("a", 1),
            "Are you sure you want to overwrite?\n\nThe conversion will delete the database [a] "
            "and the 1 table it holds.");
  EXPECT_EQ(OverwriteQuestion("a", 0),
            "Are you sure you want to overwrite?\n\nThe conversion will delete the database "
            "[a]; it holds no tables.");
  EXPECT_EQ(OverwriteQuestion("a", std::nullopt),
            "Are you sure you want to overwrite?\n\nThe conversion will delete the database [a] "
            "and everything it holds.");

  target_.databases.insert("`shop`");
  target_.tableCount = 2;
  owner_.answers = {MessageAnswer::No};
  EXPECT_EQ(Run({"A"}).ending, RunEnding::OverwriteDeclined);
  EXPECT_EQ(owner_.messages.back(), "Message: " + OverwriteQuestion("shop", 2) + " [icon]");
}

// A login that may drop the existing database but not create it again is
// refused before the question, with nothing sent after USE; where both are
// granted, or the grants cannot be read, the statements are those of any run.
TEST_F(ConversionRunTest, ALoginThatCannotCreateTheDatabaseAgainKeepsIt) {
  target_.databases.insert("`shop`");
  target_.rights = target::DatabaseRights{false, true};
  EXPECT_EQ(Run({"A"}).ending, RunEnding::CreateNotGranted);
  EXPECT_EQ(target_.statements, std::vector<std::string>{"USE `shop`"});
  EXPECT_EQ(target_.rightsAsked, std::vector<std::string>{"shop"});
  EXPECT_EQ(owner_.messages,
            std::vector<std::string>{
                "Message: The database [shop] was not replaced: the MySQL login may drop it but "
                "lacks the CREATE privilege on it, so it could not be created again. Nothing was "
                "dropped."});
  EXPECT_TRUE(target_.databases.count("`shop`"));
  ExpectIdlePage();
  EXPECT_EQ(CreateNotGrantedMessage("a", false),
            "The database [a] was not replaced: the MySQL login lacks the DROP and CREATE "
            "privileges on it. Nothing was dropped.");

  // The same when CREATE DATABASE finds a database that USE did not.
  target_.statements.clear();
  target_.Refuse("USE `shop`", "Unknown database 'shop'", 0, 1049);
  EXPECT_EQ(Run({"A"}).ending, RunEnding::CreateNotGranted);
  EXPECT_EQ(target_.statements, (std::vector<std::string>{"USE `shop`", "CREATE DATABASE `shop`"}));

  std::vector<std::vector<std::string>> sent;
  for (std::optional<target::DatabaseRights> rights :
       {std::optional<target::DatabaseRights>(target::DatabaseRights{true, true}),
        std::optional<target::DatabaseRights>()}) {
    SetUp();
    target_ = testing::RecordingTarget();
    target_.databases.insert("`shop`");
    target_.rights = rights;
    owner_.messages.clear();
    EXPECT_EQ(Run({"A"}).ending, RunEnding::Completed);
    EXPECT_EQ(owner_.messages.front(), kOverwriteShop);
    sent.push_back(target_.statements);
  }
  EXPECT_EQ(sent[0], sent[1]);
  EXPECT_EQ(sent[0][1], "DROP DATABASE IF EXISTS `shop`");
}

// Where the grants did not tell, a CREATE DATABASE refused after an accepted
// DROP ends as a loss, not as a run that did nothing; a refused DROP leaves
// the database, and the run ends as refused.
TEST_F(ConversionRunTest, ACreateRefusedAfterTheDropIsALoss) {
  target_.databases.insert("`shop`");
  target_.Refuse("CREATE DATABASE", "Access denied for user 'u'@'%' to database 'shop'", 0, 1044);
  EXPECT_EQ(Run({"A"}).ending, RunEnding::DatabaseDropped);
  EXPECT_EQ(target_.statements,
            (std::vector<std::string>{"USE `shop`", "DROP DATABASE IF EXISTS `shop`",
                                      "CREATE DATABASE `shop`"}));
  EXPECT_EQ(owner_.messages,
            (std::vector<std::string>{
                kOverwriteShop, "Bracken: Access denied for user 'u'@'%' to database 'shop'",
                "Message: The database [shop] was dropped and could not be created again; what "
                "it held is lost."}));
  ExpectIdlePage();

  SetUp();
  target_ = testing::RecordingTarget();
  target_.databases.insert("`shop`");
  target_.Refuse("DROP DATABASE", "Access denied", 0, 1044);
  owner_.messages.clear();
  EXPECT_EQ(Run({"A"}).ending, RunEnding::DatabaseRefused);
  EXPECT_EQ(owner_.messages.back(), "Bracken: Can't create database; database exists");
}

TEST_F(ConversionRunTest, TheServersOwnSchemasAreNeverADestination) {
  for (const char* name : {"mysql", "SYS", "information_schema", "Performance_Schema"}) {
    owner_.SetDestinationName(name);
    EXPECT_EQ(Run({"A"}).ending, RunEnding::NameReserved) << name;
    EXPECT_EQ(owner_.messages.back(), "Message: " + ReservedNameMessage(name));
  }
  EXPECT_TRUE(target_.statements.empty());
  owner_.SetDestinationName("sysadmin");
  EXPECT_EQ(Run({"A"}).ending, RunEnding::Completed);
}

// Two runs into one name started together: the database the other run
// created between our USE and our CREATE is not dropped unasked.
TEST_F(ConversionRunTest, ADatabaseThatAppearsAfterUseIsReplacedOnlyWhenAsked) {
  target_.Refuse("USE `shop`", "Unknown database 'shop'", 0, 1049);
  target_.databases.insert("`shop`");  // CREATE DATABASE finds it
  owner_.answers = {MessageAnswer::No};
  EXPECT_EQ(Run({"A"}).ending, RunEnding::OverwriteDeclined);
  EXPECT_EQ(target_.statements, (std::vector<std::string>{"USE `shop`", "CREATE DATABASE `shop`"}));
  EXPECT_EQ(owner_.messages.back(), kOverwriteShop);
  target_.statements.clear();
  owner_.answers = {MessageAnswer::Yes};
  EXPECT_EQ(Run({"A"}).ending, RunEnding::Completed);
  EXPECT_EQ(std::vector<std::string>(target_.statements.begin(), target_.statements.begin() + 4),
            (std::vector<std::string>{"USE `shop`", "CREATE DATABASE `shop`",
                                      "DROP DATABASE IF EXISTS `shop`", "CREATE DATABASE `shop`"}));
}

TEST_F(ConversionRunTest, ATableDroppedDuringItsCopyFailsOnceAndTheRunGoesOn) {
  for (int i = 0; i < 100; ++i) source_.tables["B"].rows.push_back({Variant::Long(i)});
  target_.Refuse("INSERT INTO `B`", "Table 'shop.B' doesn't exist", 3, 1146);
  ConversionSummary summary = Run({"A", "B", "C"});
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(summary.tablesConverted, 2);
  EXPECT_EQ(summary.tablesFailed, 1);
  EXPECT_EQ(summary.rowsRefused, 0);
  EXPECT_EQ(owner_.messages, (std::vector<std::string>{"Message: Table 'shop.B' doesn't exist",
                                                       "Report: " + LossMessage(summary)}));
  EXPECT_EQ(target_.statements.back(), "INSERT INTO `C` VALUES(3);");
}

TEST_F(ConversionRunTest, RenamesAloneEndInTheReportWithTheSuccessMessage) {
  FakeTable table = OneRow(1);
  const std::string longName(70, 'x');
  table.columns = {LongColumn("Name"), LongColumn("NAME "), LongColumn(longName)};
  table.rows = {{Variant::Long(1), Variant::Long(2), Variant::Long(3)}};
  source_.tables["Pets \xf0\x9f\x90\xbe"] = table;
  ConversionSummary summary = Run({"Pets \xf0\x9f\x90\xbe"});
  EXPECT_FALSE(summary.Lost());
  EXPECT_EQ(owner_.reportMessage, kCompletedMessage);
  EXPECT_EQ(
      owner_.reportLines,
      (std::vector<std::string>{
          "Table [Pets \xf0\x9f\x90\xbe] is created as [Pets _] (MySQL does not accept the "
          "name as it is).",
          "Table [Pets \xf0\x9f\x90\xbe], column [NAME ] is created as [NAME_2] (MySQL does not "
          "accept the name as it is).",
          "Table [Pets \xf0\x9f\x90\xbe], column [" + longName + "] is created as [" +
              std::string(64, 'x') + "] (MySQL does not accept the name as it is)."}));
  EXPECT_EQ(target_.statements[4], "CREATE TABLE `Pets _`(`Name` INT NULL, `NAME_2` INT NULL, `" +
                                       std::string(64, 'x') +
                                       "` INT NULL)ENGINE=myisam DEFAULT CHARSET=utf8;");
}

TEST_F(ConversionRunTest, ARefusedCreateDatabaseEndsTheRunWithTheServersText) {
  owner_.SetDestinationName("a`b");
  target_.Refuse("CREATE DATABASE", "Access denied for user");
  EXPECT_EQ(Run({"A"}).ending, RunEnding::DatabaseRefused);
  EXPECT_EQ(target_.statements, (std::vector<std::string>{"USE `a``b`", "CREATE DATABASE `a``b`"}));
  EXPECT_EQ(owner_.messages, std::vector<std::string>{"Bracken: Access denied for user"});
  ExpectIdlePage();
}

TEST_F(ConversionRunTest, ARefusedCreateTableKeepsEarlierTablesAndTheCheckMarks) {
  target_.Refuse("CREATE TABLE `B`", "Incorrect column specifier");
  ConversionSummary summary = Run({"A", "B", "C"});
  EXPECT_EQ(summary.ending, RunEnding::TableFailed);
  EXPECT_EQ(summary.tablesConverted, 1);
  EXPECT_EQ(owner_.messages, (std::vector<std::string>{"Message: Incorrect column specifier",
                                                       "Report: " + LossMessage(summary)}));
  EXPECT_EQ(owner_.reportLines, std::vector<std::string>{"Table [B] was not converted completely: "
                                                         "Incorrect column specifier"});
  EXPECT_EQ(owner_.texts[1041], "1 of 3 Table(s) are converted.");
  EXPECT_EQ(owner_.caption, kProductTitle);
  EXPECT_EQ(owner_.listChecked, (std::vector<bool>{true, true, true}));
  EXPECT_FALSE(
      std::any_of(target_.statements.begin(), target_.statements.end(),
                  [](const std::string& s) { return s.find("`C`") != std::string::npos; }));
  ExpectIdlePage();
}

TEST_F(ConversionRunTest, LockedTablesAreSkippedWhereverTheyStand) {
  for (int locked = 0; locked < 3; ++locked) {
    SetUp();
    std::string name = std::string(1, static_cast<char>('A' + locked));
    source_.tables[name].openFailure = testing::kLockedDescription;
    owner_.messages.clear();
    target_.statements.clear();
    target_.databases.clear();
    ConversionSummary summary = Run({"A", "B", "C"});
    // Every position ends like any other run, the last one too.
    EXPECT_EQ(summary.ending, RunEnding::Completed) << name;
    EXPECT_EQ(summary.tablesConverted, 2) << name;
    EXPECT_EQ(summary.tablesSkipped, 1) << name;
    // A skipped table is a loss: the run does not call itself successful.
    EXPECT_EQ(owner_.messages,
              (std::vector<std::string>{"Message: " + std::string(kTableLockedMessage),
                                        "Report: Bracken database conversion ended, but not "
                                        "everything was converted: 1 table skipped. Each is "
                                        "listed in the report."}))
        << name;
    EXPECT_EQ(owner_.texts[1041], "2 of 3 Table(s) are converted.") << name;
    EXPECT_EQ(owner_.caption, kProductTitle) << name;
    EXPECT_EQ(owner_.listChecked, (std::vector<bool>{false, false, false})) << name;
    EXPECT_EQ(std::count_if(target_.statements.begin(), target_.statements.end(),
                            [](const std::string& s) { return s.rfind("CREATE TABLE", 0) == 0; }),
              2)
        << name;
    ExpectIdlePage();
  }
}

TEST_F(ConversionRunTest, StopDuringRowsEndsAfterThatTableUncounted) {
  owner_.onCaption = [&](const std::string& caption) {
    if (caption.find("[B]") != std::string::npos) context_.stopRequested = true;
  };
  ConversionSummary summary = Run({"A", "B", "C"});
  EXPECT_EQ(summary.ending, RunEnding::Stopped);
  EXPECT_EQ(summary.tablesConverted, 1);
  EXPECT_EQ(owner_.texts[1041], "1 of 3 Table(s) are converted.");
  EXPECT_EQ(owner_.position[1031], 1);
  EXPECT_TRUE(owner_.messages.empty());
  EXPECT_EQ(owner_.listChecked, (std::vector<bool>{false, false, false}));
  EXPECT_EQ(target_.statements.back(), "INSERT INTO `B` VALUES(2);");
  ExpectIdlePage();
}

TEST_F(ConversionRunTest, AStopRequestBeforeATablesRowsIsCleared) {
  context_.stopRequested = true;  // pressed before any rows were copied
  ConversionSummary summary = Run({"A", "B", "C"});
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(summary.tablesConverted, 3);
  EXPECT_EQ(owner_.messages, std::vector<std::string>{kCompleted});
}

TEST_F(ConversionRunTest, ALostConnectionIsShownOnceAndEndsTheRun) {
  for (int i = 0; i < 1000; ++i) source_.tables["B"].rows.push_back({Variant::Long(i)});
  target_.LoseConnectionAt("INSERT INTO `B`", 5);
  ConversionSummary summary = Run({"A", "B", "C"});
  EXPECT_EQ(summary.ending, RunEnding::TableFailed);
  EXPECT_EQ(summary.tablesConverted, 1);
  EXPECT_EQ(owner_.messages,
            (std::vector<std::string>{"Message: Lost connection to server during query",
                                      "Report: " + LossMessage(summary)}));
  EXPECT_EQ(summary.tablesFailed, 1);
  EXPECT_EQ(owner_.caption, kProductTitle);
  EXPECT_EQ(owner_.listChecked, (std::vector<bool>{true, true, true}));
  ExpectIdlePage();
}

TEST_F(ConversionRunTest, UncheckedRowsAreNotConverted) {
  ConversionSummary summary = Run({"A", "B", "C"}, {false, true, false});
  EXPECT_EQ(summary.tablesConverted, 1);
  EXPECT_EQ(owner_.texts[1041], "1 of 1 Table(s) are converted.");
  EXPECT_TRUE(Logged("range 1031 0 1"));
  EXPECT_EQ(std::count_if(target_.statements.begin(), target_.statements.end(),
                          [](const std::string& s) { return s.rfind("DROP TABLE", 0) == 0; }),
            1);
}

// A damaged file: what cannot be read is named in the report, once, and the
// run does not call itself successful; the rest of it converts.
TEST_F(ConversionRunTest, DamagedPartsAreNamedAndTheRunEndsIncomplete) {
  source_.fileDamage = {"A table's catalogue row cannot be read; the table is left out."};
  source_.tables["A"].damage = {
      "its properties cannot be read (a long value points to a "
      "deleted row); they are unknown"};
  FakeTable& b = source_.tables["B"];
  b.rows.push_back({Variant::Long(3)});
  b.storedRows = 5;
  b.rowDamage = {
      "page 57 cannot be read (a row lies outside its data page); its rows are left "
      "out"};
  source_.tables["C"].storedRows = 1;  // agrees: nothing to name
  ConversionSummary summary = Run({"A", "B", "C"});
  EXPECT_EQ(summary.ending, RunEnding::Completed);
  EXPECT_EQ(summary.tablesConverted, 3);
  EXPECT_EQ(summary.partsUnread, 2);
  EXPECT_EQ(summary.tablesIncomplete, 1);
  EXPECT_EQ(
      owner_.reportLines,
      (std::vector<std::string>{
          "A table's catalogue row cannot be read; the table is left out.",
          "Table [A]: its properties cannot be read (a long value points to a deleted "
          "row); they are unknown.",
          "Table [B]: page 57 cannot be read (a row lies outside its data page); its rows "
          "are left out.",
          "Table [B]: the file counts 5 rows, but 2 were found; the other 3 cannot be read."}));
  EXPECT_EQ(owner_.messages,
            std::vector<std::string>{
                "Report: Bracken database conversion ended, but not everything was converted: 1 "
                "table cut short, 2 parts of the file unreadable. Each is listed in the report."});
  // The file's notes come before anything is created.
  EXPECT_LT(std::find(owner_.log.begin(), owner_.log.end(), "show 1041") - owner_.log.begin(),
            std::find(owner_.log.begin(), owner_.log.end(),
                      "caption Converting Table: [A] 1 rows "
                      "converted...") -
                owner_.log.begin());
  ExpectIdlePage();
}

// A stale count alone (no page left out) is a loss when rows are missing;
// more rows than counted is named and nothing more.
TEST_F(ConversionRunTest, RowsFoundAgainstTheStoredCount) {
  source_.tables["A"].storedRows = 0;
  ConversionSummary summary = Run({"A"});
  EXPECT_FALSE(summary.Lost());
  EXPECT_EQ(owner_.reportLines,
            std::vector<std::string>{"Table [A]: the file counts 0 rows, but 1 was found."});
  EXPECT_EQ(owner_.messages, std::vector<std::string>{"Report: " + std::string(kCompletedMessage)});

  owner_.reportLines.clear();
  owner_.messages.clear();
  source_.tables["A"].storedRows = 2;
  summary = Run({"A"});
  EXPECT_EQ(summary.tablesIncomplete, 1);
  EXPECT_EQ(owner_.reportLines,
            std::vector<std::string>{
                "Table [A]: the file counts 2 rows, but 1 was found; the other 1 cannot be read."});
  EXPECT_EQ(owner_.messages.back(), "Report: " + LossMessage(summary));
}

// Rows refused for an unreadable value were found all the same: they count
// against the stored count, and the plan tells the window every row found.
// The plan's scan passes over such a row too, so the four-byte text after it
// still gets its character set.
TEST_F(ConversionRunTest, RefusedRowsCountAsFoundAndThePlanTellsTheRowsItFound) {
  FakeTable b;
  b.columns = {TextColumn("Name")};
  b.rows = {{Variant::Text("lost")}, {Variant::Text("Paw \xf0\x9f\x90\xbe")}};
  b.rowFailureAt = 0;
  b.storedRows = 2;
  source_.tables["B"] = b;
  ConversionSummary summary = Run({"B"});
  EXPECT_EQ(summary.rowsRefused, 1);
  EXPECT_EQ(summary.tablesIncomplete, 0);
  EXPECT_EQ(owner_.reportLines.size(), 1u);
  EXPECT_EQ(owner_.rowsFound, (std::map<std::string, long>{{"B", 2}}));
  EXPECT_EQ(target_.statements[4],
            "CREATE TABLE `B`(`Name` VARCHAR(50) CHARACTER SET utf8mb4 NULL)ENGINE=myisam DEFAULT "
            "CHARSET=utf8;");
}

TEST_F(ConversionRunTest, ChildTablesAreCheckedLikeTheirTable) {
  source_.tables["A"].children = {"A_Files", "A_Tags"};
  source_.tables["A_Files"] = OneRow(7);
  source_.tables["A_Files"].rowDamage = {
      "page 9 cannot be read (its page type is wrong); its "
      "rows are left out"};
  source_.tables["A_Tags"] = OneRow(8);
  source_.tables["A_Tags"].storedRows = 4;
  ConversionSummary summary = Run({"A"});
  EXPECT_EQ(summary.tablesIncomplete, 2);
  EXPECT_EQ(owner_.reportLines,
            (std::vector<std::string>{
                "Table [A_Files]: page 9 cannot be read (its page type is wrong); its rows are "
                "left out.",
                "Table [A_Tags]: the file counts 4 rows, but 1 was found; the other 3 cannot be "
                "read."}));
  EXPECT_EQ(owner_.messages.back(), "Report: " + LossMessage(summary));
}

// A table whose definition cannot be read is named with its note, then
// skipped as any table that will not open.
TEST_F(ConversionRunTest, ATableWhoseDefinitionCannotBeReadIsNamedAndSkipped) {
  FakeTable& b = source_.tables["B"];
  b.columns.clear();
  b.rows.clear();
  b.damage = {"its definition cannot be read (page 12 is not a table definition)"};
  b.openFailure = "The database file is damaged: page 12 is not a table definition.";
  ConversionSummary summary = Run({"A", "B", "C"});
  EXPECT_EQ(summary.tablesConverted, 2);
  EXPECT_EQ(summary.tablesSkipped, 1);
  EXPECT_EQ(summary.partsUnread, 1);
  EXPECT_EQ(owner_.reportLines,
            (std::vector<std::string>{
                "Table [B]: its definition cannot be read (page 12 is not a table definition).",
                "Table [B] was skipped."}));
  EXPECT_EQ(owner_.messages.back(),
            "Report: Bracken database conversion ended, but not everything was converted: 1 "
            "table skipped, 1 part of the file unreadable. Each is listed in the report.");
}

// Plain indexes built after the rows: the window's run keeps them in CREATE
// TABLE and sends nothing else; a batched run whose ALTER TABLE the server
// refuses tries each index alone and reports the ones it refuses, and a
// MyISAM table whose keys cannot be enabled again says so.
TEST_F(ConversionRunTest, IndexesAfterTheRowsAreOnlyForBatchedRunsAndTheirRefusalsReported) {
  FakeTable indexed = Orders();
  indexed.indexes.push_back(Key("ByCustomer", {"Customer"}));
  indexed.indexes.push_back(Key("ByBoth", {"Customer", "OrderID"}));
  source_.tables["Orders"] = indexed;
  context_.engine = TableEngine::InnoDB;
  Run({"Orders"});
  const auto sentBefore = target_.statements;
  ASSERT_EQ(sentBefore.size(), 7u);
  EXPECT_NE(sentBefore[4].find("INDEX (`Customer`),  INDEX (`Customer`,`OrderID`))"),
            std::string::npos);
  for (const std::string& statement : sentBefore) EXPECT_NE(statement.rfind("ALTER", 0), 0u);

  auto sent = [&](const std::string& statement) {
    return std::find(target_.statements.begin(), target_.statements.end(), statement) !=
           target_.statements.end();
  };
  target_.statements.clear();
  context_.batching = RowBatching{100};
  target_.Refuse("ALTER TABLE `Orders` ADD INDEX `Customer` (`Customer`),", "Disk full");
  target_.Refuse("ALTER TABLE `Orders` ADD INDEX `Customer_2`", "Disk full (2)");
  ConversionSummary summary = Run({"Orders"});
  EXPECT_TRUE(
      sent("CREATE TABLE `Orders`(`OrderID` INT NOT NULL AUTO_INCREMENT, `Customer` "
           "VARCHAR(50) NULL,  PRIMARY KEY(`OrderID`))ENGINE=InnoDB ROW_FORMAT=DYNAMIC DEFAULT "
           "CHARSET=utf8;"));
  EXPECT_EQ(std::vector<std::string>(target_.statements.end() - 3, target_.statements.end()),
            (std::vector<std::string>{
                "ALTER TABLE `Orders` ADD INDEX `Customer` (`Customer`), ADD INDEX `Customer_2` "
                "(`Customer`,`OrderID`);",
                "ALTER TABLE `Orders` ADD INDEX `Customer` (`Customer`);",
                "ALTER TABLE `Orders` ADD INDEX `Customer_2` (`Customer`,`OrderID`);"}));
  EXPECT_EQ(summary.indexesNotCreated, 1);
  EXPECT_TRUE(summary.Lost());
  EXPECT_EQ(owner_.reportLines.back(),
            "Table [Orders]: the index `Customer_2` (`Customer`,`OrderID`) was not created: Disk "
            "full (2).");

  target_.statements.clear();
  context_.engine = TableEngine::MyISAM;
  target_.Refuse("ALTER TABLE `Orders` ENABLE KEYS", "Disk full (3)");
  summary = Run({"Orders"});
  EXPECT_TRUE(sent("ALTER TABLE `Orders` DISABLE KEYS;"));
  EXPECT_EQ(summary.indexesNotCreated, 1);
  EXPECT_EQ(owner_.reportLines.back(),
            "Table [Orders]: its indexes could not be built after its rows (Disk full (3)); they "
            "stay disabled until ALTER TABLE ... ENABLE KEYS.");
}

}  // namespace
}  // namespace bracken::engine
