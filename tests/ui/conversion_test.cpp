// Whole conversions driven through the window against the test server:
// completion, the overwrite question, STOP, and leaving during a run.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QTest>
#include <fstream>
#include <limits>

#include "tests/support/file_damage.h"
#include "tests/support/ole_fixtures.h"
#include "tests/support/server_query.h"
#include "tests/ui/dialog_harness.h"
#include "ui/stepped_progress_bar.h"

namespace bracken::testing {
namespace {

const QString kTitle = "Quillon Database Converter - Bracken";
const QString kCompleted = "Bracken database conversion completed successfully.";

class Conversion : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = TestServerFromEnvironment();
    if (!found) GTEST_SKIP() << kNoServerMessage;
    server = *found;
    query = std::make_unique<ServerQuery>(server);
  }

  void TearDown() override {
    for (const std::string& name : databases_) {
      query->Execute("DROP DATABASE IF EXISTS `" + name + "`");
    }
  }

  // A database name of this test, dropped before and after it.
  std::string Database(const std::string& suffix) {
    const std::string name = DatabaseName(suffix);
    query->Execute("DROP DATABASE IF EXISTS `" + name + "`");
    databases_.push_back(name);
    return name;
  }

  bool Open(DialogUnderTest& ui, const FixtureDatabase& file, const std::string& destination) {
    const auto path = folder.Path("source.mdb");
    WriteJet4File(file, path);
    ui.FillFirstPage(server, path, answerer);
    const bool opened = ui.Next();
    ui.SetText(1019, QString::fromStdString(destination));
    return opened;
  }

  static bool Finished(DialogUnderTest& ui) {
    return WaitUntil([&] { return !ui.dialog->ConversionRunning(); }, 120000);
  }

  long Count(const std::string& database, const std::string& table) {
    Cell value = query->Value("SELECT COUNT(*) FROM `" + database + "`.`" + table + "`");
    return value ? std::stol(*value) : -1;
  }

  QStringList Tables(const std::string& database) {
    QStringList names;
    for (const Row& row : query->Rows("SHOW TABLES FROM `" + database + "`")) {
      names << QString::fromStdString(row[0].value_or(""));
    }
    names.sort();
    return names;
  }

  static void ExpectIdleSecondPage(DialogUnderTest& ui) {
    for (int id : {1004, 1009, 1003, 1024, 1019}) {
      EXPECT_TRUE(ui.Visible(id) && ui.Widget(id)->isEnabled()) << id;
    }
    for (int id : {1007, 1032, 1030, 1031, 1040, 1041}) EXPECT_FALSE(ui.Visible(id)) << id;
    EXPECT_FALSE(ui.dialog->ActivityTimerRunning());
  }

  TestServer server;
  std::unique_ptr<ServerQuery> query;
  ScratchFolder folder;
  ModalAnswerer answerer;

 private:
  std::vector<std::string> databases_;
};

TEST_F(Conversion, MarkedTablesAreConvertedAndThePageComesBackIdle) {
  const std::string database = Database("whole_run");
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, SmallShop(), database));
  ui.ClickMark(0);
  ui.ClickMark(2);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));

  EXPECT_EQ(answerer.Texts(), QStringList{kCompleted});
  EXPECT_EQ(answerer.seen.at(0).caption, "Message");
  EXPECT_EQ(Tables(database), (QStringList{"Customers", "Products"}));
  EXPECT_EQ(Count(database, "Customers"), 3);
  EXPECT_EQ(Count(database, "Products"), 2);
  Cell name = query->Value("SELECT Name FROM `" + database + "`.`Customers` WHERE CustomerID = 1");
  EXPECT_EQ(name.value_or(""), "Anna Müller");

  ExpectIdleSecondPage(ui);
  EXPECT_FALSE(ui.Find<QCheckBox>(1024)->isChecked());
  EXPECT_EQ(ui.Marks(), std::vector<bool>(3, false));
  EXPECT_EQ(ui.dialog->windowTitle(), kTitle);
  EXPECT_EQ(ui.Text(1041), "2 of 2 Table(s) are converted.");
  EXPECT_EQ(ui.Find<ui::SteppedProgressBar>(1031)->value(), 2);
}

TEST_F(Conversion, AnExistingDatabaseIsOverwrittenOnlyAfterYes) {
  const std::string database = Database("overwrite");
  query->Execute("CREATE DATABASE `" + database + "`");
  query->Execute("CREATE TABLE `" + database + "`.`Keep` (id INT)");
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, SmallShop(), database));

  // Without a mark the run refuses before it asks anything.
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(answerer.Texts(),
            QStringList{"Please select at least one table to continue the conversion."});
  ExpectIdleSecondPage(ui);

  // Enter keeps the database: No is the default. The question names the
  // database and the tables the server says it holds.
  const QString question = QString::fromStdString(
      "Are you sure you want to overwrite?\n\nThe conversion will delete the database [" +
      database + "] and the 1 table it holds.");
  answerer.seen.clear();
  ui.Click(1024);
  answerer.AnswerWithEnter();
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(answerer.Texts(), QStringList{question});
  EXPECT_EQ(answerer.seen.at(0).buttons, "Yes/No");
  EXPECT_EQ(answerer.seen.at(0).defaultButton, "No");
  EXPECT_EQ(answerer.seen.at(0).icon, "warning");
  EXPECT_EQ(Tables(database), QStringList{"Keep"});
  ExpectIdleSecondPage(ui);
  EXPECT_EQ(ui.Marks(), std::vector<bool>(3, true));
  EXPECT_TRUE(ui.Find<QCheckBox>(1024)->isChecked());

  answerer.seen.clear();
  answerer.AnswerYes();
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(answerer.Texts(), (QStringList{question, kCompleted}));
  EXPECT_EQ(Tables(database), (QStringList{"Customers", "Orders", "Products"}));
  EXPECT_EQ(Count(database, "Orders"), 4);
}

TEST_F(Conversion, ALoginThatMayDropButNotCreateKeepsTheDatabase) {
  const std::string database = Database("no_create");
  query->Execute("CREATE DATABASE `" + database + "`");
  query->Execute("CREATE TABLE `" + database + "`.`Keep` (id INT)");
  query->Execute("DROP USER IF EXISTS 'ui_dropper'@'%'");
  query->Execute("CREATE USER 'ui_dropper'@'%' IDENTIFIED BY 'dropper-pw'");
  query->Execute("GRANT SELECT, INSERT, DROP ON `" + database + "`.* TO 'ui_dropper'@'%'");
  TestServer dropper = server;
  dropper.user = "ui_dropper";
  dropper.password = "dropper-pw";
  {
    DialogUnderTest ui;
    const auto path = folder.Path("source.mdb");
    WriteJet4File(SmallShop(), path);
    ui.FillFirstPage(dropper, path, answerer);
    ASSERT_TRUE(ui.Next()) << answerer.Texts().join(" | ").toStdString();
    ui.SetText(1019, QString::fromStdString(database));
    ui.Click(1024);
    answerer.seen.clear();
    answerer.AnswerYes();
    ui.Click(1004);
    ASSERT_TRUE(Finished(ui));
    ASSERT_EQ(answerer.seen.size(), 1u) << answerer.Texts().join(" | ").toStdString();
    EXPECT_EQ(answerer.seen.at(0).text,
              QString::fromStdString("The database [" + database +
                                     "] was not replaced: the MySQL login may drop it but lacks "
                                     "the CREATE privilege on it, so it could not be created "
                                     "again. Nothing was dropped."));
    EXPECT_EQ(answerer.seen.at(0).caption, "Message");
    EXPECT_EQ(answerer.seen.at(0).icon, "none");
    EXPECT_EQ(answerer.seen.at(0).buttons, "OK");
    ExpectIdleSecondPage(ui);
  }
  EXPECT_EQ(Tables(database), QStringList{"Keep"});
  query->Execute("DROP USER IF EXISTS 'ui_dropper'@'%'");
}

TEST_F(Conversion, ARunReportsNoLinesLeftFromBeforeIt) {
  const std::string database = Database("report_lines");
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, SmallShop(), database));
  // As from an earlier run that ended without its report.
  ui.dialog->ReportLine("left from before");
  ui.ClickMark(0);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));

  ui.dialog->ShowReport("after", {"from the run"});
  ASSERT_EQ(answerer.seen.back().buttons, "report");
  EXPECT_FALSE(answerer.seen.back().lines.contains("left from before"));
  EXPECT_FALSE(answerer.seen.back().lines.isEmpty());
}

// A refused row's message names its table and row beneath the server's
// text, and offers to leave the rest of the run's refusals to the report;
// the next run shows them again.
TEST_F(Conversion, RefusedRowsNameTheirRowAndTheRestCanBeLeftToTheReport) {
  const std::string database = Database("refused_rows");
  FixtureTable dupes;
  dupes.name = "Dupes";
  dupes.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("K", ColumnKind::Long)};
  dupes.indexes = {{"PrimaryKey", {"ID"}, true, true, false}, {"K", {"K"}, false, true, false}};
  for (int64_t id = 1; id <= 4; ++id) dupes.rows.push_back({id, int64_t{7}});
  FixtureDatabase file;
  file.tables = {dupes};
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, file, database));
  const QString hide =
      "Do not show the rest of this run's refused rows (they are listed in the report)";

  // Unticked, every refusal shows: rows 2, 3 and 4.
  ui.ClickMark(0);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  ASSERT_EQ(answerer.seen.size(), 4u) << answerer.Texts().join(" | ").toStdString();
  for (int row = 2; row <= 4; ++row) {
    const SeenBox& box = answerer.seen.at(row - 2);
    EXPECT_TRUE(box.text.startsWith("Duplicate entry '7' for key")) << box.text.toStdString();
    EXPECT_TRUE(box.text.endsWith(QString("\n\nTable [Dupes], row %1.").arg(row)))
        << box.text.toStdString();
    EXPECT_EQ(box.caption, "Bracken");
    EXPECT_EQ(box.checkText, hide);
    EXPECT_FALSE(box.checkedAtStart);
  }
  EXPECT_EQ(answerer.seen.back().buttons, "report");
  EXPECT_EQ(answerer.seen.back().lines.size(), 3);

  // Ticked on the first, the other two go only to the report.
  answerer.seen.clear();
  answerer.AnswerYes();  // the overwrite question
  answerer.TickNextCheckBox();
  if (!ui.Marks().at(0)) ui.ClickMark(0);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  ASSERT_EQ(answerer.seen.size(), 3u) << answerer.Texts().join(" | ").toStdString();
  EXPECT_TRUE(answerer.seen[1].text.endsWith("Table [Dupes], row 2."));
  EXPECT_EQ(answerer.seen[2].buttons, "report");
  EXPECT_EQ(answerer.seen[2].lines.filter("refused by the server").size(), 3);
  EXPECT_EQ(Count(database, "Dupes"), 1);
}

// The Options a run starts with decide what it carries: InnoDB keeps the
// relationship as a foreign key and the rules come along; MyISAM and no
// rules leave both out, and the report names the relationship.
TEST_F(Conversion, TheOptionsChooseTheEngineAndTheRulesOfTheRun) {
  FixtureDatabase file = SmallShop();
  file.tables[1].columns[3].defaultValue = "0";
  file.tables[1].columns[3].validationRule = ">=0";
  file.relationships.push_back({"CustomersOrders",
                                "Orders",
                                {"CustomerID"},
                                "Customers",
                                {"CustomerID"},
                                true,
                                false,
                                true});
  const std::string database = Database("options");
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, file, database));
  auto* options = ui.dialog->findChild<QWidget*>("options");
  answerer.ChooseOptions({true, true});
  QTest::mouseClick(options, Qt::LeftButton);
  // Options hides with Convert while the run goes on.
  bool optionsShownDuringRun = false;
  QObject::connect(ui.dialog.get(), &QWidget::windowTitleChanged, [&](const QString&) {
    if (ui.dialog->ConversionRunning() && options->isVisible()) optionsShownDuringRun = true;
  });
  ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_FALSE(optionsShownDuringRun);
  EXPECT_TRUE(options->isVisible());
  EXPECT_EQ(answerer.Texts().back(), kCompleted) << answerer.Texts().join(" | ").toStdString();
  const std::string schema = "TABLE_SCHEMA = '" + database + "'";
  const std::string constraints = "CONSTRAINT_SCHEMA = '" + database + "'";
  EXPECT_EQ(
      query->Value("SELECT GROUP_CONCAT(DISTINCT ENGINE) FROM information_schema.TABLES WHERE " +
                   schema),
      Cell("InnoDB"));
  EXPECT_EQ(query->Value("SELECT CONCAT(TABLE_NAME, '>', REFERENCED_TABLE_NAME, ' ', DELETE_RULE) "
                         "FROM information_schema.REFERENTIAL_CONSTRAINTS WHERE " +
                         constraints),
            Cell("Orders>Customers CASCADE"));
  EXPECT_EQ(query->Value("SELECT COUNT(*) FROM information_schema.CHECK_CONSTRAINTS WHERE " +
                         constraints),
            Cell("1"));
  // The key holds: deleting a customer takes their orders with them.
  query->Execute("DELETE FROM `" + database + "`.`Customers` WHERE CustomerID = 1");
  EXPECT_EQ(query->Value("SELECT COUNT(*) FROM `" + database + "`.`Orders` WHERE CustomerID = 1"),
            Cell("0"));

  answerer.seen.clear();
  answerer.ChooseOptions({false, false});
  QTest::mouseClick(options, Qt::LeftButton);
  answerer.AnswerYes();
  if (!ui.Find<QCheckBox>(1024)->isChecked()) ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(
      query->Value("SELECT GROUP_CONCAT(DISTINCT ENGINE) FROM information_schema.TABLES WHERE " +
                   schema),
      Cell("MyISAM"));
  EXPECT_EQ(query->Value("SELECT COUNT(*) FROM information_schema.CHECK_CONSTRAINTS WHERE " +
                         constraints),
            Cell("0"));
  // MariaDB names a missing default NULL, MySQL leaves it null.
  EXPECT_EQ(query->Value("SELECT COALESCE(COLUMN_DEFAULT, 'NULL') FROM information_schema.COLUMNS "
                         "WHERE " +
                         schema + " AND TABLE_NAME = 'Orders' AND COLUMN_NAME = 'Amount'"),
            Cell("NULL"));
  ASSERT_EQ(answerer.seen.back().buttons, "report");
  EXPECT_EQ(answerer.seen.back().lines.filter("CustomersOrders").size(), 1)
      << answerer.seen.back().lines.join(" | ").toStdString();
}

// Saved queries become views unless Options leave them out: the box starts
// ticked, its choice lasts for the next run, and a run without them is plain.
TEST_F(Conversion, TheOptionsChooseWhetherSavedQueriesBecomeViews) {
  FixtureDatabase file = SmallShop();
  file.queries.push_back({"Leeds Customers",
                          {{1, "", "", "", 1},
                           {5, "Customers", "", "", std::nullopt},
                           {6, "", "", "Customers.Name", std::nullopt},
                           {8, "", "", "Customers.City='Leeds'", std::nullopt}},
                          {}});
  const std::string database = Database("queries");
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, file, database));
  auto* options = ui.dialog->findChild<QWidget*>("options");
  answerer.ChooseOptions({false, true, false});
  QTest::mouseClick(options, Qt::LeftButton);
  ASSERT_FALSE(answerer.seen.empty());
  EXPECT_EQ(answerer.seen.back().text, "MyISAM, rules");
  ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(answerer.Texts().back(), kCompleted) << answerer.Texts().join(" | ").toStdString();
  const std::string views =
      "SELECT COUNT(*) FROM information_schema.VIEWS WHERE TABLE_SCHEMA = '" + database + "'";
  EXPECT_EQ(query->Value(views), Cell("0"));

  answerer.seen.clear();
  answerer.ChooseOptions({false, true, true});
  QTest::mouseClick(options, Qt::LeftButton);
  ASSERT_FALSE(answerer.seen.empty());
  EXPECT_EQ(answerer.seen.back().text, "MyISAM, rules, no queries");
  answerer.AnswerYes();
  if (!ui.Find<QCheckBox>(1024)->isChecked()) ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(answerer.Texts().back(), kCompleted) << answerer.Texts().join(" | ").toStdString();
  EXPECT_EQ(query->Value(views), Cell("1"));
  EXPECT_EQ(query->Value("SELECT GROUP_CONCAT(Name) FROM `" + database + "`.`Leeds Customers`"),
            Cell("Bob Grey"));
}

// OLE objects become the files they hold when the Options say so: Paint's
// bitmap arrives as a .bmp file with its MIME type beside it.
TEST_F(Conversion, TheOptionsStoreOleObjectsAsTheFilesTheyHold) {
  const OleSample paint = OleSamples().front();
  FixtureTable objects;
  objects.name = "Objects";
  objects.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("Picture", ColumnKind::Ole)};
  objects.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  objects.rows = {{int64_t{1}, paint.value}};
  FixtureDatabase file;
  file.tables = {objects};
  const std::string database = Database("ole_files");
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, file, database));
  answerer.ChooseOptions({false, true, true, true});
  QTest::mouseClick(ui.dialog->findChild<QWidget*>("options"), Qt::LeftButton);
  ASSERT_FALSE(answerer.seen.empty());
  EXPECT_EQ(answerer.seen.back().text, "MyISAM, rules");
  ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(answerer.Texts().back(), kCompleted) << answerer.Texts().join(" | ").toStdString();
  EXPECT_EQ(query->Rows("SELECT Picture, Picture_type FROM `" + database + "`.Objects"),
            (std::vector<Row>{{paint.file, "image/bmp"}}));
}

// A run that lost a value ends with its report, which offers to verify the
// copy: the verdicts join the report, and the value stored as NULL by the
// conversion's own rule is no difference.
TEST_F(Conversion, TheReportVerifiesTheCopyAgainstTheFile) {
  const std::string database = Database("report_verify");
  FixtureTable numbers;
  numbers.name = "Numbers";
  numbers.columns = {MakeColumn("ID", ColumnKind::Long), MakeColumn("D", ColumnKind::Double)};
  numbers.indexes = {{"PrimaryKey", {"ID"}, true, true, false}};
  numbers.rows = {{int64_t{1}, 1.5}, {int64_t{2}, std::numeric_limits<double>::quiet_NaN()}};
  FixtureDatabase file;
  file.tables = {numbers};
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, file, database));
  answerer.VerifyReports();
  ui.ClickMark(0);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));
  ASSERT_EQ(answerer.seen.back().buttons, "report");
  const QStringList lines = answerer.seen.back().lines;
  EXPECT_TRUE(lines.contains("Verifying the copy against the file..."))
      << lines.join("|").toStdString();
  EXPECT_TRUE(lines.contains("Numbers: 2 rows identical")) << lines.join("|").toStdString();
  EXPECT_EQ(lines.back().toStdString(),
            database + ": 1 table verified, 1 identical, 0 with differences");
}

// A copy with a data page zeroed: the rest arrives, the report names the
// rows missing, and "Rows: k of N" counts against the rows the plan found.
TEST_F(Conversion, ADamagedFileEndsWithItsLossNamedAndRowsAgainstTheRowsFound) {
  const std::string database = Database("damaged");
  FixtureTable people;
  people.name = "People";
  people.columns = {MakeColumn("Id", ColumnKind::Long), MakeColumn("Name", ColumnKind::Text, 40)};
  for (int64_t i = 1; i <= 400; ++i) people.rows.push_back({i, "Person " + std::to_string(i)});
  FixtureDatabase file;
  file.tables = {people};
  std::string bytes = WriteJet4(file);
  const ZeroedPage zeroed = ZeroDataPageHolding(bytes, "Person 200");
  ASSERT_GT(zeroed.rows, 0);
  const auto path = folder.Path("damaged.mdb");
  std::ofstream(path, std::ios::binary) << bytes;
  DialogUnderTest ui;
  ui.FillFirstPage(server, path, answerer);
  ASSERT_TRUE(ui.Next());
  ui.SetText(1019, QString::fromStdString(database));
  ui.ClickMark(0);
  ui.Click(1004);
  ASSERT_TRUE(Finished(ui));

  const long found = 400 - zeroed.rows;
  EXPECT_EQ(Count(database, "People"), found);
  ASSERT_EQ(answerer.seen.back().buttons, "report");
  EXPECT_EQ(answerer.seen.back().text,
            "Bracken database conversion ended, but not everything was converted: 1 table cut "
            "short. Each is listed in the report.");
  EXPECT_TRUE(answerer.seen.back().lines.contains(
      QString("Table [People]: the file counts 400 rows, but %1 were found; the other %2 cannot "
              "be read.")
          .arg(found)
          .arg(zeroed.rows)))
      << answerer.seen.back().lines.join("|").toStdString();

  // The count the plan told the window replaces the file's own.
  ui.dialog->SetCaption("Converting Table: [People] 10 rows converted...");
  EXPECT_TRUE(WaitUntil([&] { return ui.Text(1043) == QString("Rows: 10 of %1").arg(found); }))
      << ui.Text(1043).toStdString();
}

// Enough rows that STOP surely lands while they are being copied, and that
// a run is surely still going after a question and the About box.
constexpr int64_t kBigRows = 15000;
constexpr int64_t kLongRows = 60000;

FixtureDatabase BigThenSmall(int64_t rows) {
  FixtureDatabase file;
  file.tables.push_back(GeneratedTable("Big", rows));
  file.tables.push_back(GeneratedTable("Small", 3));
  return file;
}

TEST_F(Conversion, StopEndsTheRunAfterTheTableBeingCopied) {
  const std::string database = Database("stop");
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, BigThenSmall(kBigRows), database));
  ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(WaitUntil([&] { return ui.dialog->windowTitle() != kTitle; }));

  // While the run goes on, the greyed Convert stands in Convert's place and
  // does nothing; Back and the inputs are out of reach.
  EXPECT_TRUE(ui.Visible(1007));
  EXPECT_FALSE(ui.Visible(1004));
  EXPECT_FALSE(ui.Visible(1009));
  EXPECT_FALSE(ui.Widget(1003)->isEnabled());
  EXPECT_FALSE(ui.Widget(1019)->isEnabled());
  EXPECT_TRUE(ui.Visible(1032) && ui.Visible(1030) && ui.Visible(1040));
  EXPECT_TRUE(ui.dialog->ActivityTimerRunning());
  ui.Click(1007);

  ui.Click(1032);
  ASSERT_TRUE(Finished(ui));
  EXPECT_TRUE(answerer.seen.empty()) << answerer.Texts().join(" | ").toStdString();
  EXPECT_EQ(Tables(database), QStringList{"Big"});
  EXPECT_EQ(Count(database, "Big"), kBigRows);
  ExpectIdleSecondPage(ui);
  EXPECT_FALSE(ui.Find<QCheckBox>(1024)->isChecked());
  EXPECT_EQ(ui.Marks(), std::vector<bool>(2, false));
  EXPECT_EQ(ui.Text(1041), "0 of 2 Table(s) are converted.");
  EXPECT_EQ(ui.dialog->windowTitle(), kTitle);
}

TEST_F(Conversion, LeavingDuringARunAsksAndYesEndsWithoutClosingTheConnectionUnderIt) {
  const std::string database = Database("leave");
  RecordingShell shell;
  DialogUnderTest ui;
  ASSERT_TRUE(Open(ui, BigThenSmall(kLongRows), database));
  ui.Click(1024);
  ui.Click(1004);
  ASSERT_TRUE(WaitUntil([&] { return ui.dialog->windowTitle() != kTitle; }));

  // Enter: No is the default, the run goes on and the activity bar keeps
  // moving. The question names the table left incomplete.
  const QString before = ui.dialog->windowTitle();
  answerer.AnswerWithEnter();
  ui.Click(1006);
  ASSERT_EQ(answerer.seen.size(), 1u);
  EXPECT_EQ(answerer.seen[0].text,
            QString::fromStdString(
                "Do you want to exit from Quillon Database Converter - Bracken?\n\nA conversion "
                "is in progress. The table [Big] will be left incomplete in the database [" +
                database +
                "], and the tables after it will not be copied. Help tells how to finish the "
                "copy."));
  EXPECT_EQ(answerer.seen[0].defaultButton, "No");
  EXPECT_EQ(answerer.seen[0].icon, "warning");
  EXPECT_TRUE(ui.dialog->isVisible());
  EXPECT_EQ(ui.processEnds, 0);
  EXPECT_TRUE(ui.dialog->ActivityTimerRunning());
  EXPECT_TRUE(WaitUntil([&] { return ui.dialog->windowTitle() != before; }));
  EXPECT_TRUE(shell.opened.empty());

  // The About box opens during the run, and the run goes on meanwhile.
  bool movedDuringAbout = false;
  answerer.WhileShown([&](const SeenBox& box) {
    if (box.buttons != "about") return;
    const QString at = ui.dialog->windowTitle();
    movedDuringAbout = WaitUntil([&] { return ui.dialog->windowTitle() != at; }, 5000);
  });
  ui.Click(1025);
  answerer.WhileShown(nullptr);
  EXPECT_TRUE(movedDuringAbout);

  // Yes: the web page opens and the process is ended at once. Here the
  // ending is only recorded, so the run can show that its connection was
  // left open under it: it finishes both tables.
  answerer.AnswerYes();
  ui.Click(1006);
  ASSERT_EQ(shell.opened.size(), 1u);
  EXPECT_EQ(shell.opened[0], QUrl("https://bracken.quillon.dev/"));
  EXPECT_EQ(ui.processEnds, 1);
  EXPECT_FALSE(ui.dialog->isVisible());
  ASSERT_TRUE(Finished(ui));
  EXPECT_EQ(Count(database, "Big"), kLongRows);
  EXPECT_EQ(Count(database, "Small"), 3);
  EXPECT_TRUE(answerer.Texts().contains(kCompleted)) << answerer.Texts().join(" | ").toStdString();
}

}  // namespace
}  // namespace bracken::testing
